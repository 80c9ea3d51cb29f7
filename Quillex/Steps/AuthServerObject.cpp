#include "AuthServerObject.h"

#include <vector>

#include "ActionErrorGuard.h"
#include "Engine/SharedRegionNames.h"
#include "MsiApi.h"
#include "ResString.h"
#include "SharedRegionText.h"
#include "Trace.h"
#include "Win32Objects.h"
#include "res/resource.h"

namespace ovinst
{
namespace
{
std::wstring FormatText(const std::wstring& format, const wchar_t* first, const wchar_t* second)
{
    std::vector<wchar_t> buffer(format.size() + wcslen(first) + (second ? wcslen(second) : 0) + 64);
    const int length = ::_snwprintf(buffer.data(), buffer.size() - 1, format.c_str(), first, second);
    return length < 0 ? format : std::wstring(buffer.data(), static_cast<size_t>(length));
}
}

AuthServerObject::AuthServerObject(std::shared_ptr<IMsiPackage> package, const std::wstring& directory)
    : MsiObjectBase(std::move(package), directory)
{
    OvBase::TraceLine(OvBase::TraceInfo, L"AuthServerObject created");
}

void AuthServerObject::Install(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier)
{
    OV_TRACE_FUNCTION();
    ActionErrorGuard guard(*notifier, PackageId());
    const bool fresh = m_package->GetAction() == MsiActionInstall;
    notifier->ShowStatusWindow();
    notifier->ActionStartWithText(PackageId(), LineText(fresh ? IDS_LINE_INSTALLING : IDS_LINE_UPDATING));
    msi::Api().SetInternalUI(INSTALLUILEVEL_NONE, nullptr);
    const InstallResult result = MsiObjectBase::Install(context);
    if (!result.success)
    {
        const std::wstring message =
            fresh ? FormatText(utils::LoadResString(IDS_AUTH_SERVER_ERROR), result.installerErrorText.c_str(), nullptr)
                  : FormatText(utils::LoadResString(IDS_WIZARD_TERMINATED), L"Orvane Studio",
                               result.installerErrorText.c_str());
        notifier->InformUser(message);
        throw utils::AbortInstallException();
    }
    guard.Disarm();
    notifier->ActionEndWithText(PackageId(), LineText(fresh ? IDS_LINE_INSTALLED : IDS_LINE_UPDATED));
}

void AuthServerObject::Update(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier)
{
    OV_TRACE_FUNCTION();
    Install(context, notifier);
}

void AuthServerObject::Uninstall(std::shared_ptr<IExecContext>&, std::unique_ptr<INotifier>& notifier)
{
    OV_TRACE_FUNCTION();
    UninstallWithLine(*notifier, true, true);
}

void AuthServerObject::Undo(std::shared_ptr<IExecContext>&, std::unique_ptr<INotifier>& notifier)
{
    OV_TRACE_FUNCTION();
    UndoFreshInstall(*notifier, true);
}

// Never logged: the wizard's command line may carry credentials.
std::wstring AuthServerObject::CommandLine(std::shared_ptr<IExecContext>& context)
{
    OV_TRACE_FUNCTION();
    OvBase::CWin32MappedFile& region = context->GetASMappedFile();
    const void* view = region.GetPointer_Ex(FILE_MAP_READ | FILE_MAP_WRITE, 0, kSharedRegionSize);
    size_t offset = 0;
    return ReadCountedText(view, kSharedRegionSize, offset);
}

std::wstring AuthServerObject::UninstallProperties()
{
    OV_TRACE_FUNCTION();
    return L"REMOVEALLDATA=1";
}
}
