#include "DllSearch.h"

#include <string>

namespace
{
using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);

// Looked up rather than imported: the program has to start where the export is missing.
FARPROC Kernel32Export(const char* name)
{
    HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    return kernel32 ? GetProcAddress(kernel32, name) : nullptr;
}

std::wstring SystemFile(const wchar_t* name)
{
    wchar_t folder[MAX_PATH];
    UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return {};
    return std::wstring(folder, length) + L"\\" + name;
}
}

namespace OvBase
{
bool HardenDllSearch() noexcept
{
    // Takes the current folder out of the classic search order; harmless on top of the
    // default directories below, and the only protection without them.
    SetDllDirectoryW(L"");
    // SearchPathW (used for programs started by bare name) looks in the current folder last.
    SetSearchPathMode(BASE_SEARCH_PATH_ENABLE_SAFE_SEARCHMODE | BASE_SEARCH_PATH_PERMANENT);
    auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void*>(Kernel32Export("SetDefaultDllDirectories")));
    return setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

HMODULE LoadSystemLibrary(const wchar_t* name) noexcept
{
    HMODULE module = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module || GetLastError() != ERROR_INVALID_PARAMETER)
        return module;
    // A system without the search flags: the full path, and its dependencies looked up
    // from the DLL's own folder first.
    try
    {
        std::wstring path = SystemFile(name);
        if (path.empty())
            return nullptr;
        return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    }
    catch (...)
    {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
}
}
