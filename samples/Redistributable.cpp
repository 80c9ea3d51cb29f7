// Stand-in for a vendor's redistributable installer in the sample distribution: the C/C++
// runtime (OV_REDIST_RUNTIME: installs the two packages embedded as RCDATA 1 and 2) or
// .NET Framework 4.5 (OV_REDIST_DOTNET: writes the framework's setup values).
//
// It accepts only the vendor's silent arguments (anything else ends with 1639, as a real
// one would show its window instead). The exit code is taken from "<name>.exitcode" beside
// the program when that file exists (decimal text), else 0; the work is done only for the
// codes that mean success. Each run appends its arguments to "<name>.calls" beside it.
#include <windows.h>
#include <msi.h>

#include <cstdlib>
#include <string>

namespace
{
#if defined(OV_REDIST_RUNTIME)
const wchar_t kExpectedArguments[] = L"/quiet /norestart";
#elif defined(OV_REDIST_DOTNET)
const wchar_t kExpectedArguments[] = L"/q /norestart /nopatch";
#else
#error "OV_REDIST_RUNTIME or OV_REDIST_DOTNET"
#endif

std::wstring ProgramPathWithoutExtension()
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring full(path, length);
    const size_t dot = full.find_last_of(L'.');
    return dot == std::wstring::npos ? full : full.substr(0, dot);
}

// The command line after the program's own name, without surrounding blanks.
std::wstring Arguments()
{
    const wchar_t* p = ::GetCommandLineW();
    if (*p == L'"')
    {
        ++p;
        while (*p && *p != L'"')
            ++p;
        if (*p)
            ++p;
    }
    else
    {
        while (*p && *p != L' ' && *p != L'\t')
            ++p;
    }
    std::wstring rest(p);
    const size_t first = rest.find_first_not_of(L" \t");
    if (first == std::wstring::npos)
        return std::wstring();
    const size_t last = rest.find_last_not_of(L" \t");
    return rest.substr(first, last - first + 1);
}

void AppendCall(const std::wstring& file, const std::wstring& arguments)
{
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, arguments.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string line(size > 0 ? size - 1 : 0, '\0');
    if (size > 1)
        ::WideCharToMultiByte(CP_UTF8, 0, arguments.c_str(), -1, line.data(), size, nullptr, nullptr);
    line += "\r\n";
    HANDLE h = ::CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    ::WriteFile(h, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    ::CloseHandle(h);
}

DWORD ChosenExitCode(const std::wstring& file)
{
    HANDLE h = ::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    char text[32] = {};
    DWORD read = 0;
    ::ReadFile(h, text, sizeof(text) - 1, &read, nullptr);
    ::CloseHandle(h);
    return static_cast<DWORD>(std::strtoul(text, nullptr, 0));
}

#if defined(OV_REDIST_RUNTIME)
// Writes the embedded package to a temporary file and installs it silently.
UINT InstallEmbeddedPackage(int id)
{
    HRSRC resource = ::FindResourceW(nullptr, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10)); // RT_RCDATA
    HGLOBAL loaded = resource ? ::LoadResource(nullptr, resource) : nullptr;
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    if (!data)
        return ERROR_RESOURCE_DATA_NOT_FOUND;
    wchar_t folder[MAX_PATH] = {};
    wchar_t path[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, folder);
    ::GetTempFileNameW(folder, L"vcr", 0, path);
    HANDLE h = ::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return ::GetLastError();
    DWORD written = 0;
    ::WriteFile(h, data, ::SizeofResource(nullptr, resource), &written, nullptr);
    ::CloseHandle(h);
    ::MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
    const UINT result = ::MsiInstallProductW(path, L"REBOOT=ReallySuppress");
    ::DeleteFileW(path);
    return result;
}

UINT DoWork()
{
    for (int id : {1, 2})
    {
        const UINT result = InstallEmbeddedPackage(id);
        if (result != ERROR_SUCCESS)
            return result;
    }
    return ERROR_SUCCESS;
}
#else
UINT DoWork()
{
    HKEY key = nullptr;
    LONG result = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v4\\Full", 0,
                                    nullptr, 0, KEY_WRITE | KEY_WOW64_64KEY, nullptr, &key, nullptr);
    if (result != ERROR_SUCCESS)
        return static_cast<UINT>(result);
    const DWORD install = 1;
    const DWORD release = 378389; // 4.5
    const wchar_t version[] = L"4.5.50709";
    ::RegSetValueExW(key, L"Install", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&install), sizeof(install));
    ::RegSetValueExW(key, L"Release", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&release), sizeof(release));
    result = ::RegSetValueExW(key, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version), sizeof(version));
    ::RegCloseKey(key);
    return static_cast<UINT>(result);
}
#endif

bool IsSuccess(DWORD code)
{
    return code == 0 || code == 3010 || code == 3011 || code == 1641;
}
} // namespace

int wmain()
{
    const std::wstring base = ProgramPathWithoutExtension();
    const std::wstring arguments = Arguments();
    AppendCall(base + L".calls", arguments);
    if (arguments != kExpectedArguments)
        return ERROR_INVALID_COMMAND_LINE;
    const DWORD code = ChosenExitCode(base + L".exitcode");
    if (IsSuccess(code))
    {
        const UINT result = DoWork();
        if (result != ERROR_SUCCESS)
            return static_cast<int>(result);
    }
    return static_cast<int>(code);
}
