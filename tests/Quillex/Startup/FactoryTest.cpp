#include <gtest/gtest.h>

#include <set>

#include "CatchOvError.h"
#include "Engine/IInstallData.h"
#include "Engine/InstallContext.h"
#include "OvErrorObject.h"
#include "RecordingNotifier.h"
#include "Startup/Factory.h"
#include "SystemApi.h"
#include "TestPackage.h"
#include "Ui/SilentNotifier.h"

using namespace ovinst;
using testsupport::CallLog;

namespace
{
// A package step that records its run and fails when told to.
class RecordingStep : public IExecObject
{
public:
    RecordingStep(std::wstring label, CallLog& log, bool fails) : m_label(std::move(label)), m_log(log), m_fails(fails) {}
    void Exec(std::shared_ptr<IExecContext>&, std::unique_ptr<INotifier>&) override
    {
        m_log.push_back(m_label + (m_fails ? L"!" : L""));
        if (m_fails)
            ThrowErrorText(L"step failed");
    }
    void Undo(std::shared_ptr<IExecContext>&, std::unique_ptr<INotifier>&) override
    {
        m_log.push_back(L"undo " + m_label);
    }

private:
    std::wstring m_label;
    CallLog& m_log;
    bool m_fails;
};

// Stands for the transaction and the update context: marks where its inner step begins
// and where it ends without a failure.
class RecordingWrapper : public IExecObject
{
public:
    RecordingWrapper(std::wstring label, ExecObjectPtr inner, CallLog& log)
        : m_label(std::move(label)), m_inner(std::move(inner)), m_log(log) {}
    void Exec(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier) override
    {
        m_log.push_back(m_label + L"{");
        m_inner->Exec(context, notifier);
        m_log.push_back(L"}" + m_label);
    }
    void Undo(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier) override
    {
        m_inner->Undo(context, notifier);
    }

private:
    std::wstring m_label;
    ExecObjectPtr m_inner;
    CallLog& m_log;
};

const wchar_t* Short(PackageId id)
{
    switch (id)
    {
    case SecurityServerId: return L"SS";
    case AuthServerId: return L"AS";
    case SyncServiceId: return L"FS";
    default: return L"CC";
    }
}

// The real factory with the machine-changing pieces replaced by recorders.
class RecordingFactory : public Factory
{
public:
    RecordingFactory(InstallerType type, CallLog& log, std::set<PackageId> failing)
        : Factory(type, true), m_log(log), m_failing(std::move(failing)) {}

