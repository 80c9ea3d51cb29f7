#include "CheckPackages.h"
#include "TraceCapture.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace
{
// Files beside the test program, which stands where Setup.exe would.
class CheckPackagesTest : public testing::Test
{
protected:
    void SetUp() override
    {
        wchar_t path[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, path, MAX_PATH);
        m_folder = path;
        m_folder.erase(m_folder.find_last_of(L'\\'));
        Touch(L"OvProbeA.msi");
        Touch(L"OvProbeB.msi");
        CreateDirectoryW((m_folder + L"\\OvProbeFolder.msi").c_str(), nullptr);
    }
    void TearDown() override
    {
        DeleteFileW((m_folder + L"\\OvProbeA.msi").c_str());
        DeleteFileW((m_folder + L"\\OvProbeB.msi").c_str());
        RemoveDirectoryW((m_folder + L"\\OvProbeFolder.msi").c_str());
    }
    void Touch(const wchar_t* name)
    {
        HANDLE file = CreateFileW((m_folder + L"\\" + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file);
        CloseHandle(file);
    }
    std::wstring m_folder;
};
} // namespace

TEST_F(CheckPackagesTest, PackageExist)
{
    const utils::CheckPackages none({});
    const struct
    {
        const wchar_t* name;
        bool found;
    } cases[] = {
        {L"OvProbeA.msi", true},
        {L"\\OvProbeA.msi", true}, // no double backslash at the joint
        {L"ovprobea.MSI", true},   // the file system decides the case
        {L"OvProbeMissing.msi", false},
        {L"OvProbeFolder.msi", false}, // a folder is no package
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.found, none.PackageExist(c.name)) << testing::PrintToString(std::wstring(c.name));
}

TEST_F(CheckPackagesTest, TracesWhereItLooks)
{
    testsupport::TraceCapture trace;
    EXPECT_TRUE(utils::CheckPackages({}).PackageExist(L"OvProbeA.msi"));
    EXPECT_TRUE(trace.Contains(L"Try find 'OvProbeA.msi' in '" + m_folder + L"'"));
    EXPECT_TRUE(trace.Contains(L"Found"));
    EXPECT_FALSE(trace.Contains(L"Not found"));
}

TEST_F(CheckPackagesTest, CheckAllStopsAtTheFirstMissingPackage)
{
    testsupport::TraceCapture trace;
    EXPECT_FALSE(utils::CheckPackages({L"OvProbeA.msi", L"OvProbeMissing.msi", L"OvProbeB.msi"}).CheckAll());
    EXPECT_TRUE(trace.ContainsText(L"Try find 'OvProbeMissing.msi'"));
    EXPECT_TRUE(trace.Contains(L"Not found"));
    EXPECT_FALSE(trace.ContainsText(L"OvProbeB.msi"));
}

TEST_F(CheckPackagesTest, CheckAll)
{
    EXPECT_TRUE(utils::CheckPackages({}).CheckAll());
    EXPECT_TRUE(utils::CheckPackages({L"OvProbeA.msi", L"OvProbeB.msi"}).CheckAll());
    EXPECT_FALSE(utils::CheckPackages({L"OvProbeA.msi", L"OvProbeMissing.msi", L"OvProbeB.msi"}).CheckAll());
    EXPECT_FALSE(utils::CheckPackages({L"OvProbeMissing.msi"}).CheckAll());
}
