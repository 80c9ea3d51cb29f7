#include <gtest/gtest.h>

#include <optional>

#include "Engine/InstallContext.h"
#include "MachineKeyBackup.h"
#include "RecordingNotifier.h"
#include "Ui/SilentNotifier.h"
#include "Steps/EnableUacObject.h"
#include "Steps/RebootObject.h"
#include "Steps/WaitObject.h"
#include "SystemApi.h"
#include "TraceCapture.h"
#include "TraceTestSupport.h"

using namespace ovinst;

namespace
{
std::vector<DWORD> g_sleeps;
testsupport::RecordingNotifier* g_pressCancel = nullptr;

// Returns at once; Cancel pressed "during" the wait when a notifier is set.
void WINAPI RecordSleep(DWORD milliseconds)
{
    g_sleeps.push_back(milliseconds);
    if (g_pressCancel)
        g_pressCancel->cancelled = true;
}

class StepRun
{
public:
    StepRun() : m_recorder(new testsupport::RecordingNotifier), m_notifier(m_recorder) {}
    testsupport::RecordingNotifier& Notifier() { return *m_recorder; }
    void Exec(IExecObject& step) { step.Exec(m_context, m_notifier); }
    std::unique_ptr<INotifier>& NotifierPtr() { return m_notifier; }
    std::shared_ptr<IExecContext>& Context() { return m_context; }

private:
    testsupport::RecordingNotifier* m_recorder;
    std::unique_ptr<INotifier> m_notifier;
    std::shared_ptr<IExecContext> m_context;
};

// Records that it ran.
class MarkerStep : public IExecObject
{
public:
    void Exec(std::shared_ptr<IExecContext>&, std::unique_ptr<INotifier>&) override { ran = true; }
    void Undo(std::shared_ptr<IExecContext>&, std::unique_ptr<INotifier>&) override {}
    bool ran = false;
};
}

TEST(WaitObject, WaitsTenSecondsOnTheAnalysisLine)
{
    g_sleeps.clear();
    instutils::CSystemApiOverride api;
    api->Sleep = RecordSleep;
    testsupport::TraceCapture log;
    StepRun run;
    WaitObject step;
    run.Exec(step);
    EXPECT_EQ(g_sleeps, std::vector<DWORD>{10000});
    EXPECT_EQ(run.Notifier().calls, (std::vector<std::wstring>{L"ActionStart 0", L"ActionEnd 0"}));
    EXPECT_TRUE(log.Contains(L"Give the opportunity to cancel the deletion for 10 seconds"));
}

// Cancel during the wait: the step ends normally, the sequence stops before the next step.
TEST(WaitObject, CancelDuringTheWaitStopsTheRunAfterIt)
{
    g_sleeps.clear();
    instutils::CSystemApiOverride api;
    api->Sleep = RecordSleep;
    StepRun run;
    g_pressCancel = &run.Notifier();
    auto marker = std::make_shared<MarkerStep>();
    ExecSequence sequence({std::make_shared<WaitObject>(), marker});
    EXPECT_THROW(sequence.Exec(run.Context(), run.NotifierPtr()), utils::AbortInstallException);
    g_pressCancel = nullptr;
    EXPECT_EQ(run.Notifier().calls, (std::vector<std::wstring>{L"ActionStart 0", L"ActionEnd 0"}));
    EXPECT_FALSE(marker->ran);
}

TEST(RebootObject, RestartFlagOnlyWhenTheCountdownRunsOut)
{
    struct Case
    {
        const char* name;
        bool required;
        bool runsOut;
        std::vector<std::wstring> calls;
        bool flag;
        const wchar_t* line;
    };
    const Case cases[] = {
        {"runs out", true, true, {L"RebootCountdown 120", L"CloseWindow"}, true,
         L"[ovinst::RebootObject::Exec]Setting restart on exit"},
        {"cancelled", true, false, {L"RebootCountdown 120", L"InstallationFinished"}, false,
         L"Restart countdown not needed / cancelled "},
        // No countdown at all when nothing needs a restart.
        {"not required", false, true, {L"InstallationFinished"}, false, L"Restart countdown not needed / cancelled "},
    };
    for (const Case& c : cases)
    {
        utils::CInstallContext::Instance().SetRestartOnExit(false);
        testsupport::TraceCapture log;
        StepRun run;
        run.Notifier().rebootRequired = c.required;
        run.Notifier().countdownRunsOut = c.runsOut;
        RebootObject step;
        run.Exec(step);
        EXPECT_EQ(run.Notifier().calls, c.calls) << c.name;
        EXPECT_EQ(utils::CInstallContext::Instance().IsRestartOnExit(), c.flag) << c.name;
        EXPECT_TRUE(log.Contains(c.line)) << c.name;
    }
    utils::CInstallContext::Instance().SetRestartOnExit(false);
}

