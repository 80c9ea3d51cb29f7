// Plays another local user's program that creates one of the setup's shared regions before the
// setup does, open to everyone, and afterwards reads what reached it.
// Usage: RegionSquatter.exe {AS|DB|CP|UC} <folder> [<text>]
// Creates the region (with <text> at byte 4, NUL-terminated, where the update context keeps its
// temporary folder), writes <folder>\ready, waits (up to 10 minutes) for <folder>\stop, then
// writes the region's text (UTF-16 code units as UTF-8, NULs as line breaks) to
// <folder>\region.txt. Exit codes: 0 done, 1 bad arguments, 2 the region existed, 3 failure.
#include "Engine/SharedRegionNames.h"
#include "RegionKeys.h"

#include <windows.h>

#include <cwchar>
#include <string>

namespace
{
using ovtest::RegionName;

bool Touch(const std::wstring& path, const std::string& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return true;
}
}

int wmain(int argc, wchar_t* argv[])
{
    if (argc < 3 || argc > 4 || !RegionName(argv[1]))
        return 1;
    const std::wstring folder = argv[2];
    // A null access list: anyone may open it.
    SECURITY_DESCRIPTOR open;
    InitializeSecurityDescriptor(&open, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&open, TRUE, nullptr, FALSE);
    SECURITY_ATTRIBUTES security = {sizeof(security), &open, FALSE};
    HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, &security, PAGE_READWRITE, 0, ovinst::kSharedRegionSize,
                                        RegionName(argv[1]));
    if (!mapping)
        return 3;
    if (GetLastError() == ERROR_ALREADY_EXISTS)
        return 2;
    auto* view = static_cast<wchar_t*>(MapViewOfFile(mapping, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 0));
    if (!view)
        return 3;
    if (argc == 4)
        wcscpy(view + 2, argv[3]);
    if (!Touch(folder + L"\\ready", ""))
        return 3;
    for (int waited = 0; waited < 6000 && GetFileAttributesW((folder + L"\\stop").c_str()) == INVALID_FILE_ATTRIBUTES;
         ++waited)
        Sleep(100);
    std::wstring text;
    // The fields are a byte count and UTF-16 text; the counts show as odd characters.
    const size_t units = 64 * 1024;
    for (size_t i = 0; i < units; ++i)
    {
        if (view[i] != L'\0')
            text += view[i];
        else if (!text.empty() && text.back() != L'\n')
            text += L'\n';
    }
    std::string bytes(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                                              nullptr, 0, nullptr, nullptr)),
                      '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(),
                        static_cast<int>(bytes.size()), nullptr, nullptr);
    return Touch(folder + L"\\region.txt", bytes) ? 0 : 3;
}
