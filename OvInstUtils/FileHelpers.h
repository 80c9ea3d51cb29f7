// Small file-system helpers of the installation.
#pragma once

#include <windows.h>

#include <set>
#include <string>
#include <vector>

namespace instutils
{
// The Security Server's web gateway modules that an update moves aside ("_" + name).
const std::vector<std::wstring>& GetWebGatewayModuleNames();

// Whether the volume of `path` has at least `required` free bytes; throws on failure.
bool CheckFreeDiskSpace(const wchar_t* path, unsigned long required);
// Expands environment variables; throws on failure.
std::wstring ExpandEnvString(const std::wstring& text);
}

namespace utils
{
// Non-zero on success; 183 when the folder exists; throws any other failure.
int CreateDirectoryW(const std::wstring& path);
}

// Puts the moved-aside web gateway modules back under their own names.
class CRenameBeforeDelete
{
public:
    explicit CRenameBeforeDelete(const wchar_t* targetFolder);
    void RenameBack();

private:
    std::wstring m_targetFolder;
    std::set<std::wstring> m_fileNames;
};

// Empties a folder tree; what cannot be deleted now is deleted at the next restart.
// `folder` ends with a path separator.
void DeleteFilesInFolder(const wchar_t* folder);
