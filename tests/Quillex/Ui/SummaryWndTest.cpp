#include <gtest/gtest.h>

#include "Ui/StatusWnd.h"

#include "Engine/ActionTable.h"
#include "Engine/InstallContext.h"
#include "UiTestSupport.h"

using namespace ovinst;

namespace
{
const wchar_t kConfirm[] =
    L"msgbox:%s:1035=Do you really want to uninstall the Security Server and all of its components?";

std::wstring Confirm(const wchar_t* button)
{
    std::wstring command = kConfirm;
    command.replace(command.find(L"%s"), 2, button);
    return command;
}

// The summary window as the status window shows it when the installer thread asks.
class SummaryWndTest : public testing::Test
{
protected:
    void SetUp() override
    {
        table = std::make_shared<SecutityServerTable>(window->GetHwnd(), false);
        window->Initialize(L"Orvane Studio install", &thread, table);
        window->ShowStatus(SW_SHOW);
    }
    void Ask(bool serverInstalled, bool syncInstalled, bool updatable)
    {
        data = testsupport::ServerData(serverInstalled, syncInstalled, updatable);
        window->RequestUserAction(data);
    }
    // The install data's calls, then the thread's.
    std::vector<std::string> Calls() const
    {
        std::vector<std::string> calls = data->calls;
        calls.insert(calls.end(), thread.calls.begin(), thread.calls.end());
        return calls;
    }

