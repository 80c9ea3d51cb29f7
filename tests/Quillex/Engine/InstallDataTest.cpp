#include <gtest/gtest.h>

#include <vector>

#include "CatchOvError.h"
#include "Engine/InstallData.h"
#include "TraceCapture.h"
#include "OvErrorObject.h"
#include "ProductGuids.h"
#include "ScopedInstall.h"

using ovinst::InstallData;
using testsupport::ScopedInstall;

namespace
{
std::vector<MsiAction> Actions(const ovinst::IInstallData& data)
{
    std::vector<MsiAction> actions;
    for (const auto& package : data.GetPackages())
        actions.push_back(package->GetAction());
    return actions;
}

const wchar_t* const kFamily[] = {OV_UPGRADE_CODE_SECURITY_SERVER, OV_UPGRADE_CODE_AUTH_SERVER,
                                  OV_UPGRADE_CODE_SYNC_SERVICE, OV_UPGRADE_CODE_CONTROL_CENTER};

// Every test starts from a prefix without the product's packages.
class InstallDataTest : public testing::Test
{
protected:
    void SetUp() override
    {
        for (const wchar_t* code : kFamily)
            ASSERT_FALSE(testsupport::IsAnyInstalled(code)) << "left installed: " << code;
    }
};

const MsiAction None = MsiActionNone;
const MsiAction Install = MsiActionInstall;
const MsiAction Uninstall = MsiActionUninstall;
}

TEST_F(InstallDataTest, SilentServerRunWithoutSecurityServerInstallsTwo)
{
    InstallData data(ovinst::ServerPackageRows(), testsupport::DistFolder(), L"A=1", true, false);
    EXPECT_EQ(Actions(data), (std::vector<MsiAction>{Install, Install, None}));
    EXPECT_EQ(data.GetUIMode(), 0);
    EXPECT_EQ(data.GetInstallerType(), 1);
    EXPECT_EQ(data.GetDirectory(), testsupport::DistFolder());
    EXPECT_EQ(data.GetMsiOption(), L"A=1");
    EXPECT_FALSE(data.IsUserActionNeeded());
}

TEST_F(InstallDataTest, SilentServerRunWithSecurityServerDoesNothing)
{
    ScopedInstall server(testsupport::DistPackage(L"SecurityServer.msi"),
                         OV_UPGRADE_CODE_SECURITY_SERVER);
    ASSERT_EQ(server.Result(), 0u);
    testsupport::TraceCapture log;
    InstallData data(ovinst::ServerPackageRows(), testsupport::DistFolder(), L"", true, false);
    EXPECT_EQ(Actions(data), (std::vector<MsiAction>{None, None, None}));
    EXPECT_FALSE(data.IsUserActionNeeded());
    EXPECT_TRUE(log.Contains(L"Silent install called"));
    // A warning: the line carries the level tag.
    bool warned = false;
    for (const std::wstring& line : log.Lines())
        warned = warned || (line.rfind(L"W> ", 0) == 0 &&
                            line.find(L"Security Server is already installed, do nothing") !=
                                std::wstring::npos);
    EXPECT_TRUE(warned);
}

TEST_F(InstallDataTest, InteractiveServerRunWaitsForTheUser)
{
    InstallData data(ovinst::ServerPackageRows(), testsupport::DistFolder(), L"", false, false);
    EXPECT_EQ(Actions(data), (std::vector<MsiAction>{None, None, None}));
    EXPECT_EQ(data.GetUIMode(), 1);
    EXPECT_TRUE(data.IsUserActionNeeded());

    data.SetUserAction(ovinst::SecurityServerId, true);
    data.SetUserAction(ovinst::AuthServerId, true);
    data.SetUserAction(ovinst::SyncServiceId, false);
    EXPECT_EQ(Actions(data), (std::vector<MsiAction>{Install, Install, None}));
}

