// What the windows may do with the running installer thread: hand it the user's decision
// or stop it. The thread itself lives in Startup; the windows see only this.
#pragma once

#include <windows.h>

namespace ovinst
{
class IInstallerThread
{
public:
    virtual ~IInstallerThread() = default;
    // Releases the thread's wait for the user's choice.
    virtual void SignalUserAction() = 0;
    // Raises the stop request without waiting; the thread sees it before its next step.
    virtual void RequestStop() = 0;
    // Raises the stop request and waits, dispatching window messages, until the thread
    // has ended; terminates it when the time runs out.
    virtual void Stop(DWORD milliseconds) = 0;
};
}
