#include "MachineKeyBackup.h"

#include <stdexcept>

namespace testsupport
{
namespace
{
constexpr REGSAM kView = KEY_WOW64_64KEY;

LONG CopyTree(const std::wstring& from, const std::wstring& to)
{
    HKEY source = nullptr;
    LONG result = RegOpenKeyExW(HKEY_LOCAL_MACHINE, from.c_str(), 0, KEY_READ | kView, &source);
    if (result != ERROR_SUCCESS)
        return result;
    HKEY target = nullptr;
    result = RegCreateKeyExW(HKEY_LOCAL_MACHINE, to.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | kView, nullptr, &target, nullptr);
    if (result == ERROR_SUCCESS)
    {
        result = RegCopyTreeW(source, nullptr, target);
        RegCloseKey(target);
    }
    RegCloseKey(source);
    return result;
}
}

bool MachineKeyExists(const wchar_t* path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ | kView, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

void DeleteMachineTree(const wchar_t* path)
{
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, path);
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, path, kView, 0);
}

LONG SetMachineValue(const wchar_t* path, const wchar_t* name, DWORD type, const void* data, DWORD size)
{
    HKEY key = nullptr;
    LONG result = RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_SET_VALUE | kView, nullptr, &key, nullptr);
    if (result != ERROR_SUCCESS)
        return result;
    result = RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
    return result;
}

LONG SetMachineString(const wchar_t* path, const wchar_t* name, const std::wstring& text)
{
    return SetMachineValue(path, name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

bool GetMachineValue(const wchar_t* path, const wchar_t* name, DWORD& type, std::vector<BYTE>& data)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE | kView, &key) != ERROR_SUCCESS)
        return false;
    data.assign(1024, 0);
    DWORD size = static_cast<DWORD>(data.size());
    const LONG result = RegQueryValueExW(key, name, nullptr, &type, data.data(), &size);
    RegCloseKey(key);
    data.resize(result == ERROR_SUCCESS ? size : 0);
    return result == ERROR_SUCCESS;
}

MachineKeyBackup::MachineKeyBackup(const wchar_t* path)
    : m_path(path), m_backup(std::wstring(L"SOFTWARE\\OvTestBackup\\") + std::to_wstring(GetCurrentProcessId()))
{
    m_existed = MachineKeyExists(path);
    if (m_existed)
    {
        if (CopyTree(m_path, m_backup) != ERROR_SUCCESS)
            throw std::runtime_error("cannot put the registry key aside");
        DeleteMachineTree(path);
    }
}

MachineKeyBackup::~MachineKeyBackup()
{
    DeleteMachineTree(m_path.c_str());
    if (m_existed)
    {
        CopyTree(m_backup, m_path);
        DeleteMachineTree(m_backup.c_str());
    }
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\OvTestBackup", kView, 0);
}
}