// A silent run never asks for a restart.
TEST(RebootObject, SilentRunArrangesNoRestart)
{
    std::unique_ptr<INotifier> notifier(new SilentNotifier);
    std::shared_ptr<IExecContext> context;
    RebootObject step;
    step.Exec(context, notifier);
    EXPECT_FALSE(utils::CInstallContext::Instance().IsRestartOnExit());
}

// The end of a successful run that needs a restart and does not carry it out: the fact the
// exit code of /restartexitcode rests on. A silent run knows the need only through the
// install context, which its notifier fills.
TEST(RebootObject, RestartLeftUndoneIsPending)
{
    struct Case
    {
        const char* name;
        bool silent;
        bool required;
        bool runsOut;
        bool pending;
        bool restart;
    };
    const Case cases[] = {
        {"countdown runs out", false, true, true, false, true},
        {"countdown cancelled", false, true, false, true, false},
        {"nothing changed", false, false, true, false, false},
        {"silent, a package changed", true, true, true, true, false},
        {"silent, nothing changed", true, false, true, false, false},
    };
    utils::CInstallContext& context = utils::CInstallContext::Instance();
    for (const Case& c : cases)
    {
        context.SetRestartOnExit(false);
        context.SetRestartNeeded(false);
        context.SetRestartPending(false);
        testsupport::TraceCapture log;
        StepRun run;
        std::unique_ptr<INotifier> silent(new SilentNotifier);
        std::unique_ptr<INotifier>& notifier = c.silent ? silent : run.NotifierPtr();
        run.Notifier().countdownRunsOut = c.runsOut;
        if (c.required)
            notifier->SetRebootRequired();
        RebootObject step;
        step.Exec(run.Context(), notifier);
        EXPECT_EQ(context.IsRestartPending(), c.pending) << c.name;
        EXPECT_EQ(context.IsRestartOnExit(), c.restart) << c.name;
        EXPECT_EQ(log.Contains(L"A restart is needed and was not carried out"), c.pending) << c.name;
    }
    context.SetRestartOnExit(false);
    context.SetRestartNeeded(false);
    context.SetRestartPending(false);
}

namespace
{
const wchar_t kPolicy[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
const wchar_t kBackup[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\OvBackup";

DWORD LiveEnableLua()
{
    DWORD type = 0;
    std::vector<BYTE> data;
    testsupport::GetMachineValue(kPolicy, L"EnableLUA", type, data);
    return data.size() == 4 ? *reinterpret_cast<const DWORD*>(data.data()) : 0xFFFFFFFF;
}
}

// UAC stays off after a failed run, and comes back otherwise (also in a silent run).
TEST(EnableUacObject, RestoresUnlessAStepFailed)
{
    ovtest::CHklmKeyBackup policy{kPolicy};
    for (bool failed : {true, false})
    {
        ovtest::SetHklmDword(kPolicy, L"EnableLUA", 0);
        ovtest::SetHklmDword(kBackup, L"EnableLUA", 1);
        testsupport::TraceCapture log;
        StepRun run;
        run.Notifier().hasErrors = failed;
        EnableUacObject step;
        run.Exec(step);
        EXPECT_EQ(LiveEnableLua(), failed ? 0u : 1u);
        EXPECT_EQ(ovtest::HklmKeyExists(kBackup), failed);
        EXPECT_TRUE(log.Contains(L"Restoring UAC..."));
        EXPECT_TRUE(log.Contains(failed ? L"There were errors during the installation, UAC is not restored"
                                        : L"UAC restored"));
    }
    ovtest::SetHklmDword(kPolicy, L"EnableLUA", 0);
    ovtest::SetHklmDword(kBackup, L"EnableLUA", 1);
    std::unique_ptr<INotifier> silent(new SilentNotifier);
    std::shared_ptr<IExecContext> context;
    EnableUacObject().Exec(context, silent);
    EXPECT_EQ(LiveEnableLua(), 1u);
}
