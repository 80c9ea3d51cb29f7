/* Stands in for a DLL planted beside the setup or in its current folder. Loading it is the
   fault under test, so its entry point leaves "<its own path>.loaded" naming the program
   that loaded it. It exports nothing: the run it was loaded into need not go on. */
#include <windows.h>

static void AppendMarker(HINSTANCE instance)
{
    wchar_t marker[MAX_PATH + 8];
    wchar_t program[MAX_PATH];
    DWORD length = GetModuleFileNameW(instance, marker, MAX_PATH);
    DWORD programLength = GetModuleFileNameW(NULL, program, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return;
    lstrcpyW(marker + length, L".loaded");
    HANDLE file = CreateFileW(marker, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, program, programLength * sizeof(wchar_t), &written, NULL);
    WriteFile(file, L"\r\n", 2 * sizeof(wchar_t), &written, NULL);
    CloseHandle(file);
}

BOOL WINAPI MarkerEntry(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH)
        AppendMarker(instance);
    return TRUE;
}
