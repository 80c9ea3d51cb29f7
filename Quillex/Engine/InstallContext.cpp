#include "InstallContext.h"

#include <algorithm>
#include <vector>

#include "DllSearch.h"
#include "OvErrorObject.h"
#include "Trace.h"
#include "Win32Objects.h"

namespace utils
{
namespace
{
const wchar_t kDefaultPrerequisites[] = L"..\\..\\..\\tools\\microsoft\\prerequisites";
const wchar_t kDefaultOracle[] = L"..\\..\\..\\tools\\Oracle";

struct OsRow
{
    DWORD major;
    DWORD minor;
    int workstationCode;
    const wchar_t* workstationText;
    int serverCode;
    const wchar_t* serverText;
};

// The one list of the options the program acts on; anything else is warned about.
const wchar_t* const kKnownOptions[] = {
    L"script", L"autoinstall", L"msi", L"pid", L"reboot", L"?", L"help",
    L"update", L"uninstall", L"restartexitcode",
};

// Newest first: the first version the system reaches wins.
const OsRow kOsRows[] = {
    {6, 3, OsWin81, L"windows 8.1", OsServer2012R2, L"windows server 2012r2."},
    {6, 2, OsWin8, L"windows 8", OsServer2012, L"windows server 2012."},
    {6, 1, OsWin7, L"windows 7", OsServer2008R2, L"windows server 2008r2."},
    {6, 0, OsVista, L"windows vista", OsServer2008, L"windows server 2008."},
};

struct IniKey
{
    CInstallContext::PrerequisiteFolder folder;
    const wchar_t* key;
    const wchar_t* logFormat;
};

// The .NET folder has no key of its own.
const IniKey kIniKeys[] = {
    {CInstallContext::FolderRuntime, L"RuntimeUpdate", L"RuntimeUpdate: %s"},
    {CInstallContext::FolderWindowsInstaller, L"WIUpdate", L"WIUpdate: %s"},
    {CInstallContext::FolderWindowsSearch, L"WSUpdate", L"WSUpdate: %s"},
    {CInstallContext::FolderKmdf, L"KmdfUpdate", L"KmdfUpdate: %s"},
    {CInstallContext::FolderMsxml6, L"Msxml6", L"Msxml6: %s"},
    {CInstallContext::FolderXpsEp, L"XPSEP", L"XPSEP: %s"},
    {CInstallContext::FolderOracleClient, L"OracleClient", L"OracleClient: %s"},
};

bool IsWorkstation()
{
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    info.wProductType = VER_NT_WORKSTATION;
    const DWORDLONG mask = ::VerSetConditionMask(0, VER_PRODUCT_TYPE, VER_EQUAL);
    return ::VerifyVersionInfoW(&info, VER_PRODUCT_TYPE, mask) != FALSE;
}

bool IsAtLeast(DWORD major, DWORD minor)
{
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    info.dwMajorVersion = major;
    info.dwMinorVersion = minor;
    info.wServicePackMajor = 0;
    DWORDLONG mask = 0;
    mask = ::VerSetConditionMask(mask, VER_MAJORVERSION, VER_GREATER_EQUAL);
    mask = ::VerSetConditionMask(mask, VER_MINORVERSION, VER_GREATER_EQUAL);
    mask = ::VerSetConditionMask(mask, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
    return ::VerifyVersionInfoW(&info, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR,
                                mask) != FALSE;
}

const OsRow* FindOsRow()
{
    for (const OsRow& row : kOsRows)
    {
        if (IsAtLeast(row.major, row.minor))
            return &row;
    }
    return nullptr;
}

// The folder of the program file with its trailing backslash; empty when unknown.
std::wstring ProgramFolder()
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0)
        return std::wstring();
    const std::wstring full(path, length);
    const size_t slash = full.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : full.substr(0, slash + 1);
}

// version.dll is no known DLL: taken from the system folder at run time, never imported.
struct VersionFunctions
{
    using SizeFn = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
    using InfoFn = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
    using QueryFn = BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT);

    SizeFn size = nullptr;
    InfoFn info = nullptr;
    QueryFn query = nullptr;
    DWORD loadError = ERROR_SUCCESS;

