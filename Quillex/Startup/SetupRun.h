// One run of the setup on the entry thread: tracing, crash catcher, install context,
// single instance, status window, installer thread, message loop, exit code.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "Engine/CmdLineParser.h"
#include "Startup/IFactory.h"
#include "Startup/InstanceGuard.h"

namespace ovinst
{
class IStatusCallback;
class InstallEngineThread;

// What a run is built from; the program fills it with the real windows and factory.
struct RunServices
{
    // The status window of an interactive run.
    std::function<std::shared_ptr<IStatusCallback>()> createWindow;
    FactoryMaker makeFactory;
    MessageBoxFunction messageBox;
};

// MessageBoxW without an owner.
int SystemMessageBox(const wchar_t* text, const wchar_t* title, UINT flags);

// True for the options "/?", "-?", "/help" and "-help"; text inside an option's value does not
// count.
bool IsHelpRequest(const CCmdLineParser& commandLine);
// True when the command line asks for a silent run.
bool IsSilentCommandLine(const CCmdLineParser& commandLine);
// The command line as the log shows it: the password properties' values as "***".
std::wstring MaskedCommandLine(const CCmdLineParser& commandLine);
// The options and exit codes; a box unless the run is silent. Touches nothing else.
void ShowUsage(bool silent, const MessageBoxFunction& messageBox);

std::shared_ptr<IStatusCallback> CreateInstallerWindow(const RunServices& services);
bool IsDeleteMode();
std::shared_ptr<InstallEngineThread> CreateInstallerThread(const std::shared_ptr<IStatusCallback>& window,
                                                           const RunServices& services);
std::shared_ptr<InstallEngineThread> GetEngineThread(const std::shared_ptr<IStatusCallback>& window,
                                                     const RunServices& services);
std::shared_ptr<InstallEngineThread> GetInstallServerThread(const std::shared_ptr<IStatusCallback>& window,
                                                            const RunServices& services);
std::shared_ptr<InstallEngineThread> GetUninstEngineThread(const std::shared_ptr<IStatusCallback>& window,
                                                           const RunServices& services);

// The body of wWinMain; returns the process exit code.
int RunSetup(HINSTANCE instance, const wchar_t* commandLine, const RunServices& services);
}
