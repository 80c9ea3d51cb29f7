// A program that carries its own language mark, as a stand-alone build does: it exports
// StandaloneProductLocale. Mode "own" answers with "xx-XX", "none" answers 127; the exit code
// is what ReadProductLocale returned (HKLM, or HKCU with a second argument "user"), 1000 for
// a wrong text and 1001 when the export was asked although it must not be.
#include "ProductLocale.h"

#include <string>

namespace
{
bool g_own = false;
bool g_asked = false;
} // namespace

extern "C" __declspec(dllexport) DWORD WINAPI StandaloneProductLocale(wchar_t* buffer, DWORD* length)
{
    g_asked = true;
    if (!g_own)
        return ERROR_PROC_NOT_FOUND;
    if (*length < 6)
    {
        *length = 6;
        return ERROR_INSUFFICIENT_BUFFER;
    }
    wcscpy(buffer, L"xx-XX");
    *length = 6;
    return ERROR_SUCCESS;
}

int wmain(int argc, wchar_t** argv)
{
    g_own = argc > 1 && std::wstring(argv[1]) == L"own";
    const bool user = argc > 2 && std::wstring(argv[2]) == L"user";
    wchar_t buffer[10] = {};
    DWORD length = 10;
    const DWORD result = ReadProductLocale(user ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE, buffer, &length);
    if (user && g_asked)
        return 1001;
    if (result == ERROR_SUCCESS && std::wstring(buffer) != L"xx-XX")
        return 1000;
    return static_cast<int>(result);
}
