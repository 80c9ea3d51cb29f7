#include "InstallDotNetObject.h"


#include "Engine/InstallContext.h"
#include "Engine/ShownError.h"
#include "OvErrorObject.h"
#include "ResString.h"
#include "Trace.h"
#include "Win32Objects.h"
#include "res/resource.h"

namespace ovinst
{
namespace
{
const wchar_t* VersionName(int version)
{
    switch (version)
    {
    case InstallDotNetObject::DotNet40Full:
        return L"4 Full";
    case InstallDotNetObject::DotNet45:
        return L"4.5";
    default:
        return L"WRONG VERSION!";
    }
}
}

InstallDotNetObject::InstallDotNetObject() : m_keys{L"SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v4\\Full"}
{
    OvBase::TraceLine(OvBase::TraceInfo, L"InstallDotNetObject created");
}

InstallDotNetObject::~InstallDotNetObject() = default;

void InstallDotNetObject::Exec(std::shared_ptr<IExecContext>&, std::unique_ptr<INotifier>& notifier)
{
    OvBase::CFuncTraceContext trace(L"ovinst::InstallDotNetObject::Exec", OV_WFILE, __LINE__);
    try
    {
        notifier->ActionStartWithText(1, L"(.NET Framework)");
        if (!IsDotNetInstalled(DotNet45))
            InstallDotNet(DotNet45);
        notifier->ActionEnd(1);
    }
    catch (OvBase::COvError& error)
    {
        notifier->InformUser(utils::FormatResString(IDS_DOTNET_ERROR, error.GetDescription()));
        MarkShownToUser(error);
        utils::LogException(std::current_exception(), L"ovinst::InstallDotNetObject::Exec");
        notifier->ActionError(1);
        throw;
    }
    catch (...)
    {
        utils::LogException(std::current_exception(), L"ovinst::InstallDotNetObject::Exec");
        notifier->ActionError(1);
        throw;
    }
}

void InstallDotNetObject::Undo(std::shared_ptr<IExecContext>&, std::unique_ptr<INotifier>&)
{
}

bool InstallDotNetObject::IsDotNetInstalled(int version)
{
    OvBase::CFuncTraceContext trace(L"ovinst::InstallDotNetObject::IsDotNetInstalled", OV_WFILE, __LINE__);
    trace.Trace(OvBase::TraceInfo, L"Check dotNet version: %s", VersionName(version));
    if (version != DotNet40Full && version != DotNet45)
        return false;
    bool found = false;
    for (const std::wstring& path : m_keys)
    {
        OvBase::CRegistryKey key(OvBase::CRegistryKey::RootLocalMachine);
        if (key.Open(path.c_str(), false, KEY_READ) != ERROR_SUCCESS)
            continue;
        DWORD install = 0;
        DWORD release = 0;
        key.GetDword(L"Install", install, 0);
        key.GetDword(L"Release", release, 0);
        trace.Trace(OvBase::TraceInfo, L"%s:0x%x", path.c_str(), static_cast<unsigned>(install));
        found = install == 1;
        trace.Trace(OvBase::TraceInfo, L"bRet value: %i", found ? 1 : 0);
        if (version == DotNet45)
        {
            key.GetDword(L"Release", release, 0);
            trace.Trace(OvBase::TraceInfo, L"%s:0x%x", path.c_str(), static_cast<unsigned>(release));
            found = found && release != 0;
            trace.Trace(OvBase::TraceInfo, L"bRet value: %i", found ? 1 : 0);
        }
        if (found)
            break;
    }
    return found;
}

void InstallDotNetObject::InstallDotNet(int version)
{
    OvBase::CFuncTraceContext trace(L"ovinst::InstallDotNetObject::InstallDotNet", OV_WFILE, __LINE__);
    trace.Trace(OvBase::TraceInfo, L"Try to install dotNet version: %s", VersionName(version));
    if (IsDotNetInstalled(version))
        return;
    const wchar_t* file = nullptr;
    if (version == DotNet45)
        file = L"dotnetfx45_full_x86_x64.exe";
    else if (version == DotNet40Full)
        file = L"dotNetFx40_Full_x86_x64.exe";
    else
        return;
    const std::wstring installer = utils::CInstallContext::Instance().GetDotNetPath() + L"\\" + file;
    const wchar_t arguments[] = L"/q /norestart /nopatch";
    trace.Trace(OvBase::TraceInfo, L"Running [%s] [%s]", installer.c_str(), arguments);

    // An installer that cannot start keeps the wrapper's initial 0xFFFFFFFF.
    OvBase::CWin32Process process;
    if (process.Create(installer.c_str(), arguments, false, 0, true) == 0)
        process.WaitFor(INFINITE);
    const DWORD exitCode = process.GetExitCode();
    trace.Trace(OvBase::TraceInfo, L"0x%x", static_cast<unsigned>(exitCode));
    // A restart request is accepted and not passed on.
    if (exitCode != 0 && exitCode != 3010 && exitCode != 3011)
        ThrowErrorCode(exitCode);
}
}
