#include <gtest/gtest.h>

#include <string>

#include "MsiApi.h"
#include "Engine/MsiPackage.h"
#include "OvErrorObject.h"
#include "CatchOvError.h"
#include "TraceCapture.h"
#include "ProductGuids.h"
#include "ScopedInstall.h"

using testsupport::ScopedInstall;

namespace
{
ovinst::PackageInfo Row(ovinst::PackageId id)
{
    for (const auto& rows : {ovinst::ServerPackageRows(), ovinst::ConsolePackageRows()})
        for (const ovinst::PackageInfo& row : rows)
            if (row.id == id)
                return row;
    throw std::runtime_error("no such row");
}

void ExpectState(const MsiPackage& package, bool installed, bool canBeUpdated,
                 const std::wstring& installedVersion, const std::wstring& newVersion)
{
    EXPECT_EQ(package.IsInstalled(), installed);
    EXPECT_EQ(package.CanBeUpdated(), canBeUpdated);
    EXPECT_EQ(package.GetInstalledVersion(), installedVersion);
    EXPECT_EQ(package.GetNewVersion(), newVersion);
}

// Counts the calls that open a package file and passes them on.
int g_opened = 0;
UINT WINAPI CountingOpenDatabase(LPCWSTR path, LPCWSTR persist, MSIHANDLE* handle)
{
    ++g_opened;
    return ::MsiOpenDatabaseW(path, persist, handle);
}
UINT WINAPI CountingOpenPackage(LPCWSTR path, MSIHANDLE* handle)
{
    ++g_opened;
    return ::MsiOpenPackageW(path, handle);
}

class MsiPackageInstalled : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_FALSE(testsupport::IsAnyInstalled(OV_UPGRADE_CODE_SECURITY_SERVER));
    }
};
}

TEST(MsiActionText, EveryActionAndAnUnknownOne)
{
    EXPECT_EQ(to_wstring(MsiActionNone), L"None");
    EXPECT_EQ(to_wstring(MsiActionInstall), L"Install");
    EXPECT_EQ(to_wstring(MsiActionUpdate), L"Update");
    EXPECT_EQ(to_wstring(MsiActionUninstall), L"Uninstall");
    auto error = testsupport::CatchOvError([] { to_wstring(static_cast<MsiAction>(4)); });
    ASSERT_TRUE(error);
    EXPECT_STREQ(error->GetDescription(), L"Not implemented!");
    EXPECT_EQ(error->GetProperties().at(L"Function"), L"to_wstring");
    EXPECT_EQ(error->GetCode(), DWORD(E_FAIL));
}

TEST(PackageTable, SetsInTableOrder)
{
    const auto server = ovinst::ServerPackageRows();
    ASSERT_EQ(server.size(), 3u);
    EXPECT_EQ(server[0].id, ovinst::SecurityServerId);
    EXPECT_EQ(server[1].id, ovinst::AuthServerId);
    EXPECT_EQ(server[2].id, ovinst::SyncServiceId);
    // Only the Synchronization service may fail without ending the run.
    EXPECT_TRUE(server[0].critical && server[1].critical && !server[2].critical);
    const auto console = ovinst::ConsolePackageRows();
    ASSERT_EQ(console.size(), 1u);
    EXPECT_EQ(console[0].id, ovinst::ControlCenterId);
    EXPECT_EQ(console[0].displayName, L"Control Center");
    // The test program carries the English string table.
    EXPECT_EQ(ovinst::GetLanguageIndex(), ovinst::LanguageEnglish);
}

TEST(MsiPackage, RowFieldsAndTransforms)
{
    MsiPackage package(Row(ovinst::AuthServerId), L"");
    EXPECT_EQ(package.GetId(), ovinst::AuthServerId);
    EXPECT_EQ(package.GetFileName(), L"AuthServer.msi");
    EXPECT_EQ(package.GetName(), L"Authentication server");
    EXPECT_EQ(package.GetLogFileName(), L"SA.txt");
    EXPECT_EQ(package.GetUpgradeCode(), OV_UPGRADE_CODE_AUTH_SERVER);
    EXPECT_TRUE(package.IsCritical());
    EXPECT_EQ(package.GetTransform(ovinst::LanguageRussian), L":1049");
    EXPECT_EQ(package.GetTransform(ovinst::LanguageEnglish), L"");
    EXPECT_EQ(package.GetTransform(ovinst::LanguageOther), L":3082");
    EXPECT_EQ(package.GetTransform(7), L"");
    EXPECT_EQ(package.GetAction(), MsiActionNone);
    package.SetAction(MsiActionUninstall);
    EXPECT_EQ(package.GetAction(), MsiActionUninstall);
}

