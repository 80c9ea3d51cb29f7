// A child process for the process wrapper's tests. It writes its command line to the file
// named by OV_PROBE_OUT (when set), then sleeps for OV_PROBE_SLEEP milliseconds and
// exits with OV_PROBE_EXIT.
#include <windows.h>

#include <cwchar>

namespace
{
DWORD NumberFromEnvironment(const wchar_t* name, DWORD fallback)
{
    wchar_t value[32];
    DWORD length = GetEnvironmentVariableW(name, value, 32);
    return length > 0 && length < 32 ? static_cast<DWORD>(_wtoi(value)) : fallback;
}
}

int wmain()
{
    wchar_t out[MAX_PATH];
    DWORD length = GetEnvironmentVariableW(L"OV_PROBE_OUT", out, MAX_PATH);
    if (length > 0 && length < MAX_PATH)
    {
        HANDLE file = CreateFileW(out, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        const wchar_t* line = GetCommandLineW();
        DWORD written = 0;
        WriteFile(file, line, static_cast<DWORD>(wcslen(line) * sizeof(wchar_t)), &written, nullptr);
        CloseHandle(file);
    }
    Sleep(NumberFromEnvironment(L"OV_PROBE_SLEEP", 0));
    return static_cast<int>(NumberFromEnvironment(L"OV_PROBE_EXIT", 0));
}
