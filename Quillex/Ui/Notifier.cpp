#include "Notifier.h"

#include "IStatusCallback.h"
#include "WindowTexts.h"

#include "Engine/IActionTable.h"
#include "Engine/InstallContext.h"
#include "Engine/WindowMessages.h"
#include "OvErrorObject.h"
#include "SystemApi.h"
#include "Trace.h"

#include <utility>

namespace ovinst
{
Notifier::Notifier(std::shared_ptr<IStatusCallback> statusCallback, std::shared_ptr<IActionTable> actionTable,
                   std::function<bool()> cancelQuery)
    : m_statusCallback(std::move(statusCallback)),
      m_actionTable(std::move(actionTable)),
      CancelQuery(std::move(cancelQuery)),
      m_window(m_statusCallback->GetHwnd()),
      m_title(InstallTitle())
{
}

Notifier::~Notifier() = default;

EActionType Notifier::GetActionType(int packageId)
{
    switch (packageId)
    {
    case 0:
        return ActionAnalyzeSystem;
    case 1:
        return ActionAnalyzeUpdates;
    case 2:
    case 5:
        return ActionMainPackage;
    case 3:
        return ActionAuthServer;
    case 4:
        return ActionSyncService;
    default:
        ThrowErrorText(L"Unknown package ID!");
    }
}

void Notifier::PostCommand(WPARAM command, LPARAM argument) const
{
    PostMessageW(m_window, WM_WINDOW_COMMAND, command, argument);
}

void Notifier::ShowStatusWindow()
{
    PostCommand(CmdShowStatus, SW_SHOW);
}

void Notifier::HideStatusWindow()
{
    PostCommand(CmdShowStatus, SW_HIDE);
}

void Notifier::ActionStartWithText(int packageId, const std::wstring& text)
{
    const EActionType type = GetActionType(packageId);
    m_actionTable->ActionText(type, text);
    m_actionTable->ActionStart(type);
}

void Notifier::ActionStart(int packageId)
{
    m_actionTable->ActionStart(GetActionType(packageId));
}

void Notifier::ActionEndWithText(int packageId, const std::wstring& text)
{
    // Ended first: ending restores the line's saved text, which would undo the new one.
    const EActionType type = GetActionType(packageId);
    m_actionTable->ActionEnd(type);
    m_actionTable->ActionText(type, text);
}

void Notifier::ActionEnd(int packageId)
{
    m_actionTable->ActionEnd(GetActionType(packageId));
}

void Notifier::ActionError(int packageId)
{
    m_actionTable->Error(GetActionType(packageId));
    m_hasErrors = true;
}

void Notifier::InformUser(const std::wstring& message)
{
    OV_TRACE_FUNCTION();
    OV_TRACE(OvBase::TraceInfo, L"Message: %s", message.c_str());
    // Nobody reads a box in an unattended run: it would only hold the run; the log has it.
    if (utils::CInstallContext::Instance().IsAutoInstall())
        return;
    MessageBoxW(m_window, message.c_str(), m_title.c_str(), MB_SYSTEMMODAL | MB_SETFOREGROUND | MB_ICONERROR);
}

bool Notifier::AskUser(const std::wstring& message, bool silentAnswer, unsigned int icon)
{
    OV_TRACE_FUNCTION();
    OV_TRACE(OvBase::TraceInfo, L"Message: %s", message.c_str());
    // An unattended run takes the answer a silent one would: nobody is there to give another.
    if (utils::CInstallContext::Instance().IsAutoInstall())
        return silentAnswer;
    // A question needs the user: the box comes to the front.
    return MessageBoxW(m_window, message.c_str(), m_title.c_str(), icon | MB_SYSTEMMODAL | MB_SETFOREGROUND | MB_YESNO) ==
           IDYES;
}

bool Notifier::AskUserWarning(const std::wstring& message, bool silentAnswer)
{
    return AskUser(message, silentAnswer, MB_ICONWARNING);
}

bool Notifier::AskUserQuestion(const std::wstring& message, bool silentAnswer)
{
    return AskUser(message, silentAnswer, MB_ICONQUESTION);
}

void Notifier::EnableCancel(bool enable)
{
    PostCommand(CmdEnableCancel, enable ? 1 : 0);
}

void Notifier::InstallationFinished()
{
    PostCommand(CmdRunFinished, 0);
}

void Notifier::CloseWindow()
{
    PostCommand(CmdQuit, 0);
}

void Notifier::ShowMessage(const std::wstring& text)
{
    m_statusCallback->ShowMessage(text.c_str());
}

bool Notifier::IsRebootRequired()
{
    return m_rebootRequired;
}

void Notifier::SetRebootRequired()
{
    m_rebootRequired = true;
}

bool Notifier::IsCancelled()
{
    return CancelQuery();
}

bool Notifier::HasErrors()
{
    return m_hasErrors;
}

bool Notifier::RebootCountdown(short seconds)
{
    if (utils::CInstallContext::Instance().IsUnattended())
        return true;
    PostCommand(CmdStartCountdown, seconds);
    for (short second = 0; second < seconds; ++second)
    {
        if (CancelQuery())
            return false;
        Sleep(instutils::SystemApi().countdownSecondMilliseconds);
        PostCommand(CmdCountdownTick, 0);
    }
    return true;
}

void Notifier::RequestUserAction(const std::shared_ptr<IInstallData>& installData)
{
    m_statusCallback->RequestUserAction(installData);
}
}
