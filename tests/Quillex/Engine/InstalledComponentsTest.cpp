// In the program's test set: the display names come from its string table.
#include "InstalledComponents.h"
#include "MsiQueries.h"
#include "ProductGuids.h"
#include "ScopedInstall.h"
#include "TraceCapture.h"

#include <algorithm>

#include <gtest/gtest.h>

#include <vector>

using testsupport::DistPackage;
using testsupport::ScopedInstall;

namespace
{
std::wstring SamplePackage(const wchar_t* name)
{
    return std::wstring(OV_SAMPLES_DIR) + L"\\" + name;
}
} // namespace

TEST(InstalledComponents, NothingInstalledListsAllSixAsMissing)
{
    testsupport::TraceCapture trace;
    const instutils::InstalledComponents components;
    const std::pair<const wchar_t*, const wchar_t*> expected[] = {
        {OV_UPGRADE_CODE_CLIENT_1, L"Client software"},
        {OV_UPGRADE_CODE_CLIENT_2, L"Client software"},
        {OV_UPGRADE_CODE_CONTROL_CENTER, L"Control Center"},
        {OV_UPGRADE_CODE_SECURITY_SERVER, L"Security Server"},
        {OV_UPGRADE_CODE_UPDATE_SERVER, L"Update Server"},
        {OV_UPGRADE_CODE_CSP, L"Calderis CSP"},
    };
    for (size_t i = 0; i < components.GetEntries().size(); ++i)
    {
        const auto& entry = components.GetEntries()[i];
        EXPECT_EQ(expected[i].first, entry.upgradeCode) << i;
        EXPECT_EQ(expected[i].second, entry.displayName) << i;
        EXPECT_FALSE(entry.found) << i;
    }
    EXPECT_TRUE(components.GetFound().empty());

    // One line per entry, also where two entries share a name.
    const std::vector<std::wstring> lines = trace.Lines();
    const auto header = std::find(lines.begin(), lines.end(), L"Following components was found:");
    ASSERT_NE(lines.end(), header);
    std::vector<std::wstring> listed;
    std::copy_if(header + 1, lines.end(), std::back_inserter(listed), [](const std::wstring& line) {
        return line.ends_with(L": NOT installed") || line.ends_with(L": installed");
    });
    EXPECT_EQ((std::vector<std::wstring>{L"Client software: NOT installed", L"Client software: NOT installed",
                                         L"Control Center: NOT installed", L"Security Server: NOT installed",
                                         L"Update Server: NOT installed", L"Calderis CSP: NOT installed"}),
              listed);
    EXPECT_FALSE(AnyComponentInstalled());
}

TEST(InstalledComponents, FoundListFollowsTableOrder)
{
    // Installed in the other order than the table lists them.
    ScopedInstall server(DistPackage(L"SecurityServer.msi"), OV_UPGRADE_CODE_SECURITY_SERVER);
    ScopedInstall console(DistPackage(L"ControlCenter.msi"), OV_UPGRADE_CODE_CONTROL_CENTER);
    ASSERT_EQ(0u, server.Result());
    ASSERT_EQ(0u, console.Result());

    testsupport::TraceCapture trace;
    const instutils::InstalledComponents components;
    EXPECT_EQ((std::vector<int>{2, 3}), components.GetFound());
    EXPECT_TRUE(trace.Contains(L"Security Server: installed"));
    EXPECT_TRUE(trace.Contains(L"Control Center: installed"));
    EXPECT_TRUE(components.GetEntries()[2].found);
    EXPECT_TRUE(components.GetEntries()[3].found);
    EXPECT_FALSE(components.GetEntries()[0].found);
    EXPECT_TRUE(AnyComponentInstalled());
}

TEST(InstalledComponents, SharedComponentAloneCountsAsInstalled)
{
    // A family product the scan does not know still holds the shared component.
    ScopedInstall common(SamplePackage(L"CalderisCommon.msi"), OV_SAMPLE_UPGRADE_CODE_COMMON);
    ASSERT_EQ(0u, common.Result());
    EXPECT_TRUE(instutils::InstalledComponents().GetFound().empty());
    EXPECT_TRUE(AnyComponentInstalled());
}

TEST(InstalledComponents, ServerPackageOutsideTheScanKeepsTheFamilyPresent)
{
    // The Authentication Server is not in the scan; after the Security Server is removed it
    // still holds the shared component, so the family's language mark must stay.
    ScopedInstall auth(DistPackage(L"AuthServer.msi"), OV_UPGRADE_CODE_AUTH_SERVER);
    ASSERT_EQ(0u, auth.Result());
    {
        ScopedInstall server(DistPackage(L"SecurityServer.msi"), OV_UPGRADE_CODE_SECURITY_SERVER);
        ASSERT_EQ(0u, server.Result());
    }
    EXPECT_TRUE(instutils::InstalledComponents().GetFound().empty());
    EXPECT_TRUE(AnyComponentInstalled());
}
