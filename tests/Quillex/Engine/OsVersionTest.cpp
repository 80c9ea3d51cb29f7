#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "MachineKeyBackup.h"
#include "TraceCapture.h"
#include "Win32Objects.h"

namespace
{
const wchar_t kProductOptions[] = L"SYSTEM\\CurrentControlSet\\Control\\ProductOptions";
const wchar_t kCurrentVersion[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

// One value of HKLM set to a string for the scope and put back as it was afterwards.
class ScopedMachineString
{
public:
    ScopedMachineString(const wchar_t* key, const wchar_t* name, const std::wstring& value)
        : m_key(key), m_name(name)
    {
        m_existed = testsupport::GetMachineValue(key, name, m_type, m_old);
        testsupport::SetMachineString(key, name, value);
    }
    ~ScopedMachineString()
    {
        if (m_existed)
            testsupport::SetMachineValue(m_key.c_str(), m_name.c_str(), m_type, m_old.data(),
                                         static_cast<DWORD>(m_old.size()));
        else
            ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, m_key.c_str(), m_name.c_str());
    }

private:
    std::wstring m_key;
    std::wstring m_name;
    DWORD m_type = REG_NONE;
    std::vector<BYTE> m_old;
    bool m_existed = false;
};

// OsVersionProbe exits with the OS code of a context built in its own process.
DWORD RunProbe()
{
    const std::wstring program = std::wstring(OV_BIN_DIR) + L"\\OsVersionProbe.exe";
    OvBase::CWin32Process probe;
    probe.Create_Ex(program.c_str(), nullptr);
    probe.WaitFor_Ex(60000);
    return probe.GetExitCode();
}

struct OsCase
{
    const wchar_t* version;
    const wchar_t* build;
    const wchar_t* productType;
    DWORD code;
    const wchar_t* line;
};

class OsVersionCode : public testing::TestWithParam<OsCase>
{
};
}

// The system version is fixed when a process starts, so a second process reads it.
TEST_P(OsVersionCode, FromTheReportedSystem)
{
    const OsCase& c = GetParam();
    testsupport::TraceCapture log;
    DWORD code;
    {
        ScopedMachineString version(kCurrentVersion, L"CurrentVersion", c.version);
        ScopedMachineString build(kCurrentVersion, L"CurrentBuildNumber", c.build);
        ScopedMachineString type(kProductOptions, L"ProductType", c.productType);
        code = RunProbe();
    }
    EXPECT_EQ(code, c.code);

    EXPECT_TRUE(log.Contains(c.line));
}

INSTANTIATE_TEST_SUITE_P(
    Systems, OsVersionCode,
    testing::Values(OsCase{L"6.1", L"7601", L"ServerNT", 7, L"Opertion System is windows server 2008r2."},
                    OsCase{L"6.1", L"7601", L"WinNT", 5, L"Opertion System is windows 7"},
                    OsCase{L"6.3", L"9600", L"ServerNT", 11, L"Opertion System is windows server 2012r2."},
                    OsCase{L"6.3", L"9600", L"WinNT", 10, L"Opertion System is windows 8.1"},
                    OsCase{L"6.2", L"9200", L"LanmanNT", 9, L"Opertion System is windows server 2012."},
                    OsCase{L"6.0", L"6002", L"ServerNT", 6, L"Opertion System is windows server 2008."},
                    // Older than Vista / Server 2008: no code.
                    OsCase{L"5.2", L"3790", L"ServerNT", 0, L"Opertion System Version is NOT valid."}));
