#include "ResponseFile.h"

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "Engine/InstallContext.h"
#include "OvErrorObject.h"
#include "PasswordMask.h"
#include "Trace.h"

namespace ovinst
{
namespace
{
const std::map<std::wstring, std::wstring>& RspKeyMap()
{
    static const std::map<std::wstring, std::wstring> map = {
        {L"LDS_port", L"PORT_LDS"},
        {L"LDS_SSL_port", L"PORT_SSL_LDS"},
        {L"LDS_GC_port", L"PORT_GC_LDS"},
        {L"LDS_GC_SSL_port", L"PORT_SSL_GC_LDS"},
        {L"InstallFolder", L"SERVER1"},
        {L"DataBaseAdmin", L"OVDBANAME"},
        {L"DataBaseType", L"OVDBTYPE"},
        {L"DataBaseName", L"OVDBNAME"},
        {L"DataBaseUser", L"OVDBUNAME"},
        {L"ServerType", L"OVSERVERTYPE"},
        {L"ForestAdministrators", L"OVACCOUNTNAMEPROPERTY2"},
        {L"ForestAdministratorsSid", L"OVACCOUNTNAMEPROPERTY2SID"},
        {L"DomainAdministrators", L"OVACCOUNTNAMEPROPERTY"},
        {L"DomainAdministratorsSid", L"OVACCOUNTNAMEPROPERTYSID"},
        {L"TempFolder", L"OVISAPITEMPFOLDER"},
        {L"ArchiveFolder", L"OVLOGBACKUPFOLDER"},
        {L"Organization", L"OVORGANISATION"},
        {L"OrganizationUnit", L"OVORGANISATIONUNIT"},
        {L"AdContainer", L"OVADCONTAINERS"},
        {L"AuthServerPasswordFile", L"PATH_FOR_PASSWORD_FILE"},
        {L"RepositoryFolder", L"REPOSITORYFOLDERPATH"},
        {L"PassportFolder", L"PASSPORTFOLDERPATH"},
        {L"DomainName", L"OVDOMAINNAME"},
        {L"DataBaseAdminPassword", L"OVDBAPASSWORD_TEMP"},
        {L"DataBaseUserPassword", L"OVDBUPASSWORD_TEMP"},
        {L"InstallLocation", L"INSTALLLOCATION"},
        {L"ParentServer", L"OVPRIMARYSERVER"},
    };
    return map;
}

enum class ReadResult
{
    NotOpened,
    Whole,
    // A read failed part-way: the bytes before it are there.
    Interrupted,
};

ReadResult ReadAllBytes(const std::wstring& path, std::string& bytes, DWORD& error)
{
    if (path.empty())
        return ReadResult::NotOpened;
    // Other programs may hold the file open for reading and writing.
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return ReadResult::NotOpened;
    char chunk[65536];
    DWORD read = 0;
    bool ok = true;
    while ((ok = ReadFile(file, chunk, sizeof(chunk), &read, nullptr) != FALSE) && read > 0)
        bytes.append(chunk, read);
    error = ok ? ERROR_SUCCESS : GetLastError();
    CloseHandle(file);
    return ok ? ReadResult::Whole : ReadResult::Interrupted;
}

// UTF-8 without a single invalid sequence; false for anything else.
bool DecodeUtf8(const std::string& bytes, std::wstring& text)
{
    text.clear();
    if (bytes.empty())
        return true;
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()),
                                           nullptr, 0);
    if (length <= 0)
        return false;
    text.resize(static_cast<size_t>(length));
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), text.data(), length);
    return true;
}

class RspParser
{
public:
    explicit RspParser(const std::wstring& path) { ReadSettings(path); }

