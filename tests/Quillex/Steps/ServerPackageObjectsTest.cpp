#include <gtest/gtest.h>

#include "Engine/ExecContext.h"
#include "Engine/InstallContext.h"
#include "Engine/MsiPackage.h"
#include "Engine/PackageTable.h"
#include "Engine/SharedRegionNames.h"
#include "MsiApi.h"
#include "ProductGuids.h"
#include "RecordingNotifier.h"
#include "ResString.h"
#include "ScopedInstall.h"
#include "Steps/AuthServerObject.h"
#include "Steps/ConsoleObject.h"
#include "Steps/FdSyncObject.h"
#include "Steps/MsiObject.h"
#include "Steps/MsiUiHandler.h"
#include "Steps/SecurityServerObject.h"
#include "TestPackage.h"
#include "TraceCapture.h"
#include "TraceTestSupport.h"
#include "Win32Objects.h"
#include "res/resource.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

using namespace ovinst;
using testsupport::CallLog;

namespace
{
const wchar_t kAuthServerKey[] = L"SOFTWARE\\Calderis\\Orvane Studio\\Server\\Authentication Server";

PackageInfo Row(PackageId id)
{
    std::vector<PackageInfo> rows = ServerPackageRows();
    for (const PackageInfo& row : ConsolePackageRows())
        rows.push_back(row);
    for (const PackageInfo& row : rows)
        if (row.id == id)
            return row;
    throw std::runtime_error("no such package");
}

std::shared_ptr<IMsiPackage> RealPackage(PackageId id, MsiAction action, const std::wstring& folder)
{
    auto package = std::make_shared<MsiPackage>(Row(id), folder);
    package->SetAction(action);
    return package;
}

std::shared_ptr<IExecObject> MakeStep(const std::shared_ptr<IMsiPackage>& package, const std::wstring& folder,
                                      const std::wstring& msiOption = L"")
{
    switch (package->GetId())
    {
    case SecurityServerId:
        return std::make_shared<SecurityServerObject>(package, folder, msiOption);
    case AuthServerId:
        return std::make_shared<AuthServerObject>(package, folder);
    case SyncServiceId:
        return std::make_shared<FdSyncObject>(package, folder);
    default:
        return std::make_shared<ConsoleObject>(package, folder, msiOption);
    }
}

// Writes the Authentication Server region as the wizard would.
void WriteAuthRegion(IExecContext& context, const std::wstring& commandLine)
{
    auto* view = static_cast<unsigned char*>(context.GetASMappedFile().GetPointer_Ex(FILE_MAP_WRITE, 0, kSharedRegionSize));
    const uint32_t bytes = static_cast<uint32_t>(commandLine.size() * sizeof(wchar_t));
    std::memcpy(view, &bytes, sizeof(bytes));
    std::memcpy(view + sizeof(bytes), commandLine.data(), bytes);
}

std::wstring ReadMachineString(const wchar_t* key, const wchar_t* name)
{
    std::wstring value;
    OvBase::CRegistryKey registry(OvBase::CRegistryKey::RootLocalMachine);
    if (registry.Open(key, false, KEY_READ) == ERROR_SUCCESS)
        registry.GetString(name, value, L"");
    return value;
}

std::wstring ReadText(const std::wstring& path)
{
    const std::string bytes = ovtest::ReadFileBytes(path);
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE)
        return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
    return std::wstring(bytes.begin(), bytes.end());
}

// Every call of MsiInstallProductW, passed on to msi.dll.
std::vector<std::pair<std::wstring, std::wstring>> g_installs;
UINT WINAPI RecordInstall(LPCWSTR path, LPCWSTR commandLine);
msi::MsiFunctions g_real;
UINT WINAPI RecordInstall(LPCWSTR path, LPCWSTR commandLine)
{
    g_installs.emplace_back(path, commandLine ? commandLine : L"");
    return g_real.InstallProductW(path, commandLine);
}

struct RecordedInstalls
{
    RecordedInstalls()
    {
        g_installs.clear();
        g_real = api.Previous();
        api->InstallProductW = &RecordInstall;
    }
    msi::CMsiApiOverride api;
};

// Removes what a test installed, also when it fails half-way.
struct Cleanup
{
    ~Cleanup()
    {
        for (const wchar_t* code : {OV_UPGRADE_CODE_AUTH_SERVER, OV_UPGRADE_CODE_SECURITY_SERVER, OV_UPGRADE_CODE_SYNC_SERVICE,
                                    OV_UPGRADE_CODE_CONTROL_CENTER})
            testsupport::RemoveByUpgradeCode(code);
    }
};

