#include <gtest/gtest.h>

#include "EmulatedOs.h"
#include "OvErrorObject.h"
#include "PrerequisiteFolder.h"
#include "ProbeRunner.h"
#include "ProductGuids.h"
#include "RecordingNotifier.h"
#include "ScopedInstall.h"
#include "Steps/InstallRuntimeObject.h"
#include "TraceCapture.h"

using namespace ovinst;

namespace
{
const std::wstring kStart = L"ActionStartWithText 1 (C/C++ runtime)";

using RunResult = testsupport::StepRun;

RunResult RunStep(const testsupport::PrerequisiteFolder& folder)
{
    return testsupport::RunPrerequisiteStep<InstallRuntimeObject>(folder);
}
}

// This prefix is Windows 7 SP1, which the runtime supports.
TEST(InstallRuntimeObject, InstallsTheMissingRuntime)
{
    testsupport::PrerequisiteFolder folder;
    const RunResult result = RunStep(folder);
    EXPECT_FALSE(result.errorCode);
    EXPECT_EQ(result.calls, (std::vector<std::wstring>{kStart, L"ActionEnd 1"}));
    EXPECT_EQ(folder.Calls(L"vcredist_x64").size(), 1u);
    EXPECT_EQ(folder.Calls(L"vcredist_x86").size(), 1u);
    EXPECT_TRUE(instutils::Runtime().IsInstalled());
}

// The installer's failure reaches the user once, as text 130 with the error's description
// (written out; Russian, the message language without a language mark).
TEST(InstallRuntimeObject, InstallerFailureIsShownWithItsDescription)
{
    struct Case
    {
        const char* name;
        DWORD exitCode; // 0: the installer file is missing
        DWORD error;
        const wchar_t* shown;
    };
    for (const Case& c : {Case{"fails", 1603, 0x80070643, L"InformUser Error \"C/C++ runtime\" install.Сбой установки."}, Case{"missing", 0, 0x80070002, L"InformUser Error \"C/C++ runtime\" install.Файл не найден."}})
    {
        testsupport::PrerequisiteFolder folder;
        if (c.exitCode)
            folder.SetExitCode(L"vcredist_x64", c.exitCode);
        else
            folder.Remove(L"vcredist_x64");
        const RunResult result = RunStep(folder);
        EXPECT_EQ(result.errorCode, c.error) << c.name;
        EXPECT_EQ(result.calls, (std::vector<std::wstring>{kStart, c.shown, L"ActionError 1"})) << c.name;
        // The installer thread must not show it a second time.
        EXPECT_TRUE(result.shownToUser) << c.name;
    }
}

TEST(InstallRuntimeObject, HotfixQueryThroughWmi)
{
    InstallRuntimeObject step;
    // The prefix's WMI lists exactly this one.
    EXPECT_TRUE(step.CheckWindowsUpdate(L"1234567"));
    EXPECT_FALSE(step.CheckWindowsUpdate(L"2919355"));
}

// Windows Server 2012 R2 needs KB2919355 before the runtime can be installed.
TEST(InstallRuntimeObject, Server2012R2NeedsTheUpdate)
{
    {
        testsupport::PrerequisiteFolder folder;
        testsupport::ProbeResult result;
        {
            testsupport::ScopedOs os(testsupport::kServer2012R2);
            result = testsupport::RunPrerequisiteProbe(L"runtime", L"", folder.WorkingFolder());
        }
        EXPECT_EQ(result.exitCode, 1u);
        const std::wstring refused = L"InformUser Could not install component.\r\nCurrent version of the operation system is "
                                     L"not supported\r\nor necessary service pack is not installed.\r\nHardware and "
                                     L"software requirements are listed in the documentation.";
        EXPECT_EQ(result.lines, (std::vector<std::wstring>{kStart, refused, L"ActionError 1"}));
        EXPECT_TRUE(folder.Calls(L"vcredist_x64").empty());
    }
    {
        testsupport::PrerequisiteFolder folder;
        testsupport::ProbeResult result;
        {
            testsupport::ScopedOs os(testsupport::kServer2012R2);
            result = testsupport::RunPrerequisiteProbe(L"runtime", L"hotfix", folder.WorkingFolder());
        }
        EXPECT_EQ(result.exitCode, 0u);
        EXPECT_EQ(result.lines, (std::vector<std::wstring>{kStart, L"ActionEnd 1"}));
        EXPECT_EQ(folder.Calls(L"vcredist_x86").size(), 1u);
    }
}

TEST(InstallRuntimeObject, PresentRuntimeNeedsNoUpdateCheck)
{
    testsupport::PrerequisiteFolder folder;
    std::vector<std::unique_ptr<testsupport::ScopedInstall>> parts;
    const std::pair<const wchar_t*, const wchar_t*> all[] = {
        {L"x64_minimum", OV_SAMPLE_UPGRADE_CODE_RUNTIME_X64_MINIMUM},
        {L"x64_additional", OV_SAMPLE_UPGRADE_CODE_RUNTIME_X64_ADDITIONAL},
        {L"x86_minimum", OV_SAMPLE_UPGRADE_CODE_RUNTIME_X86_MINIMUM},
        {L"x86_additional", OV_SAMPLE_UPGRADE_CODE_RUNTIME_X86_ADDITIONAL}};
    for (const auto& [part, code] : all)
        parts.push_back(std::make_unique<testsupport::ScopedInstall>(testsupport::RuntimePartPackage(part), code));
    testsupport::TraceCapture log;
    testsupport::ProbeResult result;
    {
        testsupport::ScopedOs os(testsupport::kServer2012R2);
        result = testsupport::RunPrerequisiteProbe(L"runtime", L"", folder.WorkingFolder());
    }
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_EQ(result.lines, (std::vector<std::wstring>{kStart, L"ActionEnd 1"}));
    EXPECT_FALSE(log.ContainsText(L"CheckWindowsUpdate"));
    EXPECT_TRUE(folder.Calls(L"vcredist_x64").empty());
    EXPECT_TRUE(folder.Calls(L"vcredist_x86").empty());
}

// What the runtime needs of the system, as RtlGetVersion reports it.
TEST(InstallRuntimeObject, OsRequirements)
{
    struct Case
    {
        const testsupport::OsIdentity* os;
        const wchar_t* flags;
        bool met;
    };
    const Case cases[] = {
        {&testsupport::kServer2008, L"", false},
        {&testsupport::kServer2008R2, L"", true}, // service pack 1
        {&testsupport::kServer2012, L"", true},
        {&testsupport::kServer2012R2, L"", false},
        {&testsupport::kServer2012R2, L"hotfix", true},
    };
    for (const Case& c : cases)
    {
        testsupport::ScopedOs os(*c.os);
        EXPECT_EQ(testsupport::RunPrerequisiteProbe(L"osrequirements", c.flags).exitCode, c.met ? 21u : 20u)
            << c.os->version << " " << (*c.flags ? "with KB2919355" : "");
    }
}
