#include <gtest/gtest.h>

#include "Ui/IGuiActionTable.h"
#include "Ui/StatusWnd.h"

#include "CatchOvError.h"
#include "res/resource.h"

#include <functional>
#include <string>

using namespace ovinst;

namespace
{
struct LineControls
{
    int text;
    int icon;
};
const LineControls kLines[] = {{0, 0}, {1000, 1003}, {1001, 1004}, {1002, 1005}, {1046, 1048}, {1047, 1049}};

// The disc colour of a line icon, drawn from the control's icon.
std::wstring IconState(HWND control)
{
    if (!IsWindowVisible(control))
        return L"none";
    auto icon = reinterpret_cast<HICON>(SendMessageW(control, STM_GETICON, 0, 0));
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 16, 16);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT all = {0, 0, 16, 16};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    DrawIconEx(dc, 0, 0, icon, 16, 16, 0, nullptr, DI_NORMAL);
    const COLORREF colour = GetPixel(dc, 8, 3);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    switch (colour)
    {
    case RGB(0x9A, 0x9A, 0x9A):
        return L"pending";
    case RGB(0x3C, 0xB4, 0x4B):
        return L"running";
    case RGB(0x1E, 0x7E, 0x34):
        return L"finished";
    case RGB(0xD0, 0x2B, 0x2B):
        return L"failed";
    default:
        return L"unknown " + std::to_wstring(colour);
    }
}

class GuiActionTableTest : public testing::Test
{
protected:
    void SetUp() override
    {
        dialog = window.GetHwnd();
        ShowWindow(dialog, SW_SHOW);
        lines = gui::CreateGuiActionTable(dialog);
    }

    HWND Text(int line) const { return GetDlgItem(dialog, kLines[line].text); }
    std::wstring TextOf(int line) const
    {
        wchar_t buffer[300] = {};
        GetWindowTextW(Text(line), buffer, 300);
        return buffer;
    }
    std::wstring Icon(int line) const { return IconState(GetDlgItem(dialog, kLines[line].icon)); }
    LONG Weight(int line) const
    {
        LOGFONTW font = {};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(Text(line), WM_GETFONT, 0, 0)), sizeof(font), &font);
        return font.lfWeight;
    }
    void Ticks(int count, int running)
    {
        for (int i = 0; i < count; ++i)
            lines->AnimationTick(running);
    }

    CStatusWnd window;
    HWND dialog = nullptr;
    std::unique_ptr<gui::IGuiActionTable> lines;
};

TEST_F(GuiActionTableTest, LinesStartPendingAndGreyAndRunThroughTheirStates)
{
    for (int line = 1; line <= 5; ++line)
    {
        EXPECT_EQ(Icon(line), L"pending") << line;
        EXPECT_FALSE(IsWindowEnabled(Text(line))) << line;
    }
    lines->ActionStart(3);
    EXPECT_EQ(Icon(3), L"running");
    EXPECT_TRUE(IsWindowEnabled(Text(3)));
    EXPECT_EQ(Weight(3), FW_BOLD);

    lines->ActionEnd(3);
    EXPECT_EQ(Icon(3), L"finished");
    EXPECT_EQ(Weight(3), FW_NORMAL);
    EXPECT_TRUE(IsWindowEnabled(Text(3)));

    lines->ActionStart(4);
    lines->Error(4);
    EXPECT_EQ(Icon(4), L"failed");
    EXPECT_EQ(Weight(4), FW_NORMAL);

    // A finished line may run again.
    lines->ActionStart(3);
    EXPECT_EQ(Icon(3), L"running");

    lines->HideLine(5);
    EXPECT_FALSE(IsWindowVisible(Text(5)));
    EXPECT_EQ(Icon(5), L"none");
}

TEST_F(GuiActionTableTest, DotsCycleFromOneToFiveAndBack)
{
    lines->ActionStart(2);
    EXPECT_EQ(TextOf(2), L"analyzing updates");
    Ticks(5, 2);
    EXPECT_EQ(TextOf(2), L"analyzing updates.....");
    Ticks(1, 2);
    EXPECT_EQ(TextOf(2), L"analyzing updates");
    Ticks(1, 2);
    EXPECT_EQ(TextOf(2), L"analyzing updates.");
    lines->ActionEnd(2);
    EXPECT_EQ(TextOf(2), L"analyzing updates");
}