    void CreateExecPackage(const std::shared_ptr<IInstallData>&, const std::shared_ptr<IMsiPackage>& package,
                           ExecObjectPtr& result) override
    {
        result = std::make_shared<RecordingStep>(Short(package->GetId()), m_log, m_failing.count(package->GetId()) != 0);
    }
    void CreateMsiTransaction(const ExecObjectPtr& inner, ExecObjectPtr& result) override
    {
        result = std::make_shared<RecordingWrapper>(L"TX", inner, m_log);
    }
    void CreateUpdateContext(const ExecObjectPtr& inner, ExecObjectPtr& result) override
    {
        result = std::make_shared<RecordingWrapper>(L"UC", inner, m_log);
    }
    void CreatePostInstallSequence(ExecObjectPtr& result) override
    {
        result = std::make_shared<RecordingStep>(L"POST", m_log, false);
    }

private:
    CallLog& m_log;
    std::set<PackageId> m_failing;
};

class FakeInstallData : public IInstallData
{
public:
    FakeInstallData(int type, const std::vector<std::pair<PackageId, MsiAction>>& actions) : m_type(type)
    {
        for (const auto& [id, action] : actions)
        {
            auto package = std::make_shared<testsupport::TestPackage>();
            package->id = id;
            package->name = Short(id);
            package->action = action;
            package->critical = id != SyncServiceId;
            m_packages.push_back(package);
        }
    }
    Packages& GetPackages() override { return m_packages; }
    const Packages& GetPackages() const override { return m_packages; }
    int GetUIMode() const override { return 0; }
    std::wstring GetDirectory() const override { return L"C:\\dist\\"; }
    std::wstring GetMsiOption() const override { return L""; }
    int GetInstallerType() const override { return m_type; }
    void UninstallAll() override {}
    void SetUserAction(PackageId, bool) override {}
    bool IsUserActionNeeded() const override { return false; }

private:
    int m_type;
    Packages m_packages;
};

struct SequenceCase
{
    const char* name;
    int type;
    std::vector<std::pair<PackageId, MsiAction>> actions;
    std::set<PackageId> failing;
    CallLog expected;
    bool fails;
};

constexpr auto None = MsiActionNone;
constexpr auto Install = MsiActionInstall;
constexpr auto Update = MsiActionUpdate;
constexpr auto Remove = MsiActionUninstall;

class InstallSequenceShape : public testing::TestWithParam<SequenceCase>
{
};

TEST_P(InstallSequenceShape, RunsTheGroupsInOrder)
{
    const SequenceCase& c = GetParam();
    CallLog log;
    RecordingFactory factory(static_cast<InstallerType>(c.type), log, c.failing);
    auto data = std::make_shared<FakeInstallData>(c.type, c.actions);
    ExecObjectPtr sequence;
    factory.CreateInstallSequence(data, sequence);
    std::shared_ptr<IExecContext> context;
    std::unique_ptr<INotifier> notifier = std::make_unique<SilentNotifier>();
    bool threw = false;
    try
    {
        sequence->Exec(context, notifier);
    }
    catch (const OvBase::COvError&)
    {
        threw = true;
    }
    EXPECT_EQ(log, c.expected);
    EXPECT_EQ(threw, c.fails);
}

INSTANTIATE_TEST_SUITE_P(
    Factory, InstallSequenceShape,
    testing::Values(
        SequenceCase{"first installation", 1,
                     {{SecurityServerId, Install}, {AuthServerId, Install}, {SyncServiceId, Install}}, {},
                     {L"SS", L"AS", L"FS", L"POST"}, false},
        SequenceCase{"updates in one transaction inside the update context, then a new package", 1,
                     {{SecurityServerId, Update}, {AuthServerId, Update}, {SyncServiceId, Install}}, {},
                     {L"UC{", L"TX{", L"SS", L"AS", L"}TX", L"}UC", L"FS", L"POST"}, false},
        SequenceCase{"removal in reverse order", 1,
                     {{SecurityServerId, Remove}, {AuthServerId, Remove}, {SyncServiceId, Remove}}, {},
                     {L"FS", L"AS", L"SS", L"POST"}, false},
        SequenceCase{"nothing to do: the post-install part alone", 1,
                     {{SecurityServerId, None}, {AuthServerId, None}, {SyncServiceId, None}}, {},
                     {L"POST"}, false},
        SequenceCase{"a failing synchronization service does not end the run", 1,
                     {{SecurityServerId, Install}, {AuthServerId, Install}, {SyncServiceId, Install}}, {SyncServiceId},
                     {L"SS", L"AS", L"FS!", L"POST"}, false},
        SequenceCase{"a failing authentication server undoes the security server", 1,
                     {{SecurityServerId, Install}, {AuthServerId, Install}, {SyncServiceId, Install}}, {AuthServerId},
                     {L"SS", L"AS!", L"undo SS"}, true},
        SequenceCase{"a failing removal does not stop the others", 1,
                     {{SecurityServerId, Remove}, {AuthServerId, Remove}, {SyncServiceId, Remove}}, {AuthServerId},
                     {L"FS", L"AS!", L"SS", L"POST"}, false},
        SequenceCase{"a failing second update undoes the first inside the wrappers", 1,
                     {{SecurityServerId, Update}, {AuthServerId, Update}, {SyncServiceId, None}}, {AuthServerId},
                     {L"UC{", L"TX{", L"SS", L"AS!", L"undo SS"}, true},
        SequenceCase{"a console update is a plain sequence", 0, {{ControlCenterId, Update}}, {},
                     {L"CC", L"POST"}, false}),
    [](const testing::TestParamInfo<SequenceCase>& info) { return "Case" + std::to_string(info.index); });

TEST(Factory, SilentRunsHaveNoTableAndASilentNotifier)
{
    for (InstallerType type : {Console, Server})
    {
        Factory factory(type, true);
        std::shared_ptr<IActionTable> table;
        factory.CreateActionTable(type, nullptr, table);
        EXPECT_FALSE(table) << type;
        std::unique_ptr<INotifier> notifier;
        factory.CreateNotifier(nullptr, nullptr, [] { return false; }, notifier);
        EXPECT_NE(dynamic_cast<SilentNotifier*>(notifier.get()), nullptr) << type;
    }
}

TEST(Factory, WrongTypesAndIdsAreRefused)
{
    Factory wrong(static_cast<InstallerType>(2), true);
    std::shared_ptr<IInstallData> data;
    auto error = testsupport::CatchOvError([&] { wrong.CreateInstallData(L"C:\\dist\\", L"", data); });
    ASSERT_TRUE(error);
    EXPECT_STREQ(error->GetDescription(), L"[Factory::CreateInstallData]Wrong installer type!");
    ExecObjectPtr post;
    error = testsupport::CatchOvError([&] { wrong.CreatePostInstallSequence(post); });
    ASSERT_TRUE(error);
    EXPECT_STREQ(error->GetDescription(), L"[Factory::CreatePostInstallSequence]Wrong installer type!");

    Factory server(Server, true);
    auto analysis = std::make_shared<testsupport::TestPackage>();
    analysis->id = SystemAnalysisId;
    auto installData = std::make_shared<FakeInstallData>(1, std::vector<std::pair<PackageId, MsiAction>>{});
    ExecObjectPtr step;
    error = testsupport::CatchOvError([&] { server.CreateExecPackage(installData, analysis, step); });
    ASSERT_TRUE(error);
    EXPECT_STREQ(error->GetDescription(), L"Not implemented!");
    EXPECT_EQ(error->GetProperties().at(L"Function"), L"Factory::CreateExecPackage");
}
}

