#include <gtest/gtest.h>

#include <aclapi.h>
#include <sddl.h>

#include <regex>

#include "Trace.h"
#include "TraceSettings.h"
#include "TraceTestSupport.h"

using namespace OvBase;
using ovtest::kTraceKeyPath;

namespace
{
const wchar_t kDriverKey[] = L"SYSTEM\\CurrentControlSet\\Services\\ovcc0\\Trace";
const wchar_t kFilterKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Debug Print Filter";

DWORD ReadHklmDword(const std::wstring& key, const wchar_t* name)
{
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), name, RRF_RT_REG_DWORD, nullptr, &value, &size) !=
        ERROR_SUCCESS)
        return 0xDEADBEEF;
    return value;
}

std::wstring ReadHklmString(const std::wstring& key, const wchar_t* name)
{
    wchar_t text[600] = {};
    DWORD size = sizeof(text) - sizeof(wchar_t);
    RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), name, RRF_RT_REG_SZ, nullptr, text, &size);
    return text;
}

std::wstring DaclText(const std::wstring& path)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr,
                              nullptr, &descriptor) != ERROR_SUCCESS)
        return L"?";
    wchar_t* text = nullptr;
    ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
                                                         &text, nullptr);
    std::wstring result = text ? text : L"";
    LocalFree(text);
    LocalFree(descriptor);
    return result;
}

// The registry keys the store touches, put back after each test.
class TraceStore : public ::testing::Test
{
protected:
    ovtest::CHklmKeyBackup m_trace{kTraceKeyPath};
    ovtest::CHklmKeyBackup m_driver{kDriverKey};
    ovtest::CHklmKeyBackup m_filter{kFilterKey};

    ~TraceStore() override
    {
        // The program's trace keeps its last configuration; switch it off for later tests.
        ovtest::SetHklmDword(kTraceKeyPath, L"EnableMask", 0);
        ovtest::SetHklmDword(kTraceKeyPath, L"ParamsMask", 0);
        ProgramTrace.Reload();
    }
};
}

