#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "LogCapture.h"
#include "TraceTestSupport.h"

namespace
{
const wchar_t kProductOptions[] = L"SYSTEM\\CurrentControlSet\\Control\\ProductOptions";
const wchar_t kCurrentVersion[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

// One string value of HKLM changed for the scope and put back afterwards.
class ScopedHklmString
{
public:
    ScopedHklmString(const wchar_t* key, const wchar_t* name, const std::wstring& value)
        : m_key(key), m_name(name)
    {
        wchar_t old[256] = {};
        DWORD size = sizeof(old);
        m_existed = ::RegGetValueW(HKEY_LOCAL_MACHINE, key, name, RRF_RT_REG_SZ, nullptr, old,
                                   &size) == ERROR_SUCCESS;
        m_old = old;
        ovtest::SetHklmString(key, name, value);
    }
    ~ScopedHklmString()
    {
        if (m_existed)
            ovtest::SetHklmString(m_key, m_name.c_str(), m_old);
        else
            ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, m_key.c_str(), m_name.c_str());
    }

private:
    std::wstring m_key;
    std::wstring m_name;
    std::wstring m_old;
    bool m_existed = false;
};

DWORD RunProbe()
{
    const std::wstring program = std::wstring(OV_BIN_DIR) + L"\\OsVersionProbe.exe";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    std::wstring commandLine = L"\"" + program + L"\"";
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                          nullptr, nullptr, &startup, &process))
        return 0xFFFFFFFF;
    ::WaitForSingleObject(process.hProcess, 60000);
    DWORD exitCode = 0xFFFFFFFF;
    ::GetExitCodeProcess(process.hProcess, &exitCode);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return exitCode;
}

struct OsCase
{
    const wchar_t* version;
    const wchar_t* build;
    const wchar_t* productType;
    DWORD code;
    const char* line;
};

class OsVersionCode : public testing::TestWithParam<OsCase>
{
};
}

// The system version is fixed when a process starts, so a second process reads it.
TEST_P(OsVersionCode, FromTheReportedSystem)
{
    const OsCase& c = GetParam();
    ovtest::CLogCapture log;
    DWORD code;
    {
        ScopedHklmString version(kCurrentVersion, L"CurrentVersion", c.version);
        ScopedHklmString build(kCurrentVersion, L"CurrentBuildNumber", c.build);
        ScopedHklmString type(kProductOptions, L"ProductType", c.productType);
        code = RunProbe();
    }
    EXPECT_EQ(code, c.code);

    EXPECT_TRUE(log.Contains(c.line)) << c.line;
}

INSTANTIATE_TEST_SUITE_P(
    Systems, OsVersionCode,
    testing::Values(OsCase{L"6.1", L"7601", L"ServerNT", 7, "Opertion System is windows server 2008r2."},
                    OsCase{L"6.1", L"7601", L"WinNT", 5, "Opertion System is windows 7"},
                    OsCase{L"6.3", L"9600", L"ServerNT", 11, "Opertion System is windows server 2012r2."},
                    OsCase{L"6.3", L"9600", L"WinNT", 10, "Opertion System is windows 8.1"},
                    OsCase{L"6.2", L"9200", L"LanmanNT", 9, "Opertion System is windows server 2012."},
                    OsCase{L"6.0", L"6002", L"ServerNT", 6, "Opertion System is windows server 2008."},
                    // Older than Vista / Server 2008: no code.
                    OsCase{L"5.2", L"3790", L"ServerNT", 0, "Opertion System Version is NOT valid."}));
