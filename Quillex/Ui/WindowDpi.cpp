#include "WindowDpi.h"

namespace ovinst
{
UINT WindowDpi(HWND hwnd)
{
    // Looked up at run time: older systems than Windows 10 1607 lack the export.
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (getDpiForWindow && hwnd)
    {
        if (const UINT dpi = getDpiForWindow(hwnd))
            return dpi;
    }
    UINT dpi = 0;
    if (HDC screen = GetDC(nullptr))
    {
        dpi = static_cast<UINT>(GetDeviceCaps(screen, LOGPIXELSY));
        ReleaseDC(nullptr, screen);
    }
    return dpi ? dpi : 96;
}

int ScaleToDpi(int pixels, UINT dpi)
{
    return MulDiv(pixels, static_cast<int>(dpi), 96);
}
}
