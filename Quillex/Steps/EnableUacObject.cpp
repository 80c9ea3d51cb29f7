#include "EnableUacObject.h"

#include "Trace.h"
#include "UacManager.h"

namespace ovinst
{
EnableUacObject::EnableUacObject()
{
    OvBase::TraceLine(OvBase::TraceInfo, L"EnableUacObject created");
}

EnableUacObject::~EnableUacObject() = default;

void EnableUacObject::Exec(std::shared_ptr<IExecContext>&, std::unique_ptr<INotifier>& notifier)
{
    OvBase::CFuncTraceContext trace(L"ovinst::EnableUacObject::Exec", OV_WFILE, __LINE__);
    trace.Trace(OvBase::TraceInfo, L"Restoring UAC...");
    CUacManager uac;
    // UAC stays off after a failure, so that the setup can be run again without a restart.
    if (notifier->HasErrors())
    {
        trace.Trace(OvBase::TraceInfo, L"There were errors during the installation, UAC is not restored");
        return;
    }
    uac.Restore();
    trace.Trace(OvBase::TraceInfo, L"UAC restored");
}

void EnableUacObject::Undo(std::shared_ptr<IExecContext>&, std::unique_ptr<INotifier>&)
{
}
}
