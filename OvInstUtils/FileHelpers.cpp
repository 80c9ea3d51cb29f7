#include "FileHelpers.h"

#include <shlwapi.h>

#include "OvErrorObject.h"
#include "SystemApi.h"
#include "Trace.h"
#include "Win32Objects.h"

namespace instutils
{
const std::vector<std::wstring>& GetWebGatewayModuleNames()
{
    static const std::vector<std::wstring> names = {L"OvWebGateway.dll", L"OvWebGatewayAuth.dll",
                                                    L"OvWebGatewayFilter.dll", L"OvWebGatewayProxy.dll"};
    return names;
}

bool CheckFreeDiskSpace(const wchar_t* path, unsigned long required)
{
    OV_TRACE_FUNCTION();
    OV_TRACE(OvBase::TraceInfo, L"Required numer of bytes: %ld; path: %s", required, path ? path : L"");
    ULARGE_INTEGER available = {};
    ULARGE_INTEGER total = {};
    ULARGE_INTEGER free = {};
    if (!SystemApi().GetDiskFreeSpaceExW(path, &available, &total, &free))
        ThrowErrorCode(OvBase::HResultFromWin32(GetLastError()));
    bool result = free.QuadPart >= required;
    OV_TRACE(OvBase::TraceInfo, L"Bytes available to caller: %lld", available.QuadPart);
    OV_TRACE(OvBase::TraceInfo, L"Bytes on disk: %lld", total.QuadPart);
    OV_TRACE(OvBase::TraceInfo, L"Free bytes on disk: %lld", free.QuadPart);
    OV_TRACE(OvBase::TraceInfo, L"return value is: %d", result ? 1 : 0);
    return result;
}

std::wstring ExpandEnvString(const std::wstring& text)
{
    DWORD size = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
    if (size == 0)
        ThrowErrorCode(GetLastError());
    std::wstring expanded(size, L'\0');
    DWORD length = ExpandEnvironmentStringsW(text.c_str(), expanded.data(), size);
    if (length == 0)
        ThrowErrorCode(GetLastError());
    expanded.resize(wcslen(expanded.c_str()));
    return expanded;
}
}

namespace utils
{
int CreateDirectoryW(const std::wstring& path)
{
    if (::CreateDirectoryW(path.c_str(), nullptr))
        return 1;
    DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS)
        return ERROR_ALREADY_EXISTS;
    ThrowErrorCode(error);
}
}

CRenameBeforeDelete::CRenameBeforeDelete(const wchar_t* targetFolder)
{
    OV_TRACE_FUNCTION();
    const auto& names = instutils::GetWebGatewayModuleNames();
    m_fileNames.insert(names.begin(), names.end());
    for (const std::wstring& name : m_fileNames)
        OV_TRACE(OvBase::TraceInfo, L"Source File: %s", name.c_str());
    OV_TRACE(OvBase::TraceInfo, L"Target dir: %s", targetFolder ? targetFolder : L"");
    if (targetFolder)
        m_targetFolder = targetFolder;
}

void CRenameBeforeDelete::RenameBack()
{
    OV_TRACE_FUNCTION();
    for (const std::wstring& name : m_fileNames)
    {
        std::wstring backup = m_targetFolder + L"_" + name;
        std::wstring regular = m_targetFolder + name;
        if (PathFileExistsW(regular.c_str()))
        {
            OV_TRACE(OvBase::TraceInfo, L"Destination File Exists: %s. No Copy", regular.c_str());
            continue;
        }
        OV_TRACE(OvBase::TraceInfo, L"Make copy");
        OV_TRACE(OvBase::TraceInfo, L"Source File: %s", backup.c_str());
        OV_TRACE(OvBase::TraceInfo, L"Destination File: %s", regular.c_str());
        MoveFileExW(backup.c_str(), regular.c_str(), 0);
    }
}

namespace
{
bool IsReparsePoint(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Removes one entry; what is in use now goes at the next restart. A link goes itself, never
// what it points at.
void RemoveEntry(const std::wstring& path, bool folder)
{
    if (folder ? RemoveDirectoryW(path.c_str()) : DeleteFileW(path.c_str()))
        return;
    OvBase::TraceLine(OvBase::TraceWarning,
                      L"[DeleteFilesInFolder] ::DeleteFile function fail, file name: %s. Error code: %.8x", path.c_str(),
                      GetLastError());
    OvBase::TraceLine(OvBase::TraceInfo, L"Set Delete file after reboot.");
    OvBase::MoveFileOrDelay(path.c_str(), nullptr);
}
}

void DeleteFilesInFolder(const wchar_t* folder)
{
    OV_TRACE_FUNCTION();
    std::wstring base = folder ? folder : L"";
    OV_TRACE(OvBase::TraceInfo, L"[DeleteFilesInFolder] path: %s", base.c_str());
    // A folder that is itself a link is not emptied: its contents belong to whatever it points at.
    std::wstring self = base;
    while (self.size() > 3 && (self.back() == L'\\' || self.back() == L'/'))
        self.pop_back();
    if (IsReparsePoint(self))
    {
        OV_TRACE(OvBase::TraceWarning, L"[DeleteFilesInFolder] %s is a link: not descended into", self.c_str());
        return;
    }
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((base + L"*.*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do
    {
        if (wcscmp(found.cFileName, L".") == 0 || wcscmp(found.cFileName, L"..") == 0)
            continue;
        std::wstring full = base + found.cFileName;
        const bool directory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
            OV_TRACE(OvBase::TraceInfo, L"[DeleteFilesInFolder] link removed, not followed: %s", full.c_str());
        else if (directory)
            DeleteFilesInFolder((full + L'\\').c_str());
        RemoveEntry(full, directory);
    } while (FindNextFileW(search, &found));
    FindClose(search);
}