struct FreshCase
{
    const char* name;
    PackageId id;
    const wchar_t* upgradeCode;
    // Notifier calls; %s stands for the display name.
    std::vector<std::wstring> calls;
};

class FreshInstall : public testing::TestWithParam<FreshCase>
{
};

std::wstring Expand(std::wstring text, const std::wstring& name)
{
    const size_t at = text.find(L"%s");
    if (at != std::wstring::npos)
        text.replace(at, 2, name);
    return text;
}
}

TEST_P(FreshInstall, InstallsWithItsLogAndReportsTheLine)
{
    const FreshCase& c = GetParam();
    testsupport::TraceCapture trace;
    Cleanup cleanup;
    auto package = RealPackage(c.id, MsiActionInstall, testsupport::DistFolder());
    auto step = MakeStep(package, testsupport::DistFolder());
    std::shared_ptr<IExecContext> context = std::make_shared<ExecContext>(0);
    if (c.id == AuthServerId)
    {
        context->CreateMappedFiles();
        WriteAuthRegion(*context, L"OVSECURITYSERVER=\"direct\" REBOOT=ReallySuppress");
    }
    CallLog log;
    std::unique_ptr<INotifier> notifier = std::make_unique<testsupport::RecordingNotifier>(log);

    step->Exec(context, notifier);

    std::vector<std::wstring> expected;
    for (const std::wstring& call : c.calls)
        expected.push_back(Expand(call, package->GetName()));
    EXPECT_EQ(log, expected);
    EXPECT_TRUE(testsupport::IsAnyInstalled(c.upgradeCode));
    EXPECT_TRUE(ovtest::FileExists(GetMsiLogFolder() + package->GetLogFileName()));
    EXPECT_EQ(context->IsServerInstalled(), c.id == SecurityServerId);
}

const FreshCase kFreshCases[] = {
    {"SecurityServer", SecurityServerId, OV_UPGRADE_CODE_SECURITY_SERVER,
     {L"HideStatusWindow", L"ActionStartWithText 2 %s - Installing", L"ShowStatusWindow",
      L"ActionEndWithText 2 %s - Installed", L"SetRebootRequired"}},
    {"AuthServer", AuthServerId, OV_UPGRADE_CODE_AUTH_SERVER,
     {L"ShowStatusWindow", L"ActionStartWithText 3 %s - Installing", L"ActionEndWithText 3 %s - Installed"}},
    {"SyncService", SyncServiceId, OV_UPGRADE_CODE_SYNC_SERVICE,
     {L"HideStatusWindow", L"ActionStartWithText 4 %s - Installing", L"ShowStatusWindow",
      L"ActionEndWithText 4 %s - Installed"}},
    {"ControlCenter", ControlCenterId, OV_UPGRADE_CODE_CONTROL_CENTER,
     {L"HideStatusWindow", L"ActionStartWithText 5 %s - Installing", L"ShowStatusWindow",
      L"ActionEndWithText 5 %s - Installed"}},
};

INSTANTIATE_TEST_SUITE_P(Packages, FreshInstall, testing::ValuesIn(kFreshCases),
                         [](const testing::TestParamInfo<FreshCase>& info) { return std::string(info.param.name); });

TEST(ServerPackageObjects, FailedInstallationMarksTheLineAndAbortsTheSequence)
{
    testsupport::TraceCapture trace;
    Cleanup cleanup;
    auto server = RealPackage(SecurityServerId, MsiActionInstall, testsupport::DistFolder());
    auto sync = RealPackage(SyncServiceId, MsiActionInstall, testsupport::DistFolder());
    ExecSequence sequence({MakeStep(server, testsupport::DistFolder(), L"FORCEFAIL=1"),
                           MakeStep(sync, testsupport::DistFolder())});
    std::shared_ptr<IExecContext> context = std::make_shared<ExecContext>(0);
    CallLog log;
    std::unique_ptr<INotifier> notifier = std::make_unique<testsupport::RecordingNotifier>(log);

    EXPECT_THROW(sequence.Exec(context, notifier), utils::AbortInstallException);

    const CallLog expected = {L"HideStatusWindow", L"ActionStartWithText 2 " + server->GetName() + L" - Installing",
                              L"ShowStatusWindow", L"ActionError 2"};
    EXPECT_EQ(log, expected);
    EXPECT_FALSE(testsupport::IsAnyInstalled(OV_UPGRADE_CODE_SECURITY_SERVER));
    EXPECT_FALSE(testsupport::IsAnyInstalled(OV_UPGRADE_CODE_SYNC_SERVICE));
    EXPECT_TRUE(trace.ContainsText(L"Install package 'SecurityServer.msi' FAILED with error: 1603"));
}

