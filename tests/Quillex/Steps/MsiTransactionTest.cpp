#include <gtest/gtest.h>

#include "Engine/ExecContext.h"
#include "Engine/MsiPackage.h"
#include "Engine/PackageTable.h"
#include "Engine/SharedRegionNames.h"
#include "MsiApi.h"
#include "OvErrorObject.h"
#include "ProductGuids.h"
#include "ProductRegistry.h"
#include "RecordingNotifier.h"
#include "RegionSquatterProcess.h"
#include "ScopedInstall.h"
#include "Steps/AuthServerObject.h"
#include "Steps/MsiTransactionObject.h"
#include "Steps/SecurityServerObject.h"
#include "Steps/SharedRegionText.h"
#include "Steps/UpdateContextObject.h"
#include "TraceCapture.h"
#include "TraceTestSupport.h"
#include "Win32Objects.h"

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace ovinst;
using testsupport::CallLog;

namespace
{
CallLog* g_log = nullptr;
std::deque<UINT> g_beginResults;
UINT g_commitResult = 0;
UINT g_rollbackResult = 0;
std::vector<DWORD> g_waits;
msi::MsiFunctions g_real;
// The handle the last begin handed out; with g_ownHandles a handle of the test's and a real
// event (Wine's begin hands out placeholders).
MSIHANDLE g_transaction = 0;
HANDLE g_event = nullptr;
bool g_ownHandles = false;
constexpr MSIHANDLE kOwnTransaction = 0x4242;

UINT WINAPI ScriptedBegin(LPCWSTR name, DWORD attributes, MSIHANDLE* transaction, HANDLE* event)
{
    g_log->push_back(std::wstring(L"BeginTransaction ") + name);
    if (!g_beginResults.empty())
    {
        const UINT result = g_beginResults.front();
        g_beginResults.pop_front();
        if (result != 0)
            return result;
    }
    if (g_ownHandles)
    {
        *transaction = kOwnTransaction;
        *event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
    else
    {
        const UINT result = g_real.BeginTransactionW(name, attributes, transaction, event);
        if (result != 0)
            return result;
    }
    g_transaction = *transaction;
    g_event = *event;
    return 0;
}

// The transaction's handle closed: recorded, and passed on unless it is the test's own.
UINT WINAPI RecordedClose(MSIHANDLE handle)
{
    if (handle != 0 && handle == g_transaction)
        g_log->push_back(L"CloseTransaction");
    return handle == kOwnTransaction ? 0 : g_real.CloseHandle(handle);
}

// Records the end and passes it on; a scripted failure stands in for what Wine cannot do.
UINT WINAPI RecordedEnd(DWORD state)
{
    g_log->push_back(L"EndTransaction " + std::to_wstring(state));
    const UINT scripted = state == MSITRANSACTIONSTATE_COMMIT ? g_commitResult : g_rollbackResult;
    const UINT real = g_real.EndTransaction(state);
    return scripted ? scripted : real;
}

void RecordWait(DWORD milliseconds)
{
    g_waits.push_back(milliseconds);
}

struct TransactionTable
{
    explicit TransactionTable(CallLog& log) : waits(&RecordWait)
    {
        g_log = &log;
        g_beginResults.clear();
        g_commitResult = 0;
        g_rollbackResult = 0;
        g_waits.clear();
        g_transaction = 0;
        g_event = nullptr;
        g_ownHandles = false;
        g_real = api.Previous();
        api->BeginTransactionW = &ScriptedBegin;
        api->EndTransaction = &RecordedEnd;
        api->CloseHandle = &RecordedClose;
    }
    msi::CMsiApiOverride api;
    CTransactionWaitOverride waits;
};

class LambdaStep : public IExecObject
{
public:
    explicit LambdaStep(std::function<void()> exec) : m_exec(std::move(exec)) {}
    void Exec(std::shared_ptr<IExecContext>&, std::unique_ptr<INotifier>&) override { m_exec(); }
    void Undo(std::shared_ptr<IExecContext>&, std::unique_ptr<INotifier>&) override {}

private:
    std::function<void()> m_exec;
};

struct StepRunner
{
    explicit StepRunner(CallLog& log) : notifier(std::make_unique<testsupport::RecordingNotifier>(log)) {}
    void Exec(IExecObject& object) { object.Exec(context, notifier); }
    std::shared_ptr<IExecContext> context = std::make_shared<ExecContext>(0);
    std::unique_ptr<INotifier> notifier;
};
}

TEST(MsiTransaction, CommittedOnceWhenTheInnerStepSucceeds)
{
    CallLog log;
    TransactionTable table(log);
    MsiTransactionObject transaction(std::make_shared<LambdaStep>([&] { log.push_back(L"inner"); }));
    StepRunner(log).Exec(transaction);
    const CallLog expected = {L"BeginTransaction SecurityServerInstallation", L"inner", L"EndTransaction 1",
                              L"CloseTransaction"};
    EXPECT_EQ(log, expected);
}

TEST(MsiTransaction, RolledBackWithCancelDisabledAndTheErrorPassesUnchanged)
{
    CallLog log;
    TransactionTable table(log);
    MsiTransactionObject transaction(std::make_shared<LambdaStep>([&] {
        log.push_back(L"inner");
        ThrowErrorCode(0x80070643);
    }));
    try
    {
        StepRunner(log).Exec(transaction);
        ADD_FAILURE() << "no exception";
    }
    catch (OvBase::COvError& error)
    {
        EXPECT_EQ(error.GetCode(), 0x80070643u);
    }
    const CallLog expected = {L"BeginTransaction SecurityServerInstallation", L"inner", L"EnableCancel 0",
                              L"EndTransaction 0", L"EnableCancel 1", L"CloseTransaction"};
    EXPECT_EQ(log, expected);
}

TEST(MsiTransaction, BusyInstallerIsWaitedFor)
{
    CallLog log;
    TransactionTable table(log);
    g_beginResults = {1618, 1618, 0};
    MsiTransactionObject transaction(std::make_shared<LambdaStep>([&] { log.push_back(L"inner"); }));
    StepRunner(log).Exec(transaction);
    EXPECT_EQ(g_waits, (std::vector<DWORD>{30000, 30000}));
    EXPECT_EQ(std::count(log.begin(), log.end(), L"BeginTransaction SecurityServerInstallation"), 3);
    EXPECT_EQ(*(log.end() - 2), L"EndTransaction 1");
    EXPECT_EQ(log.back(), L"CloseTransaction");
}

TEST(MsiTransaction, StillBusyAfterFourAttemptsRunsNothing)
{
    testsupport::TraceCapture trace;
    CallLog log;
    TransactionTable table(log);
    g_beginResults = {1618, 1618, 1618, 1618, 0};
    MsiTransactionObject transaction(std::make_shared<LambdaStep>([&] { log.push_back(L"inner"); }));
    try
    {
        StepRunner(log).Exec(transaction);
        ADD_FAILURE() << "no exception";
    }
    catch (OvBase::COvError& error)
    {
        EXPECT_EQ(error.GetCode(), 0x80070652u);
    }
    EXPECT_EQ(g_waits.size(), 4u);
    EXPECT_EQ(log.size(), 4u); // four attempts, no inner step, no end
    EXPECT_TRUE(trace.ContainsText(L"[`anonymous-namespace'::CMsiTransaction::Start]  Can't start MSI transaction with name "
                               L"'SecurityServerInstallation'. Error: 0x652"));
}

TEST(MsiTransaction, FailedEndsAreReported)
{
    {
        // A failed commit throws and leaves the transaction to the rollback.
        testsupport::TraceCapture trace;
        CallLog log;
        TransactionTable table(log);
        g_commitResult = 1603;
        MsiTransactionObject transaction(std::make_shared<LambdaStep>([] {}));
        EXPECT_THROW(StepRunner(log).Exec(transaction), OvBase::COvError);
        EXPECT_EQ(std::vector<std::wstring>(log.end() - 5, log.end()),
                  (CallLog{L"EndTransaction 1", L"EnableCancel 0", L"EndTransaction 0", L"EnableCancel 1",
                           L"CloseTransaction"}));
        EXPECT_TRUE(trace.ContainsText(L"[`anonymous-namespace'::CMsiTransaction::Commit]  Can't commit MSI transaction with "
                                   L"name 'SecurityServerInstallation'. Error: 0x643"));
    }
    {
        // A failed rollback is only logged; the inner step's failure is what the caller gets.
        testsupport::TraceCapture trace;
        CallLog log;
        TransactionTable table(log);
        g_rollbackResult = 1603;
        MsiTransactionObject transaction(std::make_shared<LambdaStep>([] { throw utils::AbortInstallException(); }));
        EXPECT_THROW(StepRunner(log).Exec(transaction), utils::AbortInstallException);
        EXPECT_TRUE(trace.ContainsText(L"[`anonymous-namespace'::CMsiTransaction::RollBack]  Rollback MSI transaction with "
                                   L"name 'SecurityServerInstallation' finished with error: 0x643"));
        EXPECT_TRUE(trace.ContainsText(L"[`anonymous-namespace'::CMsiTransaction::~CMsiTransaction]  Exception: "));
    }
}

// The caller owns the transaction's handle and its change-of-owner event: both are closed
// once, after the transaction ended, on every path.
TEST(MsiTransaction, HandleAndEventClosedOnEveryPath)
{
    struct Case
    {
        const char* name;
        bool innerFails;
        UINT commit;
        UINT rollback;
    };
    for (const Case& c : {Case{"committed", false, 0, 0}, Case{"rolled back", true, 0, 0},
                          Case{"commit failed", false, 1603, 0}, Case{"rollback failed", true, 0, 1603}})
    {
        CallLog log;
        TransactionTable table(log);
        g_ownHandles = true;
        g_commitResult = c.commit;
        g_rollbackResult = c.rollback;
        {
            MsiTransactionObject transaction(std::make_shared<LambdaStep>([&] {
                if (c.innerFails)
                    throw utils::AbortInstallException();
            }));
            try
            {
                StepRunner(log).Exec(transaction);
            }
            catch (...)
            {
            }
        }
        EXPECT_EQ(std::count(log.begin(), log.end(), L"CloseTransaction"), 1) << c.name;
        EXPECT_EQ(log.back(), L"CloseTransaction") << c.name;
        DWORD flags = 0;
        EXPECT_FALSE(::GetHandleInformation(g_event, &flags)) << c.name << ": the event is still open";
    }
}

namespace
{
std::wstring ServerInstallFolder()
{
    std::wstring folder;
    OvBase::CRegistryKey key(OvBase::CRegistryKey::RootLocalMachine);
    if (key.Open(instutils::kSecurityServerKeyPath, false, KEY_READ) == ERROR_SUCCESS)
        key.GetString(instutils::kSecurityServerInstallDirValue, folder, L"");
    return folder;
}

std::wstring UpdateContextFolder()
{
    HANDLE mapping = OpenFileMappingW(FILE_MAP_READ, FALSE, kUpdateContextRegionName);
    if (!mapping)
        return L"<no section>";
    const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, kSharedRegionSize);
    const std::wstring folder = ReadTerminatedText(view, kSharedRegionSize, 4);
    UnmapViewOfFile(view);
    CloseHandle(mapping);
    return folder;
}

std::shared_ptr<IMsiPackage> NewerBuild(PackageId id)
{
    for (const PackageInfo& row : ServerPackageRows())
        if (row.id == id)
        {
            auto package = std::make_shared<MsiPackage>(row, testsupport::NewerFolder());
            package->SetAction(MsiActionUpdate);
            return package;
        }
    return nullptr;
}

struct UpdateGroupResult
{
    CallLog log;
    std::wstring tempFolder;
    bool movedAsideDuringRun = false;
    bool failed = false;
};

// The update group as the install run builds it, on installed first builds.
UpdateGroupResult RunUpdateGroup(const std::wstring& serverOption)
{
    UpdateGroupResult result;
    TransactionTable table(result.log);
    auto server = NewerBuild(SecurityServerId);
    auto auth = NewerBuild(AuthServerId);
    auto sequence = std::make_shared<ExecSequence>(ExecObjectList{
        std::make_shared<SecurityServerObject>(server, testsupport::NewerFolder(), serverOption),
        std::make_shared<LambdaStep>([&] {
            result.tempFolder = UpdateContextFolder();
            result.movedAsideDuringRun = ovtest::FileExists(ServerInstallFolder() + L"_OvWebGateway.dll");
        }),
        std::make_shared<AuthServerObject>(auth, testsupport::NewerFolder())});
    UpdateContextObject group(std::make_shared<MsiTransactionObject>(sequence));
    StepRunner run(result.log);
    try
    {
        run.Exec(group);
    }
    catch (utils::AbortInstallException&)
    {
        result.failed = true;
    }
    return result;
}

struct InstalledFirstBuilds
{
    testsupport::ScopedInstall server{testsupport::DistPackage(L"SecurityServer.msi"), OV_UPGRADE_CODE_SECURITY_SERVER};
    testsupport::ScopedInstall auth{testsupport::DistPackage(L"AuthServer.msi"), OV_UPGRADE_CODE_AUTH_SERVER};
};
}

