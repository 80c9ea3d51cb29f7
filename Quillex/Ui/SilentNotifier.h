// The notifier of silent runs: no window, every question takes its silent answer.
#pragma once

#include "Engine/INotifier.h"

namespace ovinst
{
// Shows nothing, but writes the messages and questions it is given, with the answers it
// took, to the trace: an unattended run must still tell the administrator why it stopped.
class SilentNotifier : public INotifier
{
public:
    ~SilentNotifier() override;

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
};
}
