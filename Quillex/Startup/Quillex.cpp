// Entry point of Setup.exe.
#include <windows.h>

#include "Startup/SetupRun.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int)
{
    // Before anything loads a DLL: from the system folder only, never from the folder of
    // a downloaded distribution.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);

    ovinst::RunServices services;
    services.messageBox = &ovinst::SystemMessageBox;
    return ovinst::RunSetup(instance, commandLine, services);
}
