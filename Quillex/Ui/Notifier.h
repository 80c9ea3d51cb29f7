// The notifier of runs with a status window: progress goes to the action table, commands
// are posted to the window, questions are message boxes owned by it.
#pragma once

#include "Engine/INotifier.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

namespace ovinst
{
class IActionTable;
class IStatusCallback;
enum EActionType : int32_t;

class Notifier : public INotifier
{
public:
    // cancelQuery: the installer thread's stop request.
    Notifier(std::shared_ptr<IStatusCallback> statusCallback, std::shared_ptr<IActionTable> actionTable,
             std::function<bool()> cancelQuery);
    ~Notifier() override;

    void ShowStatusWindow() override;
    void HideStatusWindow() override;
    void ActionStartWithText(int packageId, const std::wstring& text) override;
    void ActionStart(int packageId) override;
    void ActionEndWithText(int packageId, const std::wstring& text) override;
    void ActionEnd(int packageId) override;
    void ActionError(int packageId) override;
    void InformUser(const std::wstring& message) override;
    bool AskUser(const std::wstring& message, bool silentAnswer, unsigned int icon) override;
    bool AskUserWarning(const std::wstring& message, bool silentAnswer) override;
    bool AskUserQuestion(const std::wstring& message, bool silentAnswer) override;
    void EnableCancel(bool enable) override;
    void InstallationFinished() override;
    void CloseWindow() override;
    void ShowMessage(const std::wstring& text) override;
    bool IsRebootRequired() override;
    void SetRebootRequired() override;
    bool IsCancelled() override;
    bool HasErrors() override;
    bool RebootCountdown(short seconds) override;
    void RequestUserAction(const std::shared_ptr<IInstallData>& installData) override;

    // Package identifier to the line's action type; the Control Center shares type 2.
    static EActionType GetActionType(int packageId);

private:
    void PostCommand(WPARAM command, LPARAM argument) const;

    std::shared_ptr<IStatusCallback> m_statusCallback;
    std::shared_ptr<IActionTable> m_actionTable;
    std::function<bool()> CancelQuery;
    HWND m_window;
    std::wstring m_title;
    bool m_rebootRequired = false;
    bool m_hasErrors = false;
};
}
