#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "Engine/InstallContext.h"
#include "Win32Objects.h"
#include "TraceCapture.h"

namespace
{
const std::wstring kDefaultFolder = L"..\\..\\..\\tools\\microsoft\\prerequisites";

struct PidCase
{
    const wchar_t* commandLine;
    DWORD pid;
};

class ParentPid : public testing::TestWithParam<PidCase>
{
};

TEST_P(ParentPid, IsTheLeadingDecimalNumber)
{
    utils::CInstallContext context;
    context.ParseCommandLine(GetParam().commandLine);
    EXPECT_EQ(context.GetParentPid(), GetParam().pid);
}

INSTANTIATE_TEST_SUITE_P(CommandLines, ParentPid,
                         testing::Values(PidCase{L"-PID:1234", 1234}, PidCase{L"/pid:1234", 1234},
                                         PidCase{L"/PID:abc", 0}, PidCase{L"/PID:12ab", 12},
                                         PidCase{L"/PID:", 0}, PidCase{L"/PID", 0},
                                         PidCase{L"/PID:-5", 0}, PidCase{L"/PID:99999999999", 0},
                                         PidCase{L"/script", 0}));

struct RestartCodeCase
{
    const wchar_t* commandLine;
    bool present;
    bool valid;
    DWORD code;
};

class RestartExitCode : public testing::TestWithParam<RestartCodeCase>
{
};

TEST_P(RestartExitCode, IsADecimalNumberOf32Bits)
{
    utils::CInstallContext context;
    context.ParseCommandLine(GetParam().commandLine);
    EXPECT_EQ(context.HasRestartExitCode(), GetParam().present);
    DWORD code = 12345;
    EXPECT_EQ(context.GetRestartExitCode(code), GetParam().valid);
    EXPECT_EQ(code, GetParam().valid ? GetParam().code : 12345u);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, RestartExitCode,
    testing::Values(RestartCodeCase{L"/script /restartexitcode:3010", true, true, 3010},
                    RestartCodeCase{L"-RestartExitCode:0", true, true, 0},
                    RestartCodeCase{L"/restartexitcode:4294967295", true, true, 4294967295u},
                    RestartCodeCase{L"/restartexitcode:4294967296", true, false, 0},
                    RestartCodeCase{L"/restartexitcode:-1", true, false, 0},
                    RestartCodeCase{L"/restartexitcode:0xBC2", true, false, 0},
                    RestartCodeCase{L"/restartexitcode:30a", true, false, 0},
                    RestartCodeCase{L"/restartexitcode:", true, false, 0},
                    RestartCodeCase{L"/restartexitcode", true, false, 0},
                    RestartCodeCase{L"/restartexitcode:\"\"", true, false, 0},
                    RestartCodeCase{L"/script", false, false, 0}));

TEST(InstallContext, DeploymentOptions)
{
    utils::CInstallContext context;
    context.ParseCommandLine(L"/script /UPDATE");
    EXPECT_TRUE(context.IsUpdate());
    EXPECT_FALSE(context.IsUninstall());
    EXPECT_FALSE(context.IsRemovalMode());

    context.ParseCommandLine(L"/script /Uninstall");
    EXPECT_TRUE(context.IsUninstall());
    EXPECT_TRUE(context.IsRemovalMode());
    EXPECT_EQ(context.GetParentPid(), 0u);

    context.ParseCommandLine(L"/script /PID:42");
    EXPECT_FALSE(context.IsUninstall());
    EXPECT_TRUE(context.IsRemovalMode());
}

// The options the program does not know are named; the known ones in any case are not.
TEST(InstallContext, UnknownOptions)
{
    utils::CInstallContext context;
    context.ParseCommandLine(L"/SCRIPT:C:\\a.rsp /unistall -MyTool:\"x y\" /Update /uninstall /autoinstall "
                             L"/msi:A=1 /PID:1 /reboot /restartexitcode:3010 /? /help");
    EXPECT_EQ(context.GetUnknownOptions(), (std::vector<std::wstring>{L"mytool", L"unistall"}));

    context.ParseCommandLine(L"/script");
    EXPECT_TRUE(context.GetUnknownOptions().empty());
    for (const std::wstring& option : utils::CInstallContext::KnownOptions())
    {
        context.ParseCommandLine(L"/" + option);
        EXPECT_TRUE(context.GetUnknownOptions().empty()) << option;
    }
}

TEST(InstallContext, SilentRunWithResponseFile)
{
    utils::CInstallContext context;
    testsupport::TraceCapture log;
    EXPECT_TRUE(context.ParseCommandLine(L"/SCRIPT:C:\\setup\\a.rsp /reboot"));
    EXPECT_EQ(context.GetCommandLine(), L"/SCRIPT:C:\\setup\\a.rsp /reboot");
    EXPECT_TRUE(context.IsSilent());
    EXPECT_FALSE(context.IsAutoInstall());
    EXPECT_TRUE(context.IsUnattended());
    EXPECT_TRUE(context.HasRebootOption());
    EXPECT_EQ(context.GetSettingFile(), L"C:\\setup\\a.rsp");
    const utils::CommandLineSettings settings = context.GetSettings();
    EXPECT_TRUE(settings.silent);
    EXPECT_TRUE(settings.reboot);
    EXPECT_EQ(settings.settingFile, L"C:\\setup\\a.rsp");
    EXPECT_TRUE(log.Contains(L"Setting File: C:\\setup\\a.rsp"));
}

TEST(InstallContext, InteractiveRunWithOptions)
{
    utils::CInstallContext context;
    testsupport::TraceCapture log;
    EXPECT_TRUE(context.ParseCommandLine(L"/autoinstall /msi:\"A=1 B=2\""));
    EXPECT_FALSE(context.IsSilent());
    EXPECT_TRUE(context.IsAutoInstall());
    EXPECT_TRUE(context.IsUnattended());
    EXPECT_FALSE(context.HasRebootOption());
    EXPECT_EQ(context.GetMsiOption(), L"A=1 B=2");
    EXPECT_EQ(context.GetSettingFile(), L"");
    EXPECT_EQ(context.GetParentPid(), 0u);
    const utils::CommandLineSettings settings = context.GetSettings();
    EXPECT_FALSE(settings.silent);
    EXPECT_FALSE(settings.reboot);
    EXPECT_EQ(settings.settingFile, L"");
    EXPECT_TRUE(log.Contains(L"No Setting File"));
}

TEST(InstallContext, EmptyOptionValues)
{
    utils::CInstallContext context;
    EXPECT_TRUE(context.ParseCommandLine(L"/msi: /script"));
    EXPECT_EQ(context.GetMsiOption(), L"");
    EXPECT_TRUE(context.IsSilent());
    EXPECT_EQ(context.GetSettingFile(), L"");

    EXPECT_FALSE(context.ParseCommandLine(L"nothing to see"));
    EXPECT_FALSE(context.IsUnattended());
    EXPECT_EQ(context.GetMsiOption(), L"");
}

// The distribution is the folder of the program file, whatever folder the program was
// started from; a copy of a probe in a folder with blanks and non-Latin letters names it.
TEST(InstallContext, DistributionFolderIsTheProgramsFolderNotTheCurrentOne)
{
    ovtest::CTempFolder dist(L"dist folder \u0434\u0438\u0441\u0442");
    ovtest::CTempFolder elsewhere(L"elsewhere");
    const std::wstring probe = dist / L"OsVersionProbe.exe";
    ASSERT_TRUE(CopyFileW((std::wstring(OV_BIN_DIR) + L"\\OsVersionProbe.exe").c_str(), probe.c_str(), FALSE));
    const std::wstring output = elsewhere / L"folder.txt";
    std::wstring commandLine = L"\"" + probe + L"\" \"" + output + L"\"";
    STARTUPINFOW startup = {sizeof(startup)};
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessW(probe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               elsewhere.Path().c_str(), &startup, &process));
    WaitForSingleObject(process.hProcess, 60000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    const std::string bytes = ovtest::ReadFileBytes(output);
    const std::wstring folder(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
    EXPECT_EQ(folder, dist.Path() + L"\\");
}

// The display language of the system's user32.dll is logged only.
TEST(InstallContext, ConstructionLogsTheFolderAndTheDisplayLanguage)
{
    testsupport::TraceCapture log;
    utils::CInstallContext context;
    EXPECT_TRUE(log.Contains(context.GetDistributionFolder()));
    EXPECT_TRUE(log.ContainsText(L"Locale: "));
}

TEST(InstallContext, RestartFlag)
{
    utils::CInstallContext context;
    EXPECT_FALSE(context.IsRestartOnExit());
    context.SetRestartOnExit(true);
    EXPECT_TRUE(context.IsRestartOnExit());
    context.SetRestartOnExit(false);
    EXPECT_FALSE(context.IsRestartOnExit());
}

// The first calls come from several threads at once (entry thread, installer thread,
// windows): they must all get the one context, built once.
TEST(InstallContext, InstanceIsBuiltOnceUnderConcurrentFirstUse)
{
    testsupport::TraceCapture log;
    constexpr int kThreads = 8;
    std::vector<utils::CInstallContext*> seen(kThreads, nullptr);
    OvBase::CWin32Event go(true);
    go.Create_Ex(false);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i)
        threads.emplace_back([&, i] {
            go.Wait(INFINITE);
            seen[i] = &utils::CInstallContext::Instance();
        });
    go.Set();
    for (auto& t : threads)
        t.join();
    for (int i = 1; i < kThreads; ++i)
        EXPECT_EQ(seen[i], seen[0]) << "thread " << i;
    // The construction logs the distribution folder exactly once.
    const std::wstring folder = seen[0]->GetDistributionFolder();
    const auto lines = log.Lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), folder), 1);
}