TEST(MsiPackage, NotInstalled)
{
    ASSERT_FALSE(testsupport::IsAnyInstalled(OV_UPGRADE_CODE_SECURITY_SERVER));
    testsupport::TraceCapture log;
    MsiPackage package(Row(ovinst::SecurityServerId), testsupport::DistFolder());
    EXPECT_TRUE(log.Contains(L"Package 'Security Server' is not installed"));
    ExpectState(package, false, false, L"n/a", L"n/a");
}

// Against the first build installed: the same build in the distribution is up to date,
// the newer one can update it and reports both versions.
TEST_F(MsiPackageInstalled, DistributionBuildDecidesUpdate)
{
    ScopedInstall installed(testsupport::DistPackage(L"SecurityServer.msi"),
                            OV_UPGRADE_CODE_SECURITY_SERVER);
    ASSERT_EQ(installed.Result(), 0u);
    testsupport::TraceCapture log;

    MsiPackage same(Row(ovinst::SecurityServerId), testsupport::DistFolder());
    ExpectState(same, true, false, L"n/a", L"n/a");

    MsiPackage newer(Row(ovinst::SecurityServerId), testsupport::NewerFolder());
    // Installed version from the product's registry value, new one from the file.
    ExpectState(newer, true, true, OV_SAMPLE_VERSION_1, OV_SAMPLE_VERSION_2);

    EXPECT_TRUE(log.Contains(L"Package 'Security Server' is up to date"));
    EXPECT_TRUE(log.Contains(L"Package 'Security Server' can be updated"));
    EXPECT_TRUE(log.Contains(L"current version is 12.1.200.0"));
}

TEST(MsiPackageVersions, ControlCenterReadsItsOwnValueOthersKeepNa)
{
    ASSERT_FALSE(testsupport::IsAnyInstalled(OV_UPGRADE_CODE_CONTROL_CENTER));
    ASSERT_FALSE(testsupport::IsAnyInstalled(OV_UPGRADE_CODE_AUTH_SERVER));
    ScopedInstall console(testsupport::DistPackage(L"ControlCenter.msi"),
                          OV_UPGRADE_CODE_CONTROL_CENTER);
    ScopedInstall auth(testsupport::DistPackage(L"AuthServer.msi"), OV_UPGRADE_CODE_AUTH_SERVER);
    ASSERT_EQ(console.Result(), 0u);
    ASSERT_EQ(auth.Result(), 0u);

    MsiPackage consolePackage(Row(ovinst::ControlCenterId), testsupport::NewerFolder());
    ExpectState(consolePackage, true, true, OV_SAMPLE_VERSION_1, OV_SAMPLE_VERSION_2);

    MsiPackage authPackage(Row(ovinst::AuthServerId), testsupport::NewerFolder());
    ExpectState(authPackage, true, true, L"n/a", L"n/a");
}

TEST_F(MsiPackageInstalled, RemovalModeOpensNoPackageFile)
{
    ScopedInstall installed(testsupport::DistPackage(L"SecurityServer.msi"),
                            OV_UPGRADE_CODE_SECURITY_SERVER);
    ASSERT_EQ(installed.Result(), 0u);
    msi::CMsiApiOverride api;
    api->OpenDatabaseW = CountingOpenDatabase;
    api->OpenPackageW = CountingOpenPackage;
    g_opened = 0;

    MsiPackage package(Row(ovinst::SecurityServerId), L"");
    ExpectState(package, true, false, L"n/a", L"n/a");
    EXPECT_EQ(g_opened, 0);

    // The same package with a distribution does open its file.
    MsiPackage withFile(Row(ovinst::SecurityServerId), testsupport::NewerFolder());
    EXPECT_GT(g_opened, 0);
}

