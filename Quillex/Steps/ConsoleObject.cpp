#include "ConsoleObject.h"

#include "ActionErrorGuard.h"
#include "MsiApi.h"
#include "PasswordMask.h"
#include "Trace.h"
#include "res/resource.h"

namespace ovinst
{
ConsoleObject::ConsoleObject(std::shared_ptr<IMsiPackage> package, const std::wstring& directory,
                             const std::wstring& msiOption)
    : MsiObjectBase(std::move(package), directory), m_msiOption(msiOption)
{
    OvBase::TraceLine(OvBase::TraceInfo, L"ConsoleObject created");
}

void ConsoleObject::Install(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier)
{
    OV_TRACE_FUNCTION();
    ActionErrorGuard guard(*notifier, PackageId());
    const bool silent = context->GetUIMode();
    const MsiAction action = m_package->GetAction();
    const UINT start = action == MsiActionInstall  ? IDS_LINE_INSTALLING
                       : action == MsiActionUpdate ? IDS_LINE_UPDATING
                                                   : IDS_LINE_MODIFYING;
    const UINT end = action == MsiActionInstall  ? IDS_LINE_INSTALLED
                     : action == MsiActionUpdate ? IDS_LINE_UPDATED
                                                 : IDS_LINE_MODIFIED;
    notifier->HideStatusWindow();
    notifier->ActionStartWithText(PackageId(), LineText(start));
    InstallOrAbort(context, *notifier, silent);
    guard.Disarm();
    notifier->ActionEndWithText(PackageId(), LineText(end));
}

void ConsoleObject::Update(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier)
{
    OV_TRACE_FUNCTION();
    Install(context, notifier);
}

// The package's own maintenance run decides what goes.
void ConsoleObject::Uninstall(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier)
{
    OV_TRACE_FUNCTION();
    Install(context, notifier);
}

void ConsoleObject::Undo(std::shared_ptr<IExecContext>&, std::unique_ptr<INotifier>& notifier)
{
    OV_TRACE_FUNCTION();
    UndoFreshInstall(*notifier, false);
}

std::wstring ConsoleObject::CommandLine(std::shared_ptr<IExecContext>& context)
{
    OV_TRACE_FUNCTION();
    ResponseFileCommandLine settings;
    if (context->GetUIMode())
        settings = GetRspFileCmdLine();
    return OptionCommandLine(m_msiOption, settings);
}

std::wstring ConsoleObject::UninstallProperties()
{
    OV_TRACE_FUNCTION();
    return std::wstring();
}

ResponseFileCommandLine ConsoleObject::GetRspFileCmdLine()
{
    OV_TRACE_FUNCTION();
    return GetSettingFileCommandLine(L"ZODevevuz.rsp");
}
}