TEST(UpdateGroup, CommittedOnceAndCleanedUp)
{
    testsupport::TraceCapture trace;
    InstalledFirstBuilds installed;
    ASSERT_EQ(installed.server.Result(), 0u);
    ASSERT_EQ(installed.auth.Result(), 0u);

    const UpdateGroupResult result = RunUpdateGroup(L"");

    EXPECT_FALSE(result.failed);
    EXPECT_EQ(std::count(result.log.begin(), result.log.end(), L"EndTransaction 1"), 1);
    EXPECT_EQ(std::count(result.log.begin(), result.log.end(), L"EndTransaction 0"), 0);
    EXPECT_EQ(std::count(result.log.begin(), result.log.end(), L"EnableCancel 0"), 0);
    ASSERT_NE(result.tempFolder, L"");
    EXPECT_TRUE(result.movedAsideDuringRun);
    EXPECT_FALSE(ovtest::FileExists(result.tempFolder));
    EXPECT_TRUE(ovtest::FileExists(ServerInstallFolder() + L"OvWebGateway.dll"));
    EXPECT_FALSE(ovtest::FileExists(ServerInstallFolder() + L"_OvWebGateway.dll"));
    EXPECT_TRUE(trace.Contains(L"[`anonymous-namespace'::CUpdateContext::ClearTempDirectory]  Temp directory from context: " +
                               result.tempFolder + L" "));
}

