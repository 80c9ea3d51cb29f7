// Creation of the log file's folders, open to every user and app container.
#include "TraceImpl.h"

#include <sddl.h>

#include <mutex>

namespace
{
// Full access, inherited, for LocalSystem, Everyone, Administrators and both app package
// groups; group Administrators, no owner.
const wchar_t kLogFolderSddl[] =
    L"G:BAD:(A;OICI;GA;;;SY)(A;OICI;GA;;;WD)(A;OICI;GA;;;BA)(A;OICI;GA;;;S-1-15-2-1)(A;OICI;GA;;;S-1-15-2-2)";

PSECURITY_DESCRIPTOR LogFolderDescriptor()
{
    static std::once_flag once;
    static PSECURITY_DESCRIPTOR descriptor = nullptr;
    std::call_once(once, [] {
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kLogFolderSddl, SDDL_REVISION_1, &descriptor,
                                                                  nullptr))
            descriptor = nullptr;
    });
    return descriptor;
}

bool IsFolder(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}
}

namespace OvBase
{
bool CreateFoldersOfPath(const std::wstring& path)
{
    std::wstring text = path;
    for (wchar_t& c : text)
        if (c == L'/')
            c = L'\\';
    size_t root = text.find(L'\\', text.size() > 0 && text[0] == L'\\' ? 3 : 0);
    if (root == std::wstring::npos)
        return false;

    SECURITY_ATTRIBUTES security = {sizeof(security), LogFolderDescriptor(), FALSE};
    for (size_t pos = text.find(L'\\', root + 1); pos != std::wstring::npos; pos = text.find(L'\\', pos + 1))
    {
        std::wstring folder = text.substr(0, pos);
        if (CreateDirectoryW(folder.c_str(), security.lpSecurityDescriptor ? &security : nullptr))
            continue;
        // A share or a volume root cannot be created but is there.
        if (GetLastError() != ERROR_ALREADY_EXISTS && !IsFolder(folder))
            return false;
    }
    return true;
}
}