    VersionFunctions()
    {
        HMODULE module = OvBase::LoadSystemLibrary(L"version.dll");
        if (!module)
        {
            loadError = ::GetLastError();
            return;
        }
        size = reinterpret_cast<SizeFn>(reinterpret_cast<void*>(::GetProcAddress(module, "GetFileVersionInfoSizeW")));
        info = reinterpret_cast<InfoFn>(reinterpret_cast<void*>(::GetProcAddress(module, "GetFileVersionInfoW")));
        query = reinterpret_cast<QueryFn>(reinterpret_cast<void*>(::GetProcAddress(module, "VerQueryValueW")));
        if (!size || !info || !query)
            loadError = ERROR_PROC_NOT_FOUND;
    }
};

const VersionFunctions& Version()
{
    static const VersionFunctions functions; // resolved once, kept for the process
    return functions;
}

// False with the thread's last error set when the file has no readable version resource.
bool ReadVersionInfo(const wchar_t* file, std::vector<BYTE>& data)
{
    const VersionFunctions& version = Version();
    if (version.loadError != ERROR_SUCCESS)
    {
        ::SetLastError(version.loadError);
        return false;
    }
    DWORD handle = 0;
    const DWORD size = version.size(file, &handle);
    if (size == 0)
        return false;
    data.assign(size, 0);
    return version.info(file, 0, size, data.data()) != FALSE;
}

// Language of the first translation entry, or nullptr when there is none.
const WORD* FirstTranslationLanguage(std::vector<BYTE>& versionInfo)
{
    WORD* translation = nullptr;
    UINT size = 0;
    if (!Version().query(versionInfo.data(), L"\\VarFileInfo\\Translation",
                         reinterpret_cast<void**>(&translation), &size) ||
        translation == nullptr || size < 2 * sizeof(WORD))
        return nullptr;
    return translation;
}
}

CInstallContext& CInstallContext::Instance()
{
    // Thread-safe one-time construction; destroyed at process end.
    static CInstallContext context;
    return context;
}

CInstallContext::CInstallContext() : m_parser(std::make_unique<CCmdLineParser>(false))
{
    OV_TRACE_FUNCTION();
    m_prerequisiteFolders.fill(kDefaultPrerequisites);
    m_prerequisiteFolders[FolderOracleClient] = kDefaultOracle;

    const bool workstation = IsWorkstation();
    if (const OsRow* row = FindOsRow())
    {
        m_osVersion = workstation ? row->workstationCode : row->serverCode;
        OV_TRACE(OvBase::TraceInfo, L"Opertion System is %s",
                 workstation ? row->workstationText : row->serverText);
    }
    else
    {
        OV_TRACE(OvBase::TraceInfo, L"Opertion System Version is NOT valid.");
    }

    m_distributionFolder = ProgramFolder();
    if (!m_distributionFolder.empty())
        OV_TRACE(OvBase::TraceInfo, L"%s", m_distributionFolder.c_str());

    // The display language is only logged.
    std::vector<BYTE> versionInfo;
    if (!ReadVersionInfo(L"user32.dll", versionInfo))
    {
        const DWORD code = OvBase::HResultFromWin32(::GetLastError());
        ThrowErrorCode(code);
    }
    if (const WORD* language = FirstTranslationLanguage(versionInfo))
        OV_TRACE(OvBase::TraceInfo, L"Locale: %d", static_cast<int>(*language));

    LoadSettingsFromIniFile(L"setup.ini");
}

CInstallContext::~CInstallContext() = default;

void CInstallContext::LoadSettingsFromIniFile(const std::wstring& fileName)
{
    OV_TRACE_FUNCTION();
    const std::wstring path = OvBase::JoinPath(m_distributionFolder, fileName.c_str(), L'\\');
    for (const IniKey& entry : kIniKeys)
    {
        wchar_t value[MAX_PATH] = {};
        const DWORD length = ::GetPrivateProfileStringW(L"Paths", entry.key, L"", value, MAX_PATH,
                                                        path.c_str());
        if (length == 0)
            continue;
        OV_TRACE(OvBase::TraceInfo, entry.logFormat, value);
        m_prerequisiteFolders[entry.folder].assign(value, length);
    }
}

