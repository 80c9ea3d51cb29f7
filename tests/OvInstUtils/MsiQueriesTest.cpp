#include "MsiApi.h"
#include "MsiQueries.h"
#include "OvErrorObject.h"
#include "ProductGuids.h"
#include "ScopedInstall.h"
#include "TraceCapture.h"

#include <gtest/gtest.h>

using testsupport::DistPackage;
using testsupport::NewerPackage;
using testsupport::ScopedInstall;

namespace
{
const wchar_t kUnknownGuid[] = L"{5D0C5A43-7E2B-4C39-9F6E-2B8E0F7A9C11}";

std::wstring SamplePackage(const wchar_t* name)
{
    return std::wstring(OV_SAMPLES_DIR) + L"\\" + name;
}

UINT g_enumClientsResult = 0;
UINT WINAPI EnumClients(LPCWSTR, DWORD, LPWSTR product)
{
    product[0] = L'\0';
    return g_enumClientsResult;
}

INSTALLSTATE g_state = INSTALLSTATE_UNKNOWN;
INSTALLSTATE WINAPI QueryState(LPCWSTR)
{
    return g_state;
}
} // namespace

TEST(MsiQueries, NothingOfTheFamilyInstalled)
{
    testsupport::TraceCapture trace;
    EXPECT_FALSE(msi::IsInstalledByUpgradeCode(OV_UPGRADE_CODE_SECURITY_SERVER));
    EXPECT_TRUE(trace.Contains(L"'" OV_UPGRADE_CODE_SECURITY_SERVER L"' is installed: '0'"));
    EXPECT_TRUE(trace.Contains(L"msi::IsInstalledByUpgradeCode"));
    EXPECT_FALSE(msi::IsInstalledByUpgradeCode(kUnknownGuid));
    EXPECT_FALSE(msi::IsInstalledByProductCode(OV_SAMPLE_PRODUCT_SECURITY_SERVER_1));
    EXPECT_FALSE(msi::IsComponentInUse(OV_SHARED_COMPONENT_ID));
    EXPECT_FALSE(msi::IsComponentInUse(kUnknownGuid)); // unknown component: 1607, not an error
}

TEST(MsiQueries, InstalledPackageAndItsMajorUpgrade)
{
    ScopedInstall first(DistPackage(L"SecurityServer.msi"), OV_UPGRADE_CODE_SECURITY_SERVER);
    ASSERT_EQ(0u, first.Result());
    testsupport::TraceCapture trace;
    EXPECT_TRUE(msi::IsInstalledByUpgradeCode(OV_UPGRADE_CODE_SECURITY_SERVER));
    EXPECT_TRUE(trace.Contains(L"'" OV_UPGRADE_CODE_SECURITY_SERVER L"' is installed: '1'"));
    EXPECT_FALSE(msi::IsInstalledByUpgradeCode(OV_UPGRADE_CODE_AUTH_SERVER));
    EXPECT_TRUE(msi::IsInstalledByProductCode(OV_SAMPLE_PRODUCT_SECURITY_SERVER_1));
    EXPECT_TRUE(trace.Contains(L"MsiQueryProductState '" OV_SAMPLE_PRODUCT_SECURITY_SERVER_1 L"': '5'"));
    EXPECT_FALSE(msi::IsInstalledByProductCode(OV_SAMPLE_PRODUCT_SECURITY_SERVER_2));
    EXPECT_TRUE(msi::IsComponentInUse(OV_SHARED_COMPONENT_ID));

    // The newer build replaces the first one under the same upgrade code.
    ScopedInstall newer(NewerPackage(L"SecurityServer.msi"), OV_UPGRADE_CODE_SECURITY_SERVER);
    ASSERT_EQ(0u, newer.Result());
    EXPECT_TRUE(msi::IsInstalledByUpgradeCode(OV_UPGRADE_CODE_SECURITY_SERVER));
    EXPECT_FALSE(msi::IsInstalledByProductCode(OV_SAMPLE_PRODUCT_SECURITY_SERVER_1));
    EXPECT_TRUE(msi::IsInstalledByProductCode(OV_SAMPLE_PRODUCT_SECURITY_SERVER_2));
}

