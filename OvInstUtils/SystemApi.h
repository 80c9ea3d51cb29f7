#pragma once

#include <windows.h>
#include <wbemidl.h>

namespace instutils
{
// Runs the WQL query on the services object (flags 0, no context).
HRESULT WmiExecQuery(IWbemServices* services, BSTR language, BSTR query, IEnumWbemClassObject** result);

// System calls behind machine states that a test machine cannot take for real (a token
// without administrator rights, a full system drive, a wintrust without an export, a hotfix
// that WMI lists, a shutdown request) and the waits that would make tests slow. Defaults
// are the real calls and the real durations.
struct SystemFunctions
{
    decltype(&::AccessCheck) AccessCheck = ::AccessCheck;
    decltype(&::GetDiskFreeSpaceExW) GetDiskFreeSpaceExW = ::GetDiskFreeSpaceExW;
    decltype(&::GetProcAddress) GetProcAddress = ::GetProcAddress;
    decltype(&WmiExecQuery) ExecWmiQuery = WmiExecQuery;
    decltype(&::AdjustTokenPrivileges) AdjustTokenPrivileges = ::AdjustTokenPrivileges;
    decltype(&::InitiateSystemShutdownExW) InitiateSystemShutdownExW = ::InitiateSystemShutdownExW;
    decltype(&::Sleep) Sleep = ::Sleep;
    // Writes of the UAC settings, whose failures a test prefix cannot produce.
    decltype(&::RegSetValueExW) RegSetValueExW = ::RegSetValueExW;
    decltype(&::RegDeleteValueW) RegDeleteValueW = ::RegDeleteValueW;
    // Length of one second of the restart countdown.
    UINT countdownSecondMilliseconds = 1000;
};

// The table in force. Replace entries only through CSystemApiOverride, before the threads
// that use them start: the table itself is not locked.
const SystemFunctions& SystemApi() noexcept;

// Replaces entries of the table for one scope; the previous table comes back when the
// guard ends. Guards nest (newest first out).
class CSystemApiOverride
{
public:
    CSystemApiOverride() noexcept;
    ~CSystemApiOverride();
    CSystemApiOverride(const CSystemApiOverride&) = delete;
    CSystemApiOverride& operator=(const CSystemApiOverride&) = delete;

    SystemFunctions* operator->() noexcept;
    const SystemFunctions& Previous() const noexcept { return m_saved; }

private:
    SystemFunctions m_saved;
};
} // namespace instutils