TEST_F(InstallDataTest, RemovalModeUninstallsWhatIsInstalled)
{
    ScopedInstall server(testsupport::DistPackage(L"SecurityServer.msi"),
                         OV_UPGRADE_CODE_SECURITY_SERVER);
    ScopedInstall sync(testsupport::DistPackage(L"FederationSyncService.msi"),
                       OV_UPGRADE_CODE_SYNC_SERVICE);
    ASSERT_EQ(server.Result(), 0u);
    ASSERT_EQ(sync.Result(), 0u);
    testsupport::TraceCapture log;
    InstallData data(ovinst::ServerPackageRows(), testsupport::DistFolder(), L"", false, true);
    EXPECT_EQ(Actions(data), (std::vector<MsiAction>{Uninstall, None, Uninstall}));
    EXPECT_EQ(data.GetDirectory(), L"");
    EXPECT_FALSE(data.IsUserActionNeeded());
    for (const auto& package : data.GetPackages())
        EXPECT_FALSE(package->CanBeUpdated());
    EXPECT_TRUE(log.Contains(L"Remove from control panel is called"));
    EXPECT_TRUE(log.Contains(L"Package 'Security Server' is installed, action is set to Uninstall"));
    EXPECT_TRUE(log.Contains(L"Package 'Synchronization service' is installed, action is set to Uninstall"));
    EXPECT_FALSE(log.ContainsText(L"Package 'Authentication server' is installed"));
}

TEST_F(InstallDataTest, ConsoleNotInstalledIsInstalledWithoutAsking)
{
    for (const bool silent : {false, true})
    {
        testsupport::TraceCapture log;
        InstallData data(ovinst::ConsolePackageRows(), testsupport::DistFolder(), L"", silent,
                         false);
        EXPECT_EQ(Actions(data), (std::vector<MsiAction>{Install}));
        EXPECT_EQ(data.GetInstallerType(), 0);
        EXPECT_FALSE(data.IsUserActionNeeded());
        EXPECT_TRUE(log.Contains(L"Console package action is set to Install"));
    }
}

TEST_F(InstallDataTest, ConsoleInstalledOffersModifyOrRemoval)
{
    ScopedInstall console(testsupport::DistPackage(L"ControlCenter.msi"),
                          OV_UPGRADE_CODE_CONTROL_CENTER);
    ASSERT_EQ(console.Result(), 0u);

    InstallData interactive(ovinst::ConsolePackageRows(), testsupport::DistFolder(), L"", false,
                            false);
    EXPECT_EQ(Actions(interactive), (std::vector<MsiAction>{None}));
    EXPECT_TRUE(interactive.IsUserActionNeeded());

    // A silent run has nobody to ask.
    InstallData silent(ovinst::ConsolePackageRows(), testsupport::DistFolder(), L"", true, false);
    EXPECT_EQ(Actions(silent), (std::vector<MsiAction>{None}));
    EXPECT_FALSE(silent.IsUserActionNeeded());
}

TEST_F(InstallDataTest, UserChoiceOnInstalledPackages)
{
    ScopedInstall server(testsupport::DistPackage(L"SecurityServer.msi"),
                         OV_UPGRADE_CODE_SECURITY_SERVER);
    ASSERT_EQ(server.Result(), 0u);
    InstallData data(ovinst::ServerPackageRows(), testsupport::DistFolder(), L"", false, false);
    ASSERT_TRUE(data.IsUserActionNeeded());

    testsupport::TraceCapture log;
    // Checked and installed with the same build in the distribution: nothing to do.
    data.SetUserAction(ovinst::SecurityServerId, true);
    data.SetUserAction(ovinst::AuthServerId, true);
    data.SetUserAction(ovinst::SyncServiceId, false);
    EXPECT_EQ(Actions(data), (std::vector<MsiAction>{None, Install, None}));
    EXPECT_TRUE(log.Contains(L"Package 'Security Server' is 'checked', action is 'None'"));
    EXPECT_TRUE(log.Contains(L"Package 'Authentication server' is 'checked', action is 'Install'"));
    EXPECT_TRUE(log.Contains(L"Package 'Synchronization service' is 'unchecked', action is 'None'"));

    data.UninstallAll();
    EXPECT_EQ(Actions(data), (std::vector<MsiAction>{Uninstall, Install, None}));
}