// The wizard of the Security Server hands the Authentication Server its command line.
TEST(ServerPackageObjects, SettingsRegionReachesTheAuthenticationServer)
{
    testsupport::TraceCapture trace;
    Cleanup cleanup;
    auto server = RealPackage(SecurityServerId, MsiActionInstall, testsupport::DistFolder());
    auto auth = RealPackage(AuthServerId, MsiActionInstall, testsupport::DistFolder());
    ExecSequence sequence({MakeStep(server, testsupport::DistFolder(), L"OVSERVERADDRESS=ss.test.local"),
                           MakeStep(auth, testsupport::DistFolder())});
    std::shared_ptr<IExecContext> context = std::make_shared<ExecContext>(0);
    CallLog log;
    std::unique_ptr<INotifier> notifier = std::make_unique<testsupport::RecordingNotifier>(log);

    sequence.Exec(context, notifier);

    EXPECT_TRUE(testsupport::IsAnyInstalled(OV_UPGRADE_CODE_AUTH_SERVER));
    EXPECT_EQ(ReadMachineString(kAuthServerKey, L"HandedOverSecurityServer"), L"ss.test.local");
}

// A fresh Security Server is removed again with the credentials its wizard handed over when
// the Authentication Server fails after it.
TEST(ServerPackageObjects, FreshServerRolledBackWithTheWizardsCredentials)
{
    testsupport::TraceCapture trace;
    Cleanup cleanup;
    RecordedInstalls installs;
    auto server = RealPackage(SecurityServerId, MsiActionInstall, testsupport::DistFolder());
    auto auth = RealPackage(AuthServerId, MsiActionInstall, testsupport::DistFolder());
    ExecSequence sequence(
        {MakeStep(server, testsupport::DistFolder(), L"OVDBANAME=dbadmin OVDBAPASSWORD_TEMP=Pa55w0rdX OVASEXTRA=FORCEFAIL=1"),
         MakeStep(auth, testsupport::DistFolder())});
    std::shared_ptr<IExecContext> context = std::make_shared<ExecContext>(0);
    CallLog log;
    std::unique_ptr<INotifier> notifier = std::make_unique<testsupport::RecordingNotifier>(log);

    EXPECT_THROW(sequence.Exec(context, notifier), utils::AbortInstallException);

    EXPECT_FALSE(testsupport::IsAnyInstalled(OV_UPGRADE_CODE_SECURITY_SERVER));
    EXPECT_FALSE(testsupport::IsAnyInstalled(OV_UPGRADE_CODE_AUTH_SERVER));
    ASSERT_EQ(g_installs.size(), 3u);
    EXPECT_EQ(g_installs[2].first, testsupport::DistPackage(L"SecurityServer.msi"));
    EXPECT_EQ(g_installs[2].second, L"REMOVE=ALL REBOOT=ReallySuppress COMPLETE_UNINSTALL=2 OVDBANAME=dbadmin "
                                    L"OVDBAPASSWORD=Pa55w0rdX DELETEDBONROLLBACK=1");
    const std::wstring name = server->GetName();
    const CallLog tail(log.end() - 5, log.end());
    const CallLog expectedTail = {
        L"InformUser Authentication server install error.\n", L"ActionError 3",
        L"ShowStatusWindow", L"ActionStartWithText 2 " + name + L" - Rolling back",
        L"ActionEndWithText 2 " + name + L" - Rolled back"};
    EXPECT_EQ(tail, expectedTail);
    EXPECT_TRUE(trace.Contains(L"Db User: \"dbadmin\""));
    EXPECT_TRUE(trace.Contains(L"Db Pass: \"***\""));

    // Neither the trace nor Windows Installer's logs hold the password.
    EXPECT_FALSE(trace.ContainsText(L"Pa55w0rdX"));
    for (const wchar_t* file : {L"SB.txt", L"SA.txt"})
    {
        const std::wstring path = GetMsiLogFolder() + file;
        ASSERT_TRUE(ovtest::FileExists(path)) << testing::PrintToString(path);
        EXPECT_EQ(ReadText(path).find(L"Pa55w0rdX"), std::wstring::npos) << testing::PrintToString(path);
    }
}

