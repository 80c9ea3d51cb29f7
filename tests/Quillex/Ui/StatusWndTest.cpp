#include <gtest/gtest.h>

#include "Ui/Notifier.h"
#include "Ui/StatusWnd.h"

#include "Engine/ActionTable.h"
#include "Engine/InstallContext.h"
#include "Engine/WindowMessages.h"
#include "SystemApi.h"
#include "UiTestSupport.h"

#include <atomic>
#include <cstdlib>
#include <thread>

using namespace ovinst;
using testsupport::FakeInstallData;
using testsupport::FakePackage;

namespace
{
std::wstring Countdown(int seconds)
{
    return L"text:152:1009=Computer restart is required. The computer will restart automatically in " +
           std::to_wstring(seconds) + L" seconds.\\r\\nClick Cancel to restart later.";
}

// The status window of a server run, shown, with the engine's real action table.
class StatusWndTest : public testing::Test
{
protected:
    void SetUp() override
    {
        utils::CInstallContext::Instance().SetRestartOnExit(false);
        table = std::make_shared<SecutityServerTable>(window->GetHwnd(), false);
    }
    void Start(IInstallerThread* thread)
    {
        window->Initialize(L"Orvane Studio install", thread, table);
        window->ShowStatus(SW_SHOW);
    }
    void Post(WPARAM command, LPARAM argument)
    {
        PostMessageW(window->GetHwnd(), WM_WINDOW_COMMAND, command, argument);
    }