TEST(MsiPackageProperty, ReadsThePropertyTable)
{
    const std::wstring path = testsupport::NewerPackage(L"SecurityServer.msi");
    // The table writes ProductCode and ProductVersion: any case finds them.
    EXPECT_EQ(MsiPackage::GetProperty(path, L"PRODUCTCODE", L""),
              OV_SAMPLE_PRODUCT_SECURITY_SERVER_2);
    EXPECT_EQ(MsiPackage::GetProperty(path, L"productversion", L""), OV_SAMPLE_VERSION_2);
    EXPECT_EQ(MsiPackage::GetProperty(path, L"UpgradeCode", L""), OV_UPGRADE_CODE_SECURITY_SERVER);
    EXPECT_EQ(MsiPackage::GetProperty(path, L"NoSuchProperty", L""), L"");
}

TEST(MsiPackageProperty, MissingFileThrowsItsCode)
{
    const std::wstring path = testsupport::DistFolder() + L"Missing.msi";
    auto error = testsupport::CatchOvError([&] { MsiPackage::GetProperty(path, L"ProductCode", L""); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->GetCode() & 0xFFFF0000u, 0x80070000u) << std::hex << error->GetCode();
}

TEST(MsiPackageProperty, TransformThatDoesNotFitNamesThePackage)
{
    const std::wstring path = testsupport::DistPackage(L"AuthServer.msi");
    auto error = testsupport::CatchOvError([&] { MsiPackage::GetProperty(path, L"ProductCode", L":1049"); });
    ASSERT_TRUE(error);
    EXPECT_EQ(std::wstring(error->GetDescription()),
              L"Error while transforming installation package. Make sure that the version "
              L"of the installation package " + path + L" is correct.");
}

namespace
{
int g_handles = 0;
UINT WINAPI TrackedOpenDatabase(LPCWSTR path, LPCWSTR persist, MSIHANDLE* handle)
{
    const UINT r = ::MsiOpenDatabaseW(path, persist, handle);
    g_handles += r == 0;
    return r;
}
UINT WINAPI TrackedOpenView(MSIHANDLE database, LPCWSTR query, MSIHANDLE* view)
{
    const UINT r = ::MsiDatabaseOpenViewW(database, query, view);
    g_handles += r == 0;
    return r;
}
UINT WINAPI FailingExecute(MSIHANDLE, MSIHANDLE)
{
    return ERROR_FUNCTION_FAILED;
}
UINT WINAPI TrackedClose(MSIHANDLE handle)
{
    --g_handles;
    return ::MsiCloseHandle(handle);
}
}

TEST(MsiPackageProperty, FailedQueryThrowsAndClosesItsHandles)
{
    msi::CMsiApiOverride api;
    api->OpenDatabaseW = TrackedOpenDatabase;
    api->DatabaseOpenViewW = TrackedOpenView;
    api->ViewExecute = FailingExecute;
    api->CloseHandle = TrackedClose;
    g_handles = 0;
    auto error = testsupport::CatchOvError([] {
        MsiPackage::GetProperty(testsupport::DistPackage(L"AuthServer.msi"), L"ProductCode", L"");
    });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->GetCode(), OvBase::HResultFromWin32(ERROR_FUNCTION_FAILED));
    EXPECT_EQ(g_handles, 0);
}

TEST(MsiPackageVersion, ProductVersionOrEmpty)
{
    EXPECT_EQ(MsiPackage::GetPackageVersion(testsupport::NewerPackage(L"AuthServer.msi")),
              OV_SAMPLE_VERSION_2);
    EXPECT_EQ(MsiPackage::GetPackageVersion(testsupport::DistPackage(L"AuthServer.msi")),
              OV_SAMPLE_VERSION_1);
    EXPECT_EQ(MsiPackage::GetPackageVersion(L""), L"");
    EXPECT_EQ(MsiPackage::GetPackageVersion(testsupport::DistFolder() + L"Missing.msi"), L"");
}
