#include "WaitObject.h"

#include "OvErrorObject.h"
#include "SystemApi.h"
#include "Trace.h"

namespace ovinst
{
WaitObject::WaitObject()
{
    OvBase::TraceLine(OvBase::TraceInfo, L"WaitObject created");
}

WaitObject::~WaitObject() = default;

void WaitObject::Exec(std::shared_ptr<IExecContext>&, std::unique_ptr<INotifier>& notifier)
{
    OvBase::CFuncTraceContext trace(L"ovinst::WaitObject::Exec", OV_WFILE, __LINE__);
    try
    {
        trace.Trace(OvBase::TraceInfo, L"Give the opportunity to cancel the deletion for 10 seconds");
        notifier->ActionStart(0);
        // Not interrupted: the sequence sees a Cancel pressed meanwhile before its next step.
        instutils::SystemApi().Sleep(10000);
        notifier->ActionEnd(0);
    }
    catch (...)
    {
        utils::LogException(std::current_exception(), L"ovinst::WaitObject::Exec");
        notifier->ActionError(0);
        throw;
    }
}

void WaitObject::Undo(std::shared_ptr<IExecContext>&, std::unique_ptr<INotifier>&)
{
}
}
