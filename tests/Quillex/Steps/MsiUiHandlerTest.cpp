#include <gtest/gtest.h>

#include "Engine/InstallContext.h"
#include "Steps/MsiUiHandler.h"
#include "TraceCapture.h"

#include <msi.h>

#include <algorithm>

#include <string>
#include <vector>

using namespace ovinst;

namespace
{
struct BoxCall
{
    std::wstring text;
    std::wstring caption;
    UINT style;
};
std::vector<BoxCall> g_boxes;

int WINAPI FakeMessageBox(HWND, LPCWSTR text, LPCWSTR caption, UINT style)
{
    g_boxes.push_back({text, caption, style});
    return IDCANCEL;
}

struct KindCase
{
    const char* name;
    UINT type;
    const wchar_t* traceLine; // null: nothing traced
    int expected;
    bool storesError;
    int boxes;
};

class MsiUiHandlerKinds : public testing::TestWithParam<KindCase>
{
};
}

TEST_P(MsiUiHandlerKinds, TracesStoresAndAnswers)
{
    const KindCase& c = GetParam();
    CUiHandlerMessageBoxOverride boxes(&FakeMessageBox);
    g_boxes.clear();
    // The last error is kept for the whole process: a known one first, so that the case
    // does not depend on what ran before it in this process.
    MsiUiHandler(nullptr, INSTALLMESSAGE_ERROR, L"an earlier error");
    testsupport::TraceCapture trace;

    EXPECT_EQ(MsiUiHandler(nullptr, c.type, L"the text"), c.expected);

    const auto lines = trace.Lines();
    const bool handlerLine = std::any_of(lines.begin(), lines.end(), [](const std::wstring& l) { return l.find(L"INSTALLMESSAGE_") != std::wstring::npos; });
    if (c.traceLine)
        EXPECT_TRUE(trace.Contains(c.traceLine));
    else
        EXPECT_FALSE(handlerLine);
    EXPECT_EQ(GetLastInstallerError(), c.storesError ? L"the text" : L"an earlier error");
    EXPECT_EQ(static_cast<int>(g_boxes.size()), c.boxes);
}

const KindCase kKinds[] = {
    {"FatalExit", INSTALLMESSAGE_FATALEXIT | MB_OKCANCEL, L"INSTALLMESSAGE_FATALEXIT <the text>", IDCANCEL, false, 1},
    {"Error", INSTALLMESSAGE_ERROR, L"INSTALLMESSAGE_ERROR", 0, true, 0},
    {"ErrorWithStyleBits", INSTALLMESSAGE_ERROR | MB_ICONERROR | MB_OK, L"INSTALLMESSAGE_ERROR", 0, true, 0},
    {"Warning", INSTALLMESSAGE_WARNING, L"INSTALLMESSAGE_WARNING", 0, false, 0},
    {"User", INSTALLMESSAGE_USER, L"INSTALLMESSAGE_USER <the text>", 0, false, 0},
    {"Info", INSTALLMESSAGE_INFO, L"INSTALLMESSAGE_INFO <the text>", 0, false, 0},
    {"FilesInUse", INSTALLMESSAGE_FILESINUSE, L"INSTALLMESSAGE_FILESINUSE <the text>", 0, false, 0},
    {"ResolveSource", INSTALLMESSAGE_RESOLVESOURCE, L"INSTALLMESSAGE_RESOLVESOURCE", 0, false, 0},
    {"OutOfDiskSpace", INSTALLMESSAGE_OUTOFDISKSPACE, L"INSTALLMESSAGE_OUTOFDISKSPACE <the text>", 1, false, 1},
    {"ActionStart", INSTALLMESSAGE_ACTIONSTART, L"INSTALLMESSAGE_ACTIONSTART <the text>", 0, false, 0},
    {"ActionData", INSTALLMESSAGE_ACTIONDATA, L"INSTALLMESSAGE_ACTIONDATA <the text>", 0, false, 0},
    {"Progress", INSTALLMESSAGE_PROGRESS, nullptr, 0, false, 0},
    {"CommonData", INSTALLMESSAGE_COMMONDATA, nullptr, 0, false, 0},
    {"Terminate", INSTALLMESSAGE_TERMINATE, L"INSTALLMESSAGE_TERMINATE", 0, false, 0},
    {"ShowDialogOther", INSTALLMESSAGE_SHOWDIALOG, L"INSTALLMESSAGE_SHOWDIALOG <the text>", 0, false, 0},
    {"Initialize", 0x0C000000, nullptr, 0, false, 0},
    {"UnknownKind", 0x7F000000, nullptr, 0, false, 0},
};

INSTANTIATE_TEST_SUITE_P(Kinds, MsiUiHandlerKinds, testing::ValuesIn(kKinds),
                         [](const testing::TestParamInfo<KindCase>& info) { return std::string(info.param.name); });

