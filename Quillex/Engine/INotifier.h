// How the install engine informs and asks the user; it never touches a window itself.
#pragma once

#include <memory>
#include <string>

namespace ovinst
{
class IInstallData;

// Package identifiers: 0 system analysis, 1 updates analysis, 2 Security Server,
// 3 Authentication Server, 4 Synchronization service, 5 Control Center.
class INotifier
{
public:
    virtual ~INotifier() = default;

    virtual void ShowStatusWindow() = 0;
    virtual void HideStatusWindow() = 0;
    virtual void ActionStartWithText(int packageId, const std::wstring& text) = 0;
    virtual void ActionStart(int packageId) = 0;
    virtual void ActionEndWithText(int packageId, const std::wstring& text) = 0;
    virtual void ActionEnd(int packageId) = 0;
    virtual void ActionError(int packageId) = 0;
    virtual void InformUser(const std::wstring& message) = 0;
    // silentAnswer is taken when nobody can be asked; icon holds MB_ICON* bits.
    virtual bool AskUser(const std::wstring& message, bool silentAnswer, unsigned int icon) = 0;
    virtual bool AskUserWarning(const std::wstring& message, bool silentAnswer) = 0;
    virtual bool AskUserQuestion(const std::wstring& message, bool silentAnswer) = 0;
    virtual void EnableCancel(bool enable) = 0;
    virtual void InstallationFinished() = 0;
    virtual void CloseWindow() = 0;
    virtual void ShowMessage(const std::wstring& text) = 0;
    virtual bool IsRebootRequired() = 0;
    virtual void SetRebootRequired() = 0;
    virtual bool IsCancelled() = 0;
    virtual bool HasErrors() = 0;
    // True when the restart is to go ahead, false when the user stopped it.
    virtual bool RebootCountdown(short seconds) = 0;
    // Returns at once; the installer thread waits for the choice on its own event.
    virtual void RequestUserAction(const std::shared_ptr<IInstallData>& installData) = 0;
};
}