TEST(ServerPackageObjects, UndoAfterAnUpdateRemovesNothing)
{
    testsupport::TraceCapture trace;
    testsupport::ScopedInstall first(testsupport::DistPackage(L"SecurityServer.msi"), OV_UPGRADE_CODE_SECURITY_SERVER);
    ASSERT_EQ(first.Result(), 0u);
    auto server = RealPackage(SecurityServerId, MsiActionUpdate, testsupport::NewerFolder());
    auto step = MakeStep(server, testsupport::NewerFolder());
    std::shared_ptr<IExecContext> context = std::make_shared<ExecContext>(0);
    CallLog log;
    std::unique_ptr<INotifier> notifier = std::make_unique<testsupport::RecordingNotifier>(log);

    step->Exec(context, notifier);
    ASSERT_EQ(ReadMachineString(L"SOFTWARE\\Calderis\\Orvane Studio\\Server\\Security Server", L"MorvikServerVersion"),
              OV_SAMPLE_VERSION_2);
    log.clear();
    RecordedInstalls installs;
    step->Undo(context, notifier);

    const CallLog expected = {L"ShowStatusWindow", L"ActionStartWithText 2 " + server->GetName() + L" - Rolling back",
                              L"ActionEndWithText 2 " + server->GetName() + L" - Rolled back"};
    EXPECT_EQ(log, expected);
    EXPECT_TRUE(g_installs.empty());
    EXPECT_TRUE(testsupport::IsAnyInstalled(OV_UPGRADE_CODE_SECURITY_SERVER));
}

namespace
{
struct UndoCase
{
    const char* name;
    PackageId id;
    const wchar_t* upgradeCode;
    const wchar_t* product;
    const wchar_t* removal; // the msiexec arguments after the product code
};

// A package step executed with the Authentication Server's region filled as the wizard would.
struct ExecutedStep
{
    ExecutedStep(const std::shared_ptr<IExecObject>& step, CallLog& log)
        : context(std::make_shared<ExecContext>(0)), notifier(std::make_unique<testsupport::RecordingNotifier>(log))
    {
        context->CreateMappedFiles();
        WriteAuthRegion(*context, L"REBOOT=ReallySuppress");
        step->Exec(context, notifier);
    }
    std::shared_ptr<IExecContext> context;
    std::unique_ptr<INotifier> notifier;
};

// The first line of the trace that holds the text; -1 when none does.
long LineOf(const testsupport::TraceCapture& trace, const std::wstring& text)
{
    const std::vector<std::wstring> lines = trace.Lines();
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i].find(text) != std::wstring::npos)
            return static_cast<long>(i);
    return -1;
}
}

// A package this run installed afresh is removed again by its step's undo, with the
// package's own removal command line, between the rollback line's texts.
TEST(ServerPackageObjects, UndoRemovesWhatThisRunInstalled)
{
    const UndoCase cases[] = {
        {"AuthServer", AuthServerId, OV_UPGRADE_CODE_AUTH_SERVER, OV_SAMPLE_PRODUCT_AUTH_SERVER_1,
         L" /qn /quiet REMOVEALLDATA=1 /L*V \""},
        {"SyncService", SyncServiceId, OV_UPGRADE_CODE_SYNC_SERVICE, OV_SAMPLE_PRODUCT_SYNC_SERVICE_1, L" /qn  /L*V \""},
        {"ControlCenter", ControlCenterId, OV_UPGRADE_CODE_CONTROL_CENTER, OV_SAMPLE_PRODUCT_CONTROL_CENTER_1,
         L" /qn  /L*V \""},
    };
    for (const UndoCase& c : cases)
    {
        testsupport::TraceCapture trace;
        Cleanup cleanup;
        auto package = RealPackage(c.id, MsiActionInstall, testsupport::DistFolder());
        auto step = MakeStep(package, testsupport::DistFolder());
        CallLog log;
        ExecutedStep run(step, log);
        auto& context = run.context;
        auto& notifier = run.notifier;
        ASSERT_TRUE(testsupport::IsAnyInstalled(c.upgradeCode)) << c.name;
        log.clear();

        step->Undo(context, notifier);

        EXPECT_FALSE(testsupport::IsAnyInstalled(c.upgradeCode)) << c.name;
        const std::wstring id = std::to_wstring(c.id);
        const CallLog expected = {L"ShowStatusWindow", L"ActionStartWithText " + id + L" " + package->GetName() + L" - Rolling back",
                                  L"ActionEndWithText " + id + L" " + package->GetName() + L" - Rolled back"};
        EXPECT_EQ(log, expected) << c.name;
        EXPECT_TRUE(trace.Contains(L"Performing rollback of '" + package->GetFileName() + L"' install")) << c.name;
        EXPECT_NE(LineOf(trace, std::wstring(L"Running msiexec.exe /x ") + c.product + c.removal), -1) << c.name;
        // Undone once: a second undo has nothing left to remove.
        log.clear();
        step->Undo(context, notifier);
        EXPECT_TRUE(log.empty()) << c.name;
    }
}