// A silent run asked to update: the three situations it can find, the packages really
// installed, the first or the newer builds in the distribution.
TEST_F(InstallDataTest, SilentUpdateRequest)
{
    const MsiAction Update = MsiActionUpdate;
    {
        // Nothing installed: installs as a plain silent run does.
        testsupport::TraceCapture log;
        InstallData data(ovinst::ServerPackageRows(), testsupport::NewerFolder(), L"", true, false, true);
        EXPECT_EQ(Actions(data), (std::vector<MsiAction>{Install, Install, None}));
        EXPECT_TRUE(log.Contains(L"Update requested: no server package is installed, installing"));
    }
    ScopedInstall server(testsupport::DistPackage(L"SecurityServer.msi"), OV_UPGRADE_CODE_SECURITY_SERVER);
    ScopedInstall auth(testsupport::DistPackage(L"AuthServer.msi"), OV_UPGRADE_CODE_AUTH_SERVER);
    ASSERT_EQ(server.Result(), 0u);
    ASSERT_EQ(auth.Result(), 0u);
    {
        // Installed and current: nothing to do.
        testsupport::TraceCapture log;
        InstallData data(ovinst::ServerPackageRows(), testsupport::DistFolder(), L"", true, false, true);
        EXPECT_EQ(Actions(data), (std::vector<MsiAction>{None, None, None}));
        EXPECT_TRUE(log.Contains(L"Update requested: the installed packages are current, nothing to do"));
        EXPECT_FALSE(log.ContainsText(L"Security Server is already installed, do nothing"));
    }
    {
        // Newer builds: what is installed is updated, the Synchronization service stays out.
        testsupport::TraceCapture log;
        InstallData data(ovinst::ServerPackageRows(), testsupport::NewerFolder(), L"", true, false, true);
        EXPECT_EQ(Actions(data), (std::vector<MsiAction>{Update, Update, None}));
        EXPECT_FALSE(data.IsUserActionNeeded());
        EXPECT_TRUE(log.Contains(
            L"Update requested: a newer build is in the distribution, updating the installed packages"));
        EXPECT_TRUE(log.Contains(L"Package 'Authentication server' is 'checked', action is 'Update'"));
    }
    {
        // Without the request the same machine is left alone, as before.
        InstallData data(ovinst::ServerPackageRows(), testsupport::NewerFolder(), L"", true, false, false);
        EXPECT_EQ(Actions(data), (std::vector<MsiAction>{None, None, None}));
    }
    {
        // An interactive run still asks: the summary window offers the update.
        InstallData data(ovinst::ServerPackageRows(), testsupport::NewerFolder(), L"", false, false, true);
        EXPECT_EQ(Actions(data), (std::vector<MsiAction>{None, None, None}));
        EXPECT_TRUE(data.IsUserActionNeeded());
    }
}

// Only the packages with a newer build are updated; an installed Synchronization service is
// updated with the others.
TEST_F(InstallDataTest, SilentUpdateTakesTheBoxesAsInstalled)
{
    ScopedInstall server(testsupport::NewerPackage(L"SecurityServer.msi"), OV_UPGRADE_CODE_SECURITY_SERVER);
    ScopedInstall auth(testsupport::DistPackage(L"AuthServer.msi"), OV_UPGRADE_CODE_AUTH_SERVER);
    ScopedInstall sync(testsupport::DistPackage(L"FederationSyncService.msi"), OV_UPGRADE_CODE_SYNC_SERVICE);
    ASSERT_EQ(server.Result(), 0u);
    ASSERT_EQ(auth.Result(), 0u);
    ASSERT_EQ(sync.Result(), 0u);
    InstallData data(ovinst::ServerPackageRows(), testsupport::NewerFolder(), L"", true, false, true);
    EXPECT_EQ(Actions(data), (std::vector<MsiAction>{None, MsiActionUpdate, MsiActionUpdate}));
}

