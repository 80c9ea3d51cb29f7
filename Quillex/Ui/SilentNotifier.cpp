#include "SilentNotifier.h"

#include "Engine/InstallContext.h"
#include "Trace.h"

#include <windows.h>

namespace ovinst
{
SilentNotifier::~SilentNotifier() = default;

void SilentNotifier::ShowStatusWindow()
{
}

void SilentNotifier::HideStatusWindow()
{
}

void SilentNotifier::ActionStartWithText(int, const std::wstring&)
{
}

void SilentNotifier::ActionStart(int)
{
}

void SilentNotifier::ActionEndWithText(int, const std::wstring&)
{
}

void SilentNotifier::ActionEnd(int)
{
}

void SilentNotifier::ActionError(int)
{
}

void SilentNotifier::InformUser(const std::wstring& message)
{
    OV_TRACE_FUNCTION();
    OV_TRACE(OvBase::TraceInfo, L"Message: %s", message.c_str());
}

bool SilentNotifier::AskUser(const std::wstring& message, bool silentAnswer, unsigned int)
{
    OV_TRACE_FUNCTION();
    OV_TRACE(OvBase::TraceInfo, L"Message: %s", message.c_str());
    OV_TRACE(OvBase::TraceInfo, L"Silent answer: %s", silentAnswer ? L"Yes" : L"No");
    return silentAnswer;
}

bool SilentNotifier::AskUserWarning(const std::wstring& message, bool silentAnswer)
{
    return AskUser(message, silentAnswer, MB_ICONWARNING);
}

bool SilentNotifier::AskUserQuestion(const std::wstring& message, bool silentAnswer)
{
    return AskUser(message, silentAnswer, MB_ICONQUESTION);
}

void SilentNotifier::EnableCancel(bool)
{
}

void SilentNotifier::InstallationFinished()
{
}

void SilentNotifier::CloseWindow()
{
}

void SilentNotifier::ShowMessage(const std::wstring&)
{
}

bool SilentNotifier::IsRebootRequired()
{
    return false;
}

void SilentNotifier::SetRebootRequired()
{
    // Never a countdown or a restart here; the need is kept for the run's exit code.
    utils::CInstallContext::Instance().SetRestartNeeded(true);
}

bool SilentNotifier::IsCancelled()
{
    return false;
}

bool SilentNotifier::HasErrors()
{
    return false;
}

bool SilentNotifier::RebootCountdown(short)
{
    return true;
}

void SilentNotifier::RequestUserAction(const std::shared_ptr<IInstallData>&)
{
}
}
