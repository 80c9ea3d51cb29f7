#include "SecurityServerObject.h"

#include <vector>

#include "ActionErrorGuard.h"
#include "Engine/SharedRegionNames.h"
#include "MsiApi.h"
#include "PasswordMask.h"
#include "SharedRegionText.h"
#include "Trace.h"
#include "Win32Objects.h"
#include "res/resource.h"

namespace ovinst
{
namespace
{
void Wipe(std::wstring& text)
{
    if (!text.empty())
        SecureZeroMemory(text.data(), text.size() * sizeof(wchar_t));
    text.clear();
}
}

SecurityServerObject::SecurityServerObject(std::shared_ptr<IMsiPackage> package, const std::wstring& directory,
                                           const std::wstring& msiOption)
    : MsiObjectBase(std::move(package), directory), m_msiOption(msiOption)
{
    OvBase::TraceLine(OvBase::TraceInfo, L"SecurityServerObject created");
}

void SecurityServerObject::Install(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier)
{
    OV_TRACE_FUNCTION();
    ActionErrorGuard guard(*notifier, PackageId());
    context->CreateMappedFiles();
    const bool silent = context->GetUIMode();
    const bool fresh = m_package->GetAction() == MsiActionInstall;
    notifier->HideStatusWindow();
    notifier->ActionStartWithText(PackageId(), LineText(fresh ? IDS_LINE_INSTALLING : IDS_LINE_UPDATING));
    InstallOrAbort(context, *notifier, silent);
    context->SetServerInstalled();
    guard.Disarm();
    notifier->ActionEndWithText(PackageId(), LineText(fresh ? IDS_LINE_INSTALLED : IDS_LINE_UPDATED));
    notifier->SetRebootRequired();
}

void SecurityServerObject::Update(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier)
{
    OV_TRACE_FUNCTION();
    Install(context, notifier);
}

void SecurityServerObject::Uninstall(std::shared_ptr<IExecContext>&, std::unique_ptr<INotifier>& notifier)
{
    OV_TRACE_FUNCTION();
    UninstallWithLine(*notifier, false, false);
    notifier->SetRebootRequired();
}

void SecurityServerObject::Undo(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier)
{
    OV_TRACE_FUNCTION();
    notifier->ShowStatusWindow();
    notifier->ActionStartWithText(PackageId(), LineText(IDS_LINE_ROLLING_BACK));
    // After an update the previous build is gone already: nothing to remove.
    if (m_package->GetAction() == MsiActionInstall)
    {
        OvBase::CWin32MappedFile& region = context->GetDBMappedFile();
        const void* view = region.GetPointer_Ex(FILE_MAP_READ | FILE_MAP_WRITE, 0, kSharedRegionSize);
        size_t offset = 0;
        unsigned long count = 0;
        std::wstring name = ReadCountedText(view, kSharedRegionSize, offset, &count);
        std::wstring password;
        OV_TRACE(OvBase::TraceInfo, L"dwBufSize: \"%d\"", static_cast<int>(count));
        // A count that reaches past the region hands nothing over.
        const bool present = count != 0 && offset < kSharedRegionSize;
        if (present)
        {
            OV_TRACE(OvBase::TraceInfo, L"Db User: \"%s\"", name.c_str());
            password = ReadCountedText(view, kSharedRegionSize, offset);
            OV_TRACE(OvBase::TraceInfo, L"dwBufSize: \"***\"");
            OV_TRACE(OvBase::TraceInfo, L"Db Pass: \"***\"");
        }
        else
        {
            Wipe(name);
        }
        std::vector<wchar_t> properties(name.size() + password.size() + 256);
        ::_snwprintf(properties.data(), properties.size() - 1,
                     L"REMOVE=ALL REBOOT=ReallySuppress COMPLETE_UNINSTALL=2 OVDBANAME=%s OVDBAPASSWORD=%s "
                     L"DELETEDBONROLLBACK=%d",
                     name.c_str(), password.c_str(), present ? 1 : 0);
        const std::wstring path = PackagePath();
        OV_TRACE(OvBase::TraceInfo,
                 L"Performing rollback of Security Server install: calling MsiInstallProductW with '%s' path argument",
                 path.c_str());
        msi::Api().SetInternalUI(INSTALLUILEVEL_NONE, nullptr);
        // The log of the last installation would still be in force and receive the password.
        msi::Api().EnableLogW(0, nullptr, 0);
        const UINT code = msi::Api().InstallProductW(path.c_str(), properties.data());
        OV_TRACE(code == 0 ? OvBase::TraceInfo : OvBase::TraceWarning, L"MsiInstallProductW return code %u", code);
        SecureZeroMemory(properties.data(), properties.size() * sizeof(wchar_t));
        Wipe(name);
        Wipe(password);
    }
    notifier->ActionEndWithText(PackageId(), LineText(IDS_LINE_ROLLED_BACK));
}

std::wstring SecurityServerObject::CommandLine(std::shared_ptr<IExecContext>& context)
{
    OV_TRACE_FUNCTION();
    ResponseFileCommandLine settings;
    if (context->GetUIMode())
        settings = GetRspFileCmdLine();
    return OptionCommandLine(m_msiOption, settings);
}

std::wstring SecurityServerObject::UninstallProperties()
{
    OV_TRACE_FUNCTION();
    return L"COMPLETE_UNINSTALL=1";
}

ResponseFileCommandLine SecurityServerObject::GetRspFileCmdLine()
{
    OV_TRACE_FUNCTION();
    return GetSettingFileCommandLine(L"ZEDadizo.rsp");
}
}
