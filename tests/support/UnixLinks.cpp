#include "UnixLinks.h"

#include <windows.h>

#include <vector>

namespace ovtest
{
std::string UnixPath(const std::wstring& path)
{
    using UnixName = char*(CDECL*)(const wchar_t*);
    auto convert = reinterpret_cast<UnixName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!convert)
        return {};
    char* name = convert(path.c_str());
    if (!name)
        return {};
    std::string text = name;
    HeapFree(GetProcessHeap(), 0, name);
    return text;
}

bool RunUnix(const std::string& commandLine)
{
    // Wine starts Unix programs too; /bin/sh reads the whole line.
    std::wstring wide = L"Z:\\bin\\sh -c \"";
    for (char c : commandLine)
        wide += c == '"' ? std::wstring(L"\\\"") : std::wstring(1, static_cast<wchar_t>(static_cast<unsigned char>(c)));
    wide += L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(L"Z:\\bin\\sh", wide.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

namespace
{
// The name itself need not exist yet, its folder must.
std::string UnixPathOfName(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos)
        return {};
    const std::string folder = UnixPath(path.substr(0, slash));
    if (folder.empty())
        return {};
    std::string name;
    for (wchar_t c : path.substr(slash + 1))
        name += static_cast<char>(c);
    return folder + "/" + name;
}
}

bool PlantFolderLink(const std::wstring& link, const std::wstring& target)
{
    const std::string from = UnixPathOfName(link);
    const std::string to = UnixPath(target);
    if (from.empty() || to.empty())
        return false;
    if (!RunUnix("ln -sfn '" + to + "' '" + from + "'"))
        return false;
    // Wine does not wait for a Unix process: wait for its effect.
    for (int waited = 0; waited < 100; ++waited, Sleep(50))
    {
        DWORD attributes = GetFileAttributesW(link.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            return true;
    }
    return false;
}

void RemoveLink(const std::wstring& link)
{
    const std::string path = UnixPathOfName(link);
    if (path.empty() || !RunUnix("[ -L '" + path + "' ] && rm -f '" + path + "'"))
        return;
    for (int waited = 0; waited < 100; ++waited, Sleep(50))
    {
        DWORD attributes = GetFileAttributesW(link.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES && GetLastError() != ERROR_NOT_A_REPARSE_POINT)
            return;
        if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            return;
    }
}
}
