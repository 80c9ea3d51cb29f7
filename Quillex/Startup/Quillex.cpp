// Entry point of Setup.exe.
#include <windows.h>

#include "DllSearch.h"
#include "Startup/Factory.h"
#include "Startup/RestartOnExit.h"
#include "Startup/SetupRun.h"
#include "Ui/StatusWnd.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int)
{
    OvBase::HardenDllSearch(); // before anything can load a DLL from the program's folder

    // Its destructor restarts the computer when the run agreed to it: the very last thing
    // on every way out.
    utils::RestartOnExit restartOnExit;

    ovinst::RunServices services;
    services.messageBox = &ovinst::SystemMessageBox;
    services.createWindow = [] {
        return std::static_pointer_cast<ovinst::IStatusCallback>(std::make_shared<ovinst::CStatusWnd>());
    };
    services.makeFactory = [](ovinst::InstallerType type, bool silent) {
        return std::static_pointer_cast<ovinst::IFactory>(std::make_shared<Factory>(type, silent));
    };
    return ovinst::RunSetup(instance, commandLine, services);
}
