#include <gtest/gtest.h>

#include "Ui/Notifier.h"
#include "Ui/StatusWnd.h"

#include "CatchOvError.h"
#include "Engine/ActionTable.h"
#include "Engine/InstallContext.h"
#include "Engine/WindowMessages.h"
#include "MessageSink.h"
#include "SystemApi.h"
#include "UiTestSupport.h"
#include "res/resource.h"

#include <atomic>
#include <thread>

using namespace ovinst;
using testsupport::PostedMessage;

namespace
{
// The status window as the notifier sees it: posted messages land in a sink.
class SinkStatus : public IStatusCallback
{
public:
    explicit SinkStatus(HWND hwnd) : m_hwnd(hwnd) {}
    void ShowMessage(const wchar_t* text) override { messages.push_back(text); }
    HWND GetHwnd() override { return m_hwnd; }
    void Initialize(const std::wstring&, IInstallerThread*, const std::shared_ptr<IActionTable>&) override {}
    void RequestUserAction(const std::shared_ptr<IInstallData>& data) override { requested = data; }
    void ShowStatus(int) override {}

    std::vector<std::wstring> messages;
    std::shared_ptr<IInstallData> requested;

private:
    HWND m_hwnd;
};

PostedMessage Command(WPARAM command, LPARAM argument)
{
    return {WM_WINDOW_COMMAND, command, argument};
}

PostedMessage Table(EActionType type, LPARAM change)
{
    return {WM_TABLE_CHANGED, static_cast<WPARAM>(type), change};
}

class NotifierTest : public testing::Test
{
protected:
    void SetUp() override
    {
        status = std::make_shared<SinkStatus>(sink.Hwnd());
        table = std::make_shared<SecutityServerTable>(sink.Hwnd(), false);
        notifier = std::make_unique<Notifier>(status, table, [this] { return cancelled.load(); });
        sink.Take();  // the table's initial texts
    }

