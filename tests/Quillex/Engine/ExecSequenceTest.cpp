#include <gtest/gtest.h>

#include "Engine/ExecObject.h"
#include "OvErrorObject.h"
#include "Ui/SilentNotifier.h"
#include "TraceCapture.h"

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

using namespace ovinst;

namespace
{
using CallLog = std::vector<std::string>;

// A notifier whose cancel request a step can raise.
class CancellableNotifier : public SilentNotifier
{
public:
    bool IsCancelled() override { return cancelled; }
    bool cancelled = false;
};

// Records its calls; can fail its exec or undo, or ask for cancel once it ran.
class Step : public IExecObject
{
public:
    enum Behaviour
    {
        Succeeds,
        ExecFails,
        UndoFails,
        RequestsCancel,
    };

    Step(std::string name, CallLog& log, Behaviour behaviour) : m_name(std::move(name)), m_log(log), m_behaviour(behaviour) {}

    void Exec(std::shared_ptr<IExecContext>&, std::unique_ptr<INotifier>& notifier) override
    {
        m_log.push_back("exec " + m_name);
        if (m_behaviour == ExecFails)
            ThrowErrorText(std::wstring(m_name.begin(), m_name.end()) + L" failed");
        if (m_behaviour == RequestsCancel)
            static_cast<CancellableNotifier&>(*notifier).cancelled = true;
    }

