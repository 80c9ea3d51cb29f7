// The prefix made to report another Windows version for the scope. The version a process
// sees is fixed when it starts, so only processes started inside the scope see it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace testsupport
{
// One value of HKLM set to a string for the scope and put back as it was afterwards.
class ScopedMachineString
{
public:
    ScopedMachineString(const wchar_t* key, const wchar_t* name, const std::wstring& value);
    ~ScopedMachineString();
    ScopedMachineString(const ScopedMachineString&) = delete;
    ScopedMachineString& operator=(const ScopedMachineString&) = delete;

private:
    std::wstring m_key;
    std::wstring m_name;
    DWORD m_type = REG_NONE;
    std::vector<BYTE> m_old;
    bool m_existed = false;
};

struct OsIdentity
{
    const wchar_t* version;     // "6.3"
    const wchar_t* build;       // "9600"
    const wchar_t* productType; // "ServerNT", "WinNT", "LanmanNT"
};

inline constexpr OsIdentity kServer2008R2{L"6.1", L"7601", L"ServerNT"};
inline constexpr OsIdentity kServer2012{L"6.2", L"9200", L"ServerNT"};
inline constexpr OsIdentity kServer2012R2{L"6.3", L"9600", L"ServerNT"};
inline constexpr OsIdentity kServer2008{L"6.0", L"6002", L"ServerNT"};
inline constexpr OsIdentity kWindows7{L"6.1", L"7601", L"WinNT"};

class ScopedOs
{
public:
    explicit ScopedOs(const OsIdentity& os);

private:
    ScopedMachineString m_version;
    ScopedMachineString m_build;
    ScopedMachineString m_type;
};
}