    testsupport::MessageSink sink;
    std::shared_ptr<SinkStatus> status;
    std::shared_ptr<SecutityServerTable> table;
    std::atomic<bool> cancelled{false};
    std::unique_ptr<Notifier> notifier;
};

TEST_F(NotifierTest, PackageIdentifiersMapToLinesAndUnknownOnesTouchNothing)
{
    const std::pair<int, EActionType> known[] = {{0, ActionAnalyzeSystem}, {1, ActionAnalyzeUpdates},
                                                 {2, ActionMainPackage},   {3, ActionAuthServer},
                                                 {4, ActionSyncService},   {5, ActionMainPackage}};
    for (const auto& [id, type] : known)
    {
        notifier->ActionStart(id);
        EXPECT_EQ(sink.Take(), std::vector<PostedMessage>{Table(type, TableStepStarted)}) << id;
    }
    for (const int id : {-1, 6})
    {
        auto error = testsupport::CatchOvError([&] { notifier->ActionStart(id); });
        ASSERT_TRUE(error) << id;
        EXPECT_STREQ(error->GetDescription(), L"Unknown package ID!") << id;
        EXPECT_EQ(error->GetCode(), static_cast<DWORD>(E_FAIL)) << id;
        testsupport::CatchOvError([&] { notifier->ActionEnd(id); });
        testsupport::CatchOvError([&] { notifier->ActionError(id); });
        testsupport::CatchOvError([&] { notifier->ActionStartWithText(id, L"x"); });
        EXPECT_TRUE(sink.Take().empty()) << id;
    }
    EXPECT_FALSE(notifier->HasErrors());
}

TEST_F(NotifierTest, TextChangesComeBeforeAStartAndAfterAnEnd)
{
    notifier->ActionStartWithText(3, L"installing");
    notifier->ActionEndWithText(3, L"installed");
    EXPECT_EQ(sink.Take(), (std::vector<PostedMessage>{
                               Table(ActionAuthServer, TableTextChanged), Table(ActionAuthServer, TableStepStarted),
                               Table(ActionAuthServer, TableStepEnded), Table(ActionAuthServer, TableTextChanged)}));
    table->Lock();
    EXPECT_EQ(table->GetAction(ActionAuthServer).text, L"installed");
    table->Unlock();
}

TEST_F(NotifierTest, WindowCommandsArePosted)
{
    notifier->ShowStatusWindow();
    notifier->HideStatusWindow();
    notifier->EnableCancel(true);
    notifier->EnableCancel(false);
    notifier->InstallationFinished();
    notifier->CloseWindow();
    EXPECT_EQ(sink.Take(), (std::vector<PostedMessage>{Command(CmdShowStatus, SW_SHOW), Command(CmdShowStatus, 0),
                                                      Command(CmdEnableCancel, 1), Command(CmdEnableCancel, 0),
                                                      Command(CmdRunFinished, 0), Command(CmdQuit, 0)}));
}

TEST_F(NotifierTest, FlagsOnlyRiseAndCancelAsksTheThread)
{
    EXPECT_FALSE(notifier->HasErrors());
    EXPECT_FALSE(notifier->IsRebootRequired());
    notifier->ActionError(4);
    notifier->SetRebootRequired();
    EXPECT_TRUE(notifier->HasErrors());
    EXPECT_TRUE(notifier->IsRebootRequired());
    EXPECT_EQ(sink.Take(), std::vector<PostedMessage>{Table(ActionSyncService, TableStepFailed)});

    EXPECT_FALSE(notifier->IsCancelled());
    cancelled = true;
    EXPECT_TRUE(notifier->IsCancelled());
}

TEST_F(NotifierTest, MessagesAndTheUsersChoiceGoToTheStatusWindow)
{
    notifier->ShowMessage(L"hello");
    auto data = testsupport::ServerData(false, false, false);
    notifier->RequestUserAction(data);
    EXPECT_EQ(status->messages, std::vector<std::wstring>{L"hello"});
    EXPECT_EQ(status->requested, data);
    EXPECT_TRUE(sink.Take().empty());
}

TEST_F(NotifierTest, CountdownPostsTheStartAndOneStepPerSecond)
{
    EXPECT_TRUE(notifier->RebootCountdown(0));
    EXPECT_EQ(sink.Take(), std::vector<PostedMessage>{Command(CmdStartCountdown, 0)});

    const DWORD start = GetTickCount();
    EXPECT_TRUE(notifier->RebootCountdown(2));
    const DWORD elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, 1900u);
    EXPECT_LT(elapsed, 3500u);
    EXPECT_EQ(sink.Take(), (std::vector<PostedMessage>{Command(CmdStartCountdown, 2), Command(CmdCountdownTick, 0),
                                                      Command(CmdCountdownTick, 0)}));
}

TEST_F(NotifierTest, CountdownSecondIsTheSystemTablesLength)
{
    instutils::CSystemApiOverride api;
    api->countdownSecondMilliseconds = 50;
    const DWORD start = GetTickCount();
    EXPECT_TRUE(notifier->RebootCountdown(10));
    EXPECT_LT(GetTickCount() - start, 2000u);
    EXPECT_EQ(sink.Take().size(), 11u);
}

TEST_F(NotifierTest, CountdownEndsWithinASecondOfACancel)
{
    std::thread canceller([this] {
        Sleep(1300);
        cancelled = true;
    });
    const DWORD start = GetTickCount();
    EXPECT_FALSE(notifier->RebootCountdown(120));
    EXPECT_LT(GetTickCount() - start, 3000u);
    canceller.join();
    const auto posted = sink.Take();
    ASSERT_GE(posted.size(), 2u);
    EXPECT_EQ(posted.front(), Command(CmdStartCountdown, 120));
    EXPECT_LE(posted.size(), 3u);
}

TEST(NotifierUnattended, CountdownGoesAheadWithoutShowingAnything)
{
    ASSERT_TRUE(utils::CInstallContext::Instance().ParseCommandLine(L"/autoinstall"));
    testsupport::MessageSink sink;
    auto table = std::make_shared<SecutityServerTable>(sink.Hwnd(), false);
    Notifier notifier(std::make_shared<SinkStatus>(sink.Hwnd()), table, [] { return true; });
    sink.Take();
    EXPECT_TRUE(notifier.RebootCountdown(30));
    EXPECT_TRUE(sink.Take().empty());
}