TEST(InstallContextSettings, DefaultsWithoutSetupIni)
{
    utils::CInstallContext context;
    ASSERT_EQ(::GetFileAttributesW((context.GetDistributionFolder() + L"setup.ini").c_str()),
              INVALID_FILE_ATTRIBUTES);
    for (int i = 0; i < utils::CInstallContext::FolderOracleClient; ++i)
        EXPECT_EQ(context.GetPrerequisiteFolder(utils::CInstallContext::PrerequisiteFolder(i)),
                  kDefaultFolder);
    EXPECT_EQ(context.GetPrerequisiteFolder(utils::CInstallContext::FolderOracleClient),
              L"..\\..\\..\\tools\\Oracle");
    EXPECT_EQ(context.GetRuntimePath(), kDefaultFolder);
    EXPECT_EQ(context.GetDotNetPath(), kDefaultFolder);
}

// An ini file beside the test program, removed again at the end of the test.
class InstallContextIni : public testing::Test
{
protected:
    void Write(const char* text)
    {
        std::ofstream(std::filesystem::path(Path()), std::ios::binary) << text;
    }
    std::wstring Path() const { return m_context.GetDistributionFolder() + kName; }
    void TearDown() override { ::DeleteFileW(Path().c_str()); }

    static constexpr const wchar_t* kName = L"InstallContextTest.ini";
    utils::CInstallContext m_context;
};