// A product that was there before the run, or one this run updated, is not the run's to
// remove: the undo leaves it installed and shows nothing.
TEST(ServerPackageObjects, UndoLeavesWhatWasThereBefore)
{
    struct Case
    {
        const char* name;
        MsiAction action;
        bool newerBuild;
    };
    for (const Case& c : {Case{"installed before", MsiActionInstall, false}, Case{"updated", MsiActionUpdate, true}})
    {
        testsupport::TraceCapture trace;
        testsupport::ScopedInstall before(testsupport::DistPackage(L"AuthServer.msi"), OV_UPGRADE_CODE_AUTH_SERVER);
        ASSERT_EQ(before.Result(), 0u) << c.name;
        const std::wstring folder = c.newerBuild ? testsupport::NewerFolder() : testsupport::DistFolder();
        auto package = RealPackage(AuthServerId, c.action, folder);
        auto step = MakeStep(package, folder);
        CallLog log;
        ExecutedStep run(step, log);
        auto& context = run.context;
        auto& notifier = run.notifier;
        log.clear();

        step->Undo(context, notifier);

        EXPECT_TRUE(log.empty()) << c.name;
        EXPECT_TRUE(testsupport::IsAnyInstalled(OV_UPGRADE_CODE_AUTH_SERVER)) << c.name;
        EXPECT_TRUE(trace.Contains(L"Package 'AuthServer.msi' was not installed by this run, nothing to undo")) << c.name;
        EXPECT_FALSE(trace.ContainsText(L"Running msiexec.exe /x")) << c.name;
    }
}

namespace
{
// Cancel pressed while the inner step runs: noticed before the next step.
class CancelledDuring : public IExecObject
{
public:
    CancelledDuring(std::shared_ptr<IExecObject> inner, testsupport::RecordingNotifier& notifier)
        : m_inner(std::move(inner)), m_notifier(notifier) {}
    void Exec(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier) override
    {
        m_inner->Exec(context, notifier);
        m_notifier.cancelled = true;
    }
    void Undo(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier) override
    {
        m_inner->Undo(context, notifier);
    }

private:
    std::shared_ptr<IExecObject> m_inner;
    testsupport::RecordingNotifier& m_notifier;
};
}

// Cancel during the Authentication Server's installation: both server packages go again,
// the newest first, and nothing of the product is left.
TEST(ServerPackageObjects, CancelDuringTheAuthenticationServerUndoesBoth)
{
    testsupport::TraceCapture trace;
    Cleanup cleanup;
    auto server = RealPackage(SecurityServerId, MsiActionInstall, testsupport::DistFolder());
    auto auth = RealPackage(AuthServerId, MsiActionInstall, testsupport::DistFolder());
    CallLog log;
    auto recorder = new testsupport::RecordingNotifier(log);
    std::unique_ptr<INotifier> notifier(recorder);
    ExecSequence sequence({MakeStep(server, testsupport::DistFolder()),
                           std::make_shared<CancelledDuring>(MakeStep(auth, testsupport::DistFolder()), *recorder),
                           MakeStep(RealPackage(SyncServiceId, MsiActionInstall, testsupport::DistFolder()),
                                    testsupport::DistFolder())});
    std::shared_ptr<IExecContext> context = std::make_shared<ExecContext>(0);

    EXPECT_THROW(sequence.Exec(context, notifier), utils::AbortInstallException);

    EXPECT_FALSE(testsupport::IsAnyInstalled(OV_UPGRADE_CODE_AUTH_SERVER));
    EXPECT_FALSE(testsupport::IsAnyInstalled(OV_UPGRADE_CODE_SECURITY_SERVER));
    EXPECT_FALSE(testsupport::IsAnyInstalled(OV_UPGRADE_CODE_SYNC_SERVICE));
    const long authRemoved = LineOf(trace, L"Performing rollback of 'AuthServer.msi' install");
    const long serverRemoved = LineOf(trace, L"Performing rollback of Security Server install");
    ASSERT_NE(authRemoved, -1);
    ASSERT_NE(serverRemoved, -1);
    EXPECT_LT(authRemoved, serverRemoved);
    const CallLog tail(log.end() - 6, log.end());
    const CallLog expectedTail = {
        L"ShowStatusWindow", L"ActionStartWithText 3 " + auth->GetName() + L" - Rolling back",
        L"ActionEndWithText 3 " + auth->GetName() + L" - Rolled back", L"ShowStatusWindow",
        L"ActionStartWithText 2 " + server->GetName() + L" - Rolling back",
        L"ActionEndWithText 2 " + server->GetName() + L" - Rolled back"};
    EXPECT_EQ(tail, expectedTail);
}

