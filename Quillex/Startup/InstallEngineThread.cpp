#include "Startup/InstallEngineThread.h"

#include "AbortInstallException.h"
#include "Engine/ExecContext.h"
#include "Engine/IActionTable.h"
#include "Engine/IInstallData.h"
#include "Engine/INotifier.h"
#include "Engine/InstallContext.h"
#include "Engine/ShownError.h"
#include "InstalledComponents.h"
#include "OvErrorObject.h"
#include "RegLocale.h"
#include "ResString.h"
#include "SehCatcher.h"
#include "Trace.h"
#include "Ui/IStatusCallback.h"
#include "res/resource.h"

#include <vector>

namespace
{
// Windows Installer's code for a fatal error: the run's code for a failure without one.
const DWORD kFatalError = 1603;
}

namespace ovinst
{
InstallEngineThread::InstallEngineThread(InstallerType type, const std::shared_ptr<IStatusCallback>& window,
                                         const FactoryMaker& makeFactory)
    : m_userAction(true)
{
    Init(type, window, makeFactory);
    m_userAction.Create_Ex(false, nullptr, nullptr);
    m_userAction.Reset();
}

InstallEngineThread::~InstallEngineThread()
{
    OV_TRACE_FUNCTION();
    // The worker uses the notifier and the factory until it ends: it must be gone before
    // they are released (the base class would wait only after they are).
    if (IsValid())
        CWin32Thread::Stop(INFINITE);
    OV_TRACE(OvBase::TraceInfo, L"Cleaning up the registry");
    try
    {
        if (!AnyComponentInstalled())
            instutils::RegLocale::Remove();
    }
    catch (...)
    {
        utils::LogException(std::current_exception(), L"InstallEngineThread::~InstallEngineThread");
    }
    m_notifier.reset();
    m_factory.reset();
}

void InstallEngineThread::Init(InstallerType type, const std::shared_ptr<IStatusCallback>& window,
                               const FactoryMaker& makeFactory)
{
    OV_TRACE_FUNCTION();
    bool silent = !window;
    OV_TRACE(OvBase::TraceInfo, L"Detected mode is %s", silent ? L"silent" : L"not silent");
    std::wstring title = GetTitle(type);
    if (makeFactory)
        m_factory = makeFactory(type, silent);
    if (!m_factory)
        ThrowErrorText(L"No factory for the installer type");
    std::shared_ptr<IActionTable> table;
    m_factory->CreateActionTable(type, window, table);
    if (!silent)
    {
        window->Initialize(title, this, table);
        window->ShowStatus(SW_SHOW);
    }
    OV_TRACE(OvBase::TraceInfo, L"Creating Notifier");
    m_factory->CreateNotifier(window, table, [this] { return IsStopRequested(); }, m_notifier);
    if (!m_notifier)
        ThrowErrorText(L"The factory made no notifier");
}

std::wstring InstallEngineThread::GetTitle(int type)
{
    std::wstring text = L"Orvane Studio - ";
    if (type == Console)
        text += utils::LoadResString(IDS_CONTROL_CENTER);
    else if (type == Server)
        text += utils::LoadResString(IDS_SECURITY_SERVER);
    else
        ThrowErrorText(L"InstallEngineThread::GetTitleUnsupported InstallerType");
    std::wstring format = utils::LoadResString(IDS_INSTALL_TITLE);
    std::vector<wchar_t> title(format.size() + text.size() + 1);
    _snwprintf(title.data(), title.size(), format.c_str(), text.c_str());
    title.back() = L'\0';
    return title.data();
}

DWORD InstallEngineThread::ThreadMain()
{
    OV_TRACE_FUNCTION();
    try
    {
        // Every step runs on this thread: a fault in one ends the run like any error.
        OvBase::CSehCatcher catcher;
        m_notifier->ActionStart(0);
        OV_TRACE(OvBase::TraceInfo, L"Creating Install Data object");
        utils::CInstallContext& context = utils::CInstallContext::Instance();
        std::shared_ptr<IInstallData> installData;
        m_factory->CreateInstallData(context.GetDistributionFolder(), context.GetMsiOption(), installData);
        m_notifier->ActionEnd(0);

        ExecObjectPtr preInstall;
        m_factory->CreatePreInstallSequence(installData, preInstall);
        OV_TRACE(OvBase::TraceInfo, L"Performing pre install sequence");
        std::shared_ptr<IExecContext> noContext;
        preInstall->Exec(noContext, m_notifier);

        if (installData->IsUserActionNeeded())
        {
            OV_TRACE(OvBase::TraceInfo, L"Waiting for user action");
            m_notifier->RequestUserAction(installData);
            WaitForUserAction();
        }

        OV_TRACE(OvBase::TraceInfo, L"Performing install sequence");
        ExecObjectPtr install;
        m_factory->CreateInstallSequence(installData, install);
        int mode = installData->GetUIMode();
        std::shared_ptr<ExecContext> execContext;
        m_factory->CreateExecContext(mode, execContext);
        std::shared_ptr<IExecContext> runContext = execContext;
        install->Exec(runContext, m_notifier);
        OV_TRACE(OvBase::TraceInfo, L"Installing thread finished");
        return 0;
    }
    catch (OvBase::COvError& error)
    {
        OV_TRACE(OvBase::TraceWarning, L"%s", error.GetDump());
        m_notifier->EnableCancel(true);
        // A step that showed its failure (a prerequisite installer's) has told the user already.
        if (!WasShownToUser(error))
            m_notifier->InformUser(error.GetDescription());
        // An error without a code is still a failure, never the success code 0.
        m_failureCode = error.GetCode() != 0 ? error.GetCode() : kFatalError;
        return m_failureCode;
    }
    catch (...)
    {
        m_notifier->EnableCancel(true);
        // A step that failed and told the user stops the run this way too: that is a
        // failure, not a run the user abandoned.
        if (m_notifier->HasErrors())
            m_failureCode = kFatalError;
        return kFatalError;
    }
}

void InstallEngineThread::WaitForUserAction()
{
    OV_TRACE_FUNCTION();
    // The stop event wakes the wait as well: a stop without a user signal (the window
    // closed, the entry point quitting) must not leave the thread asleep for ever.
    HANDLE handles[] = {m_userAction.GetHandle(), GetStopEvent().GetHandle()};
    WaitForMultipleObjects(2, handles, FALSE, INFINITE);
    m_userAction.Reset();
    if (IsStopRequested())
        throw utils::AbortInstallException();
}

void InstallEngineThread::SignalUserAction()
{
    m_userAction.Set();
}

void InstallEngineThread::RequestStop()
{
    GetStopEvent().Set();
}

void InstallEngineThread::Stop(DWORD milliseconds)
{
    CWin32Thread::Stop(milliseconds);
}
}
