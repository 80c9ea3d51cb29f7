#include "ExecObject.h"

#include "OvErrorObject.h"
#include "Trace.h"

namespace ovinst
{
ExecSequence::ExecSequence(ExecObjectList steps) : m_steps(std::move(steps))
{
    // Recording a completed step must not fail for want of memory, or it would not be undone.
    m_done.reserve(m_steps.size());
}

ExecSequence::~ExecSequence() = default;

void ExecSequence::Exec(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier)
{
    OV_TRACE_FUNCTION();
    try
    {
        for (const ExecObjectPtr& step : m_steps)
        {
            // Cancel is only noticed between steps, never during one.
            if (notifier->IsCancelled())
                throw utils::AbortInstallException();
            step->Exec(context, notifier);
            m_done.push_back(step);
        }
    }
    catch (...)
    {
        utils::LogException(std::current_exception(), L"");
        Undo(context, notifier);
        throw;
    }
}

void ExecSequence::Undo(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier)
{
    OV_TRACE_FUNCTION();
    try
    {
        while (!m_done.empty())
        {
            // Removed only once undone: a step whose undo failed stays in the done list.
            m_done.back()->Undo(context, notifier);
            m_done.pop_back();
        }
    }
    catch (...)
    {
        // The steps before a failed undo stay in place: undoing them on top of a
        // half-undone later step could break more than it repairs.
        utils::LogException(std::current_exception(), L"");
    }
}

NonCriticalObject::NonCriticalObject(ExecObjectPtr inner) : m_inner(std::move(inner))
{
}

NonCriticalObject::~NonCriticalObject() = default;

void NonCriticalObject::Exec(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier)
{
    OV_TRACE_FUNCTION();
    try
    {
        m_inner->Exec(context, notifier);
        m_innerDone = true;
    }
    catch (...)
    {
        utils::LogException(std::current_exception(), L"NonCriticalObject exec: ");
    }
}

void NonCriticalObject::Undo(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier)
{
    OV_TRACE_FUNCTION();
    if (!m_innerDone)
    {
        OV_TRACE(OvBase::TraceInfo, L"Inner step did not complete, nothing to undo");
        return;
    }
    m_inner->Undo(context, notifier);
    m_innerDone = false;
}
}