TEST(ServerPackageObjects, RemovalThroughMsiexec)
{
    testsupport::TraceCapture trace;
    testsupport::ScopedInstall first(testsupport::DistPackage(L"SecurityServer.msi"), OV_UPGRADE_CODE_SECURITY_SERVER);
    ASSERT_EQ(first.Result(), 0u);
    auto server = RealPackage(SecurityServerId, MsiActionUninstall, L"");
    auto step = MakeStep(server, L"");
    std::shared_ptr<IExecContext> context = std::make_shared<ExecContext>(0);
    CallLog log;
    std::unique_ptr<INotifier> notifier = std::make_unique<testsupport::RecordingNotifier>(log);

    step->Exec(context, notifier);

    EXPECT_FALSE(testsupport::IsAnyInstalled(OV_UPGRADE_CODE_SECURITY_SERVER));
    const CallLog expected = {L"ShowStatusWindow", L"ActionStartWithText 2 " + server->GetName() + L" - Uninstalling",
                              L"ActionEndWithText 2 " + server->GetName() + L" - Uninstalled", L"SetRebootRequired"};
    EXPECT_EQ(log, expected);
    EXPECT_TRUE(trace.Contains(L"Running msiexec.exe /x " OV_SAMPLE_PRODUCT_SECURITY_SERVER_1
                               L" /qn COMPLETE_UNINSTALL=1 /L*V \"" + GetMsiLogFolder() + L"SB.txt\""));
    EXPECT_TRUE(trace.Contains(L"0x0"));
    EXPECT_TRUE(ovtest::FileExists(GetMsiLogFolder() + L"SB.txt"));
}

TEST(ServerPackageObjects, ControlCenterRemovalRunsThePackageWithItsCommandLine)
{
    testsupport::TraceCapture trace;
    testsupport::ScopedInstall first(testsupport::DistPackage(L"ControlCenter.msi"), OV_UPGRADE_CODE_CONTROL_CENTER);
    ASSERT_EQ(first.Result(), 0u);
    RecordedInstalls installs;
    auto console = RealPackage(ControlCenterId, MsiActionUninstall, testsupport::DistFolder());
    auto step = MakeStep(console, testsupport::DistFolder(), L"");
    // Silent: no installer window in a test, and no response file in the current folder.
    std::shared_ptr<IExecContext> context = std::make_shared<ExecContext>(0);
    CallLog log;
    std::unique_ptr<INotifier> notifier = std::make_unique<testsupport::RecordingNotifier>(log);

    step->Exec(context, notifier);

    ASSERT_EQ(g_installs.size(), 1u);
    EXPECT_EQ(g_installs[0].second, L" CORRECTLAUNCH=1 REBOOT=ReallySuppress");
    const CallLog expected = {L"HideStatusWindow", L"ActionStartWithText 5 " + console->GetName() + L" - Modifying",
                              L"ShowStatusWindow", L"ActionEndWithText 5 " + console->GetName() + L" - Modified"};
    EXPECT_EQ(log, expected);
}

namespace
{
UINT WINAPI FailWithInstallerError(LPCWSTR, LPCWSTR)
{
    MsiUiHandler(nullptr, INSTALLMESSAGE_ERROR, L"E: the service did not start");
    return 1603;
}
}

// Wine reports no error message for a failed package: the table stands in for it.
TEST(ServerPackageObjects, AuthenticationServerFailureTellsTheUserWhy)
{
    for (MsiAction action : {MsiActionInstall, MsiActionUpdate})
    {
        msi::CMsiApiOverride api;
        api->InstallProductW = &FailWithInstallerError;
        auto package = std::make_shared<testsupport::TestPackage>();
        package->id = AuthServerId;
        package->name = L"Authentication Server";
        package->action = action;
        AuthServerObject step(package, L"");
        std::shared_ptr<IExecContext> context = std::make_shared<ExecContext>(0);
        context->CreateMappedFiles();
        CallLog log;
        std::unique_ptr<INotifier> notifier = std::make_unique<testsupport::RecordingNotifier>(log);

        EXPECT_THROW(step.Exec(context, notifier), utils::AbortInstallException);

        const std::wstring message =
            action == MsiActionInstall
                ? L"Authentication server install error.\nE: the service did not start"
                : L"The installation wizard Orvane Studio has been prematurely terminated due to an error. The system "
                  L"has not been changed. To install this program later, run the installation wizard again.\nE: the "
                  L"service did not start";
        const CallLog expected = {L"ShowStatusWindow",
                                  std::wstring(L"ActionStartWithText 3 Authentication Server") +
                                      (action == MsiActionInstall ? L" - Installing" : L" - Updating"),
                                  L"InformUser " + message, L"ActionError 3"};
        EXPECT_EQ(log, expected);
    }
}