TEST_F(TraceStore, ReadRecordDefaultsAndErrors)
{
    TraceSettings settings;
    EXPECT_EQ(ReadTraceSettings(nullptr, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(ReadTraceSettings(nullptr, &settings), ERROR_FILE_NOT_FOUND);

    ovtest::SetHklmDword(kTraceKeyPath, L"EnableMask", 6);
    ASSERT_EQ(ReadTraceSettings(nullptr, &settings), ERROR_SUCCESS);
    EXPECT_EQ(settings.enableMask, 6u);
    EXPECT_EQ(settings.paramsMask, 0u) << "common record without a forced value";
    EXPECT_EQ(settings.forceEnableMask, kTraceNotSet);
    EXPECT_EQ(settings.commonFileFlag, kTraceNotSet);
    EXPECT_EQ(settings.contextMask, 0u);
    EXPECT_STREQ(settings.tracePath, L"");

    ovtest::SetHklmDword(kTraceKeyPath, L"ForceParamsMask", 9);
    ReadTraceSettings(nullptr, &settings);
    EXPECT_EQ(settings.paramsMask, kTraceNotSet);

    // A text that fills its field up to the terminating zero is read whole.
    const std::wstring longest = L"C:\\" + std::wstring(256, L'a');
    ASSERT_EQ(longest.size(), 259u);
    ovtest::SetHklmString(kTraceKeyPath, L"TracePath", longest);
    ReadTraceSettings(nullptr, &settings);
    EXPECT_EQ(std::wstring(settings.tracePath), longest);
    ovtest::SetHklmString(kTraceKeyPath, L"TracePath", longest + L"b");
    ReadTraceSettings(nullptr, &settings);
    EXPECT_STREQ(settings.tracePath, L"") << "too long for the field";

    ovtest::SetHklmDword(std::wstring(kTraceKeyPath) + L"\\Mod", L"ContextMask", 3);
    ASSERT_EQ(ReadTraceSettings(L"Mod", &settings), ERROR_SUCCESS);
    EXPECT_EQ(settings.enableMask, kTraceNotSet) << "a module record inherits";
    EXPECT_EQ(settings.contextMask, 3u);
}

TEST_F(TraceStore, WriteRemovesUnsetForcesAndDeleteRemovesTheTree)
{
    ovtest::CTempFolder folder(L"store_write");
    ovtest::SetHklmDword(kTraceKeyPath, L"ForceEnableMask", 1);
    ovtest::SetHklmDword(kTraceKeyPath, L"ForceParamsMask", 1);
    TraceSettings settings = {};
    settings.enableMask = 3;
    settings.paramsMask = kTraceNotSet;
    settings.forceEnableMask = kTraceNotSet;
    settings.forceParamsMask = kTraceNotSet;
    settings.forceCommonFileFlag = 2;
    wcscpy(settings.tracePath, (folder / L"logs\\deep").c_str());
    ASSERT_EQ(WriteTraceSettings(nullptr, &settings), ERROR_SUCCESS);
    EXPECT_FALSE(ovtest::HklmValueExists(kTraceKeyPath, L"ForceEnableMask"));
    EXPECT_FALSE(ovtest::HklmValueExists(kTraceKeyPath, L"ForceParamsMask"));
    EXPECT_FALSE(ovtest::HklmValueExists(kTraceKeyPath, L"ParamsMask"));
    EXPECT_EQ(ReadHklmDword(kTraceKeyPath, L"EnableMask"), 3u);
    EXPECT_EQ(ReadHklmDword(kTraceKeyPath, L"ForceCommonFileFlag"), 2u);
    EXPECT_EQ(ReadHklmDword(kTraceKeyPath, L"DisableContextFlag"), 0u);
    EXPECT_EQ(ReadHklmString(kTraceKeyPath, L"TracePath"), folder / L"logs\\deep");
    EXPECT_TRUE(ovtest::FileExists(folder / L"logs\\deep")) << "the folder is made with its parents";

    TraceSettings module = settings;
    module.paramsMask = 0x11;
    module.contextMask = 5;
    wcscpy(module.commonFileName, L"%OV_TEST_STORE%\\common.log");
    SetEnvironmentVariableW(L"OV_TEST_STORE", folder.Path().c_str());
    ASSERT_EQ(WriteTraceSettings(L"Mod", &module), ERROR_SUCCESS);
    SetEnvironmentVariableW(L"OV_TEST_STORE", nullptr);
    std::wstring moduleKey = std::wstring(kTraceKeyPath) + L"\\Mod";
    EXPECT_EQ(ReadHklmString(moduleKey, L"CommonFileName"), folder / L"common.log");
    EXPECT_TRUE(ovtest::FileExists(folder / L"common.log"));
    EXPECT_EQ(ReadHklmDword(moduleKey, L"ContextMask"), 5u);
    EXPECT_FALSE(ovtest::HklmValueExists(moduleKey, L"ForceCommonFileFlag")) << "common record only";

    EXPECT_EQ(WriteTraceSettings(L"Mod", nullptr), ERROR_SUCCESS);
    EXPECT_FALSE(ovtest::HklmKeyExists(moduleKey));
    EXPECT_TRUE(ovtest::HklmKeyExists(kTraceKeyPath));
    EXPECT_EQ(DeleteTraceSettings(nullptr), ERROR_SUCCESS);
    EXPECT_FALSE(ovtest::HklmKeyExists(kTraceKeyPath));
}

TEST_F(TraceStore, WindowsFolderKeepsItsAccessList)
{
    wchar_t windows[MAX_PATH];
    GetWindowsDirectoryW(windows, MAX_PATH);
    std::wstring before = DaclText(windows);
    ASSERT_NE(before, L"?");
    TraceSettings settings = {};
    settings.forceEnableMask = settings.forceParamsMask = kTraceNotSet;
    wcscpy(settings.tracePath, windows);
    EXPECT_EQ(WriteTraceSettings(nullptr, &settings), ERROR_SUCCESS);
    // Wine keeps no file access lists of its own, so only the untouched case can be seen here.
    EXPECT_EQ(DaclText(windows), before);
}

TEST_F(TraceStore, ConfiguredMachineIsLeftAlone)
{
    // An enable mask of any value, or only a forced one.
    for (const wchar_t* mask : {L"EnableMask", L"ForceEnableMask"})
    {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kTraceKeyPath);
        ovtest::SetHklmDword(kTraceKeyPath, mask, 0);
        ovtest::SetHklmString(kTraceKeyPath, L"TracePath", L"C:\\Elsewhere");
        {
            TemporaryTraceConfiguration configuration(ProgramTrace);
            EXPECT_FALSE(configuration.WroteDefaults()) << mask;
        }
        EXPECT_EQ(ReadHklmString(kTraceKeyPath, L"TracePath"), L"C:\\Elsewhere");
        EXPECT_EQ(ReadHklmDword(kTraceKeyPath, mask), 0u);
        EXPECT_FALSE(ovtest::HklmValueExists(kTraceKeyPath, L"ParamsMask"));
        EXPECT_EQ(GetLogFolder(), L"C:\\Elsewhere");
    }
}

TEST_F(TraceStore, OlderDriverKeyIsMigrated)
{
    ovtest::SetHklmString(kDriverKey, L"TracePath", L"c:\\logs\\");
    ovtest::SetHklmDword(kDriverKey, L"EnableMask", 1);
    ovtest::SetHklmDword(std::wstring(kDriverKey) + L"\\Sub", L"ParamsMask", 7);
    EXPECT_TRUE(IsTraceConfigured());
    EXPECT_EQ(ReadHklmString(kTraceKeyPath, L"TracePath"), GetDefaultLogFolder());
    EXPECT_EQ(ReadHklmDword(kTraceKeyPath, L"EnableMask"), 1u);
    EXPECT_EQ(ReadHklmDword(std::wstring(kTraceKeyPath) + L"\\Sub", L"ParamsMask"), 7u);
    EXPECT_EQ(GetLogFolder(), GetDefaultLogFolder());
}

TEST_F(TraceStore, OlderDriverKeyWithoutPathIsIgnored)
{
    ovtest::SetHklmString(kDriverKey, L"TracePath", L"");
    ovtest::SetHklmDword(kDriverKey, L"EnableMask", 1);
    EXPECT_FALSE(IsTraceConfigured());
    {
        TemporaryTraceConfiguration configuration(ProgramTrace);
        EXPECT_TRUE(configuration.WroteDefaults());
    }
    EXPECT_FALSE(ovtest::HklmKeyExists(kTraceKeyPath));
}

TEST_F(TraceStore, DefaultsAreWritten)
{
    ASSERT_EQ(WriteDefaultTraceSettings(), ERROR_SUCCESS);
    EXPECT_EQ(ReadHklmDword(kTraceKeyPath, L"EnableMask"), 15u);
    EXPECT_EQ(ReadHklmDword(kTraceKeyPath, L"ParamsMask"), 0xFF09u);
    EXPECT_EQ(ReadHklmDword(kTraceKeyPath, L"CommonFileFlag"), 0u);
    EXPECT_EQ(ReadHklmDword(kTraceKeyPath, L"ForceCommonFileFlag"), 0u);
    EXPECT_FALSE(ovtest::HklmValueExists(kTraceKeyPath, L"ForceEnableMask"));
    EXPECT_EQ(ReadHklmString(kTraceKeyPath, L"TracePath"), GetDefaultLogFolder());
    std::wstring dc = std::wstring(kTraceKeyPath) + L"\\OvDC";
    std::wstring control = std::wstring(kTraceKeyPath) + L"\\OvControl";
    EXPECT_EQ(ReadHklmDword(dc, L"ParamsMask"), 0xFF08u);
    EXPECT_EQ(ReadHklmDword(control, L"ParamsMask"), 0xFB08u);
    EXPECT_EQ(ReadHklmDword(control, L"ContextMask"), 0u);
    EXPECT_EQ(ReadHklmDword(kFilterKey, L"Default"), 0xFFFFFFFFu);
    EXPECT_TRUE(ovtest::FileExists(GetDefaultLogFolder()));
    wchar_t programData[MAX_PATH];
    GetEnvironmentVariableW(L"ProgramData", programData, MAX_PATH);
    EXPECT_EQ(GetDefaultLogFolder(), std::wstring(programData) + L"\\Calderis\\Orvane Studio\\Logs");
}

TEST_F(TraceStore, TemporaryConfigurationTracesIntoSetupLogAndLeavesNoKey)
{
    std::wstring log = GetDefaultLogFolder() + L"\\Setup.log";
    DeleteFileW(log.c_str());
    {
        TemporaryTraceConfiguration configuration(ProgramTrace);
        ASSERT_TRUE(configuration.WroteDefaults());
        OvBase::CFuncTraceContext outer(L"Outer::Run", nullptr, 0);
        outer.Trace(TraceInfo, L"found %s", L"\u0414\u0430");
        {
            OvBase::CFuncTraceContext inner(L"Inner", nullptr, 0);
            inner.Trace(TraceWarning, L"code %u", 5u);
        }
    }
    EXPECT_FALSE(ovtest::HklmKeyExists(kTraceKeyPath));

    std::string text = ovtest::ReadFileBytes(log);
    DeleteFileW(log.c_str());
    std::string separator = "\r\n" + std::string(68, '*') + "\r\n\r\n";
    ASSERT_EQ(text.substr(0, separator.size()), separator);
    std::vector<std::string> lines = ovtest::SplitLines(text.substr(separator.size()));
    char ids[64];
    snprintf(ids, sizeof(ids), R"(\[Setup\] \[[0-9A-F]{8}\] \[%lX:%lX\] )", GetCurrentProcessId(),
             GetCurrentThreadId());
    std::string head = std::string(R"(\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d\.\d{3})") + ids;
    std::vector<std::string> bodies = {
        "Outer::Run", "\\{", "  found \xC4\xE0", "  Inner", "  \\{", "W>    code 5", "  \\}", "\\}",
    };
    ASSERT_EQ(lines.size(), bodies.size()) << text;
    for (size_t i = 0; i < lines.size(); ++i)
        EXPECT_TRUE(std::regex_match(lines[i], std::regex(head + bodies[i]))) << lines[i];
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
}