bool CInstallContext::ParseCommandLine(const std::wstring& text)
{
    return m_parser->Parse(text);
}

void CInstallContext::SetCommandLine(const CCmdLineParser& parsed)
{
    *m_parser = parsed;
}

const std::wstring& CInstallContext::GetCommandLine() const
{
    return m_parser->GetCommandLine();
}

bool CInstallContext::IsSilent() const
{
    return m_parser->HasKey(L"script");
}

bool CInstallContext::IsAutoInstall() const
{
    return m_parser->HasKey(L"autoinstall");
}

bool CInstallContext::IsUnattended() const
{
    return IsAutoInstall() || IsSilent();
}

bool CInstallContext::HasRebootOption() const
{
    return m_parser->HasKey(L"reboot");
}

std::wstring CInstallContext::GetMsiOption() const
{
    std::wstring value;
    if (m_parser->HasValue(L"msi"))
        m_parser->GetValue(L"msi", value);
    return value;
}

DWORD CInstallContext::GetParentPid() const
{
    if (!m_parser->HasValue(L"PID"))
        return 0;
    // Leading decimal digits only: a sign or a number beyond 32 bits is not a process id.
    unsigned long long pid = 0;
    for (const wchar_t* p = m_parser->GetValue(L"PID"); *p >= L'0' && *p <= L'9'; ++p)
    {
        pid = pid * 10 + static_cast<unsigned>(*p - L'0');
        if (pid > MAXDWORD)
            return 0;
    }
    return static_cast<DWORD>(pid);
}

std::wstring CInstallContext::GetSettingFile() const
{
    OV_TRACE_FUNCTION();
    std::wstring file;
    if (m_parser->GetValue(L"script", file))
    {
        OV_TRACE(OvBase::TraceInfo, L"Setting File: %s", file.c_str());
        return file;
    }
    OV_TRACE(OvBase::TraceInfo, L"No Setting File");
    return std::wstring();
}

CommandLineSettings CInstallContext::GetSettings() const
{
    CommandLineSettings settings;
    settings.silent = IsSilent();
    settings.reboot = HasRebootOption();
    settings.settingFile = GetSettingFile();
    return settings;
}
}

namespace utils
{
bool CInstallContext::IsUpdate() const
{
    return m_parser->HasKey(L"update");
}

bool CInstallContext::IsUninstall() const
{
    return m_parser->HasKey(L"uninstall");
}

bool CInstallContext::IsRemovalMode() const
{
    return GetParentPid() != 0 || IsUninstall();
}

bool CInstallContext::HasRestartExitCode() const
{
    return m_parser->HasKey(L"restartexitcode");
}

bool CInstallContext::GetRestartExitCode(DWORD& code, std::wstring* text) const
{
    const wchar_t* value = m_parser->GetValue(L"restartexitcode");
    if (value == nullptr)
        return false;
    if (text)
        *text = value;
    if (*value == L'\0')
        return false;
    // Digits only: a sign, a blank or a hexadecimal form would be a guess at the caller's intent.
    unsigned long long number = 0;
    for (const wchar_t* p = value; *p != L'\0'; ++p)
    {
        if (*p < L'0' || *p > L'9')
            return false;
        number = number * 10 + static_cast<unsigned>(*p - L'0');
        if (number > MAXDWORD)
            return false;
    }
    code = static_cast<DWORD>(number);
    return true;
}

const std::vector<std::wstring>& CInstallContext::KnownOptions()
{
    static const std::vector<std::wstring> options(std::begin(kKnownOptions), std::end(kKnownOptions));
    return options;
}

std::vector<std::wstring> CInstallContext::GetUnknownOptions() const
{
    const std::vector<std::wstring>& known = KnownOptions();
    std::vector<std::wstring> unknown;
    for (const std::wstring& key : m_parser->GetKeys())
    {
        if (std::find(known.begin(), known.end(), key) == known.end())
            unknown.push_back(key);
    }
    return unknown;
}
}
