// The DPI a window is shown at, for images that must match it (icons are bitmaps; the
// layouts themselves are in dialog units and follow the font).
#pragma once

#include <windows.h>

namespace ovinst
{
// The window's DPI: its monitor's under per-monitor awareness (Windows 10 1607 and later),
// else the system's; 96 when neither can be read.
UINT WindowDpi(HWND hwnd);
// `pixels` at 96 DPI, at `dpi`.
int ScaleToDpi(int pixels, UINT dpi);
}
