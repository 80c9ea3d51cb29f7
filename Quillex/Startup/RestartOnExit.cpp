#include "RestartOnExit.h"

#include <windows.h>

#include "Engine/InstallContext.h"
#include "SystemApi.h"
#include "Trace.h"

namespace utils
{
RestartOnExit::~RestartOnExit()
{
    try
    {
        OvBase::CFuncTraceContext trace(L"utils::RestartOnExit::~RestartOnExit", OV_WFILE, __LINE__);
        if (CInstallContext::Instance().IsRestartOnExit())
        {
            trace.Trace(OvBase::TraceInfo, L"Restarting os...");
            RestartOs();
        }
        else
        {
            trace.Trace(OvBase::TraceInfo, L"Restart not needed");
        }
    }
    catch (...)
    {
    }
}

void RestartOs()
{
    OvBase::CFuncTraceContext trace(L"utils::RestartOs", OV_WFILE, __LINE__);
    const instutils::SystemFunctions& api = instutils::SystemApi();
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
    {
        trace.Trace(OvBase::TraceWarning, L"OpenProcessToken returns: %d", static_cast<int>(::GetLastError()));
    }
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    ::LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid);
    // Success with ERROR_NOT_ALL_ASSIGNED is no failure here: the shutdown request says so.
    if (!api.AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr))
    {
        trace.Trace(OvBase::TraceWarning, L"AdjustTokenPrivileges returns: %d", static_cast<int>(::GetLastError()));
    }
    if (token)
        ::CloseHandle(token);
    wchar_t message[] = L"";
    if (!api.InitiateSystemShutdownExW(nullptr, message, 0, TRUE, TRUE, 0x80040002))
    {
        trace.Trace(OvBase::TraceWarning, L"InitiateSystemShutdownEx returns: %d\n", static_cast<int>(::GetLastError()));
    }
}
}
