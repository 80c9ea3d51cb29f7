// Watches for visible top-level windows of the prefix's desktop: writes the class and the
// title of every new one to the file named by the first argument, for the number of
// seconds of the second, or until the file named by the third appears. With a fourth
// argument "close" it closes each window it sees, as a user answering a box would.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <set>
#include <string>

namespace
{
std::set<HWND> g_seen;
FILE* g_out = nullptr;
bool g_close = false;

BOOL CALLBACK Visit(HWND window, LPARAM)
{
    if (!IsWindowVisible(window) || !g_seen.insert(window).second)
        return TRUE;
    wchar_t className[256] = {};
    wchar_t title[512] = {};
    GetClassNameW(window, className, 256);
    GetWindowTextW(window, title, 512);
    fwprintf(g_out, L"%ls\t%ls\n", className, title);
    fflush(g_out);
    if (g_close)
        PostMessageW(window, WM_CLOSE, 0, 0);
    return TRUE;
}
}

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3)
        return 2;
    bool close = argc > 4 && wcscmp(argv[4], L"close") == 0;
    g_out = _wfopen(argv[1], L"w");
    if (!g_out)
        return 3;
    // Windows that exist before the watch are the desktop's own, not the setup's.
    EnumWindows(Visit, 0);
    fflush(g_out);
    fclose(g_out);
    g_out = _wfopen(argv[1], L"w");
    g_close = close;
    DWORD seconds = static_cast<DWORD>(_wtoi(argv[2]));
    ULONGLONG end = GetTickCount64() + seconds * 1000ull;
    while (GetTickCount64() < end)
    {
        if (argc > 3 && GetFileAttributesW(argv[3]) != INVALID_FILE_ATTRIBUTES)
            break;
        EnumWindows(Visit, 0);
        Sleep(50);
    }
    fclose(g_out);
    return 0;
}
