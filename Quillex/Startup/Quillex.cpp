// Entry point of Setup.exe.
#include <windows.h>

#include "DllSearch.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    OvBase::HardenDllSearch(); // before anything can load a DLL from the program's folder
    return 0;
}