    std::shared_ptr<CStatusWnd> window = std::make_shared<CStatusWnd>();
    std::shared_ptr<SecutityServerTable> table;
    testsupport::FakeInstallerThread fake;
};

TEST_F(StatusWndTest, LinesShowTheirStepsWithIconsAndAFailureTurnsCancelIntoClose)
{
    Start(&fake);
    table->ActionStart(ActionAnalyzeSystem);
    table->ActionEnd(ActionAnalyzeSystem);
    table->ActionStart(ActionAnalyzeUpdates);
    table->ActionEnd(ActionAnalyzeUpdates);
    table->ActionText(ActionMainPackage, L"Security server installed");
    table->ActionStart(ActionMainPackage);
    table->ActionEnd(ActionMainPackage);
    table->ActionStart(ActionAuthServer);
    table->Error(ActionAuthServer);
    const auto run = testsupport::RunUiDriver(
        {L"visible:152", L"text:152:1002=Security server installed", L"icon:152:1003=finished",
         L"icon:152:1004=finished", L"icon:152:1005=finished", L"icon:152:1048=failed", L"icon:152:1049=pending",
         L"enabled:152:1047=0", L"text:152:2=Close", L"enabled:152:2=1", L"shown:152:1014=0"});
    EXPECT_EQ(run.exitCode, 0u) << run.report;
    EXPECT_FALSE(run.quitPosted);
}

TEST_F(StatusWndTest, RemovalOrderListsTheSynchronizationServiceFirst)
{
    Start(&fake);
    static_cast<IChainedWindow&>(*window).SetUninstallOrder(true);
    table->ActionStart(ActionSyncService);
    const auto run = testsupport::RunUiDriver({L"text:152:1002=Synchronization service",
                                               L"text:152:1047=Security Server", L"icon:152:1005=running",
                                               L"text:152:1046=Authentication server"});
    EXPECT_EQ(run.exitCode, 0u) << run.report;
}

TEST_F(StatusWndTest, CountdownStepsDownToOneAndRebootSetsTheRestartFlag)
{
    // Long enough for the driver to see every step, including the first one that starts as
    // soon as the thread does, before the driver's process is up (slow on a busy machine).
    instutils::CSystemApiOverride api;
    api->countdownSecondMilliseconds = 1500;
    std::atomic<int> result{-1};
    testsupport::WorkerThread thread([&](testsupport::WorkerThread& self) -> DWORD {
        Notifier notifier(window, table, [&self] { return self.IsStopRequested(); });
        result = notifier.RebootCountdown(3) ? 1 : 0;
        return 0;
    });
    Start(&thread);
    ASSERT_TRUE(thread.Create());
    const auto run = testsupport::RunUiDriver({L"shown:152:1014=1", L"bar:152:1008=0,3,0", L"shown:152:1009=1",
                                               Countdown(3), L"bar:152:1008=0,3,1", Countdown(2),
                                               L"bar:152:1008=0,3,2", Countdown(1), L"bar:152:1008=0,3,3",
                                               L"press:152:1014", L"shown:152:1008=0"}, 3000);
    EXPECT_EQ(run.exitCode, 0u) << run.report;
    EXPECT_TRUE(run.quitPosted);
    EXPECT_TRUE(utils::CInstallContext::Instance().IsRestartOnExit());
    EXPECT_EQ(thread.WaitForEnd(false, 5000), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_EQ(result, 1);
}

// Reboot pressed while the countdown still runs: the countdown notices the stop within its
// second and ends by itself, well inside the three seconds the window waits for it (a thread
// still running then is terminated, and would end with 0).
TEST_F(StatusWndTest, RebootDuringTheCountdownStopsItInTime)
{
    std::atomic<int> result{-1};
    testsupport::WorkerThread thread([&](testsupport::WorkerThread& self) -> DWORD {
        Notifier notifier(window, table, [&self] { return self.IsStopRequested(); });
        result = notifier.RebootCountdown(60) ? 1 : 0;
        return 7;
    });
    Start(&thread);
    ASSERT_TRUE(thread.Create());
    const auto run = testsupport::RunUiDriver({L"shown:152:1014=1", Countdown(59), L"press:152:1014", L"shown:152:1008=0"},
                                              10000);
    EXPECT_EQ(run.exitCode, 0u) << run.report;
    EXPECT_TRUE(run.quitPosted);
    EXPECT_TRUE(utils::CInstallContext::Instance().IsRestartOnExit());
    ASSERT_EQ(thread.WaitForEnd(false, 0), static_cast<DWORD>(WAIT_OBJECT_0));
    DWORD code = 0;
    ::GetExitCodeThread(thread.GetHandle(), &code);
    EXPECT_EQ(code, 7u);
    EXPECT_EQ(result, 0);
}

// Cancel clicked, or Esc with the focus on Reboot, where the countdown puts it.
TEST(StatusWndCountdown, CancelOrEscDuringTheCountdownLeavesTheRestartFlagUnset)
{
    for (const wchar_t* cancel : {L"press:152:2", L"key:152:esc"})
    {
        utils::CInstallContext::Instance().SetRestartOnExit(false);
        std::atomic<int> result{-1};
        std::shared_ptr<CStatusWnd> window;
        std::shared_ptr<IActionTable> table;
        testsupport::WorkerThread thread([&](testsupport::WorkerThread& self) -> DWORD {
            Notifier notifier(window, table, [&self] { return self.IsStopRequested(); });
            result = notifier.RebootCountdown(120) ? 1 : 0;
            return 0;
        });
        const auto shown = testsupport::ShowStatusWindow(&thread);
        window = shown.window;
        table = shown.table;
        ASSERT_TRUE(thread.Create());
        const auto run = testsupport::RunUiDriver({Countdown(120), L"focus:152=1014", cancel, L"text:152:2=Close",
                                                   L"shown:152:1008=0", L"shown:152:1009=0"},
                                                  4000);
        EXPECT_EQ(run.exitCode, 0u) << run.report;
        EXPECT_TRUE(run.quitPosted) << cancel;
        EXPECT_FALSE(utils::CInstallContext::Instance().IsRestartOnExit()) << cancel;
        EXPECT_EQ(thread.WaitForEnd(false, 5000), static_cast<DWORD>(WAIT_OBJECT_0));
        EXPECT_EQ(result, 0) << cancel;
    }
}

TEST_F(StatusWndTest, CountdownOfNoSecondsShowsAnEmptyBarAndNoText)
{
    Start(&fake);
    Post(CmdStartCountdown, 0);
    const auto run = testsupport::RunUiDriver({L"shown:152:1014=1", L"bar:152:1008=0,0,0", L"text:152:1009="});
    EXPECT_EQ(run.exitCode, 0u) << run.report;
}

TEST_F(StatusWndTest, CancelStopsTheThreadFirstThenQuits)
{
    Start(&fake);
    const auto run = testsupport::RunUiDriver({L"press:152:2", L"text:152:2=Close", L"enabled:152:2=1"});
    EXPECT_EQ(run.exitCode, 0u) << run.report;
    EXPECT_TRUE(run.quitPosted);
    EXPECT_EQ(fake.calls, (std::vector<std::string>{"request-stop", "signal", "stop:4294967295"}));
}

TEST_F(StatusWndTest, CommandsFromTheNotifierAndWrongOnesAreContained)
{
    Start(&fake);
    Post(CmdEnableCancel, 0);
    Post(9, 0);                                                   // no such command
    PostMessageW(window->GetHwnd(), WM_TABLE_CHANGED, ActionAuthServer, 7);  // no such status
    const auto disabled = testsupport::RunUiDriver({L"enabled:152:2=0", L"text:152:2=Cancel"});
    EXPECT_EQ(disabled.exitCode, 0u) << disabled.report;

    Post(CmdRunFinished, 0);
    Post(CmdShowStatus, SW_HIDE);
    const auto finished = testsupport::RunUiDriver({L"text:152:2=Close", L"enabled:152:2=1", L"hidden:152"});
    EXPECT_EQ(finished.exitCode, 0u) << finished.report;
    EXPECT_FALSE(finished.quitPosted);

    Post(CmdQuit, 0);
    bool quit = false;
    testsupport::PumpUntil([&] { return quit; }, 2000, &quit);
    EXPECT_TRUE(quit);
}

TEST(StatusWndUnattended, NoCancelAndNoRebootButton)
{
    ASSERT_TRUE(utils::CInstallContext::Instance().ParseCommandLine(L"/autoinstall"));
    auto window = std::make_shared<CStatusWnd>();
    testsupport::FakeInstallerThread fake;
    window->Initialize(L"Orvane Studio install", &fake,
                       std::make_shared<SecutityServerTable>(window->GetHwnd(), false));
    window->ShowStatus(SW_SHOW);
    ReleaseCapture();  // the driver reads the controls; the capture only swallows clicks
    PostMessageW(window->GetHwnd(), WM_WINDOW_COMMAND, CmdStartCountdown, 30);
    const auto run = testsupport::RunUiDriver({L"bar:152:1008=0,30,0", L"shown:152:2=0", L"shown:152:1014=0"});
    EXPECT_EQ(run.exitCode, 0u) << run.report;
    // Esc still reaches the dialog manager, which sends IDCANCEL: the hidden Cancel ignores it.
    const auto esc = testsupport::RunUiDriver({L"key:152:esc", L"sleep:300", L"visible:152"});
    EXPECT_EQ(esc.exitCode, 0u) << esc.report;
    EXPECT_FALSE(esc.quitPosted);
    EXPECT_TRUE(fake.calls.empty());
}

// The Control Center set has no summary window: one button on the status window.
TEST_F(StatusWndTest, ConsoleChoiceOffersModifyOrUpdateOnlyWhenInstalled)
{
    Start(&fake);
    struct Case
    {
        bool installed;
        bool updatable;
        std::vector<std::wstring> commands;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {false, false, {L"sleep:300", L"shown:152:1017=0", L"shown:152:1009=0"}, {}},
        {true, false, {L"text:152:1017=Modify", L"shown:152:1009=0", L"press:152:1017", L"shown:152:1017=0"},
         {"uninstall-all", "signal"}},
        {true,
         true,
         {L"text:152:1017=Update",
          L"text:152:1009=\\r\\n\\r\\nThe program will be updated from version 12.1.100.0 to version 12.1.200.0.",
          L"press:152:1017", L"shown:152:1017=0", L"shown:152:1009=0"},
         {"set:5=1", "signal"}},
    };
    for (const Case& c : cases)
    {
        fake.calls.clear();
        auto data = std::make_shared<FakeInstallData>(0);
        data->Add(std::make_shared<FakePackage>(ControlCenterId, c.installed, c.updatable, L"12.1.100.0", L"12.1.200.0"));
        window->RequestUserAction(data);
        const auto run = testsupport::RunUiDriver(c.commands);
        EXPECT_EQ(run.exitCode, 0u) << run.report;
        std::vector<std::string> calls = data->calls;
        calls.insert(calls.end(), fake.calls.begin(), fake.calls.end());
        EXPECT_EQ(calls, c.calls) << c.installed << c.updatable;
    }
}
}

namespace
{
std::shared_ptr<FakeInstallData> ConsoleData(bool updatable)
{
    auto data = std::make_shared<FakeInstallData>(0);
    data->Add(std::make_shared<FakePackage>(ControlCenterId, true, updatable, L"12.1.100.0", L"12.1.200.0"));
    return data;
}
}

// Enter presses the focused button: on the console choice that is "Update" when it
// updates, but Cancel when the button means "Modify", which removes the Control Center.
TEST_F(StatusWndTest, EnterOnTheConsoleChoiceNeverRemovesAnything)
{
    struct Case
    {
        bool updatable;
        const wchar_t* focus;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {true, L"focus:152=1017", {"set:5=1", "signal"}},
        {false, L"focus:152=2", {"request-stop", "signal", "stop:4294967295"}},
    };
    for (const Case& c : cases)
    {
        testsupport::FakeInstallerThread thread;
        const auto window = testsupport::ShowStatusWindow(&thread).window;
        auto data = ConsoleData(c.updatable);
        window->RequestUserAction(data);
        const auto run = testsupport::RunUiDriver({L"shown:152:1017=1", c.focus, L"key:152:enter", L"sleep:200"});
        EXPECT_EQ(run.exitCode, 0u) << run.report;
        std::vector<std::string> calls = data->calls;
        calls.insert(calls.end(), thread.calls.begin(), thread.calls.end());
        EXPECT_EQ(calls, c.calls) << c.updatable;
    }
}

// At the end Close has the focus, and Enter and Esc both press it.
TEST_F(StatusWndTest, EnterAndEscCloseTheFinishedWindow)
{
    for (const wchar_t* key : {L"key:152:enter", L"key:152:esc"})
    {
        testsupport::FakeInstallerThread thread;
        const auto window = testsupport::ShowStatusWindow(&thread).window;
        PostMessageW(window->GetHwnd(), WM_WINDOW_COMMAND, CmdRunFinished, 0);
        const auto run = testsupport::RunUiDriver({L"text:152:2=Close", L"focus:152=2", key, L"sleep:200"});
        EXPECT_EQ(run.exitCode, 0u) << run.report;
        EXPECT_TRUE(run.quitPosted) << key;
        EXPECT_EQ(thread.calls, (std::vector<std::string>{"request-stop", "signal", "stop:4294967295"})) << key;
    }
}

// A run that only progresses leaves the keyboard with the program the user works in; the
// end, which needs the user, brings the window forward.
TEST_F(StatusWndTest, ProgressDoesNotTakeTheForegroundButTheEndDoes)
{
    Start(&fake);
    testsupport::PumpPending();
    std::atomic<HWND> other{nullptr};
    std::atomic<bool> done{false};
    std::thread program([&] {
        HWND hwnd = CreateWindowExW(0, L"Static", L"another program", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                                    nullptr, nullptr, nullptr);
        SetForegroundWindow(hwnd);
        SetFocus(hwnd);
        other = hwnd;
        testsupport::PumpUntil([&] { return done.load(); }, 30000);
        DestroyWindow(hwnd);
    });
    testsupport::PumpUntil([&] { return other.load() != nullptr; }, 5000);
    testsupport::PumpUntil([] { return false; }, 200);
    ASSERT_EQ(GetForegroundWindow(), other.load());

    table->ActionStart(ActionAnalyzeSystem);
    table->ActionEnd(ActionAnalyzeSystem);
    table->ActionStart(ActionAnalyzeUpdates);
    table->ActionEnd(ActionAnalyzeUpdates);
    Post(CmdEnableCancel, 1);
    testsupport::PumpUntil([] { return false; }, 500);
    EXPECT_EQ(GetForegroundWindow(), other.load());

    Post(CmdRunFinished, 0);
    testsupport::PumpUntil([&] { return GetForegroundWindow() == window->GetHwnd(); }, 3000);
    EXPECT_EQ(GetForegroundWindow(), window->GetHwnd());
    done = true;
    program.join();
}

// Both windows open in the middle of the screen's work area, not at its top-left corner.
TEST(StatusWndPlacement, BothWindowsOpenCentredOnTheScreen)
{
    CStatusWnd window;
    RECT work = {};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    for (HWND hwnd : {window.GetHwnd(), window.GetSummary().GetSafeHwnd()})
    {
        RECT rect = {};
        ASSERT_TRUE(GetWindowRect(hwnd, &rect));
        EXPECT_LE(std::abs((rect.left + rect.right) - (work.left + work.right)), 2) << rect.left;
        EXPECT_LE(std::abs((rect.top + rect.bottom) - (work.top + work.bottom)), 2) << rect.top;
        EXPECT_GT(rect.left, work.left);
    }
}