TEST(MsiQueries, OlderGenerationIsFoundByItsFirstUpgradeCode)
{
    ScopedInstall older(SamplePackage(L"Orvane7.msi"), OV_UPGRADE_CODE_ORVANE7_1);
    ASSERT_EQ(0u, older.Result());
    EXPECT_TRUE(msi::IsInstalledByUpgradeCode(OV_UPGRADE_CODE_ORVANE7_1));
    EXPECT_FALSE(msi::IsInstalledByUpgradeCode(OV_UPGRADE_CODE_ORVANE7_2));
    EXPECT_TRUE(msi::IsInstalledByProductCode(OV_SAMPLE_PRODUCT_ORVANE7));
}

TEST(MsiQueries, FailedInstallationLeavesNothing)
{
    // The sample packages refuse to install when asked to, for tests of failed installations.
    msi::Api().SetInternalUI(INSTALLUILEVEL_NONE, nullptr);
    const UINT result = msi::Api().InstallProductW(DistPackage(L"AuthServer.msi").c_str(), L"FORCEFAIL=1");
    testsupport::RemoveByUpgradeCode(OV_UPGRADE_CODE_AUTH_SERVER);
    EXPECT_EQ(UINT(ERROR_INSTALL_FAILURE), result);
    EXPECT_FALSE(msi::IsInstalledByUpgradeCode(OV_UPGRADE_CODE_AUTH_SERVER));
}

TEST(MsiQueries, OnlyTheDefaultStateCountsAsInstalled)
{
    msi::CMsiApiOverride guard;
    guard->QueryProductStateW = QueryState;
    const struct
    {
        INSTALLSTATE state;
        bool installed;
    } cases[] = {
        {INSTALLSTATE_DEFAULT, true},     {INSTALLSTATE_ADVERTISED, false}, {INSTALLSTATE_ABSENT, false},
        {INSTALLSTATE_UNKNOWN, false},    {INSTALLSTATE_INVALIDARG, false}, {INSTALLSTATE_BROKEN, false},
        {INSTALLSTATE_LOCAL, false},
    };
    for (const auto& c : cases)
    {
        g_state = c.state;
        EXPECT_EQ(c.installed, msi::IsInstalledByProductCode(kUnknownGuid)) << "state " << c.state;
    }

    testsupport::TraceCapture trace;
    g_state = INSTALLSTATE_ADVERTISED;
    EXPECT_FALSE(msi::IsInstalledByProductCode(kUnknownGuid));
    EXPECT_TRUE(trace.Contains(std::wstring(L"MsiQueryProductState '") + kUnknownGuid + L"': '1'"));
    g_state = INSTALLSTATE_UNKNOWN;
    EXPECT_FALSE(msi::IsInstalledByProductCode(kUnknownGuid));
    EXPECT_TRUE(trace.Contains(std::wstring(L"MsiQueryProductState '") + kUnknownGuid + L"': '-1'"));
}

TEST(MsiQueries, UnexpectedComponentQueryResultThrowsThatCode)
{
    msi::CMsiApiOverride guard;
    guard->EnumClientsW = EnumClients;
    g_enumClientsResult = ERROR_BAD_CONFIGURATION;
    try
    {
        msi::IsComponentInUse(OV_SHARED_COMPONENT_ID);
        FAIL() << "no error thrown";
    }
    catch (OvBase::COvError& error)
    {
        EXPECT_EQ(DWORD(ERROR_BAD_CONFIGURATION), error.GetCode()); // plain number, not an HRESULT
    }
    g_enumClientsResult = ERROR_NO_MORE_ITEMS;
    EXPECT_FALSE(msi::IsComponentInUse(OV_SHARED_COMPONENT_ID));
    g_enumClientsResult = ERROR_SUCCESS;
    EXPECT_TRUE(msi::IsComponentInUse(OV_SHARED_COMPONENT_ID));
}
