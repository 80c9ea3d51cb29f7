// A custom action that only takes time: sleeps the milliseconds of its command line. Makes
// the slow Authentication Server package of the cancel test take long enough for a person
// (or the UI driver) to press Cancel while it installs.
#include <windows.h>

#include <cwchar>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR arguments, int)
{
    const unsigned long milliseconds = arguments && *arguments ? std::wcstoul(arguments, nullptr, 10) : 6000;
    ::Sleep(milliseconds);
    return 0;
}
