// The model behind the status window's lines: one record per step.
#pragma once

#include <cstdint>
#include <string>

namespace ovinst
{
// Key of a record. The notifier maps package identifiers 0 to 4 to themselves and the
// Control Center (5) to 2.
enum EActionType : int32_t
{
    ActionAnalyzeSystem = 0,
    ActionAnalyzeUpdates = 1,
    ActionMainPackage = 2,   // Security Server, or Control Center on the console table
    ActionAuthServer = 3,
    ActionSyncService = 4,
};

struct ActionRecord
{
    int32_t line = 0;  // the status window's line, 1 to 5
    std::wstring text;
    bool hidden = false;
    bool running = false;
    bool failed = false;
};

class IActionTable
{
public:
    virtual ~IActionTable() = default;
    virtual void ActionStart(EActionType type) = 0;
    virtual void ActionEnd(EActionType type) = 0;
    virtual void ActionText(EActionType type, const std::wstring& text) = 0;
    virtual void Error(EActionType type) = 0;
    virtual void Hide(EActionType type) = 0;
    virtual void SetUninstallOrder(bool uninstall) = 0;
    virtual void Lock() = 0;
    // Does not lock: callers outside the table bracket it with Lock and Unlock.
    virtual ActionRecord GetAction(EActionType type) = 0;
    // The running line, 0 when none runs.
    virtual int32_t GetCurrentLine() = 0;
    virtual void Unlock() = 0;
    // Called by SetUninstallOrder with the lock held; must not lock again.
    virtual void RemapLines(bool uninstall) = 0;
};
}
