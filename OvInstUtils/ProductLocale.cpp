#include "ProductLocale.h"

#include "ProductRegistry.h"

#include "DllSearch.h"

namespace
{
// Length of a locale name such as "en-US", with its terminating zero.
constexpr DWORD kLocaleLength = 6;

using RegOpenKeyExFn = LONG(WINAPI*)(HKEY, LPCWSTR, DWORD, REGSAM, PHKEY);
using RegQueryValueExFn = LONG(WINAPI*)(HKEY, LPCWSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
using RegCloseKeyFn = LONG(WINAPI*)(HKEY);
using StandaloneProductLocaleFn = DWORD(WINAPI*)(wchar_t*, DWORD*);

// The reader also serves the error texts, which may be built before anything else of the
// program is initialised, so it finds the registry functions itself.
struct RegistryFunctions
{
    RegOpenKeyExFn open = nullptr;
    RegQueryValueExFn query = nullptr;
    RegCloseKeyFn close = nullptr;

    RegistryFunctions()
    {
        HMODULE advapi = OvBase::LoadSystemLibrary(L"Advapi32.dll");
        if (advapi == nullptr)
            return;
        open = reinterpret_cast<RegOpenKeyExFn>(reinterpret_cast<void*>(::GetProcAddress(advapi, "RegOpenKeyExW")));
        query = reinterpret_cast<RegQueryValueExFn>(reinterpret_cast<void*>(::GetProcAddress(advapi, "RegQueryValueExW")));
        close = reinterpret_cast<RegCloseKeyFn>(reinterpret_cast<void*>(::GetProcAddress(advapi, "RegCloseKey")));
    }
};

const RegistryFunctions& Registry()
{
    static const RegistryFunctions functions; // initialised once, thread-safe
    return functions;
}

class OpenedKey
{
public:
    OpenedKey() = default;
    ~OpenedKey()
    {
        if (m_key != nullptr && Registry().close != nullptr)
            Registry().close(m_key);
    }
    OpenedKey(const OpenedKey&) = delete;
    OpenedKey& operator=(const OpenedKey&) = delete;

    HKEY* Put() { return &m_key; }
    HKEY Get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

DWORD ReadFromProductKey(HKEY root, wchar_t* buffer, DWORD* length)
{
    const RegistryFunctions& registry = Registry();
    if (registry.open == nullptr)
        return ERROR_PROC_NOT_FOUND;
    OpenedKey key;
    LONG result = registry.open(root, instutils::kProductKeyPath, 0, KEY_READ | KEY_WOW64_64KEY, key.Put());
    if (result != ERROR_SUCCESS)
        return static_cast<DWORD>(result);
    if (registry.query == nullptr)
        return ERROR_PROC_NOT_FOUND;

    wchar_t value[16] = {};
    DWORD type = 0;
    DWORD size = sizeof(value);
    result = registry.query(key.Get(), instutils::kProductLocaleValue, nullptr, &type,
                            reinterpret_cast<BYTE*>(value), &size);
    // A value too long for the local buffer is no locale name either.
    if (result == ERROR_MORE_DATA)
        return ERROR_INVALID_DATA;
    if (result != ERROR_SUCCESS)
        return static_cast<DWORD>(result);
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return ERROR_INVALID_DATA;
    // Six characters that are not zero-terminated would leave the caller an open string.
    if (size != kLocaleLength * sizeof(wchar_t) || value[kLocaleLength - 1] != L'\0')
        return ERROR_INVALID_DATA;
    if (*length < kLocaleLength)
    {
        *length = kLocaleLength;
        return ERROR_INSUFFICIENT_BUFFER;
    }
    *length = kLocaleLength;
    for (DWORD i = 0; i < kLocaleLength; ++i)
        buffer[i] = value[i];
    return ERROR_SUCCESS;
}
} // namespace

DWORD ReadProductLocale(HKEY root, wchar_t* buffer, DWORD* length)
{
    if (buffer == nullptr || length == nullptr)
        return ERROR_INVALID_PARAMETER;
    const DWORD result = ReadFromProductKey(root, buffer, length);
    if ((result != ERROR_FILE_NOT_FOUND && result != ERROR_PATH_NOT_FOUND) || root == HKEY_CURRENT_USER)
        return result;

    // A program that carries its own mark (a stand-alone build) exports it.
    auto standalone = reinterpret_cast<StandaloneProductLocaleFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(nullptr), "StandaloneProductLocale")));
    if (standalone == nullptr)
        return result;
    const DWORD own = standalone(buffer, length);
    return own == ERROR_PROC_NOT_FOUND ? result : own;
}

DWORD ReadMachineProductLocale(wchar_t* buffer, DWORD* length)
{
    return ReadProductLocale(HKEY_LOCAL_MACHINE, buffer, length);
}

std::wstring GetProductLocale()
{
    wchar_t buffer[10] = {};
    DWORD length = 10;
    if (ReadMachineProductLocale(buffer, &length) != ERROR_SUCCESS)
        return {};
    return buffer;
}
