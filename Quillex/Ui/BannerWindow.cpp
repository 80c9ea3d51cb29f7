#include "BannerWindow.h"

#include "Trace.h"
#include "res/resource.h"

namespace ovinst
{
namespace
{
constexpr COLORREF kWhite = 0xFFFFFF;

// The banner's size in dialog units, converted to the window's pixels.
RECT BannerRect(HWND hwnd)
{
    RECT rect = {0, 0, 109, 192};
    MapDialogRect(hwnd, &rect);
    return rect;
}

// Restores the foreground lock timeout on every way out.
class ForegroundLockTimeout
{
public:
    ForegroundLockTimeout()
    {
        m_saved = SystemParametersInfoW(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &m_timeout, 0) != FALSE;
        SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, nullptr, 0);
    }
    ~ForegroundLockTimeout()
    {
        if (m_saved)
            SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, reinterpret_cast<void*>(static_cast<ULONG_PTR>(m_timeout)), 0);
    }
    ForegroundLockTimeout(const ForegroundLockTimeout&) = delete;
    ForegroundLockTimeout& operator=(const ForegroundLockTimeout&) = delete;

private:
    DWORD m_timeout = 0;
    bool m_saved = false;
};
}

CBannerWindow::~CBannerWindow()
{
    if (m_whiteBrush)
        DeleteObject(m_whiteBrush);
}

void CBannerWindow::InitLook(HWND hwnd)
{
    m_hwnd = hwnd;
    if (!m_whiteBrush)
        m_whiteBrush = CreateSolidBrush(kWhite);
}

bool CBannerWindow::HandleLookMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR& result)
{
    switch (message)
    {
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        // A dialog procedure returns the brush itself for these messages.
        result = reinterpret_cast<INT_PTR>(OnCtlColor());
        return true;
    case WM_ERASEBKGND:
        // Handled here, so the dialog's default erase does not paint over it.
        SetWindowLongPtrW(m_hwnd, DWLP_MSGRESULT, OnEraseBackground(reinterpret_cast<HDC>(wParam)));
        result = TRUE;
        return true;
    case WM_PAINT:
    {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(m_hwnd, &paint);
        if (dc)
        {
            PaintBanner(dc);
            EndPaint(m_hwnd, &paint);
        }
        result = TRUE;
        return true;
    }
    default:
        return false;
    }
}

BOOL CBannerWindow::OnEraseBackground(HDC dc)
{
    RECT client;
    GetClientRect(m_hwnd, &client);
    HBRUSH white = CreateSolidBrush(kWhite);
    FillRect(dc, &client, white);
    DeleteObject(white);
    client.top = BannerRect(m_hwnd).bottom;
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    return FALSE;
}

void CBannerWindow::PaintBanner(HDC dc)
{
    const RECT target = BannerRect(m_hwnd);
    HBITMAP banner = LoadBitmapW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_BANNER));
    if (!banner)
    {
        OvBase::TraceLine(OvBase::TraceWarning, L"Banner bitmap %d not found", IDB_BANNER);
        return;
    }
    BITMAP info = {};
    GetObjectW(banner, sizeof(info), &info);
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(memory, banner);
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchBlt(dc, 0, 0, target.right - target.left, target.bottom - target.top, memory, 0, 0, info.bmWidth,
               info.bmHeight, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
    DeleteObject(banner);
}

void CBannerWindow::BringToFront()
{
    if (!m_hwnd)
        return;
    ForegroundLockTimeout unlocked;
    for (int attempt = 0; attempt < 10 && GetForegroundWindow() != m_hwnd; ++attempt)
    {
        // Windows lets only the foreground thread hand the foreground on: borrow its input.
        const DWORD foregroundThread = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
        const DWORD thisThread = GetCurrentThreadId();
        const bool attached = foregroundThread != 0 && foregroundThread != thisThread &&
                              AttachThreadInput(thisThread, foregroundThread, TRUE);
        SetWindowPos(m_hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        SetWindowPos(m_hwnd, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        SetForegroundWindow(m_hwnd);
        if (attached)
            AttachThreadInput(thisThread, foregroundThread, FALSE);
        SetFocus(m_hwnd);
        SetActiveWindow(m_hwnd);
        Sleep(20);
    }
}
}
