#include <gtest/gtest.h>

#include "Ui/SilentNotifier.h"
#include "TraceCapture.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <functional>

using namespace ovinst;

namespace
{
BOOL CALLBACK CountWindow(HWND, LPARAM count)
{
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

TEST(SilentNotifier, ShowsAndTracesNothingAndAcceptsAnyPackageIdentifier)
{
    testsupport::TraceCapture trace;
    SilentNotifier notifier;
    for (const int id : {0, 2, 5, -1, 6, 1000})
    {
        SCOPED_TRACE(id);
        EXPECT_NO_THROW({
            notifier.ShowStatusWindow();
            notifier.HideStatusWindow();
            notifier.ActionStartWithText(id, L"text");
            notifier.ActionStart(id);
            notifier.ActionEndWithText(id, L"text");
            notifier.ActionEnd(id);
            notifier.ActionError(id);
            notifier.EnableCancel(id % 2 == 0);
            notifier.ShowMessage(L"text");
            notifier.InstallationFinished();
            notifier.CloseWindow();
            notifier.RequestUserAction(nullptr);
        });
    }
    int windows = 0;
    EnumThreadWindows(GetCurrentThreadId(), CountWindow, reinterpret_cast<LPARAM>(&windows));
    EXPECT_EQ(windows, 0);
    EXPECT_EQ(trace.Lines(), std::vector<std::wstring>{});
}

TEST(SilentNotifier, StateQueriesStayFalse)
{
    SilentNotifier notifier;
    notifier.ActionError(2);
    notifier.SetRebootRequired();
    EXPECT_FALSE(notifier.HasErrors());
    EXPECT_FALSE(notifier.IsRebootRequired());
    EXPECT_FALSE(notifier.IsCancelled());
}

TEST(SilentNotifier, RebootCountdownGoesAheadAtOnce)
{
    SilentNotifier notifier;
    for (const short seconds : {short(0), short(-5), short(30), short(32767)})
    {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(notifier.RebootCountdown(seconds)) << seconds;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500)) << seconds;
    }
}

struct QuestionCase
{
    const char* name;
    std::function<bool(INotifier&, const std::wstring&, bool)> ask;
};

class SilentQuestionTest : public testing::TestWithParam<QuestionCase>
{
};

// Every question takes its silent answer, and the trace shows the question and the answer.
TEST_P(SilentQuestionTest, TakesTheSilentAnswerAndTracesIt)
{
    testsupport::TraceCapture trace;
    SilentNotifier notifier;
    const std::wstring yesQuestion = L"Switch UAC off? 100% sure (%s)";
    const std::wstring noQuestion = L"\u041f\u0440\u043e\u0434\u043e\u043b\u0436\u0438\u0442\u044c?";

    EXPECT_TRUE(GetParam().ask(notifier, yesQuestion, true));
    EXPECT_FALSE(GetParam().ask(notifier, noQuestion, false));

    const std::vector<std::wstring> lines = trace.Lines();
    const auto yes = std::find(lines.begin(), lines.end(), L"Message: " + yesQuestion);
    ASSERT_NE(yes, lines.end());
    ASSERT_NE(yes + 1, lines.end());
    EXPECT_EQ(*(yes + 1), L"Silent answer: Yes");
    const auto no = std::find(lines.begin(), lines.end(), L"Message: " + noQuestion);
    ASSERT_NE(no, lines.end());
    ASSERT_NE(no + 1, lines.end());
    EXPECT_EQ(*(no + 1), L"Silent answer: No");
}

INSTANTIATE_TEST_SUITE_P(
    Questions, SilentQuestionTest,
    testing::Values(
        QuestionCase{"AskUserIgnoresTheIcon", [](INotifier& n, const std::wstring& m, bool a) { return n.AskUser(m, a, MB_ICONERROR); }},
        QuestionCase{"AskUserWithoutIcon", [](INotifier& n, const std::wstring& m, bool a) { return n.AskUser(m, a, 0); }},
        QuestionCase{"AskUserWarning", [](INotifier& n, const std::wstring& m, bool a) { return n.AskUserWarning(m, a); }},
        QuestionCase{"AskUserQuestion", [](INotifier& n, const std::wstring& m, bool a) { return n.AskUserQuestion(m, a); }}),
    [](const testing::TestParamInfo<QuestionCase>& info) { return info.param.name; });

// The reason of a refusal must survive an unattended run.
TEST(SilentNotifier, InformUserKeepsTheMessageInTheTrace)
{
    testsupport::TraceCapture trace;
    SilentNotifier notifier;
    notifier.InformUser(L"Not enough free disk space on C:\\ (needs 2 GB, 5% left).");
    EXPECT_TRUE(trace.Contains(L"Message: Not enough free disk space on C:\\ (needs 2 GB, 5% left)."));
}
}
