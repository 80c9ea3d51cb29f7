// Loads DLLs the way the program does, for the planted-DLL tests.
//   DllSearchProbe plain     loads msi, version, wintrust and dbghelp by bare name without any
//                            hardening, as a careless program would (the tests' control run).
//   DllSearchProbe hardened  hardens the search first, then takes every run-time load path of
//                            the program, and loads wintrust and dbghelp by bare name the way a
//                            system DLL would on the program's behalf.
// Exit code: 0, or a bit per load that did not reach a working system copy.
#include <windows.h>

#include <cwchar>
#include <exception>

#include "DllSearch.h"
#include "Engine/InstallContext.h"
#include "MsiApi.h"
#include "OvErrorObject.h"

namespace
{
enum Failure : int
{
    FailMsi = 1,
    FailErrorText = 2,
    FailInstallContext = 4,
    FailWintrust = 8,
    FailDbghelp = 16,
    FailUsage = 64,
};

// A planted copy exports nothing, so a found export means the system's copy.
bool LoadsWithExport(const wchar_t* name, const char* exportName)
{
    HMODULE module = LoadLibraryW(name);
    return module && GetProcAddress(module, exportName);
}

int Hardened()
{
    int failures = 0;
    // First: msi.dll brings both in from the system folder as its own dependencies, after
    // which a load by name finds them loaded.
    if (!LoadsWithExport(L"wintrust.dll", "WinVerifyTrust"))
        failures |= FailWintrust;
    if (!LoadsWithExport(L"dbghelp.dll", "MiniDumpWriteDump"))
        failures |= FailDbghelp;
    try
    {
        if (msi::Api().QueryProductStateW(L"{0F1E2D3C-4B5A-4969-8877-665544332211}") != INSTALLSTATE_UNKNOWN)
            failures |= FailMsi;
    }
    catch (...)
    {
        failures |= FailMsi;
    }
    // The message module beside the program, as data.
    if (OvBase::GetErrorDescription(0xE6060004) != L"read")
        failures |= FailErrorText;
    // The install context reads the system's version resource through version.dll.
    try
    {
        utils::CInstallContext::Instance();
    }
    catch (...)
    {
        failures |= FailInstallContext;
    }
    return failures;
}

void Plain()
{
    for (const wchar_t* name : {L"msi.dll", L"version.dll", L"wintrust.dll", L"dbghelp.dll"})
        LoadLibraryW(name);
}
}

int wmain(int argc, wchar_t** argv)
{
    if (argc == 2 && wcscmp(argv[1], L"hardened") == 0)
    {
        OvBase::HardenDllSearch();
        return Hardened();
    }
    if (argc == 2 && wcscmp(argv[1], L"plain") == 0)
    {
        Plain();
        return 0;
    }
    return FailUsage;
}
