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

// Gives the message to the dialog manager of the live modeless dialog it is meant for
// (Tab, Enter, Esc, Space); true when that dialog took it. Every message loop that runs
// while such a dialog exists calls it before dispatching.
bool IsModelessDialogMessage(MSG& message);

class CDialogWindow : public CBannerWindow
{
public:
    CDialogWindow() = default;
    ~CDialogWindow() override;

    // Creates the dialog without showing it; false with the last error kept on failure.
    bool CreateModeless(UINT templateId, HWND parent);
    void Destroy();
    HWND GetItem(int id) const { return m_hwnd ? GetDlgItem(m_hwnd, id) : nullptr; }

    // Gives the control the focus; a push button also becomes the default (Enter presses it).
    // Must run on the window's own thread.
    void FocusControl(int id);
    // Moves the focus to `preferredId`, or else to the first visible, enabled tab stop,
    // when the focused control of this window is hidden or disabled.
    void KeepFocusUsable(int preferredId);
    // Whether the control exists, is visible and enabled: only then may a key press it.
    bool IsUsable(int id) const;

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
    // Where the focus goes when the focused control can no longer take it.
    virtual int PreferredFocusId() const { return IDCANCEL; }

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
};
}
