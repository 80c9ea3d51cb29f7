#include <gtest/gtest.h>

#include <optional>

#include "OvErrorObject.h"
#include "PrerequisiteFolder.h"
#include "RecordingNotifier.h"
#include "Steps/InstallDotNetObject.h"
#include "TraceCapture.h"
#include "TraceTestSupport.h"

using namespace ovinst;

namespace
{
const wchar_t kFull[] = L"SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v4\\Full";
const std::wstring kStart = L"ActionStartWithText 1 (.NET Framework)";

class InstallDotNetTest : public testing::Test
{
protected:
    using Result = testsupport::StepRun;

    Result Run() { return testsupport::RunPrerequisiteStep<InstallDotNetObject>(m_folder); }

    ovtest::CHklmKeyBackup m_key{kFull};
    testsupport::PrerequisiteFolder m_folder;
};
}

TEST_F(InstallDotNetTest, InstallAndReleaseDecide)
{
    struct Case
    {
        std::optional<DWORD> install;
        std::optional<DWORD> release;
        bool v40;
        bool v45;
    };
    const Case cases[] = {
        {std::nullopt, std::nullopt, false, false},
        {1, 0, true, false},
        {1, std::nullopt, true, false},
        {1, 378389, true, true},
        {0, 378389, false, false},
    };
    for (const Case& c : cases)
    {
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kFull);
        if (c.install)
            ovtest::SetHklmDword(kFull, L"Install", *c.install);
        if (c.release)
            ovtest::SetHklmDword(kFull, L"Release", *c.release);
        InstallDotNetObject step;
        EXPECT_EQ(step.IsDotNetInstalled(InstallDotNetObject::DotNet40Full), c.v40);
        EXPECT_EQ(step.IsDotNetInstalled(InstallDotNetObject::DotNet45), c.v45);
        EXPECT_FALSE(step.IsDotNetInstalled(2));
    }
}

// Install 1 with Release 0 is .NET 4.0: the 4.5 installer runs and writes its values.
TEST_F(InstallDotNetTest, FourZeroGetsTheFourFiveInstaller)
{
    ovtest::SetHklmDword(kFull, L"Install", 1);
    ovtest::SetHklmDword(kFull, L"Release", 0);
    testsupport::TraceCapture log;
    const Result result = Run();
    EXPECT_FALSE(result.errorCode);
    EXPECT_EQ(result.calls, (std::vector<std::wstring>{kStart, L"ActionEnd 1"}));
    EXPECT_EQ(m_folder.Calls(L"dotnetfx45_full_x86_x64"), std::vector<std::string>{"/q /norestart /nopatch"});
    EXPECT_TRUE(log.Contains(L"Running [..\\..\\..\\tools\\microsoft\\prerequisites\\dotnetfx45_full_x86_x64.exe] "
                             L"[/q /norestart /nopatch]"));
    EXPECT_TRUE(InstallDotNetObject().IsDotNetInstalled(InstallDotNetObject::DotNet45));
}

TEST_F(InstallDotNetTest, PresentFrameworkRunsNothing)
{
    ovtest::SetHklmDword(kFull, L"Install", 1);
    ovtest::SetHklmDword(kFull, L"Release", 378389);
    const Result result = Run();
    EXPECT_EQ(result.calls, (std::vector<std::wstring>{kStart, L"ActionEnd 1"}));
    EXPECT_TRUE(m_folder.Calls(L"dotnetfx45_full_x86_x64").empty());
}

TEST_F(InstallDotNetTest, RestartRequestsAreAccepted)
{
    for (DWORD code : {3010u, 3011u})
    {
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kFull);
        m_folder.SetExitCode(L"dotnetfx45_full_x86_x64", code);
        const Result result = Run();
        EXPECT_FALSE(result.errorCode) << code;
        EXPECT_EQ(result.calls, (std::vector<std::wstring>{kStart, L"ActionEnd 1"})) << code;
    }
}

// Any other exit code is the error code itself; one that cannot start keeps 0xFFFFFFFF.
TEST_F(InstallDotNetTest, FailureIsShownAsText131)
{
    struct Case
    {
        DWORD exitCode; // 0: the installer is missing
        DWORD error;
        const wchar_t* shown;
    };
    for (const Case& c : {Case{1641, 1641, L"InformUser Error \".NET Framework\" install. Начата перезагрузка после успешной установки."}, Case{1603, 1603, L"InformUser Error \".NET Framework\" install. Сбой установки."}, Case{0, 0xFFFFFFFF, L"InformUser Error \".NET Framework\" install. Файл не найден."}})
    {
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kFull);
        if (c.exitCode)
            m_folder.SetExitCode(L"dotnetfx45_full_x86_x64", c.exitCode);
        else
            m_folder.Remove(L"dotnetfx45_full_x86_x64");
        const Result result = Run();
        EXPECT_EQ(result.errorCode, c.error);
        EXPECT_EQ(result.calls, (std::vector<std::wstring>{kStart, c.shown, L"ActionError 1"})) << c.exitCode;
        EXPECT_TRUE(result.shownToUser) << c.exitCode;
    }
}
