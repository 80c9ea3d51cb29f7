#include <gtest/gtest.h>

#include "Engine/ActionTable.h"
#include "Engine/InstallContext.h"
#include "MessageSink.h"
#include "OvErrorObject.h"

#include <chrono>
#include <functional>
#include <thread>

using namespace ovinst;
using testsupport::MessageSink;
using testsupport::PostedMessage;

namespace
{
// The status window's message number is shared with the window code: pin the value.
constexpr UINT kTableChanged = 1274;

PostedMessage Changed(int type, int change)
{
    return {kTableChanged, static_cast<WPARAM>(type), change};
}

std::vector<PostedMessage> AllTextsChanged()
{
    std::vector<PostedMessage> expected;
    for (int type = 0; type <= 4; ++type)
        expected.push_back(Changed(type, 0));
    return expected;
}

std::vector<int> Lines(IActionTable& table)
{
    std::vector<int> lines;
    table.Lock();
    for (int type = 0; type <= 4; ++type)
        lines.push_back(table.GetAction(static_cast<EActionType>(type)).line);
    table.Unlock();
    return lines;
}

struct ExpectedRecord
{
    int line;
    const wchar_t* text;
};

void ExpectRecords(IActionTable& table, const std::vector<ExpectedRecord>& expected, size_t hiddenFrom = 5)
{
    for (size_t type = 0; type < expected.size(); ++type)
    {
        SCOPED_TRACE("type " + std::to_string(type));
        const ActionRecord record = table.GetAction(static_cast<EActionType>(type));
        EXPECT_EQ(record.line, expected[type].line);
        EXPECT_EQ(record.text, expected[type].text);
        EXPECT_EQ(record.hidden, type >= hiddenFrom);
        EXPECT_FALSE(record.running);
        EXPECT_FALSE(record.failed);
    }
}

class ActionTableTest : public testing::Test
{
protected:
    MessageSink sink;
};

TEST_F(ActionTableTest, NewServerTablePostsEveryTextInKeyOrder)
{
    SecutityServerTable table(sink.Hwnd(), false);
    EXPECT_EQ(sink.Take(), AllTextsChanged());
    ExpectRecords(table, {{1, L"analyzing system"},
                          {2, L"analyzing updates"},
                          {3, L"Security Server"},
                          {4, L"Authentication server"},
                          {5, L"Synchronization service"}});
    EXPECT_EQ(table.GetCurrentLine(), 0);
}

TEST_F(ActionTableTest, NewConsoleTableHasControlCenterAndHidesTwoEmptyLines)
{
    ConsoleTable table(sink.Hwnd());
    auto expected = AllTextsChanged();
    expected.push_back(Changed(ActionAuthServer, 4));
    expected.push_back(Changed(ActionSyncService, 4));
    EXPECT_EQ(sink.Take(), expected);
    ExpectRecords(table, {{1, L"analyzing system"},
                          {2, L"analyzing updates"},
                          {3, L"Control Center"},
                          {4, L""},
                          {5, L""}},
                  3);
}

// Each operation on the Security Server's line: the status it posts, the flags it leaves
// and the current line after it.
struct OperationCase
{
    const char* name;
    std::function<void(IActionTable&)> operation;
    int status;
    bool running;
    bool failed;
    bool hidden;
    int currentLine;
};

class ActionTableOperationTest : public ActionTableTest, public testing::WithParamInterface<OperationCase>
{
};

TEST_P(ActionTableOperationTest, PostsItsStatusAndSetsTheRecord)
{
    const OperationCase& c = GetParam();
    SecutityServerTable table(sink.Hwnd(), false);
    // A running line first, so that the operations that leave the current line show it.
    table.ActionStart(ActionMainPackage);
    sink.Take();

    c.operation(table);

    EXPECT_EQ(sink.Take(), std::vector<PostedMessage>{Changed(ActionMainPackage, c.status)});
    const ActionRecord record = table.GetAction(ActionMainPackage);
    EXPECT_EQ(record.running, c.running);
    EXPECT_EQ(record.failed, c.failed);
    EXPECT_EQ(record.hidden, c.hidden);
    EXPECT_EQ(table.GetCurrentLine(), c.currentLine);
    EXPECT_EQ(record.line, 3);
}

INSTANTIATE_TEST_SUITE_P(
    Operations, ActionTableOperationTest,
    testing::Values(
        OperationCase{"Start", [](IActionTable& t) { t.ActionStart(ActionMainPackage); }, 1, true, false, false, 3},
        OperationCase{"End", [](IActionTable& t) { t.ActionEnd(ActionMainPackage); }, 2, false, false, false, 0},
        OperationCase{"Error", [](IActionTable& t) { t.Error(ActionMainPackage); }, 3, true, true, false, 0},
        OperationCase{"Hide", [](IActionTable& t) { t.Hide(ActionMainPackage); }, 4, true, false, true, 3},
        OperationCase{"Text", [](IActionTable& t) { t.ActionText(ActionMainPackage, L"x"); }, 0, true, false, false, 3}),
    [](const testing::TestParamInfo<OperationCase>& info) { return info.param.name; });

TEST_F(ActionTableTest, UpdatesLineFormatsItsTextOthersKeepTheirs)
{
    SecutityServerTable table(sink.Hwnd(), false);
    sink.Take();
    // A '%' in the given text must not be taken as a conversion.
    table.ActionText(ActionAnalyzeUpdates, L"KB2919355 100%s");
    table.ActionText(ActionAuthServer, L"Authentication server %s - Installing");
    EXPECT_EQ(table.GetAction(ActionAnalyzeUpdates).text, L"analyzing updates KB2919355 100%s");
    EXPECT_EQ(table.GetAction(ActionAuthServer).text, L"Authentication server %s - Installing");
    EXPECT_EQ(sink.Take(), (std::vector<PostedMessage>{Changed(1, 0), Changed(3, 0)}));
}

TEST_F(ActionTableTest, UninstallOrderSwapsSecurityServerAndSynchronizationLines)
{
    SecutityServerTable table(sink.Hwnd(), false);
    sink.Take();

    table.SetUninstallOrder(true);
    EXPECT_EQ(Lines(table), (std::vector<int>{1, 2, 5, 4, 3}));
    EXPECT_EQ(sink.Take(), AllTextsChanged());
    table.ActionStart(ActionMainPackage);
    EXPECT_EQ(table.GetCurrentLine(), 5);

    table.SetUninstallOrder(false);
    EXPECT_EQ(Lines(table), (std::vector<int>{1, 2, 3, 4, 5}));
}

TEST_F(ActionTableTest, ConsoleTableKeepsItsOrderAndPostsNothing)
{
    ConsoleTable table(sink.Hwnd());
    sink.Take();
    table.SetUninstallOrder(true);
    EXPECT_EQ(Lines(table), (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_TRUE(sink.Take().empty());
}

// Parses a command line into the process-wide install context for one scope.
class ScopedCommandLine
{
public:
    explicit ScopedCommandLine(const std::wstring& commandLine)
        : m_saved(utils::CInstallContext::Instance().GetCommandLine())
    {
        utils::CInstallContext::Instance().ParseCommandLine(commandLine);
    }
    ~ScopedCommandLine() { utils::CInstallContext::Instance().ParseCommandLine(m_saved); }

private:
    std::wstring m_saved;
};

TEST_F(ActionTableTest, RemovalRunStartsInRemovalOrder)
{
    {
        ScopedCommandLine removal(L"/PID:1234");
        SecutityServerTable table(sink.Hwnd());
        EXPECT_EQ(Lines(table), (std::vector<int>{1, 2, 5, 4, 3}));
    }
    // The first announcement of every line, then the one of the new order.
    std::vector<PostedMessage> expected = AllTextsChanged();
    const std::vector<PostedMessage> again = AllTextsChanged();
    expected.insert(expected.end(), again.begin(), again.end());
    EXPECT_EQ(sink.Take(), expected);

    ScopedCommandLine install(L"/autoinstall");
    SecutityServerTable table(sink.Hwnd());
    EXPECT_EQ(Lines(table), (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(sink.Take(), AllTextsChanged());
}

TEST_F(ActionTableTest, UnknownTypeThrowsAndPostsNothing)
{
    SecutityServerTable table(sink.Hwnd(), false);
    sink.Take();
    const std::function<void(EActionType)> operations[] = {
        [&](EActionType t) { table.ActionStart(t); },
        [&](EActionType t) { table.ActionEnd(t); },
        [&](EActionType t) { table.ActionText(t, L"text"); },
        [&](EActionType t) { table.Error(t); },
        [&](EActionType t) { table.Hide(t); },
        [&](EActionType t) { table.GetAction(t); },
    };
    for (const EActionType type : {static_cast<EActionType>(7), static_cast<EActionType>(5), static_cast<EActionType>(-1)})
    {
        for (size_t i = 0; i < std::size(operations); ++i)
        {
            SCOPED_TRACE("type " + std::to_string(type) + ", operation " + std::to_string(i));
            try
            {
                operations[i](type);
                ADD_FAILURE() << "no exception";
            }
            catch (OvBase::COvError& e)
            {
                EXPECT_STREQ(e.GetDescription(), L"Wrong EActionType");
                EXPECT_EQ(e.GetProperties().at(L"Function"), L"ovinst::BaseActionTable::GetAction");
            }
        }
    }
    EXPECT_TRUE(sink.Take().empty());
    EXPECT_EQ(table.GetCurrentLine(), 0);
    // The lock was released on the way out: a valid call still goes through.
    table.ActionStart(ActionAnalyzeSystem);
    EXPECT_EQ(sink.Take(), std::vector<PostedMessage>{Changed(0, 1)});
}

TEST_F(ActionTableTest, WriterWaitsWhileTheWindowHoldsTheLock)
{
    SecutityServerTable table(sink.Hwnd(), false);
    sink.Take();

    table.Lock();
    std::thread writer([&] { table.ActionStart(ActionAuthServer); });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(table.GetAction(ActionAuthServer).running);
    EXPECT_TRUE(sink.Take().empty());
    table.Unlock();
    writer.join();

    EXPECT_TRUE(table.GetAction(ActionAuthServer).running);
    EXPECT_EQ(sink.Take(), std::vector<PostedMessage>{Changed(ActionAuthServer, 1)});
}

// A window that is gone loses the messages, but the records still change: the table is
// what a window reads, so it must not fall behind the installer.
TEST(ActionTableWithoutWindow, PostingFailuresKeepTheChanges)
{
    HWND gone;
    {
        MessageSink sink;
        gone = sink.Hwnd();
    }
    ASSERT_FALSE(IsWindow(gone));
    SecutityServerTable table(gone, false);
    EXPECT_NO_THROW(table.ActionText(ActionAuthServer, L"Authentication server - Installing"));
    EXPECT_NO_THROW(table.ActionStart(ActionMainPackage));
    EXPECT_TRUE(table.GetAction(ActionMainPackage).running);
    EXPECT_EQ(table.GetCurrentLine(), 3);
    EXPECT_NO_THROW(table.Error(ActionMainPackage));
    EXPECT_TRUE(table.GetAction(ActionMainPackage).failed);
    EXPECT_EQ(table.GetCurrentLine(), 0);
    EXPECT_EQ(table.GetAction(ActionAuthServer).text, L"Authentication server - Installing");
}
}