TEST_F(GuiActionTableTest, TicksForNoLineOrAnotherLineChangeNothing)
{
    lines->ActionStart(1);
    Ticks(2, 0);
    Ticks(2, 3);
    EXPECT_EQ(TextOf(1), L"analyzing system");
}

TEST_F(GuiActionTableTest, NewTextOfTheRunningLineRestartsTheDots)
{
    lines->ActionStart(3);
    Ticks(3, 3);
    lines->ActionText(3, L"Security server installing");
    EXPECT_EQ(TextOf(3), L"Security server installing");
    Ticks(1, 3);
    EXPECT_EQ(TextOf(3), L"Security server installing.");

    // Another line only gets its text.
    lines->ActionText(4, L"Authentication Server waiting");
    EXPECT_EQ(TextOf(4), L"Authentication Server waiting");
    Ticks(1, 3);
    EXPECT_EQ(TextOf(3), L"Security server installing..");
    EXPECT_EQ(TextOf(4), L"Authentication Server waiting");
}

TEST_F(GuiActionTableTest, StartingAnotherLineGivesTheFirstItsTextBackButKeepsItBold)
{
    lines->ActionStart(2);
    Ticks(2, 2);
    lines->ActionStart(3);
    EXPECT_EQ(TextOf(2), L"analyzing updates");
    EXPECT_EQ(Weight(2), FW_BOLD);
    EXPECT_EQ(Icon(2), L"running");
    Ticks(1, 3);
    EXPECT_EQ(TextOf(3), L"Security server.");
    EXPECT_EQ(TextOf(2), L"analyzing updates");
}

TEST_F(GuiActionTableTest, EndOrErrorOfAnyLineStopsTheAnimation)
{
    for (const bool error : {false, true})
    {
        lines->ActionStart(3);
        Ticks(2, 3);
        if (error)
            lines->Error(1);
        else
            lines->ActionEnd(1);
        EXPECT_EQ(TextOf(3), L"Security server") << error;
        Ticks(1, 3);
        EXPECT_EQ(TextOf(3), L"Security server") << error;
    }
}

TEST_F(GuiActionTableTest, AfterAnErrorANewTextDoesNotRestartTheDots)
{
    lines->ActionStart(3);
    lines->Error(3);
    lines->ActionText(3, L"Security server failed");
    Ticks(2, 3);
    EXPECT_EQ(TextOf(3), L"Security server failed");
}

TEST_F(GuiActionTableTest, UnknownLinesAreRejectedByEveryLookup)
{
    const std::function<void(int)> calls[] = {
        [this](int line) { lines->HideLine(line); },   [this](int line) { lines->ActionStart(line); },
        [this](int line) { lines->ActionEnd(line); },  [this](int line) { lines->ActionText(line, L"x"); },
        [this](int line) { lines->Error(line); }};
    for (const int line : {0, 6})
    {
        for (size_t i = 0; i < std::size(calls); ++i)
        {
            auto error = testsupport::CatchOvError([&] { calls[i](line); });
            ASSERT_TRUE(error) << line << " call " << i;
            EXPECT_STREQ(error->GetDescription(), L"Wrong LineId") << line << " call " << i;
        }
    }
}

TEST(GuiActionTableWithoutControls, MissingControlsAreReported)
{
    // A dialog without the line controls: starting a line needs its text control.
    CStatusWnd window;
    HWND text = GetDlgItem(window.GetHwnd(), 1000);
    DestroyWindow(text);
    auto lines = gui::CreateGuiActionTable(window.GetHwnd());
    auto error = testsupport::CatchOvError([&] { lines->ActionStart(1); });
    ASSERT_TRUE(error);
    EXPECT_STREQ(error->GetDescription(), L"Wrong textId");
    // A new text for a line without a text control is dropped quietly.
    lines->ActionText(1, L"x");

    DestroyWindow(GetDlgItem(window.GetHwnd(), 1004));
    auto missingIcon = testsupport::CatchOvError([&] { gui::CreateGuiActionTable(window.GetHwnd()); });
    ASSERT_TRUE(missingIcon);
    EXPECT_STREQ(missingIcon->GetDescription(), L"Wrong iconId");
}
}
