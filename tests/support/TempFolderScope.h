// Points the TMP variable (the temporary folder of GetTempPath, where dumps go) at a folder
// for one scope.
#pragma once

#include <windows.h>

#include <string>

namespace ovtest
{
class TempFolderScope
{
public:
    explicit TempFolderScope(const std::wstring& folder)
    {
        wchar_t old[MAX_PATH] = {};
        GetEnvironmentVariableW(L"TMP", old, MAX_PATH);
        m_old = old;
        SetEnvironmentVariableW(L"TMP", folder.c_str());
    }
    ~TempFolderScope() { SetEnvironmentVariableW(L"TMP", m_old.empty() ? nullptr : m_old.c_str()); }
    TempFolderScope(const TempFolderScope&) = delete;
    TempFolderScope& operator=(const TempFolderScope&) = delete;

private:
    std::wstring m_old;
};
}
