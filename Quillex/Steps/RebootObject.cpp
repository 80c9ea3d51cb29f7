#include "RebootObject.h"

#include "Engine/InstallContext.h"
#include "Trace.h"

namespace ovinst
{
RebootObject::RebootObject() : m_countdownSeconds(120)
{
    OvBase::TraceLine(OvBase::TraceInfo, L"RebootObject created");
}

RebootObject::~RebootObject() = default;

void RebootObject::Exec(std::shared_ptr<IExecContext>&, std::unique_ptr<INotifier>& notifier)
{
    OvBase::CFuncTraceContext trace(L"ovinst::RebootObject::Exec", OV_WFILE, __LINE__);
    utils::CInstallContext& context = utils::CInstallContext::Instance();
    const bool required = notifier->IsRebootRequired();
    if (required && notifier->RebootCountdown(m_countdownSeconds))
    {
        trace.Trace(OvBase::TraceInfo, L"[ovinst::RebootObject::Exec]Setting restart on exit");
        context.SetRestartOnExit(true);
        notifier->CloseWindow();
        return;
    }
    trace.Trace(OvBase::TraceInfo, L"Restart countdown not needed / cancelled ");
    // A silent run knows the need only through the context: it never counts down.
    if (required || context.IsRestartNeeded())
    {
        trace.Trace(OvBase::TraceInfo, L"A restart is needed and was not carried out");
        context.SetRestartPending(true);
    }
    notifier->InstallationFinished();
}

void RebootObject::Undo(std::shared_ptr<IExecContext>&, std::unique_ptr<INotifier>&)
{
}
}