TEST(MsiUiHandler, MessageBoxesCarryTheInstallersStyleAndTheProductCaption)
{
    CUiHandlerMessageBoxOverride boxes(&FakeMessageBox);
    g_boxes.clear();
    MsiUiHandler(nullptr, INSTALLMESSAGE_FATALEXIT | MB_YESNO | MB_ICONWARNING, L"fatal");
    MsiUiHandler(nullptr, INSTALLMESSAGE_OUTOFDISKSPACE, L"disk C: is full");
    ASSERT_EQ(g_boxes.size(), 2u);
    EXPECT_EQ(g_boxes[0].caption, L"FatalError");
    EXPECT_EQ(g_boxes[0].style, static_cast<UINT>(MB_YESNO | MB_ICONWARNING));
    EXPECT_EQ(g_boxes[1].caption, L"Orvane Studio install");
    EXPECT_EQ(g_boxes[1].style, 0x1010u);
    EXPECT_EQ(g_boxes[1].text, L"disk C: is full");
}

// A silent run shows no box: the text goes to the trace and the run goes on with the answer
// that ends the wait without retrying.
TEST(MsiUiHandler, SilentRunsShowNoBoxAndAnswerWithoutRetrying)
{
    utils::CInstallContext::Instance().ParseCommandLine(L"/script");
    CUiHandlerMessageBoxOverride boxes(&FakeMessageBox);
    g_boxes.clear();
    testsupport::TraceCapture trace;
    const struct
    {
        UINT style;
        int answer;
    } cases[] = {
        {MB_OK, IDOK},
        {MB_OKCANCEL, IDCANCEL},
        {MB_ABORTRETRYIGNORE, IDABORT},
        {MB_RETRYCANCEL, IDCANCEL},
        {MB_YESNO, IDYES},
        {MB_YESNO | MB_DEFBUTTON2, IDNO},
        {MB_YESNOCANCEL, IDCANCEL},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MsiUiHandler(nullptr, INSTALLMESSAGE_FATALEXIT | c.style, L"fatal"), c.answer) << c.style;
    EXPECT_EQ(MsiUiHandler(nullptr, INSTALLMESSAGE_OUTOFDISKSPACE, L"disk C: is full"), 1);
    EXPECT_TRUE(g_boxes.empty());
    EXPECT_TRUE(trace.ContainsText(L"INSTALLMESSAGE_OUTOFDISKSPACE <disk C: is full>"));
    EXPECT_TRUE(trace.ContainsText(L"Silent run, no message box"));
}

TEST(MsiUiHandler, ExitDialogInAnyCaseIsHandled)
{
    for (const wchar_t* name : {L"ExitDialog", L"exitdialog", L"EXITDIALOG", L"eXiTdIaLoG"})
        EXPECT_EQ(MsiUiHandler(nullptr, INSTALLMESSAGE_SHOWDIALOG, name), 1) << testing::PrintToString(std::wstring(name));
    for (const wchar_t* name : {L"ExitDialog2", L"FatalError", L""})
        EXPECT_EQ(MsiUiHandler(nullptr, INSTALLMESSAGE_SHOWDIALOG, name), 0) << testing::PrintToString(std::wstring(name));
}

TEST(MsiUiHandler, LastErrorIsOverwrittenNeverCleared)
{
    MsiUiHandler(nullptr, INSTALLMESSAGE_ERROR, L"first");
    MsiUiHandler(nullptr, INSTALLMESSAGE_INFO, L"info");
    EXPECT_EQ(GetLastInstallerError(), L"first");
    MsiUiHandler(nullptr, INSTALLMESSAGE_ERROR, L"second");
    EXPECT_EQ(GetLastInstallerError(), L"second");
}

TEST(MsiUiHandler, NullTextIsTakenAsEmpty)
{
    EXPECT_EQ(MsiUiHandler(nullptr, INSTALLMESSAGE_ERROR, nullptr), 0);
    EXPECT_EQ(GetLastInstallerError(), L"");
}

// The installer echoes the properties it was given; the trace must not carry the passwords.
TEST(MsiUiHandler, PasswordsOfTheRunningInstallationAreMasked)
{
    testsupport::TraceCapture trace;
    {
        CHandlerSecretsScope secrets({L"Wh0leSecret"});
        MsiUiHandler(nullptr, INSTALLMESSAGE_INFO, L"Property(S): OVDBAPASSWORD_TEMP = Wh0leSecret");
        MsiUiHandler(nullptr, INSTALLMESSAGE_ACTIONDATA, L"connecting with Wh0leSecret");
        MsiUiHandler(nullptr, INSTALLMESSAGE_ERROR, L"login failed for Wh0leSecret");
    }
    MsiUiHandler(nullptr, INSTALLMESSAGE_INFO, L"Property(S): OVDBUPASSWORD_TEMP = 0therSecret");
    EXPECT_TRUE(trace.Contains(L"INSTALLMESSAGE_INFO <Property(S): OVDBAPASSWORD_TEMP = ***>"));
    EXPECT_TRUE(trace.Contains(L"INSTALLMESSAGE_ACTIONDATA <connecting with ***>"));
    EXPECT_EQ(GetLastInstallerError(), L"login failed for ***");
    EXPECT_FALSE(trace.ContainsText(L"Wh0leSecret"));
    EXPECT_FALSE(trace.ContainsText(L"0therSecret"));
}
