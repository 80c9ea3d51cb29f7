#include "Startup/SetupRun.h"

#include "AbortInstallException.h"
#include "CheckPackages.h"
#include "Engine/CmdLineParser.h"
#include "Engine/InstallContext.h"
#include "OvErrorObject.h"
#include "ResString.h"
#include "SehCatcher.h"
#include "Startup/InstallEngineThread.h"
#include "Steps/PasswordMask.h"
#include "Trace.h"
#include "TraceSettings.h"
#include "Ui/DialogWindow.h"
#include "Ui/IStatusCallback.h"
#include "res/resource.h"

namespace
{
const DWORD kFatalError = 1603;

void Log(OvBase::CFuncTraceContext& trace, const wchar_t* format, const wchar_t* text)
{
    trace.Trace(OvBase::TraceInfo, format, text);
}
}

namespace ovinst
{
int SystemMessageBox(const wchar_t* text, const wchar_t* title, UINT flags)
{
    return MessageBoxW(nullptr, text, title, flags);
}

bool IsHelpRequest(const CCmdLineParser& commandLine)
{
    return commandLine.HasKey(L"?") || commandLine.HasKey(L"help");
}

bool IsSilentCommandLine(const CCmdLineParser& commandLine)
{
    return commandLine.HasKey(L"script");
}

std::wstring MaskedCommandLine(const CCmdLineParser& commandLine)
{
    return commandLine.GetMaskedCommandLine([](const std::wstring& text) { return MaskPasswords(text); });
}

void ShowUsage(bool silent, const MessageBoxFunction& messageBox)
{
    // A silent run never opens a window, not even for its usage text.
    if (silent || !messageBox)
        return;
    std::wstring format = utils::LoadResString(IDS_INSTALL_TITLE);
    std::vector<wchar_t> title(format.size() + 16);
    _snwprintf(title.data(), title.size(), format.c_str(), L"Orvane Studio");
    title.back() = L'\0';
    messageBox(utils::LoadResString(IDS_USAGE).c_str(), title.data(), MB_OK | MB_ICONINFORMATION);
}

std::shared_ptr<IStatusCallback> CreateInstallerWindow(const RunServices& services)
{
    OV_TRACE_FUNCTION();
    if (utils::CInstallContext::Instance().IsSilent())
    {
        OV_TRACE(OvBase::TraceInfo, L"Silent mode - no window created");
        return nullptr;
    }
    OV_TRACE(OvBase::TraceInfo, L"Creating window for normal mode");
    if (!services.createWindow)
        ThrowErrorText(L"No status window for an interactive run");
    return services.createWindow();
}

bool IsDeleteMode()
{
    OV_TRACE_FUNCTION();
    const utils::CInstallContext& context = utils::CInstallContext::Instance();
    if (context.GetParentPid() != 0)
        return true;
    if (context.IsUninstall())
    {
        OV_TRACE(OvBase::TraceInfo, L"/uninstall passed via command line, mode is Uninstall");
        return true;
    }
    OV_TRACE(OvBase::TraceInfo, L"There is no parent process id passed via command line, mode is Install");
    return false;
}

std::shared_ptr<InstallEngineThread> CreateInstallerThread(const std::shared_ptr<IStatusCallback>& window,
                                                           const RunServices& services)
{
    OV_TRACE_FUNCTION();
    if (IsDeleteMode())
    {
        OV_TRACE(OvBase::TraceInfo, L"PID passed via command line, mode is Uninstall");
        return GetUninstEngineThread(window, services);
    }
    OV_TRACE(OvBase::TraceInfo, L"Setup.exe started by user");
    std::shared_ptr<InstallEngineThread> thread = GetEngineThread(window, services);
    OV_TRACE(OvBase::TraceInfo, L"Thread create %.8x", static_cast<unsigned>(reinterpret_cast<uintptr_t>(thread.get())));
    OV_TRACE(OvBase::TraceInfo, L"Thread assigned successfully");
    return thread;
}

std::shared_ptr<InstallEngineThread> GetInstallServerThread(const std::shared_ptr<IStatusCallback>& window,
                                                            const RunServices& services)
{
    OV_TRACE_FUNCTION();
    if (!utils::CheckPackages({L"SecurityServer.msi", L"AuthServer.msi", L"FederationSyncService.msi"}).CheckAll())
        return nullptr;
    return std::make_shared<InstallEngineThread>(Server, window, services.makeFactory);
}

std::shared_ptr<InstallEngineThread> GetEngineThread(const std::shared_ptr<IStatusCallback>& window,
                                                     const RunServices& services)
{
    OV_TRACE_FUNCTION();
    // The server set wins when both sets are present.
    if (std::shared_ptr<InstallEngineThread> server = GetInstallServerThread(window, services))
        return server;
    if (!utils::CheckPackages({L"ControlCenter.msi"}).CheckAll())
        ThrowErrorText(utils::LoadResString(IDS_KIT_CORRUPTED));
    return std::make_shared<InstallEngineThread>(Console, window, services.makeFactory);
}

std::shared_ptr<InstallEngineThread> GetUninstEngineThread(const std::shared_ptr<IStatusCallback>& window,
                                                           const RunServices& services)
{
    OV_TRACE_FUNCTION();
    DWORD pid = utils::CInstallContext::Instance().GetParentPid();
    // "/uninstall" alone has no parent process to wait for.
    if (pid == 0)
        return std::make_shared<InstallEngineThread>(Server, window, services.makeFactory);
    OV_TRACE(OvBase::TraceInfo, L"Get parent process id: \"%d\". Start delete authentication server.", pid);
    OV_TRACE(OvBase::TraceInfo, L"Waiting for parent process close: %d", pid);
    if (HANDLE parent = OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid))
    {
        WaitForSingleObject(parent, INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(parent, &code);
        OV_TRACE(OvBase::TraceInfo, L"Process exit code: \"%d\"", code);
        CloseHandle(parent);
    }
    return std::make_shared<InstallEngineThread>(Server, window, services.makeFactory);
}

namespace
{
// Steps 10 to 16 of a run: guard, window, thread, message loop. Returns the exit code.
DWORD RunInstaller(OvBase::CFuncTraceContext& trace, const RunServices& services)
{
    utils::CInstallContext& context = utils::CInstallContext::Instance();
    auto guard = std::make_unique<InstanceGuard>(context.IsSilent(), services.messageBox);
    std::shared_ptr<IStatusCallback> window = CreateInstallerWindow(services);
    std::shared_ptr<InstallEngineThread> thread = CreateInstallerThread(window, services);
    if (!thread->Create(thread.get(), false, nullptr))
        ThrowErrorCode(OvBase::HResultFromWin32(GetLastError()));
    trace.Trace(OvBase::TraceInfo, L"Start active directory step wath threads");

    DWORD exitCode = kFatalError;
    for (;;)
    {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        {
            if (message.message == WM_QUIT)
            {
                OutputDebugStringW(L"WM_QUIT\n");
                // A cancelled run ends with 0; but "Close" pressed after a step failed,
                // before the thread had quite ended, must not turn the failure into success.
                const DWORD code = thread->FailureCode();
                trace.Trace(OvBase::TraceInfo, L"#1 Installation has ended with code %d", code);
                thread.reset();
                window.reset();
                guard.reset();
                return code;
            }
            // Keys go through the dialog manager of whichever window has them.
            if (IsModelessDialogMessage(message))
                continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        HANDLE handle = thread->GetHandle();
        DWORD wait = MsgWaitForMultipleObjects(1, &handle, FALSE, INFINITE, QS_ALLINPUT);
        if (wait == WAIT_OBJECT_0 + 1)
            continue;
        GetExitCodeThread(handle, &exitCode);
        break;
    }

    if (window && !context.IsUnattended())
    {
        MSG message;
        BOOL result;
        while ((result = GetMessageW(&message, nullptr, 0, 0)) != 0)
        {
            if (result == -1)
                ThrowErrorCode(OvBase::HResultFromWin32(GetLastError()));
            if (IsModelessDialogMessage(message))
                continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    thread->Stop(2);
    thread.reset();
    window.reset();
    guard.reset();
    return exitCode;
}

// Callers may pass options of their own: named, not refused. A typing error shows here.
void WarnUnknownOptions(OvBase::CFuncTraceContext& trace, const utils::CInstallContext& context)
{
    for (const std::wstring& option : context.GetUnknownOptions())
        trace.Trace(OvBase::TraceWarning, L"Unknown command-line option ignored: /%s", option.c_str());
}

bool IsRestartExitCodeValid(OvBase::CFuncTraceContext& trace, const utils::CInstallContext& context)
{
    DWORD code = 0;
    std::wstring text;
    if (!context.HasRestartExitCode() || context.GetRestartExitCode(code, &text))
        return true;
    trace.Trace(OvBase::TraceWarning, L"The value of /restartexitcode is not a decimal number: \"%s\"; ending with %u",
                text.c_str(), static_cast<unsigned>(ERROR_INVALID_PARAMETER));
    return false;
}

// A run that succeeded but left a needed restart to its caller ends with the code asked for.
DWORD WithRestartExitCode(OvBase::CFuncTraceContext& trace, const utils::CInstallContext& context, DWORD exitCode)
{
    DWORD code = 0;
    if (exitCode != 0 || !context.GetRestartExitCode(code) || !context.IsRestartPending() ||
        context.IsRestartOnExit())
        return exitCode;
    trace.Trace(OvBase::TraceInfo, L"A restart is needed: ending with %u (/restartexitcode)", static_cast<unsigned>(code));
    return code;
}
}

int RunSetup(HINSTANCE, const wchar_t* commandLine, const RunServices& services)
{
    // Parsed once, before anything else, so that an error of the context's own construction
    // does not open a box in an unattended deployment either.
    const CCmdLineParser parsed(commandLine ? commandLine : L"");
    const bool silent = IsSilentCommandLine(parsed);
    if (IsHelpRequest(parsed))
    {
        ShowUsage(silent, services.messageBox);
        return 0;
    }

    OvBase::TemporaryTraceConfiguration traceConfiguration(OvBase::ProgramTrace);
    OvBase::CSehCatcher catcher;
    OvBase::CFuncTraceContext trace(L"wWinMain", OV_WFILE, __LINE__);
    DWORD exitCode = 0;
    try
    {
        const std::wstring shown = MaskedCommandLine(parsed);
        Log(trace, L"%s", shown.c_str());
        utils::CInstallContext& context = utils::CInstallContext::Instance();
        context.SetCommandLine(parsed);
        Log(trace, L"%s", MaskedCommandLine(context.GetCommandLineParser()).c_str());
        Log(trace, L"%s", MaskPasswords(context.GetMsiOption()).c_str());
        Log(trace, L"%s", context.IsSilent() ? L"Silent mode" : L"Usual mode");
        Log(trace, L"%s", context.HasRebootOption() ? L"Reboot" : L"No reboot");
        WarnUnknownOptions(trace, context);
        SetCurrentDirectoryW(context.GetDistributionFolder().c_str());
        if (IsRestartExitCodeValid(trace, context))
            exitCode = WithRestartExitCode(trace, context, RunInstaller(trace, services));
        else
            exitCode = ERROR_INVALID_PARAMETER;
    }
    catch (OvBase::COvError& error)
    {
        trace.Trace(OvBase::TraceWarning, L"%s", error.GetDump());
        // The box is the entry thread's report to a person; a silent run has nobody to
        // answer it, so the log and the exit code say it all.
        if (!silent && services.messageBox)
            services.messageBox(error.GetDescription(), L"Error", MB_ICONERROR);
        exitCode = error.GetCode() != 0 ? error.GetCode() : kFatalError;
    }
    catch (utils::AbortInstallException&)
    {
        trace.Trace(OvBase::TraceInfo, L"Installation aborted with code 0");
        exitCode = 0;
    }
    catch (...)
    {
        utils::LogException(std::current_exception(), L"wWinMain");
        exitCode = kFatalError;
    }
    trace.Trace(OvBase::TraceInfo, L"#2 Installation has ended with code %d", exitCode);
    return static_cast<int>(exitCode);
}
}
