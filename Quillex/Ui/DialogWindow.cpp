#include "DialogWindow.h"

#include "OvErrorObject.h"
#include "Trace.h"

#include <algorithm>
#include <exception>
#include <vector>

namespace ovinst
{
namespace
{
// Posted on activation: the dialog manager has put back the focus it kept, which may be a
// control that was hidden or disabled meanwhile.
constexpr UINT WM_CHECK_FOCUS = WM_APP + 20;

// The live modeless dialogs; windows are used on the entry thread only.
std::vector<HWND>& LiveDialogs()
{
    static std::vector<HWND> dialogs;
    return dialogs;
}

bool IsUsableWindow(HWND hwnd)
{
    return hwnd && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd);
}
}

bool IsModelessDialogMessage(MSG& message)
{
    if (!message.hwnd)
        return false;
    // A copy: a handler run from here may create or destroy a dialog.
    const std::vector<HWND> dialogs = LiveDialogs();
    for (HWND dialog : dialogs)
    {
        if ((dialog == message.hwnd || IsChild(dialog, message.hwnd)) && IsDialogMessageW(dialog, &message))
            return true;
    }
    return false;
}

CDialogWindow::~CDialogWindow()
{
    Destroy();
}

void CDialogWindow::FocusControl(int id)
{
    HWND control = GetItem(id);
    if (!control)
        return;
    // A push button becomes the default too; WM_NEXTDLGCTL moves the look with the focus.
    if (SendMessageW(control, WM_GETDLGCODE, 0, 0) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON))
        SendMessageW(m_hwnd, DM_SETDEFID, id, 0);
    SendMessageW(m_hwnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
}

bool CDialogWindow::IsUsable(int id) const
{
    return IsUsableWindow(GetItem(id));
}

void CDialogWindow::KeepFocusUsable(int preferredId)
{
    if (!m_hwnd)
        return;
    HWND focus = GetFocus();
    // Only the focus of this window while it has it: moving it otherwise would activate
    // the window and take the keyboard from wherever the user is.
    if (!focus || (focus != m_hwnd && !IsChild(m_hwnd, focus)))
        return;
    if (focus != m_hwnd && IsUsableWindow(focus))
        return;
    if (IsUsable(preferredId))
    {
        FocusControl(preferredId);
        return;
    }
    HWND next = GetNextDlgTabItem(m_hwnd, nullptr, FALSE);
    if (IsUsableWindow(next))
        SendMessageW(m_hwnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(next), TRUE);
}

bool CDialogWindow::CreateModeless(UINT templateId, HWND parent)
{
    HWND hwnd = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId), parent, DialogProc,
                                   reinterpret_cast<LPARAM>(this));
    if (!hwnd)
        return false;
    SetPropW(hwnd, kDialogIdProperty, reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(templateId)));
    LiveDialogs().push_back(hwnd);
    return true;
}

void CDialogWindow::Destroy()
{
    if (!m_hwnd)
        return;
    HWND hwnd = m_hwnd;
    auto& dialogs = LiveDialogs();
    dialogs.erase(std::remove(dialogs.begin(), dialogs.end(), hwnd), dialogs.end());
    SetWindowLongPtrW(hwnd, DWLP_USER, 0);
    RemovePropW(hwnd, kDialogIdProperty);
    m_hwnd = nullptr;
    DestroyWindow(hwnd);
}

BOOL CDialogWindow::OnInitDialog()
{
    return TRUE;
}

INT_PTR CALLBACK CDialogWindow::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG)
    {
        auto* window = reinterpret_cast<CDialogWindow*>(lParam);
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        window->InitLook(hwnd);
        return window->HandleMessage(message, wParam, lParam);
    }
    auto* window = reinterpret_cast<CDialogWindow*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    return window ? window->HandleMessage(message, wParam, lParam) : FALSE;
}

INT_PTR CDialogWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    // An exception must not unwind through the system's window procedure: it is logged
    // here and the message counts as handled.
    try
    {
        if (message == WM_INITDIALOG)
            return OnInitDialog();
        if (message == WM_ACTIVATE && LOWORD(wParam) != WA_INACTIVE)
            PostMessageW(m_hwnd, WM_CHECK_FOCUS, 0, 0);
        if (message == WM_CHECK_FOCUS)
        {
            KeepFocusUsable(PreferredFocusId());
            return TRUE;
        }
        INT_PTR look = 0;
        if (HandleLookMessage(message, wParam, lParam, look))
            return look;
        LRESULT result = 0;
        if (!OnMessage(message, wParam, lParam, result))
            return FALSE;
        SetWindowLongPtrW(m_hwnd, DWLP_MSGRESULT, result);
        return TRUE;
    }
    catch (...)
    {
        OvBase::TraceLine(OvBase::TraceError, L"Window message 0x%04X (%u, %d) failed", message, static_cast<unsigned>(wParam), static_cast<int>(lParam));
        utils::LogException(std::current_exception(), L"CDialogWindow::HandleMessage");
        return TRUE;
    }
}
}