TEST_F(InstallDataTest, InstalledProductWithoutItsFileInTheDistributionFails)
{
    ScopedInstall server(testsupport::DistPackage(L"SecurityServer.msi"),
                         OV_UPGRADE_CODE_SECURITY_SERVER);
    ASSERT_EQ(server.Result(), 0u);
    const std::wstring empty = std::wstring(OV_SAMPLES_DIR) + L"\\NoSuchFolder\\";
    auto error = testsupport::CatchOvError(
        [&] { InstallData data(ovinst::ServerPackageRows(), empty, L"", false, false); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->GetCode() & 0xFFFF0000u, 0x80070000u);
    // Removal mode never looks at the distribution.
    InstallData removal(ovinst::ServerPackageRows(), empty, L"", false, true);
    EXPECT_EQ(removal.GetPackages()[ovinst::SecurityServerId].GetAction(), MsiActionUninstall);
}

TEST_F(InstallDataTest, UnknownIdIsRefused)
{
    InstallData data(ovinst::ServerPackageRows(), testsupport::DistFolder(), L"", false, false);
    EXPECT_TRUE(data.GetPackages().Contains(ovinst::SyncServiceId));
    EXPECT_FALSE(data.GetPackages().Contains(ovinst::ControlCenterId));
    auto error = testsupport::CatchOvError(
        [&] { data.SetUserAction(static_cast<ovinst::PackageId>(7), true); });
    ASSERT_TRUE(error);
    EXPECT_STREQ(error->GetDescription(), L"id not found");
    EXPECT_EQ(error->GetProperties().at(L"Function"), L"ovinst::Packages::operator []");
    EXPECT_THROW(data.GetPackages()[ovinst::ControlCenterId], OvBase::COvError);
}

namespace
{
// A package whose state the test sets directly.
class FakePackage : public IMsiPackage
{
public:
    FakePackage(bool installed, bool canBeUpdated)
        : m_installed(installed), m_canBeUpdated(canBeUpdated)
    {
    }
    ovinst::PackageId GetId() const override { return ovinst::SecurityServerId; }
    std::wstring GetFileName() const override { return L""; }
    std::wstring GetName() const override { return L""; }
    std::wstring GetLogFileName() const override { return L""; }
    std::wstring GetUpgradeCode() const override { return L""; }
    std::wstring GetInstalledVersion() const override { return L""; }
    std::wstring GetNewVersion() const override { return L""; }
    bool IsInstalled() const override { return m_installed; }
    bool CanBeUpdated() const override { return m_canBeUpdated; }
    bool IsCritical() const override { return true; }
    MsiAction GetAction() const override { return MsiActionNone; }
    std::wstring GetTransform(int) const override { return L""; }
    void SetAction(MsiAction) override {}

private:
    bool m_installed;
    bool m_canBeUpdated;
};

struct UserActionCase
{
    bool checked;
    bool installed;
    bool canBeUpdated;
    MsiAction action;
};

class UserActionTable : public testing::TestWithParam<UserActionCase>
{
};
}

TEST_P(UserActionTable, CheckBoxMeansAction)
{
    const UserActionCase& c = GetParam();
    const FakePackage package(c.installed, c.canBeUpdated);
    EXPECT_EQ(InstallData::GetUserAction(package, c.checked), c.action);
}

INSTANTIATE_TEST_SUITE_P(
    AllStates, UserActionTable,
    testing::Values(UserActionCase{true, true, true, MsiActionUpdate},
                    UserActionCase{true, true, false, MsiActionNone},
                    UserActionCase{true, false, false, MsiActionInstall},
                    UserActionCase{true, false, true, MsiActionInstall},
                    UserActionCase{false, true, false, MsiActionUninstall},
                    UserActionCase{false, true, true, MsiActionUninstall},
                    UserActionCase{false, false, false, MsiActionNone},
                    UserActionCase{false, false, true, MsiActionNone}));
