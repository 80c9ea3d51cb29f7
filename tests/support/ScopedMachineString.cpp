#include "ScopedMachineString.h"

#include "MachineKeyBackup.h"

namespace testsupport
{
ScopedMachineString::ScopedMachineString(const wchar_t* key, const wchar_t* name, const std::wstring& value)
    : m_key(key), m_name(name)
{
    m_existed = GetMachineValue(key, name, m_type, m_old);
    SetMachineString(key, name, value);
}

ScopedMachineString::~ScopedMachineString()
{
    if (m_existed)
        SetMachineValue(m_key.c_str(), m_name.c_str(), m_type, m_old.data(), static_cast<DWORD>(m_old.size()));
    else
        ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, m_key.c_str(), m_name.c_str());
}
}
