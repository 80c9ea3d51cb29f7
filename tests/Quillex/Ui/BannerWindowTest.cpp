#include <gtest/gtest.h>

#include "Ui/BannerWindow.h"

#include <windows.h>

#include <memory>
#include <vector>

using namespace ovinst;

namespace
{
INT_PTR CALLBACK TestDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG)
    {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, lParam);
        reinterpret_cast<CBannerWindow*>(lParam)->InitLook(hwnd);
        return TRUE;
    }
    auto* window = reinterpret_cast<CBannerWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    INT_PTR result = 0;
    if (window && window->HandleLookMessage(message, wParam, lParam, result))
        return result;
    return FALSE;
}

// A visible dialog of the windows' size, 370 x 221 dialog units, with no controls.
HWND CreateTestDialog(CBannerWindow& window)
{
    std::vector<WORD> buffer(32, 0);
    auto* dlg = reinterpret_cast<DLGTEMPLATE*>(buffer.data());
    dlg->style = WS_POPUP | WS_VISIBLE;
    dlg->cx = 370;
    dlg->cy = 221;
    // Menu, class and title follow the header as empty entries (already zero).
    return CreateDialogIndirectParamW(GetModuleHandleW(nullptr), dlg, nullptr, TestDialogProc,
                                      reinterpret_cast<LPARAM>(&window));
}

// A memory bitmap of the dialog's client size to paint into.
class Canvas
{
public:
    explicit Canvas(HWND hwnd)
    {
        GetClientRect(hwnd, &client);
        HDC screen = GetDC(nullptr);
        dc = CreateCompatibleDC(screen);
        bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
        ReleaseDC(nullptr, screen);
        old = SelectObject(dc, bitmap);
    }
    ~Canvas()
    {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    void Fill(COLORREF colour)
    {
        HBRUSH brush = CreateSolidBrush(colour);
        FillRect(dc, &client, brush);
        DeleteObject(brush);
    }
    COLORREF At(int x, int y) const { return GetPixel(dc, x, y); }

    RECT client;
    HDC dc;

private:
    HBITMAP bitmap;
    HGDIOBJ old;
};

class BannerWindowTest : public testing::Test
{
protected:
    void SetUp() override
    {
        hwnd = CreateTestDialog(window);
        ASSERT_NE(hwnd, nullptr);
        banner = {0, 0, 109, 192};
        MapDialogRect(hwnd, &banner);
    }
    void TearDown() override { DestroyWindow(hwnd); }

    CBannerWindow window;
    HWND hwnd = nullptr;
    RECT banner = {};
};

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBannerNavy = RGB(0x1B, 0x2A, 0x49);
constexpr COLORREF kBannerTeal = RGB(0x1F, 0xA6, 0x9E);

TEST_F(BannerWindowTest, EraseLeavesWhiteAboveTheBannerBottomAndButtonFaceBelow)
{
    Canvas canvas(hwnd);
    canvas.Fill(kRed);
    // Through the dialog, so the default erase would show if it ran after ours.
    EXPECT_EQ(SendMessageW(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(canvas.dc), 0), 0);

    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    ASSERT_NE(face, kWhite);
    EXPECT_EQ(canvas.At(2, 2), kWhite);
    EXPECT_EQ(canvas.At(canvas.client.right - 2, banner.bottom - 1), kWhite);
    EXPECT_EQ(canvas.At(2, banner.bottom), face);
    EXPECT_EQ(canvas.At(canvas.client.right - 2, canvas.client.bottom - 1), face);
}

TEST_F(BannerWindowTest, BannerIsStretchedOverItsDialogUnitsOnly)
{
    Canvas canvas(hwnd);
    canvas.Fill(kRed);
    window.PaintBanner(canvas.dc);

    const int height = banner.bottom;
    // Navy ground at the left edge, the teal stripe at 217/256 of the height.
    EXPECT_EQ(canvas.At(1, height / 2), kBannerNavy);
    EXPECT_EQ(canvas.At(banner.right - 1, height - 1), kBannerNavy);
    EXPECT_EQ(canvas.At(1, height * 217 / 256), kBannerTeal);
    // Nothing outside the banner's rectangle.
    EXPECT_EQ(canvas.At(banner.right + 1, 5), kRed);
    EXPECT_EQ(canvas.At(5, banner.bottom + 1), kRed);
}

TEST_F(BannerWindowTest, EveryControlKindGetsTheWhiteBrush)
{
    for (const UINT message : {WM_CTLCOLORSTATIC, WM_CTLCOLORBTN, WM_CTLCOLOREDIT, WM_CTLCOLORDLG, WM_CTLCOLORLISTBOX})
    {
        auto brush = reinterpret_cast<HBRUSH>(SendMessageW(hwnd, message, 0, 0));
        ASSERT_NE(brush, nullptr) << message;
        LOGBRUSH info = {};
        ASSERT_NE(GetObjectW(brush, sizeof(info), &info), 0) << message;
        EXPECT_EQ(info.lbStyle, static_cast<UINT>(BS_SOLID)) << message;
        EXPECT_EQ(info.lbColor, kWhite) << message;
    }
}

// Sets a known foreground lock timeout for one scope and puts the old one back.
class KnownLockTimeout
{
public:
    explicit KnownLockTimeout(DWORD value)
    {
        SystemParametersInfoW(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &m_saved, 0);
        Set(value);
    }
    ~KnownLockTimeout() { Set(m_saved); }
    static DWORD Get()
    {
        DWORD value = 0;
        SystemParametersInfoW(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &value, 0);
        return value;
    }

private:
    static void Set(DWORD value)
    {
        SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, reinterpret_cast<void*>(static_cast<ULONG_PTR>(value)), 0);
    }
    DWORD m_saved = 0;
};

TEST_F(BannerWindowTest, BringToFrontTakesTheForegroundAndRestoresTheLockTimeout)
{
    KnownLockTimeout timeout(4321);
    ASSERT_EQ(KnownLockTimeout::Get(), 4321u);

    CBannerWindow other;
    HWND otherHwnd = CreateTestDialog(other);
    ASSERT_NE(otherHwnd, nullptr);
    SetForegroundWindow(otherHwnd);
    ASSERT_EQ(GetForegroundWindow(), otherHwnd);

    window.BringToFront();
    EXPECT_EQ(GetForegroundWindow(), hwnd);
    EXPECT_EQ(KnownLockTimeout::Get(), 4321u);

    // Already in front: nothing changes.
    window.BringToFront();
    EXPECT_EQ(GetForegroundWindow(), hwnd);
    EXPECT_EQ(KnownLockTimeout::Get(), 4321u);
    DestroyWindow(otherHwnd);
}

TEST(BannerWindowWithoutHandle, BringToFrontDoesNothing)
{
    KnownLockTimeout timeout(4321);
    CBannerWindow window;
    window.BringToFront();
    EXPECT_EQ(KnownLockTimeout::Get(), 4321u);
}
}
