#include "DialogWindow.h"

#include "OvErrorObject.h"
#include "Trace.h"

#include <exception>

namespace ovinst
{
CDialogWindow::~CDialogWindow()
{
    Destroy();
}

bool CDialogWindow::CreateModeless(UINT templateId, HWND parent)
{
    HWND hwnd = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId), parent, DialogProc,
                                   reinterpret_cast<LPARAM>(this));
    if (!hwnd)
        return false;
    SetPropW(hwnd, kDialogIdProperty, reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(templateId)));
    return true;
}

void CDialogWindow::Destroy()
{
    if (!m_hwnd)
        return;
    HWND hwnd = m_hwnd;
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