    void ReadSettings(const std::wstring& path)
    {
        OvBase::CFuncTraceContext ovFuncTrace(L"`anonymous-namespace'::RspParser::ReadSettings", OV_WFILE, __LINE__);
        OV_TRACE(OvBase::TraceInfo, L"Setting file: %s", path.c_str());
        std::string bytes;
        DWORD error = ERROR_SUCCESS;
        const ReadResult read = ReadAllBytes(path, bytes, error);
        if (read == ReadResult::NotOpened)
        {
            OV_TRACE(OvBase::TraceInfo, L"Cannot open setting file.");
            return;
        }
        if (read == ReadResult::Interrupted)
        {
            // The lines read before the error count; the one the error cut off does not.
            const size_t lineEnd = bytes.rfind('\n');
            bytes.erase(lineEnd == std::string::npos ? 0 : lineEnd + 1);
            OV_TRACE(OvBase::TraceWarning, L"Setting file could not be read to its end (error %u), the lines before are used",
                     static_cast<unsigned>(error));
        }
        size_t pos = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
        while (pos < bytes.size())
        {
            size_t end = bytes.find('\n', pos);
            const size_t next = end == std::string::npos ? bytes.size() : end + 1;
            if (end == std::string::npos)
                end = bytes.size();
            std::string raw = bytes.substr(pos, end - pos);
            // Read in text mode: the carriage return of a CR LF line end goes.
            if (end < bytes.size() && !raw.empty() && raw.back() == '\r')
                raw.pop_back();
            std::wstring line;
            if (!DecodeUtf8(raw, line))
                break;
            pos = next;
            const size_t equals = line.find(L'=');
            if (equals == std::wstring::npos)
                continue;
            const std::wstring key = line.substr(0, equals);
            const auto mapped = RspKeyMap().find(key);
            m_settings[mapped == RspKeyMap().end() ? key : mapped->second] = line.substr(equals + 1);
        }
        for (const auto& [name, value] : m_settings)
            OV_TRACE(OvBase::TraceInfo, L"Param: %s Value: %s", name.c_str(), MaskedValue(name, value).c_str());
    }

    ResponseFileCommandLine GetCommandLineW()
    {
        OvBase::CFuncTraceContext ovFuncTrace(L"`anonymous-namespace'::RspParser::GetCommandLineW", OV_WFILE, __LINE__);
        ResponseFileCommandLine result;
        for (const auto& [name, value] : m_settings)
        {
            const std::wstring shown = MaskedValue(name, value);
            OV_TRACE(OvBase::TraceInfo, L"Param: %s Value: %s", name.c_str(), shown.c_str());
            result.text += L" " + name + L"=\"" + value + L"\"";
            result.masked += L" " + name + L"=\"" + shown + L"\"";
        }
        OV_TRACE(OvBase::TraceInfo, L"result: %s", result.masked.c_str());
        return result;
    }

private:
    std::map<std::wstring, std::wstring> m_settings;
};
}

ResponseFileCommandLine GetResponseFileCommandLine(const std::wstring& path)
{
    RspParser parser(path);
    return parser.GetCommandLineW();
}
}

namespace ovinst
{
ResponseFileCommandLine GetSettingFileCommandLine(const wchar_t* defaultFileName)
{
    std::wstring path = utils::CInstallContext::Instance().GetSettings().settingFile;
    if (path.empty())
        return GetResponseFileCommandLine(defaultFileName);
    // A file the administrator named and that cannot be read is a mistake of the
    // deployment (a typo, a share not reachable): installing with default settings and
    // reporting success would hide it, so the step fails with the system's reason.
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
    {
        const DWORD error = GetLastError();
        OvBase::CFuncTraceContext ovFuncTrace(L"ovinst::GetSettingFileCommandLine", OV_WFILE, __LINE__);
        OV_TRACE(OvBase::TraceWarning, L"Setting file named on the command line cannot be opened: %s", path.c_str());
        OvBase::ThrowErrorCodeAt(OvBase::HResultFromWin32(error), OV_WFILE, __LINE__, L"ovinst::GetSettingFileCommandLine");
    }
    CloseHandle(file);
    return GetResponseFileCommandLine(path);
}
}