    void Undo(std::shared_ptr<IExecContext>&, std::unique_ptr<INotifier>&) override
    {
        m_log.push_back("undo " + m_name);
        if (m_behaviour == UndoFails)
            ThrowErrorText(std::wstring(m_name.begin(), m_name.end()) + L" undo failed");
    }

private:
    std::string m_name;
    CallLog& m_log;
    Behaviour m_behaviour;
};

// What leaves the outermost Exec.
enum class Outcome
{
    Completes,
    Fails,     // a COvError whose description is `error`
    Aborted,   // utils::AbortInstallException
};

struct SequenceCase
{
    const char* name;
    // Builds the outermost sequence, recording into the log.
    std::function<ExecObjectPtr(CallLog&)> build;
    CallLog expected;
    Outcome outcome;
    const wchar_t* error = L"";
};

ExecObjectPtr S(std::string name, CallLog& log, Step::Behaviour behaviour = Step::Succeeds)
{
    return std::make_shared<Step>(std::move(name), log, behaviour);
}

ExecObjectPtr Seq(ExecObjectList steps)
{
    return std::make_shared<ExecSequence>(std::move(steps));
}

ExecObjectPtr NonCritical(ExecObjectPtr inner)
{
    return std::make_shared<NonCriticalObject>(std::move(inner));
}

const SequenceCase kSequenceCases[] = {
    {"Empty", [](CallLog&) { return Seq({}); }, {}, Outcome::Completes},
    {"AllSucceed",
     [](CallLog& l) { return Seq({S("A", l), S("B", l), S("C", l)}); },
     {"exec A", "exec B", "exec C"},
     Outcome::Completes},
    {"ThirdFailsUndoesSecondThenFirst",
     [](CallLog& l) { return Seq({S("A", l), S("B", l), S("C", l, Step::ExecFails)}); },
     {"exec A", "exec B", "exec C", "undo B", "undo A"},
     Outcome::Fails,
     L"C failed"},
    {"FailingUndoStopsTheUndo",
     [](CallLog& l) { return Seq({S("A", l), S("B", l, Step::UndoFails), S("C", l, Step::ExecFails)}); },
     {"exec A", "exec B", "exec C", "undo B"},
     Outcome::Fails,
     L"C failed"},
    {"CancelBeforeSecondStep",
     [](CallLog& l) { return Seq({S("A", l, Step::RequestsCancel), S("B", l), S("C", l)}); },
     {"exec A", "undo A"},
     Outcome::Aborted},
    {"NonCriticalFailureIsPassedOver",
     [](CallLog& l) { return Seq({S("A", l), NonCritical(S("B", l, Step::ExecFails)), S("C", l)}); },
     {"exec A", "exec B", "exec C"},
     Outcome::Completes},
    {"NonCriticalStepIsUndoneWhenItCompleted",
     [](CallLog& l) { return Seq({S("A", l), NonCritical(S("B", l)), S("C", l, Step::ExecFails)}); },
     {"exec A", "exec B", "exec C", "undo B", "undo A"},
     Outcome::Fails,
     L"C failed"},
    // A wrapped step that failed never completed: undoing it could fail and stop the undo
    // of the steps before it.
    {"NonCriticalStepThatFailedIsNotUndone",
     [](CallLog& l) { return Seq({S("A", l), NonCritical(S("B", l, Step::ExecFails)), S("C", l, Step::ExecFails)}); },
     {"exec A", "exec B", "exec C", "undo A"},
     Outcome::Fails,
     L"C failed"},
    {"NonCriticalUndoFailureStopsTheUndo",
     [](CallLog& l) { return Seq({S("A", l), NonCritical(S("B", l, Step::UndoFails)), S("C", l, Step::ExecFails)}); },
     {"exec A", "exec B", "exec C", "undo B"},
     Outcome::Fails,
     L"C failed"},
    {"NestedLastStepFails",
     [](CallLog& l) { return Seq({S("A", l), Seq({S("B", l), S("C", l)}), S("D", l, Step::ExecFails)}); },
     {"exec A", "exec B", "exec C", "exec D", "undo C", "undo B", "undo A"},
     Outcome::Fails,
     L"D failed"},
    {"NestedInnerFailsUndoesItselfThenOuter",
     [](CallLog& l) { return Seq({S("A", l), Seq({S("B", l), S("C", l, Step::ExecFails)}), S("D", l)}); },
     {"exec A", "exec B", "exec C", "undo B", "undo A"},
     Outcome::Fails,
     L"C failed"},
    {"CancelInsideInnerSequence",
     [](CallLog& l) { return Seq({S("A", l), Seq({S("B", l, Step::RequestsCancel), S("C", l)}), S("D", l)}); },
     {"exec A", "exec B", "undo B", "undo A"},
     Outcome::Aborted},
};

class ExecSequenceTest : public testing::TestWithParam<SequenceCase>
{
protected:
    std::shared_ptr<IExecContext> context;
    std::unique_ptr<INotifier> notifier = std::make_unique<CancellableNotifier>();
};

TEST_P(ExecSequenceTest, CallsInExactOrder)
{
    const SequenceCase& c = GetParam();
    CallLog log;
    ExecObjectPtr sequence = c.build(log);

    Outcome outcome = Outcome::Completes;
    std::wstring error;
    try
    {
        sequence->Exec(context, notifier);
    }
    catch (OvBase::COvError& e)
    {
        outcome = Outcome::Fails;
        error = e.GetDescription();
    }
    catch (utils::AbortInstallException&)
    {
        outcome = Outcome::Aborted;
    }

    EXPECT_EQ(log, c.expected);
    EXPECT_EQ(outcome, c.outcome);
    EXPECT_EQ(error, c.error);
}

INSTANTIATE_TEST_SUITE_P(Scenarios, ExecSequenceTest, testing::ValuesIn(kSequenceCases),
                         [](const testing::TestParamInfo<SequenceCase>& info) { return info.param.name; });

TEST(ExecSequence, UndoAfterSuccessUndoesEachStepOnceNewestFirst)
{
    CallLog log;
    std::shared_ptr<IExecContext> context;
    std::unique_ptr<INotifier> notifier = std::make_unique<CancellableNotifier>();
    ExecObjectPtr sequence = Seq({S("A", log), Seq({S("B", log), S("C", log)}), S("D", log)});

    sequence->Exec(context, notifier);
    sequence->Undo(context, notifier);
    sequence->Undo(context, notifier);

    EXPECT_EQ(log, (CallLog{"exec A", "exec B", "exec C", "exec D", "undo D", "undo C", "undo B", "undo A"}));
}

TEST(ExecSequence, FailureOfAnyTypePropagatesUnchanged)
{
    struct Thrower : IExecObject
    {
        void Exec(std::shared_ptr<IExecContext>&, std::unique_ptr<INotifier>&) override { throw 42; }
        void Undo(std::shared_ptr<IExecContext>&, std::unique_ptr<INotifier>&) override {}
    };
    CallLog log;
    std::shared_ptr<IExecContext> context;
    std::unique_ptr<INotifier> notifier = std::make_unique<CancellableNotifier>();
    ExecObjectPtr sequence = Seq({S("A", log), std::make_shared<Thrower>()});

    try
    {
        sequence->Exec(context, notifier);
        FAIL() << "no exception";
    }
    catch (int value)
    {
        EXPECT_EQ(value, 42);
    }
    EXPECT_EQ(log, (CallLog{"exec A", "undo A"}));

    ExecObjectPtr standard = Seq({NonCritical(std::make_shared<Thrower>()), S("B", log)});
    EXPECT_NO_THROW(standard->Exec(context, notifier));
}

TEST(NonCriticalObject, FailureIsLoggedWithItsPrefix)
{
    testsupport::TraceCapture trace;
    CallLog log;
    std::shared_ptr<IExecContext> context;
    std::unique_ptr<INotifier> notifier = std::make_unique<CancellableNotifier>();
    ExecObjectPtr step = NonCritical(S("Sync", log, Step::ExecFails));

    EXPECT_NO_THROW(step->Exec(context, notifier));
    EXPECT_TRUE(trace.ContainsText(L"NonCriticalObject exec:  COvError Exception:"));
    EXPECT_TRUE(trace.ContainsText(L"Sync failed"));
}
}
