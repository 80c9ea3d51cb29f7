#include "FdSyncObject.h"

#include "ActionErrorGuard.h"
#include "MsiApi.h"
#include "PasswordMask.h"
#include "Trace.h"
#include "res/resource.h"

namespace ovinst
{
FdSyncObject::FdSyncObject(std::shared_ptr<IMsiPackage> package, const std::wstring& directory)
    : MsiObjectBase(std::move(package), directory)
{
    OvBase::TraceLine(OvBase::TraceInfo, L"FdSyncObject created");
}

void FdSyncObject::Install(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier)
{
    OV_TRACE_FUNCTION();
    ActionErrorGuard guard(*notifier, PackageId());
    const bool silent = context->GetUIMode();
    const bool fresh = m_package->GetAction() == MsiActionInstall;
    // On an update the window stays when this run has just updated the Security Server.
    if (!fresh && context->IsServerInstalled())
        notifier->ShowStatusWindow();
    else
        notifier->HideStatusWindow();
    notifier->ActionStartWithText(PackageId(), LineText(fresh ? IDS_LINE_INSTALLING : IDS_LINE_UPDATING));
    InstallOrAbort(context, *notifier, silent);
    guard.Disarm();
    notifier->ActionEndWithText(PackageId(), LineText(fresh ? IDS_LINE_INSTALLED : IDS_LINE_UPDATED));
}

void FdSyncObject::Update(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier)
{
    OV_TRACE_FUNCTION();
    Install(context, notifier);
}

void FdSyncObject::Uninstall(std::shared_ptr<IExecContext>&, std::unique_ptr<INotifier>& notifier)
{
    OV_TRACE_FUNCTION();
    UninstallWithLine(*notifier, false, true);
}

void FdSyncObject::Undo(std::shared_ptr<IExecContext>&, std::unique_ptr<INotifier>& notifier)
{
    OV_TRACE_FUNCTION();
    UndoFreshInstall(*notifier, false);
}

std::wstring FdSyncObject::CommandLine(std::shared_ptr<IExecContext>&)
{
    OV_TRACE_FUNCTION();
    const std::wstring commandLine = TransformPart();
    LogCommandLine(MaskPasswords(commandLine));
    return commandLine;
}

std::wstring FdSyncObject::UninstallProperties()
{
    OV_TRACE_FUNCTION();
    return std::wstring();
}
}
