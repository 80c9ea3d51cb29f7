// Action tables of the server and console installers.
#pragma once

#include "IActionTable.h"

#include <windows.h>

#include <atomic>
#include <map>
#include <mutex>

namespace ovinst
{
// Every change of a record posts WM_TABLE_CHANGED to the status window while the
// table's lock is held.
class BaseActionTable : public IActionTable
{
public:
    explicit BaseActionTable(HWND window);
    ~BaseActionTable() override;

    void ActionStart(EActionType type) override;
    void ActionEnd(EActionType type) override;
    void ActionText(EActionType type, const std::wstring& text) override;
    void Error(EActionType type) override;
    void Hide(EActionType type) override;
    void SetUninstallOrder(bool uninstall) override;
    void Lock() override;
    ActionRecord GetAction(EActionType type) override;
    int32_t GetCurrentLine() override;
    void Unlock() override;

protected:
    ActionRecord& Find(EActionType type);
    // Applies a change to one record and posts it, all under the lock.
    template <typename Change>
    void Update(EActionType type, LPARAM change, Change&& apply);
    void Post(EActionType type, LPARAM change) const;
    // Adds a record and announces it, for the constructors of the tables.
    void AddRecord(EActionType type, int32_t line, const std::wstring& text);
    void PostAllTexts() const;

    std::map<EActionType, ActionRecord> m_records;
    HWND m_window;
    // Read by the status window's animation timer without the lock.
    std::atomic<int32_t> m_currentLine{0};
    std::mutex m_lock;
};

class ConsoleTable : public BaseActionTable
{
public:
    explicit ConsoleTable(HWND window);
    // The console lines keep their order.
    void RemapLines(bool uninstall) override;
};

class SecutityServerTable : public BaseActionTable
{
public:
    // A removal run (the command line names a parent process) starts in removal order.
    explicit SecutityServerTable(HWND window);
    SecutityServerTable(HWND window, bool removalRun);
    // Removal lists the Synchronization service first and the Security Server last.
    void RemapLines(bool uninstall) override;
};
}