// Questions are message boxes of the status window, asked from the installer thread
// while this thread keeps dispatching; the driver answers them.
class NotifierQuestionTest : public testing::Test
{
protected:
    void SetUp() override
    {
        table = std::make_shared<SecutityServerTable>(window->GetHwnd(), false);
        window->Initialize(L"Orvane Studio install", &thread, table);
        window->ShowStatus(SW_SHOW);
        notifier = std::make_unique<Notifier>(window, table, [] { return false; });
    }

    // Runs `ask` on another thread while the driver runs the commands.
    template <typename Ask>
    testsupport::DriverRun AskWhileDriving(Ask ask, const std::vector<std::wstring>& commands)
    {
        std::thread asker(ask);
        const auto run = testsupport::RunUiDriver(commands);
        testsupport::PumpUntil([] { return false; }, 100);
        asker.join();
        return run;
    }

    std::shared_ptr<CStatusWnd> window = std::make_shared<CStatusWnd>();
    testsupport::FakeInstallerThread thread;
    std::shared_ptr<SecutityServerTable> table;
    std::unique_ptr<Notifier> notifier;
};

TEST_F(NotifierQuestionTest, TheUsersAnswerCountsNotTheSilentOne)
{
    struct Case
    {
        const wchar_t* button;
        bool silentAnswer;
        bool expected;
    };
    for (const Case& c : {Case{L"yes", false, true}, Case{L"no", true, false}})
    {
        bool answer = !c.expected;
        const auto run = AskWhileDriving([&] { answer = notifier->AskUserWarning(L"Continue?", c.silentAnswer); },
                                         {std::wstring(L"msgbox:") + c.button + L":152=Continue?"});
        EXPECT_EQ(run.exitCode, 0u) << run.report;
        EXPECT_EQ(answer, c.expected) << c.button;
    }
}

TEST_F(NotifierQuestionTest, InformUserReturnsWhenTheBoxIsAcknowledged)
{
    std::atomic<bool> returned{false};
    const auto run = AskWhileDriving(
        [&] {
            notifier->InformUser(L"Something failed");
            returned = true;
        },
        {L"msgbox:ok:152=Something failed", L"text:152:2=Cancel"});
    EXPECT_EQ(run.exitCode, 0u) << run.report;
    EXPECT_TRUE(returned);
    EXPECT_NE(run.report.find("Orvane Studio install"), std::string::npos) << run.report;
}
}

// Nobody answers an unattended run: a box would hold it for ever.
TEST(NotifierUnattended, QuestionsTakeTheSilentAnswerAndMessagesOnlyGoToTheLog)
{
    ASSERT_TRUE(utils::CInstallContext::Instance().ParseCommandLine(L"/autoinstall"));
    auto window = std::make_shared<CStatusWnd>();
    testsupport::FakeInstallerThread thread;
    auto table = std::make_shared<SecutityServerTable>(window->GetHwnd(), false);
    window->Initialize(L"Orvane Studio install", &thread, table);
    window->ShowStatus(SW_SHOW);
    Notifier notifier(window, table, [] { return false; });
    std::atomic<int> answers{-1};
    std::thread asker([&] {
        const bool warning = notifier.AskUserWarning(L"Continue?", false);
        const bool question = notifier.AskUserQuestion(L"Switch it off?", true);
        notifier.InformUser(L"Something failed");
        answers = (warning ? 1 : 0) + (question ? 2 : 0);
    });
    const bool returned = testsupport::PumpUntil([&] { return answers >= 0; }, 5000);
    const auto run = testsupport::RunUiDriver({L"nomsgbox"});
    if (!returned)
    {
        // A box is open: answer it so the thread can end.
        testsupport::RunUiDriver({L"msgbox:no", L"msgbox:no", L"msgbox:ok"});
    }
    asker.join();
    EXPECT_TRUE(returned);
    EXPECT_EQ(answers, 2);
    EXPECT_EQ(run.exitCode, 0u) << run.report;
}
