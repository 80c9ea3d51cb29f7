// Drives the setup's windows from outside, as a user would: finds them by their dialog
// template id, reads controls, presses buttons and answers message boxes.
//
//   UiDriver.exe [/timeout:<ms>] [/pid:<process id>] [/out:<file>] command...
//
// Options: /timeout is how long each command waits for its condition (default 5000 ms);
// /pid restricts the search to one process; /out appends the report to a file as well as
// writing it to standard output. <dlg> is a template id (152 status, 1035 summary), <ctl>
// a control id. Expected texts may use \r, \n and \\.
//
//   visible:<dlg>                  the dialog exists and is visible
//   hidden:<dlg>                   the dialog exists and is hidden
//   text:<dlg>:<ctl>=<text>        the control's text
//   shown:<dlg>:<ctl>=0|1          the control's visibility
//   enabled:<dlg>:<ctl>=0|1        whether the control is enabled
//   checked:<dlg>:<ctl>=0|1        the check state of a check box
//   icon:<dlg>:<ctl>=<state>       the line icon on the screen: pending, running,
//                                  finished, failed, or none (icon control hidden)
//   bar:<dlg>:<ctl>=<min>,<max>,<pos>   a progress bar's range and position
//   press:<dlg>:<ctl>              waits until the button is visible and enabled and its
//                                  window enabled (no message box open on it), clicks it
//   key:<dlg>:<key>                posts WM_KEYDOWN and WM_KEYUP of enter, esc, tab or space
//                                  to the control that has the keyboard focus in the
//                                  dialog's thread, as the keyboard delivers them
//   focus:<dlg>=<ctl>              the keyboard focus is on that control of the dialog
//                                  (0: on none of its controls)
//   where:<dlg>:<ctl>              waits until the control is visible and enabled and
//                                  prints the screen point at its centre ("-> x y"), for
//                                  a real click (xdotool)
//   msgbox:yes|no|ok[:<dlg>][=<text>]  waits for a message box (owned by that dialog, with
//                                  that text) and presses the button
//   nomsgbox                       no message box is open now
//   print:<dlg>:<ctl>              writes the control's text and states
//   sleep:<ms>                     waits
//   probe:<dlg>:<period>:<count>:<limit>  sends the dialog a message every <period> ms,
//                                  <count> times; fails when an answer takes over <limit> ms
//   start:<command line>           starts a program; later commands look only at its
//                                  windows and report the time since it was started
//   ended:<code>                   waits until the started program has ended, with that
//                                  exit code (decimal or 0x...)
//
// Each command prints "ok ..." or "FAIL ..."; the first failure ends the run with exit
// code 1. Exit code 0: every command held; 2: the command line is wrong.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <functional>
#include <string>
#include <vector>

namespace
{
const wchar_t kDialogIdProperty[] = L"OvDialogTemplate";

DWORD g_timeout = 5000;
DWORD g_pid = 0;
FILE* g_out = nullptr;
// The program of "start:", and when it was started.
HANDLE g_started = nullptr;
LARGE_INTEGER g_startTime = {};

void Report(const std::wstring& line)
{
    const std::string narrow(line.begin(), line.end());
    std::printf("%s\n", narrow.c_str());
    std::fflush(stdout);
    if (g_out)
    {
        std::fprintf(g_out, "%s\n", narrow.c_str());
        std::fflush(g_out);
    }
}

std::wstring Escape(const std::wstring& text)
{
    std::wstring out;
    for (wchar_t c : text)
    {
        if (c == L'\r')
            out += L"\\r";
        else if (c == L'\n')
            out += L"\\n";
        else if (c == L'\\')
            out += L"\\\\";
        else if (c < 0x20 || c > 0x7E)
            out += L'?';
        else
            out += c;
    }
    return out;
}

std::wstring Unescape(const std::wstring& text)
{
    std::wstring out;
    for (size_t i = 0; i < text.size(); ++i)
    {
        if (text[i] == L'\\' && i + 1 < text.size())
        {
            const wchar_t next = text[++i];
            out += next == L'r' ? L'\r' : next == L'n' ? L'\n' : next;
        }
        else
            out += text[i];
    }
    return out;
}

bool InScope(HWND hwnd)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    return g_pid == 0 || pid == g_pid;
}