TEST_F(InstallContextIni, KeysReplaceTheirFolderOnly)
{
    Write("[Paths]\r\nRuntimeUpdate=D:\\pre\r\nMsxml6=E:\\xml\r\nOracleClient=\r\n"
          "DotNet=F:\\net\r\n[Other]\r\nWIUpdate=G:\\wi\r\n");
    testsupport::TraceCapture log;
    m_context.LoadSettingsFromIniFile(kName);
    EXPECT_TRUE(log.Contains(L"RuntimeUpdate: D:\\pre"));
    EXPECT_FALSE(log.ContainsText(L"OracleClient:"));
    EXPECT_EQ(m_context.GetRuntimePath(), L"D:\\pre");
    EXPECT_EQ(m_context.GetPrerequisiteFolder(utils::CInstallContext::FolderMsxml6), L"E:\\xml");
    // An empty value and a key of another section keep the default; .NET has no key.
    EXPECT_EQ(m_context.GetPrerequisiteFolder(utils::CInstallContext::FolderOracleClient),
              L"..\\..\\..\\tools\\Oracle");
    EXPECT_EQ(m_context.GetPrerequisiteFolder(utils::CInstallContext::FolderWindowsInstaller),
              kDefaultFolder);
    EXPECT_EQ(m_context.GetDotNetPath(), kDefaultFolder);
}

TEST_F(InstallContextIni, EveryKeyOfTheTable)
{
    Write("[Paths]\nRuntimeUpdate=R\nWIUpdate=W\nWSUpdate=S\nKmdfUpdate=K\nMsxml6=M\n"
          "XPSEP=X\nOracleClient=O\n");
    m_context.LoadSettingsFromIniFile(kName);
    const wchar_t* expected[] = {L"R", L"W", L"S", L"K", kDefaultFolder.c_str(), L"M", L"X", L"O"};
    for (int i = 0; i < utils::CInstallContext::FolderCount; ++i)
        EXPECT_EQ(m_context.GetPrerequisiteFolder(utils::CInstallContext::PrerequisiteFolder(i)),
                  expected[i])
            << "folder " << i;
}
}