namespace
{
std::vector<DWORD> g_sleeps;
void WINAPI RecordSleep(DWORD milliseconds)
{
    g_sleeps.push_back(milliseconds);
}
}

// A removal run (the uninstaller's /PID, or /uninstall) never analyses the machine, which
// could switch User Account Control off or install the runtime: it only waits the ten
// seconds before removing, and with nothing to remove it waits for nothing.
TEST(Factory, RemovalRunPreInstallIsTheWaitOnly)
{
    struct Case
    {
        const wchar_t* commandLine;
        std::vector<std::pair<PackageId, MsiAction>> actions;
        std::vector<DWORD> sleeps;
        CallLog calls;
    };
    const Case cases[] = {
        {L"/script /uninstall", {{SecurityServerId, Remove}, {AuthServerId, Remove}, {SyncServiceId, None}},
         {10000}, {L"ActionStart 0", L"ActionEnd 0"}},
        {L"/script /uninstall", {{SecurityServerId, None}, {AuthServerId, Remove}, {SyncServiceId, None}},
         {10000}, {L"ActionStart 0", L"ActionEnd 0"}},
        {L"/script /uninstall", {{SecurityServerId, None}, {AuthServerId, None}, {SyncServiceId, None}}, {}, {}},
        {L"/script /PID:4", {{SecurityServerId, None}, {AuthServerId, None}, {SyncServiceId, None}}, {}, {}},
        {L"/uninstall", {{SecurityServerId, Remove}, {AuthServerId, None}, {SyncServiceId, None}},
         {10000}, {L"ActionStart 0", L"ActionEnd 0"}},
    };
    instutils::CSystemApiOverride api;
    api->Sleep = RecordSleep;
    for (const Case& c : cases)
    {
        utils::CInstallContext::Instance().ParseCommandLine(c.commandLine);
        g_sleeps.clear();
        Factory factory(Server, true);
        std::shared_ptr<IInstallData> data = std::make_shared<FakeInstallData>(Server, c.actions);
        ExecObjectPtr pre;
        factory.CreatePreInstallSequence(data, pre);
        auto recorder = new testsupport::RecordingNotifier;
        std::unique_ptr<INotifier> notifier(recorder);
        std::shared_ptr<IExecContext> noContext;
        pre->Exec(noContext, notifier);
        EXPECT_EQ(g_sleeps, c.sleeps) << c.commandLine;
        EXPECT_EQ(recorder->calls, c.calls) << c.commandLine;
    }
    utils::CInstallContext::Instance().ParseCommandLine(L"");
}
