// The worker thread that drives one run: install data, pre-install sequence, the user's
// choice, install sequence, exit code.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>

#include "Engine/IInstallerThread.h"
#include "Engine/InstallerType.h"
#include "Startup/IFactory.h"
#include "Win32Objects.h"

namespace ovinst
{
class INotifier;
class IStatusCallback;

class InstallEngineThread : public OvBase::CWin32Thread, public IInstallerThread
{
public:
    // An empty window means a silent run. The factory comes from makeFactory, so that a
    // run can be driven with another one.
    InstallEngineThread(InstallerType type, const std::shared_ptr<IStatusCallback>& window,
                        const FactoryMaker& makeFactory);
    ~InstallEngineThread() override;

    static std::wstring GetTitle(int type);

    DWORD ThreadProc() override { return ThreadMain(); }
    DWORD ThreadMain();
    // Blocks until the user has decided; throws the abort when a stop was requested.
    void WaitForUserAction();

    void SignalUserAction() override;
    void RequestStop() override;
    void Stop(DWORD milliseconds) override;

    // The code of the error that ended the run once the thread is about to end; 0 while it
    // runs and after a success or an abandoned run.
    DWORD FailureCode() const { return m_failureCode; }

private:
    void Init(InstallerType type, const std::shared_ptr<IStatusCallback>& window, const FactoryMaker& makeFactory);

    OvBase::CWin32Event m_userAction;
    std::shared_ptr<IFactory> m_factory;
    std::unique_ptr<INotifier> m_notifier;
    std::atomic<DWORD> m_failureCode{0};
};
}
