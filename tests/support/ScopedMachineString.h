// One value of HKLM set to a string for a scope and put back as it was afterwards.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace testsupport
{
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
}