// The Authentication Server update fails for real: the wizard handed it FORCEFAIL=1. Wine's
// transaction calls are stubs, so whether the rollback works cannot be seen here: what is
// checked is that it is asked for, once, and the transaction's own handle closed after it.
TEST(UpdateGroup, SecondUpdateFailingAsksForTheRollbackWhichWineOnlyStubs)
{
    testsupport::TraceCapture trace;
    InstalledFirstBuilds installed;
    ASSERT_EQ(installed.server.Result(), 0u);
    ASSERT_EQ(installed.auth.Result(), 0u);

    const UpdateGroupResult result = RunUpdateGroup(L"OVASEXTRA=FORCEFAIL=1");

    EXPECT_TRUE(result.failed);
    const auto rollback = std::find(result.log.begin(), result.log.end(), L"EndTransaction 0");
    ASSERT_NE(rollback, result.log.end());
    ASSERT_LE(rollback + 4, result.log.end());
    EXPECT_EQ(*(rollback - 1), L"EnableCancel 0");
    EXPECT_EQ(*(rollback + 1), L"EnableCancel 1");
    EXPECT_EQ(*(rollback + 2), L"CloseTransaction");
    EXPECT_NE(g_transaction, 0u);
    EXPECT_EQ(*(rollback + 3), L"ShowMessage To recover server functioning, you should restart the computer.");
    EXPECT_EQ(std::count(result.log.begin(), result.log.end(), L"EndTransaction 0"), 1);
    EXPECT_EQ(std::count(result.log.begin(), result.log.end(), L"EndTransaction 1"), 0);
    ASSERT_NE(result.tempFolder, L"");
    EXPECT_TRUE(result.movedAsideDuringRun);
    EXPECT_FALSE(ovtest::FileExists(result.tempFolder));
    EXPECT_TRUE(ovtest::FileExists(ServerInstallFolder() + L"OvWebGateway.dll"));
    EXPECT_FALSE(ovtest::FileExists(ServerInstallFolder() + L"_OvWebGateway.dll"));
}

