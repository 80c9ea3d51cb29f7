// Look and behaviour shared by the status and summary windows: white controls, a white
// top area with the banner on its left over a button-face band, and a forced way to the
// front.
#pragma once

#include <windows.h>

namespace ovinst
{
class CBannerWindow
{
public:
    CBannerWindow() = default;
    CBannerWindow(const CBannerWindow&) = delete;
    CBannerWindow& operator=(const CBannerWindow&) = delete;
    virtual ~CBannerWindow();

    // For WM_INITDIALOG: remembers the window and creates its white brush.
    void InitLook(HWND hwnd);
    HWND GetSafeHwnd() const { return m_hwnd; }

    // For a dialog procedure: handles WM_CTLCOLOR*, WM_ERASEBKGND and WM_PAINT and gives
    // the value the procedure returns; false leaves the message to the caller.
    bool HandleLookMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result);

    // The brush of every control kind.
    HBRUSH OnCtlColor() const { return m_whiteBrush; }
    // Fills the client area; returns FALSE as the message result.
    BOOL OnEraseBackground(HDC dc);
    // Stretches the banner bitmap over 109 x 192 dialog units at the top left.
    void PaintBanner(HDC dc);
    void BringToFront();

protected:
    HWND m_hwnd = nullptr;
    HBRUSH m_whiteBrush = nullptr;
};
}
