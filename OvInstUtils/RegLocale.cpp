#include "RegLocale.h"

#include "OvErrorObject.h"
#include "ProductRegistry.h"
#include "Trace.h"
#include "Win32Objects.h"

#include <shlwapi.h>

namespace
{
constexpr REGSAM kReadWrite = KEY_READ | KEY_WRITE;
}

void LogRegistryError(const wchar_t* keyPath, DWORD result)
{
    wchar_t text[2048] = {};
    OvBase::FormatSystemError(text, 2048, result);
    OvBase::TraceLine(OvBase::TraceWarning, L"Fail to open reg key: \"%s\", error code: %i, message: \"%s\"",
                      keyPath, static_cast<int>(result), text);
}

namespace instutils::RegLocale
{
DWORD Set(const wchar_t* locale)
{
    OV_TRACE_FUNCTION();
    if (locale == nullptr)
        return ERROR_INVALID_PARAMETER;
    OvBase::CRegistryKey key(OvBase::CRegistryKey::RootLocalMachine);
    LONG result = key.Open(kProductKeyPath, false, kReadWrite);
    if (result == ERROR_FILE_NOT_FOUND)
    {
        OV_TRACE(OvBase::TraceInfo, L"Fail to open, try to create reg key: \"%s\"", kProductKeyPath);
        result = key.Open(kProductKeyPath, true, kReadWrite);
    }
    if (result != ERROR_SUCCESS)
    {
        LogRegistryError(kProductKeyPath, static_cast<DWORD>(result));
        return static_cast<DWORD>(result);
    }
    OV_TRACE(OvBase::TraceInfo, L"Reg key was opened successfully(\"%s\")", kProductKeyPath);

    result = key.SetString(kProductLocaleValue, locale, REG_SZ);
    if (result != ERROR_SUCCESS)
    {
        LogRegistryError(kProductKeyPath, static_cast<DWORD>(result));
        return static_cast<DWORD>(result);
    }
    return ERROR_SUCCESS;
}

void Remove()
{
    OV_TRACE_FUNCTION();
    {
        OvBase::CRegistryKey key(OvBase::CRegistryKey::RootLocalMachine);
        if (key.Open(kProductKeyPath, false, kReadWrite) == ERROR_SUCCESS)
            key.DeleteValue(kProductLocaleValue);
    }
    // The product key first, so that the maker's key can go in the same call.
    for (const wchar_t* path : {kProductKeyPath, kMakerKeyPath})
    {
        const DWORD result = ::SHDeleteEmptyKeyW(HKEY_LOCAL_MACHINE, path);
        OV_TRACE(OvBase::TraceInfo, L"SHDeleteEmptyKey(%s): %d", path, static_cast<int>(result));
    }
}
} // namespace instutils::RegLocale