TEST(ServerPackageObjects, CommandLines)
{
    auto package = std::make_shared<testsupport::TestPackage>();
    std::shared_ptr<IExecContext> interactive = std::make_shared<ExecContext>(1);
    SecurityServerObject plain(package, L"", L"");
    EXPECT_EQ(plain.CommandLine(interactive), L" CORRECTLAUNCH=1 REBOOT=ReallySuppress");

    package->transforms[GetLanguageIndex()] = L":SecurityServer.ru-RU.mst";
    SecurityServerObject withOption(package, L"", L"A=1");
    EXPECT_EQ(withOption.CommandLine(interactive),
              L"A=1 CORRECTLAUNCH=1 REBOOT=ReallySuppress TRANSFORMS=\":SecurityServer.ru-RU.mst\"");

    auto sync = std::make_shared<testsupport::TestPackage>();
    sync->id = SyncServiceId;
    FdSyncObject syncStep(sync, L"");
    EXPECT_EQ(syncStep.CommandLine(interactive), L"");

    std::shared_ptr<IExecContext> context = std::make_shared<ExecContext>(0);
    context->CreateMappedFiles();
    WriteAuthRegion(*context, L"OVSECURITYSERVER=\"x\" A=\"b c\"");
    AuthServerObject authStep(package, L"");
    EXPECT_EQ(authStep.CommandLine(context), L"OVSECURITYSERVER=\"x\" A=\"b c\"");
}

TEST(ServerPackageObjects, SilentRunAppendsTheResponseFileAndLogsNoPassword)
{
    ovtest::CTempFolder folder(L"rspcmd");
    const std::wstring rsp = folder / L"server.rsp";
    ovtest::WriteFileBytes(rsp, "DataBaseAdmin=sa\nDataBaseAdminPassword=R5pSecret\n");
    ASSERT_TRUE(utils::CInstallContext::Instance().ParseCommandLine(L"/script:\"" + rsp + L"\""));
    testsupport::TraceCapture trace;
    auto package = std::make_shared<testsupport::TestPackage>();
    std::shared_ptr<IExecContext> silent = std::make_shared<ExecContext>(0);

    for (int kind = 0; kind < 2; ++kind)
    {
        std::unique_ptr<MsiObjectBase> step;
        if (kind == 0)
            step = std::make_unique<SecurityServerObject>(package, L"", L"OVDBUPASSWORD_TEMP=Opt5ecret");
        else
            step = std::make_unique<ConsoleObject>(package, L"", L"OVDBUPASSWORD_TEMP=Opt5ecret");
        EXPECT_EQ(step->CommandLine(silent), L"OVDBUPASSWORD_TEMP=Opt5ecret CORRECTLAUNCH=1 REBOOT=ReallySuppress "
                                             L"OVDBANAME=\"sa\" OVDBAPASSWORD_TEMP=\"R5pSecret\"");
    }
    EXPECT_TRUE(trace.Contains(L"Package 'Security Server' msi command line: \"OVDBUPASSWORD_TEMP=*** CORRECTLAUNCH=1 "
                               L"REBOOT=ReallySuppress OVDBANAME=\"sa\" OVDBAPASSWORD_TEMP=\"***\"\""));
    EXPECT_FALSE(trace.ContainsText(L"R5pSecret"));
    EXPECT_FALSE(trace.ContainsText(L"Opt5ecret"));
}

namespace
{
std::wstring g_rollbackProperties;
UINT WINAPI RecordRollback(LPCWSTR, LPCWSTR commandLine)
{
    g_rollbackProperties = commandLine;
    return 0;
}
}

