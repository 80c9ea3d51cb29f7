#include "Runtime.h"

#include "MsiApi.h"
#include "OvErrorObject.h"
#include "ProductGuids.h"
#include "Trace.h"
#include "Win32Objects.h"

namespace instutils
{
namespace
{
const wchar_t kArguments[] = L"/quiet /norestart";

// Success, "another version is installed", and the restart requests, also as HRESULTs.
bool IsAccepted(DWORD result)
{
    switch (result)
    {
    case 0:
    case 1638:
    case 3010:
    case 3011:
    case 1641:
    case 0x80070BC2:
    case 0x80070BC3:
    case 0x80070669:
        return true;
    default:
        return false;
    }
}
} // namespace

Runtime::Runtime()
    : m_packages{{OV_RUNTIME_X64_MINIMUM, OV_RUNTIME_X64_ADDITIONAL, L"vcredist_x64.exe"},
                 {OV_RUNTIME_X86_MINIMUM, OV_RUNTIME_X86_ADDITIONAL, L"vcredist_x86.exe"}},
      m_name(L"Visual C++ 2017 Redistributable Package")
{
}

bool Runtime::CheckRuntime(const Package& package)
{
    OvBase::CFuncTraceContext trace(L"instutils::Runtime::CheckRuntime", OV_WFILE, __LINE__);
    const INSTALLSTATE minimum = msi::Api().QueryProductStateW(package.minimumProductCode.c_str());
    const INSTALLSTATE additional = msi::Api().QueryProductStateW(package.additionalProductCode.c_str());
    trace.Trace(OvBase::TraceInfo, L"Minimal: %d. Additional: %d.", static_cast<int>(minimum),
                static_cast<int>(additional));
    return minimum == INSTALLSTATE_DEFAULT && additional == INSTALLSTATE_DEFAULT;
}

bool Runtime::IsInstalled()
{
    for (const Package& package : m_packages)
    {
        if (!CheckRuntime(package))
            return false;
    }
    return true;
}

void Runtime::Install(const std::wstring& folder)
{
    OvBase::CFuncTraceContext trace(L"instutils::Runtime::Install", OV_WFILE, __LINE__);
    for (const Package& package : m_packages)
    {
        if (CheckRuntime(package))
            continue;
        const std::wstring path = OvBase::JoinPath(folder, package.installerFile.c_str(), L'\\');
        trace.Trace(OvBase::TraceInfo, L"[instutils::Runtime::Install] Install C++ runtime '%s' with command line '%s' ",
                    path.c_str(), kArguments);
        OvBase::CWin32Process process;
        DWORD result = process.Create(path.c_str(), kArguments, false, 0, true);
        if (result == 0)
        {
            process.WaitFor(INFINITE);
            result = process.GetExitCode();
        }
        trace.Trace(OvBase::TraceInfo, L"Install Runtime result: 0x%x", static_cast<unsigned>(result));
        if (!IsAccepted(result))
            ThrowErrorCode(OvBase::HResultFromWin32(result));
    }
}
} // namespace instutils