HWND FindDialog(int templateId)
{
    struct Search
    {
        int id;
        HWND found;
    } search{templateId, nullptr};
    EnumWindows(
        [](HWND hwnd, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            if (InScope(hwnd) && reinterpret_cast<ULONG_PTR>(GetPropW(hwnd, kDialogIdProperty)) ==
                                     static_cast<ULONG_PTR>(s->id))
            {
                s->found = hwnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring ClassOf(HWND hwnd)
{
    wchar_t name[64] = {};
    GetClassNameW(hwnd, name, 64);
    return name;
}

std::wstring TextOf(HWND hwnd)
{
    const int length = static_cast<int>(SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0));
    std::wstring text(length + 1, L'\0');
    SendMessageW(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(wcslen(text.c_str()));
    return text;
}

// A visible message box: a system dialog that is not one of the setup's templates.
HWND FindMessageBox()
{
    HWND found = nullptr;
    EnumWindows(
        [](HWND hwnd, LPARAM param) -> BOOL {
            if (InScope(hwnd) && IsWindowVisible(hwnd) && ClassOf(hwnd) == L"#32770" &&
                !GetPropW(hwnd, kDialogIdProperty))
            {
                *reinterpret_cast<HWND*>(param) = hwnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

std::wstring MessageBoxText(HWND box)
{
    std::wstring text;
    EnumChildWindows(
        box,
        [](HWND child, LPARAM param) -> BOOL {
            if (ClassOf(child) == L"Static")
                *reinterpret_cast<std::wstring*>(param) += TextOf(child);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&text));
    return text;
}

// Disc colours of the line icons, as tools/make-icons.py draws them.
std::wstring IconState(HWND control)
{
    if (!IsWindowVisible(control))
        return L"none";
    // (8, 3) of the 16-pixel image, wherever the DPI puts it.
    RECT client = {};
    GetClientRect(control, &client);
    const int size = client.right > 0 ? client.right : 16;
    POINT point = {size / 2, size * 3 / 16};
    ClientToScreen(control, &point);
    HDC screen = GetDC(nullptr);
    const COLORREF colour = GetPixel(screen, point.x, point.y);
    ReleaseDC(nullptr, screen);
    struct Known
    {
        const wchar_t* name;
        int r, g, b;
    };
    static const Known known[] = {{L"pending", 0x9A, 0x9A, 0x9A},
                                  {L"running", 0x3C, 0xB4, 0x4B},
                                  {L"finished", 0x1E, 0x7E, 0x34},
                                  {L"failed", 0xD0, 0x2B, 0x2B}};
    for (const auto& k : known)
    {
        if (std::abs(GetRValue(colour) - k.r) + std::abs(GetGValue(colour) - k.g) + std::abs(GetBValue(colour) - k.b) < 30)
            return k.name;
    }
    wchar_t text[32];
    std::swprintf(text, 32, L"unknown(%06X)", static_cast<unsigned>(colour));
    return text;
}

// Retries `check` until it holds or the timeout passes; `actual` describes the last state.
bool WaitFor(const std::function<bool(std::wstring&)>& check, std::wstring& actual)
{
    const DWORD start = GetTickCount();
    for (;;)
    {
        actual.clear();
        if (check(actual))
            return true;
        if (GetTickCount() - start >= g_timeout)
            return false;
        // Short enough for the start-up time to be measured to about 10 ms.
        Sleep(10);
    }
}

std::vector<std::wstring> Split(const std::wstring& text, wchar_t separator)
{
    std::vector<std::wstring> parts;
    size_t begin = 0;
    for (;;)
    {
        const size_t end = text.find(separator, begin);
        parts.push_back(text.substr(begin, end - begin));
        if (end == std::wstring::npos)
            return parts;
        begin = end + 1;
    }
}

// A control of a dialog: "<dlg>:<ctl>" into handles, empty actual text when missing.
bool Control(const std::wstring& spec, HWND& dialog, HWND& control, std::wstring& actual)
{
    const auto parts = Split(spec, L':');
    if (parts.size() != 2)
        return false;
    dialog = FindDialog(_wtoi(parts[0].c_str()));
    if (!dialog)
    {
        actual = L"no dialog " + parts[0];
        return false;
    }
    control = GetDlgItem(dialog, _wtoi(parts[1].c_str()));
    if (!control)
    {
        actual = L"no control " + parts[1];
        return false;
    }
    return true;
}

bool Probe(const std::vector<std::wstring>& parts, std::wstring& actual)
{
    if (parts.size() != 5)
        return false;
    HWND dialog = nullptr;
    if (!WaitFor([&](std::wstring& a) { a = L"no dialog"; return (dialog = FindDialog(_wtoi(parts[1].c_str()))) != nullptr; }, actual))
        return false;
    const DWORD period = _wtoi(parts[2].c_str());
    const int count = _wtoi(parts[3].c_str());
    const double limit = _wtof(parts[4].c_str());
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    double worst = 0;
    for (int i = 0; i < count; ++i)
    {
        LARGE_INTEGER before, after;
        QueryPerformanceCounter(&before);
        DWORD_PTR result = 0;
        SendMessageTimeoutW(dialog, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result);
        QueryPerformanceCounter(&after);
        const double ms = 1000.0 * (after.QuadPart - before.QuadPart) / frequency.QuadPart;
        if (ms > worst)
            worst = ms;
        Sleep(period);
    }
    wchar_t text[64];
    std::swprintf(text, 64, L"worst answer %.1f ms", worst);
    actual = text;
    return worst <= limit;
}

// The control with the keyboard focus in the thread of `dialog`, as the system keeps it.
HWND FocusOf(HWND dialog)
{
    GUITHREADINFO info = {sizeof(info)};
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info))
        return nullptr;
    return info.hwndFocus;
}

bool Key(const std::wstring& target, std::wstring& actual, bool& usage)
{
    const auto parts = Split(target, L':');
    if (parts.size() != 2)
        return usage = true, false;
    const std::wstring& name = parts[1];
    const UINT key = name == L"enter" ? VK_RETURN : name == L"esc" ? VK_ESCAPE : name == L"tab" ? VK_TAB
                   : name == L"space" ? VK_SPACE : 0;
    if (!key)
        return usage = true, false;
    HWND focus = nullptr;
    const bool found = WaitFor(
        [&](std::wstring& a) {
            HWND dialog = FindDialog(_wtoi(parts[0].c_str()));
            if (!dialog)
                return a = L"no dialog", false;
            focus = FocusOf(dialog);
            return focus ? true : (a = L"no focus", false);
        },
        actual);
    if (!found)
        return false;
    const UINT scan = MapVirtualKeyW(key, MAPVK_VK_TO_VSC);
    PostMessageW(focus, WM_KEYDOWN, key, 1 | (scan << 16));
    PostMessageW(focus, WM_KEYUP, key, 1 | (scan << 16) | (1u << 30) | (1u << 31));
    actual = L"to control " + std::to_wstring(GetDlgCtrlID(focus));
    return true;
}

// Waits until the control is visible and enabled in an enabled window: what a user can click.
bool WaitUsable(const std::wstring& target, HWND& dialog, HWND& control, std::wstring& actual)
{
    return WaitFor(
        [&](std::wstring& a) {
            if (!Control(target, dialog, control, a))
                return false;
            // A window disabled by its open message box takes no click from a user.
            a = std::wstring(L"shown=") + (IsWindowVisible(control) ? L"1" : L"0") + L" enabled=" +
                (IsWindowEnabled(control) ? L"1" : L"0") + (IsWindowEnabled(dialog) ? L"" : L" window disabled");
            return IsWindowVisible(control) && IsWindowEnabled(control) && IsWindowEnabled(dialog);
        },
        actual);
}

double MillisecondsSinceStart()
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * (now.QuadPart - g_startTime.QuadPart) / frequency.QuadPart;
}

bool Start(const std::wstring& commandLine, std::wstring& actual)
{
    std::wstring buffer = commandLine;
    STARTUPINFOW startup = {sizeof(startup)};
    PROCESS_INFORMATION process = {};
    QueryPerformanceCounter(&g_startTime);
    if (!CreateProcessW(nullptr, &buffer[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return actual = L"error " + std::to_wstring(GetLastError()), false;
    CloseHandle(process.hThread);
    g_started = process.hProcess;
    g_pid = process.dwProcessId;
    actual = L"process " + std::to_wstring(g_pid);
    return true;
}

bool Ended(const std::wstring& expected, std::wstring& actual)
{
    if (!g_started)
        return actual = L"nothing started", false;
    if (WaitForSingleObject(g_started, g_timeout) != WAIT_OBJECT_0)
        return actual = L"still running", false;
    DWORD code = 0;
    GetExitCodeProcess(g_started, &code);
    wchar_t text[16];
    std::swprintf(text, 16, L"0x%08X", static_cast<unsigned>(code));
    actual = text;
    return code == static_cast<DWORD>(std::wcstoul(expected.c_str(), nullptr, 0));
}

// Runs one command; false on failure, with `actual` saying what was found.
bool Run(const std::wstring& command, std::wstring& actual, bool& usage)
{
    const size_t eq = command.find(L'=');
    const std::wstring head = command.substr(0, eq);
    const std::wstring expected = eq == std::wstring::npos ? L"" : Unescape(command.substr(eq + 1));
    const size_t colon = head.find(L':');
    const std::wstring verb = head.substr(0, colon);
    const std::wstring target = colon == std::wstring::npos ? L"" : head.substr(colon + 1);

    if (verb == L"visible" || verb == L"hidden")
    {
        const bool wantVisible = verb == L"visible";
        return WaitFor(
            [&](std::wstring& a) {
                HWND dialog = FindDialog(_wtoi(target.c_str()));
                if (!dialog)
                    return a = L"no dialog", false;
                const bool visible = IsWindowVisible(dialog) != FALSE;
                a = visible ? L"visible" : L"hidden";
                return visible == wantVisible;
            },
            actual);
    }
    if (verb == L"text" || verb == L"shown" || verb == L"enabled" || verb == L"checked" || verb == L"icon" ||
        verb == L"bar")
    {
        return WaitFor(
            [&](std::wstring& a) {
                HWND dialog = nullptr, control = nullptr;
                if (!Control(target, dialog, control, a))
                    return false;
                if (verb == L"text")
                    a = TextOf(control);
                else if (verb == L"shown")
                    a = IsWindowVisible(control) ? L"1" : L"0";
                else if (verb == L"enabled")
                    a = IsWindowEnabled(control) ? L"1" : L"0";
                else if (verb == L"checked")
                    a = SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? L"1" : L"0";
                else if (verb == L"icon")
                    a = IconState(control);
                else
                {
                    const auto low = SendMessageW(control, PBM_GETRANGE, TRUE, 0);
                    const auto high = SendMessageW(control, PBM_GETRANGE, FALSE, 0);
                    const auto pos = SendMessageW(control, PBM_GETPOS, 0, 0);
                    a = std::to_wstring(low) + L"," + std::to_wstring(high) + L"," + std::to_wstring(pos);
                }
                return a == expected;
            },
            actual);
    }
    if (verb == L"focus")
    {
        return WaitFor(
            [&](std::wstring& a) {
                HWND dialog = FindDialog(_wtoi(target.c_str()));
                if (!dialog)
                    return a = L"no dialog", false;
                HWND focus = FocusOf(dialog);
                const int id = focus && IsChild(dialog, focus) ? GetDlgCtrlID(focus) : 0;
                a = focus ? std::to_wstring(id) : L"none";
                if (focus && !id)
                    a += L" (outside the dialog)";
                return std::to_wstring(id) == expected;
            },
            actual);
    }
    if (verb == L"key")
        return Key(target, actual, usage);
    if (verb == L"where")
    {
        HWND dialog = nullptr, control = nullptr;
        if (!WaitUsable(target, dialog, control, actual))
            return false;
        RECT rect = {};
        GetWindowRect(control, &rect);
        actual = std::to_wstring((rect.left + rect.right) / 2) + L" " + std::to_wstring((rect.top + rect.bottom) / 2);
        return true;
    }
    if (verb == L"press")
    {
        HWND dialog = nullptr, control = nullptr;
        if (!WaitUsable(target, dialog, control, actual))
            return false;
        // Posted: a handler that waits (Cancel stops the installer thread) must not hold us.
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), BN_CLICKED), reinterpret_cast<LPARAM>(control));
        return true;
    }
    if (verb == L"msgbox")
    {
        const auto parts = Split(target, L':');
        const int button = parts[0] == L"yes" ? IDYES : parts[0] == L"no" ? IDNO : parts[0] == L"ok" ? IDOK : 0;
        if (!button || parts.size() > 2)
            return usage = true, false;
        const ULONG_PTR owner = parts.size() == 2 ? _wtoi(parts[1].c_str()) : 0;
        HWND box = nullptr;
        const bool found = WaitFor(
            [&](std::wstring& a) {
                box = FindMessageBox();
                if (!box)
                    return a = L"no message box", false;
                a = MessageBoxText(box);
                const ULONG_PTR actualOwner =
                    reinterpret_cast<ULONG_PTR>(GetPropW(GetWindow(box, GW_OWNER), kDialogIdProperty));
                if (owner && actualOwner != owner)
                    return a += L" (owner " + std::to_wstring(actualOwner) + L")", false;
                return eq == std::wstring::npos || a == expected;
            },
            actual);
        if (!found)
            return false;
        actual = L"\"" + TextOf(box) + L"\": " + MessageBoxText(box);
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
        return true;
    }
    if (verb == L"nomsgbox")
    {
        HWND box = FindMessageBox();
        actual = box ? MessageBoxText(box) : L"none";
        return box == nullptr;
    }
    if (verb == L"print")
    {
        HWND dialog = nullptr, control = nullptr;
        if (!Control(target, dialog, control, actual))
            return false;
        actual = L"text=\"" + TextOf(control) + L"\" shown=" + (IsWindowVisible(control) ? L"1" : L"0") +
                 L" enabled=" + (IsWindowEnabled(control) ? L"1" : L"0") + L" checked=" +
                 (SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? L"1" : L"0");
        return true;
    }
    if (verb == L"sleep")
    {
        Sleep(_wtoi(target.c_str()));
        return true;
    }
    if (verb == L"probe")
        return Probe(Split(head, L':'), actual);
    if (verb == L"start" && colon != std::wstring::npos)
        return Start(command.substr(colon + 1), actual);
    if (verb == L"ended" && !target.empty())
        return Ended(target, actual);
    usage = true;
    return false;
}
}

int wmain(int argc, wchar_t** argv)
{
    int first = 1;
    for (; first < argc && argv[first][0] == L'/'; ++first)
    {
        const std::wstring option = argv[first];
        if (option.rfind(L"/timeout:", 0) == 0)
            g_timeout = _wtoi(option.c_str() + 9);
        else if (option.rfind(L"/pid:", 0) == 0)
            g_pid = _wtoi(option.c_str() + 5);
        else if (option.rfind(L"/out:", 0) == 0)
            g_out = _wfopen(option.c_str() + 5, L"a");
        else
        {
            Report(L"FAIL unknown option " + option);
            return 2;
        }
    }
    for (int i = first; i < argc; ++i)
    {
        std::wstring actual;
        bool usage = false;
        const bool ok = Run(argv[i], actual, usage);
        if (usage)
        {
            Report(L"FAIL bad command " + Escape(argv[i]));
            return 2;
        }
        if (g_started)
        {
            wchar_t elapsed[48];
            std::swprintf(elapsed, 48, L" (%.0f ms after start)", MillisecondsSinceStart());
            actual += elapsed;
        }
        Report((ok ? L"ok " : L"FAIL ") + Escape(argv[i]) + (actual.empty() ? L"" : L" -> " + Escape(actual)));
        if (!ok)
            return 1;
    }
    return 0;
}
