// Path helpers, known folders and the operating-system version kind.
#include "Win32Objects.h"

#include <mutex>

namespace
{
typedef LONG(WINAPI* RtlGetVersionProc)(OSVERSIONINFOEXW*);

std::wstring WindowsFolder()
{
    wchar_t path[MAX_PATH];
    UINT length = GetWindowsDirectoryW(path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(path, length) : std::wstring();
}

std::wstring SystemFolder()
{
    wchar_t path[MAX_PATH];
    UINT length = GetSystemDirectoryW(path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(path, length) : std::wstring();
}

std::wstring ProgramFilesFolder()
{
    OvBase::CRegistryKey key(OvBase::CRegistryKey::RootLocalMachine);
    std::wstring folder;
    if (key.Open(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion", false, KEY_READ) == ERROR_SUCCESS)
        key.GetString(L"ProgramFilesDir", folder, L"");
    return folder;
}

std::wstring TempFolder()
{
    wchar_t path[MAX_PATH + 1];
    DWORD length = GetTempPathW(MAX_PATH + 1, path);
    return length > 0 && length <= MAX_PATH ? std::wstring(path, length) : std::wstring();
}
}

namespace OvBase
{
std::wstring JoinPath(const std::wstring& folder, const wchar_t* name, wchar_t separator)
{
    if (!name)
        return folder;
    if (folder.empty())
        return name;
    std::wstring path = folder;
    bool folderEnds = path.back() == separator;
    bool nameStarts = name[0] == separator;
    if (folderEnds && nameStarts)
        path.pop_back();
    else if (!folderEnds && !nameStarts)
        path += separator;
    return path + name;
}

DWORD MoveFileOrDelay(const wchar_t* source, const wchar_t* target)
{
    if (target && MoveFileExW(source, target, MOVEFILE_COPY_ALLOWED))
        return 0;
    if (MoveFileExW(source, target, MOVEFILE_DELAY_UNTIL_REBOOT | (target ? MOVEFILE_REPLACE_EXISTING : 0)))
        return 0;
    return GetLastError();
}

DWORD OsKindFromVersion(DWORD major, DWORD minor, bool server, bool serverR2)
{
    switch (major)
    {
    case 3:
    case 4:
        return 0;
    case 5:
        switch (minor)
        {
        case 0:
            return server ? OsWindows2000Server : OsWindows2000;
        case 1:
            return OsWindowsXP;
        case 2:
            return server ? (serverR2 ? OsWindowsServer2003R2 : OsWindowsServer2003) : OsWindowsXP64;
        }
        return 0;
    case 6:
        switch (minor)
        {
        case 0:
            return server ? OsWindowsServer2008 : OsWindowsVista;
        case 1:
            return server ? OsWindowsServer2008R2 : OsWindows7;
        case 2:
            return server ? OsWindowsServer2012 : OsWindows8;
        case 3:
            return server ? OsWindowsServer2012R2 : OsWindows81;
        }
        return 0;
    case 10:
        return server ? OsWindowsServer2016 : OsWindows10;
    }
    return OsWindowsNewer;
}

void GetOsVersionKind(OsVersionKind& version)
{
    OSVERSIONINFOEXW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    // The native call is not subject to the compatibility shims of GetVersionEx.
    auto rtlGetVersion = reinterpret_cast<RtlGetVersionProc>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
    if (!rtlGetVersion || rtlGetVersion(&info) != 0)
    {
        info = {};
        info.dwOSVersionInfoSize = sizeof(info);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
        GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info));
#pragma GCC diagnostic pop
    }
    bool server = info.wProductType != VER_NT_WORKSTATION;
    version.kind = OsKindFromVersion(info.dwMajorVersion, info.dwMinorVersion, server,
                                     server && GetSystemMetrics(SM_SERVERR2) != 0);
    version.valid = 1;
    version.servicePackMajor = info.wServicePackMajor;
    version.servicePackMinor = info.wServicePackMinor;
}

std::wstring GetKnownFolder(int kind, const wchar_t* relativePath)
{
    static std::mutex lock;
    static std::wstring folders[4];
    static std::wstring (*const lookups[4])() = {&WindowsFolder, &SystemFolder, &ProgramFilesFolder, &TempFolder};
    if (kind < 0 || kind > 3)
        return {};
    std::wstring folder;
    {
        std::lock_guard<std::mutex> guard(lock);
        if (folders[kind].empty())
            folders[kind] = lookups[kind]();
        folder = folders[kind];
    }
    return JoinPath(folder, relativePath, L'\\');
}
}
