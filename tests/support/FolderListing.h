// The names in a folder that match a pattern, sorted (empty when the folder cannot be read).
#pragma once

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

namespace testsupport
{
inline std::vector<std::wstring> FilesIn(const std::wstring& folder, const wchar_t* pattern = L"*")
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\" + pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do
        names.push_back(found.cFileName);
    while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}
}