TEST(UpdateContext, RegionMadeFirstByAnotherProcessIsNotUsed)
{
    // Its folder text would decide what the setup empties.
    ovtest::CTempFolder victim(L"uc-victim");
    ovtest::WriteFileBytes(victim / L"keep.txt", "k");
    ovtest::CRegionSquatter squatter(L"UC", victim.Path());
    ASSERT_TRUE(squatter.Ready());
    ovtest::CHklmKeyBackup key(instutils::kSecurityServerKeyPath);
    testsupport::TraceCapture trace;
    CallLog log;
    bool ran = false;
    UpdateContextObject context(std::make_shared<LambdaStep>([&] { ran = true; }));
    try
    {
        StepRunner(log).Exec(context);
        FAIL() << "the region made by another process was taken";
    }
    catch (OvBase::COvError& e)
    {
        EXPECT_EQ(e.GetCode(), 0x800700B7u);
    }
    EXPECT_FALSE(ran);
    EXPECT_TRUE(trace.ContainsText(std::wstring(L"Shared region ") + kUpdateContextRegionName + L" exists already"));
    EXPECT_EQ(ovtest::ReadFileBytes(victim / L"keep.txt"), "k");
}

TEST(UpdateContext, SectionWithoutFolderTouchesNothing)
{
    struct Case
    {
        const char* name;
        bool fillWithoutNul;
    };
    for (const Case& c : {Case{"Empty", false}, Case{"NoNulInside", true}})
    {
        ovtest::CHklmKeyBackup key(instutils::kSecurityServerKeyPath);
        testsupport::TraceCapture trace;
        CallLog log;
        UpdateContextObject context(std::make_shared<LambdaStep>([&] {
            if (!c.fillWithoutNul)
                return;
            HANDLE mapping = OpenFileMappingW(FILE_MAP_WRITE, FALSE, kUpdateContextRegionName);
            ASSERT_NE(mapping, nullptr);
            auto* view = static_cast<wchar_t*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, kSharedRegionSize));
            std::fill(view + 2, view + kSharedRegionSize / 2, L'C');
            UnmapViewOfFile(view);
            CloseHandle(mapping);
        }));
        StepRunner(log).Exec(context);

        EXPECT_TRUE(trace.Contains(L"[`anonymous-namespace'::CUpdateContext::ClearTempDirectory]  Temp directory from "
                                   L"context:  ")) << c.name;
        EXPECT_FALSE(trace.ContainsText(L"ClearTempDirectory] Temp directory:")) << c.name;
        EXPECT_FALSE(trace.ContainsText(L"DeleteFilesInFolder")) << c.name;
        // Without the install folder value the modules are looked for relative to the current folder.
        EXPECT_TRUE(trace.Contains(L"Target dir: ")) << c.name;
        EXPECT_TRUE(log.empty()) << c.name;
    }
}

TEST(UpdateContext, FailedInnerStepAdvisesARestartAndPassesTheErrorOn)
{
    CallLog log;
    UpdateContextObject context(std::make_shared<LambdaStep>([] { ThrowErrorText(L"inner failed"); }));
    try
    {
        StepRunner(log).Exec(context);
        ADD_FAILURE() << "no exception";
    }
    catch (OvBase::COvError& error)
    {
        EXPECT_STREQ(error.GetDescription(), L"inner failed");
    }
    EXPECT_EQ(log, CallLog{L"ShowMessage To recover server functioning, you should restart the computer."});
}