// What the database region holds decides the rollback's properties.
TEST(ServerPackageObjects, RollbackPropertiesFromTheDatabaseRegion)
{
    struct Case
    {
        const char* name;
        std::vector<uint32_t> counts; // written before the texts below
        std::vector<std::wstring> texts;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {"Empty", {0}, {}, L"OVDBANAME= OVDBAPASSWORD= DELETEDBONROLLBACK=0"},
        {"Credentials", {4, 6}, {L"sa", L"p w"}, L"OVDBANAME=sa OVDBAPASSWORD=p w DELETEDBONROLLBACK=1"},
        {"CountPastTheEnd", {0x00100000}, {}, L"OVDBANAME= OVDBAPASSWORD= DELETEDBONROLLBACK=0"},
    };
    for (const Case& c : cases)
    {
        msi::CMsiApiOverride api;
        api->InstallProductW = &RecordRollback;
        api->SetInternalUI = [](INSTALLUILEVEL, HWND*) -> INSTALLUILEVEL { return INSTALLUILEVEL_DEFAULT; };
        auto package = std::make_shared<testsupport::TestPackage>();
        SecurityServerObject step(package, L"C:\\dist", L"");
        std::shared_ptr<IExecContext> context = std::make_shared<ExecContext>(0);
        context->CreateMappedFiles();
        auto* view = static_cast<unsigned char*>(context->GetDBMappedFile().GetPointer_Ex(FILE_MAP_WRITE, 0, kSharedRegionSize));
        std::memset(view, 0, kSharedRegionSize);
        size_t offset = 0;
        for (size_t i = 0; i < c.counts.size(); ++i)
        {
            std::memcpy(view + offset, &c.counts[i], 4);
            offset += 4;
            if (i < c.texts.size())
            {
                std::memcpy(view + offset, c.texts[i].data(), c.texts[i].size() * 2);
                offset += c.texts[i].size() * 2;
            }
        }
        testsupport::TraceCapture trace;
        CallLog log;
        std::unique_ptr<INotifier> notifier = std::make_unique<testsupport::RecordingNotifier>(log);
        step.Undo(context, notifier);

        EXPECT_EQ(g_rollbackProperties,
                  std::wstring(L"REMOVE=ALL REBOOT=ReallySuppress COMPLETE_UNINSTALL=2 ") + c.expected)
            << c.name;
        EXPECT_TRUE(trace.Contains(L"Performing rollback of Security Server install: calling MsiInstallProductW with "
                                   L"'C:\\dist\\SecurityServer.msi' path argument"));
        EXPECT_TRUE(trace.Contains(L"MsiInstallProductW return code 0"));
        EXPECT_FALSE(trace.ContainsText(L"p w")) << c.name;
    }
}

// A silent run: the response file's credentials reach the wizard, and no log keeps the password.
TEST(ServerPackageObjects, ResponseFileCredentialsReachTheWizardButNoLog)
{
    ovtest::CTempFolder folder(L"rspinstall");
    const std::wstring rsp = folder / L"server.rsp";
    ovtest::WriteFileBytes(rsp, "DataBaseAdmin=rspadmin\r\nDataBaseAdminPassword=Rsp5ecretZ\r\n");
    ASSERT_TRUE(utils::CInstallContext::Instance().ParseCommandLine(L"/script:\"" + rsp + L"\""));
    testsupport::TraceCapture trace;
    Cleanup cleanup;
    auto server = RealPackage(SecurityServerId, MsiActionInstall, testsupport::DistFolder());
    auto step = MakeStep(server, testsupport::DistFolder());
    std::shared_ptr<IExecContext> context = std::make_shared<ExecContext>(0);
    CallLog log;
    std::unique_ptr<INotifier> notifier = std::make_unique<testsupport::RecordingNotifier>(log);

    step->Exec(context, notifier);

    const auto* view =
        static_cast<const unsigned char*>(context->GetDBMappedFile().GetPointer_Ex(FILE_MAP_READ, 0, kSharedRegionSize));
    uint32_t count = 0;
    std::memcpy(&count, view, sizeof(count));
    ASSERT_EQ(count, 16u);
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(view + 4), 8), L"rspadmin");
    std::memcpy(&count, view + 20, sizeof(count));
    ASSERT_EQ(count, 20u);
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(view + 24), 10), L"Rsp5ecretZ");

    EXPECT_FALSE(trace.ContainsText(L"Rsp5ecretZ"));
    const std::wstring msiLog = ReadText(GetMsiLogFolder() + L"SB.txt");
    EXPECT_NE(msiLog.find(L"OVDBAPASSWORD_TEMP"), std::wstring::npos);
    EXPECT_EQ(msiLog.find(L"Rsp5ecretZ"), std::wstring::npos);
}
