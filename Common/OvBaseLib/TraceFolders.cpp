// Creation of the log file's folders, with the log folders' access list.
#include "LogFolderSecurity.h"
#include "TraceImpl.h"

namespace OvBase
{
bool CreateFoldersOfPath(const std::wstring& path)
{
    std::wstring text = path;
    size_t slash = text.find_last_of(L"\\/");
    if (slash == std::wstring::npos)
        return false;
    return !SecureLogFolder(text.substr(0, slash)).empty();
}
}
