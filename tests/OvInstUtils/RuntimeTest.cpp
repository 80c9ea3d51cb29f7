#include <gtest/gtest.h>

#include "CatchOvError.h"
#include "PrerequisiteFolder.h"
#include "ProductGuids.h"
#include "Runtime.h"
#include "ScopedInstall.h"
#include "TraceCapture.h"

using testsupport::PrerequisiteFolder;

namespace
{
const std::vector<std::string> kOneRun = {"/quiet /norestart"};
}

TEST(Runtime, PackagesInListOrder)
{
    instutils::Runtime runtime;
    ASSERT_EQ(runtime.GetPackages().size(), 2u);
    EXPECT_EQ(runtime.GetPackages()[0].installerFile, L"vcredist_x64.exe");
    EXPECT_EQ(runtime.GetPackages()[1].installerFile, L"vcredist_x86.exe");
    EXPECT_EQ(runtime.GetName(), L"Visual C++ 2017 Redistributable Package");
}

// The redistributables install the packages that the detection looks for.
TEST(Runtime, MissingRuntimeIsInstalledAndThenDetected)
{
    PrerequisiteFolder folder;
    instutils::Runtime runtime;
    ASSERT_FALSE(runtime.IsInstalled());
    runtime.Install(folder.Folder());
    EXPECT_EQ(folder.Calls(L"vcredist_x64"), kOneRun);
    EXPECT_EQ(folder.Calls(L"vcredist_x86"), kOneRun);
    EXPECT_TRUE(runtime.IsInstalled());

    // Nothing runs once everything is there.
    runtime.Install(folder.Folder());
    EXPECT_EQ(folder.Calls(L"vcredist_x64"), kOneRun);
    EXPECT_EQ(folder.Calls(L"vcredist_x86"), kOneRun);
}

TEST(Runtime, OnlyTheMissingPackageRuns)
{
    PrerequisiteFolder folder;
    testsupport::ScopedInstall x64Minimum(testsupport::RuntimePartPackage(L"x64_minimum"),
                                          OV_SAMPLE_UPGRADE_CODE_RUNTIME_X64_MINIMUM);
    testsupport::ScopedInstall x64Additional(testsupport::RuntimePartPackage(L"x64_additional"),
                                             OV_SAMPLE_UPGRADE_CODE_RUNTIME_X64_ADDITIONAL);
    testsupport::ScopedInstall x86Minimum(testsupport::RuntimePartPackage(L"x86_minimum"),
                                          OV_SAMPLE_UPGRADE_CODE_RUNTIME_X86_MINIMUM);
    ASSERT_EQ(x64Minimum.Result(), 0u);
    ASSERT_EQ(x64Additional.Result(), 0u);
    ASSERT_EQ(x86Minimum.Result(), 0u);

    testsupport::TraceCapture log;
    instutils::Runtime runtime;
    EXPECT_FALSE(runtime.IsInstalled());
    runtime.Install(folder.Folder());
    EXPECT_TRUE(folder.Calls(L"vcredist_x64").empty());
    EXPECT_EQ(folder.Calls(L"vcredist_x86"), kOneRun);
    EXPECT_TRUE(log.Contains(L"Minimal: 5. Additional: 5."));
    EXPECT_TRUE(log.Contains(L"Minimal: 5. Additional: -1."));
    EXPECT_TRUE(runtime.IsInstalled());
}

// Exit codes that let the installation go on to the next package, as Windows error codes
// and in their HRESULT forms (restart required 0x80070BC2, restart started 0x80070BC3, a
// newer version installed 0x80070669).
TEST(Runtime, AcceptedResultsGoOnToTheNextPackage)
{
    for (DWORD code : {1638u, 3010u, 3011u, 1641u, 0x80070BC2u, 0x80070BC3u, 0x80070669u})
    {
        PrerequisiteFolder folder;
        folder.SetExitCode(L"vcredist_x64", code);
        instutils::Runtime runtime;
        EXPECT_NO_THROW(runtime.Install(folder.Folder())) << code;
        EXPECT_EQ(folder.Calls(L"vcredist_x86"), kOneRun) << code;
    }
}

TEST(Runtime, FailedInstallerStopsWithItsResultAsHresult)
{
    PrerequisiteFolder folder;
    folder.SetExitCode(L"vcredist_x64", 1603);
    testsupport::TraceCapture log;
    instutils::Runtime runtime;
    auto error = testsupport::CatchOvError([&] { runtime.Install(folder.Folder()); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->GetCode(), 0x80070643u);
    EXPECT_TRUE(folder.Calls(L"vcredist_x86").empty());
    EXPECT_TRUE(log.Contains(L"Install Runtime result: 0x643"));
}

TEST(Runtime, MissingInstallerIsFileNotFound)
{
    PrerequisiteFolder folder;
    folder.Remove(L"vcredist_x64");
    instutils::Runtime runtime;
    auto error = testsupport::CatchOvError([&] { runtime.Install(folder.Folder()); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->GetCode(), 0x80070002u);
}

TEST(Runtime, FolderWithTrailingBackslashGivesOneSeparator)
{
    PrerequisiteFolder folder;
    testsupport::TraceCapture log;
    instutils::Runtime runtime;
    runtime.Install(folder.Folder() + L"\\");
    EXPECT_TRUE(log.Contains(L"[instutils::Runtime::Install] Install C++ runtime '" + folder.Folder() +
                             L"\\vcredist_x64.exe' with command line '/quiet /norestart' "));
}