    std::shared_ptr<CStatusWnd> window = std::make_shared<CStatusWnd>();
    testsupport::FakeInstallerThread thread;
    std::shared_ptr<SecutityServerTable> table;
    std::shared_ptr<testsupport::FakeInstallData> data;
};

TEST_F(SummaryWndTest, NothingInstalledOffersInstallWithTheSynchronizationServiceAsAChoice)
{
    Ask(false, false, false);
    const auto run = testsupport::RunUiDriver(
        {L"visible:1035", L"hidden:152", L"text:1035:1033=Select components to install:", L"text:1035:1044=Install",
         L"enabled:1035:1044=1", L"checked:1035:1038=0", L"enabled:1035:1038=1", L"shown:1035:1045=0",
         L"checked:1035:1036=1", L"enabled:1035:1036=0", L"checked:1035:1037=1", L"enabled:1035:1037=0",
         L"shown:1035:1064=0", L"press:1035:1038", L"checked:1035:1038=1", L"text:1035:1044=Install",
         L"press:1035:1044", L"hidden:1035", L"visible:152"});
    EXPECT_EQ(run.exitCode, 0u) << run.report;
    EXPECT_EQ(Calls(), (std::vector<std::string>{"set:2=1", "set:3=1", "set:4=1", "signal"}));
    EXPECT_EQ(window->GetSummary().GetMode(), CSummaryWnd::ModeInstall);
}

TEST_F(SummaryWndTest, ChangeModeEnablesModifyOnlyWhileTheBoxDiffersFromWhatIsInstalled)
{
    Ask(true, true, false);
    const auto run = testsupport::RunUiDriver(
        {L"visible:1035", L"text:1035:1033=Select components to install or update:", L"text:1035:1044=Modify",
         L"enabled:1035:1044=0", L"checked:1035:1038=1", L"shown:1035:1045=1", L"shown:1035:1064=0",
         L"press:1035:1038", L"checked:1035:1038=0", L"enabled:1035:1044=1", L"press:1035:1038",
         L"checked:1035:1038=1", L"enabled:1035:1044=0", L"press:1035:1038", L"press:1035:1044", L"hidden:1035"});
    EXPECT_EQ(run.exitCode, 0u) << run.report;
    EXPECT_EQ(Calls(), (std::vector<std::string>{"set:2=1", "set:3=1", "set:4=0", "signal"}));
}

TEST_F(SummaryWndTest, UpdateModeShowsTheVersionsAndSaysModifyWhileTheChoiceChanges)
{
    Ask(true, false, true);
    const auto run = testsupport::RunUiDriver(
        {L"visible:1035", L"text:1035:1044=Update", L"enabled:1035:1044=1", L"checked:1035:1038=0",
         L"shown:1035:1064=1",
         L"text:1035:1064=\\r\\n\\r\\nThe program will be updated from version 12.1.100.0 to version 12.1.200.0.",
         L"press:1035:1038", L"text:1035:1044=Modify", L"press:1035:1038", L"text:1035:1044=Update",
         L"press:1035:1044", L"visible:152"});
    EXPECT_EQ(run.exitCode, 0u) << run.report;
    EXPECT_EQ(Calls(), (std::vector<std::string>{"set:2=1", "set:3=1", "set:4=0", "signal"}));
    EXPECT_EQ(window->GetSummary().GetMode(), CSummaryWnd::ModeUpdate);
}

TEST_F(SummaryWndTest, DeclinedRemovalChangesNothingAndConfirmedRemovalListsLinesInRemovalOrder)
{
    Ask(true, true, false);
    const auto declined = testsupport::RunUiDriver(
        {L"press:1035:1045", Confirm(L"no"), L"sleep:300", L"nomsgbox", L"visible:1035", L"hidden:152"});
    EXPECT_EQ(declined.exitCode, 0u) << declined.report;
    EXPECT_TRUE(Calls().empty());

    const auto confirmed = testsupport::RunUiDriver({L"press:1035:1045", Confirm(L"yes"), L"hidden:1035",
                                                     L"visible:152", L"text:152:1002=Synchronization service",
                                                     L"text:152:1047=Security Server"});
    EXPECT_EQ(confirmed.exitCode, 0u) << confirmed.report;
    EXPECT_EQ(Calls(), (std::vector<std::string>{"uninstall-all", "signal"}));
}

TEST_F(SummaryWndTest, CancelStopsTheWaitingThreadAndQuits)
{
    Ask(false, false, false);
    const auto run = testsupport::RunUiDriver({L"press:1035:2"});
    EXPECT_EQ(run.exitCode, 0u) << run.report;
    EXPECT_TRUE(run.quitPosted);
    EXPECT_EQ(Calls(), (std::vector<std::string>{"request-stop", "signal", "stop:4294967295"}));
}

// Keys posted to the focused control go through the dialog manager, as the keyboard's do.
TEST_F(SummaryWndTest, KeyboardAloneInstallsFocusStartsOnTheActionAndTabSkipsWhatCannotBeUsed)
{
    Ask(false, false, false);
    const auto run = testsupport::RunUiDriver(
        {L"visible:1035", L"focus:1035=1044", L"key:1035:tab", L"focus:1035=2", L"key:1035:tab",
         L"focus:1035=1038", L"key:1035:space", L"checked:1035:1038=1", L"key:1035:space", L"checked:1035:1038=0",
         L"key:1035:space", L"checked:1035:1038=1", L"key:1035:tab", L"focus:1035=1044", L"key:1035:enter",
         L"hidden:1035", L"visible:152"});
    EXPECT_EQ(run.exitCode, 0u) << run.report;
    EXPECT_EQ(Calls(), (std::vector<std::string>{"set:2=1", "set:3=1", "set:4=1", "signal"}));
}

TEST_F(SummaryWndTest, WithNothingChangedEnterDoesNothingAndEscCancels)
{
    Ask(true, true, false);
    const auto enter = testsupport::RunUiDriver(
        {L"visible:1035", L"enabled:1035:1044=0", L"focus:1035=1038", L"key:1035:enter", L"sleep:300", L"nomsgbox",
         L"visible:1035"});
    EXPECT_EQ(enter.exitCode, 0u) << enter.report;
    EXPECT_TRUE(Calls().empty());
    // Once the box differs, Modify can be pressed; undoing it moves nothing but the box.
    const auto esc = testsupport::RunUiDriver({L"key:1035:space", L"enabled:1035:1044=1", L"key:1035:space",
                                               L"enabled:1035:1044=0", L"focus:1035=1038", L"key:1035:esc"});
    EXPECT_EQ(esc.exitCode, 0u) << esc.report;
    EXPECT_TRUE(esc.quitPosted);
    EXPECT_EQ(Calls(), (std::vector<std::string>{"request-stop", "signal", "stop:4294967295"}));
}

// An unattended run takes the choice at once, as a press of the action button with the
// boxes as they start; with nothing to press it ends as Cancel would.
TEST(SummaryWndUnattended, TheChoiceIsTakenAtOnceWithoutInput)
{
    ASSERT_TRUE(utils::CInstallContext::Instance().ParseCommandLine(L"/autoinstall"));
    struct Case
    {
        bool installed, syncInstalled, updatable;
        std::vector<std::string> calls;
        bool quit;
    };
    const Case cases[] = {
        {false, false, false, {"set:2=1", "set:3=1", "set:4=0", "signal"}, false},
        {true, true, true, {"set:2=1", "set:3=1", "set:4=1", "signal"}, false},
        {true, false, true, {"set:2=1", "set:3=1", "set:4=0", "signal"}, false},
        {true, true, false, {"request-stop", "signal", "stop:4294967295"}, true},
    };
    for (const Case& c : cases)
    {
        testsupport::FakeInstallerThread thread;
        const auto window = testsupport::ShowStatusWindow(&thread).window;
        auto data = testsupport::ServerData(c.installed, c.syncInstalled, c.updatable);
        window->RequestUserAction(data);
        bool quit = false;
        testsupport::PumpUntil([&] { return !thread.calls.empty(); }, 5000, &quit);
        testsupport::PumpUntil([] { return false; }, 200, &quit);
        std::vector<std::string> calls = data->calls;
        calls.insert(calls.end(), thread.calls.begin(), thread.calls.end());
        EXPECT_EQ(calls, c.calls) << c.installed << c.syncInstalled << c.updatable;
        EXPECT_EQ(quit, c.quit) << c.installed << c.syncInstalled << c.updatable;
        ReleaseCapture();
    }
}
}
