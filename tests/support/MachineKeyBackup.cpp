#include "MachineKeyBackup.h"

namespace testsupport
{
namespace
{
constexpr REGSAM kView = KEY_WOW64_64KEY;
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

std::optional<std::wstring> GetMachineString(const wchar_t* path, const wchar_t* name)
{
    DWORD type = 0;
    std::vector<BYTE> data;
    if (!GetMachineValue(path, name, type, data))
        return std::nullopt;
    std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0')
        text.pop_back();
    return text;
}
}
