// A modeless dialog from a template with a message table per window: the little of a
// dialog framework that the status and summary windows need.
#pragma once

#include "BannerWindow.h"

#include <windows.h>

#include <cstddef>

namespace ovinst
{
// Window property holding the template id, so a test driver can tell the dialogs apart.
inline constexpr wchar_t kDialogIdProperty[] = L"OvDialogTemplate";

class CDialogWindow : public CBannerWindow
{
public:
    CDialogWindow() = default;
    ~CDialogWindow() override;

    // Creates the dialog without showing it; false with the last error kept on failure.
    bool CreateModeless(UINT templateId, HWND parent);
    void Destroy();
    HWND GetItem(int id) const { return m_hwnd ? GetDlgItem(m_hwnd, id) : nullptr; }

protected:
    // One row of a window's message table. A row with a control id matches WM_COMMAND
    // with BN_CLICKED from that control; a row with id 0 matches the message.
    template <typename Window>
    struct MessageEntry
    {
        UINT message;
        int controlId;
        LRESULT (Window::*handler)(WPARAM, LPARAM);
    };

    template <typename Window, size_t N>
    static bool Dispatch(Window* window, const MessageEntry<Window> (&table)[N], UINT message, WPARAM wParam,
                         LPARAM lParam, LRESULT& result)
    {
        for (const auto& entry : table)
        {
            const bool match = entry.controlId == 0
                                   ? entry.message == message
                                   : message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED &&
                                         static_cast<int>(LOWORD(wParam)) == entry.controlId;
            if (match)
            {
                result = (window->*entry.handler)(wParam, lParam);
                return true;
            }
        }
        return false;
    }

    // The window's own table; false passes the message to the dialog manager.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) = 0;
    virtual BOOL OnInitDialog();

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
};
}
