#include "CheckPackages.h"

#include "Trace.h"
#include "Win32Objects.h"

#include <windows.h>

namespace utils
{
namespace
{
// Folder of the program file, without a trailing backslash.
std::wstring ProgramFolder()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;)
    {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size())
        {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2); // a deep folder: never look in a truncated one
    }
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}
} // namespace

CheckPackages::CheckPackages(std::vector<std::wstring> names) : m_names(std::move(names))
{
}

bool CheckPackages::PackageExist(const std::wstring& name) const
{
    OV_TRACE_FUNCTION();
    const std::wstring folder = ProgramFolder();
    OV_TRACE(OvBase::TraceInfo, L"Try find '%s' in '%s'", name.c_str(), folder.c_str());
    const std::wstring path = OvBase::JoinPath(folder, name.c_str());

    WIN32_FIND_DATAW data{};
    const HANDLE find = ::FindFirstFileW(path.c_str(), &data);
    // A folder that bears a package's name is no package.
    const bool found = find != INVALID_HANDLE_VALUE && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    if (find != INVALID_HANDLE_VALUE)
        ::FindClose(find);
    OV_TRACE(OvBase::TraceInfo, found ? L"Found" : L"Not found");
    return found;
}

bool CheckPackages::CheckAll() const
{
    for (const std::wstring& name : m_names)
    {
        if (!PackageExist(name))
            return false;
    }
    return true;
}
} // namespace utils
