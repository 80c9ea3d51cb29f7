// Private messages of the status window. Both are posted, never sent, so the installer
// thread never waits for the window.
#pragma once

#include <windows.h>

namespace ovinst
{
// wParam: the EActionType whose record changed; lParam: a TableChange.
inline constexpr UINT WM_TABLE_CHANGED = WM_USER + 250;
// wParam: a WindowCommand; lParam: its argument.
inline constexpr UINT WM_WINDOW_COMMAND = WM_USER + 251;

enum TableChange : LPARAM
{
    TableTextChanged = 0,
    TableStepStarted = 1,
    TableStepEnded = 2,
    TableStepFailed = 3,
    TableLineHidden = 4,
};

enum WindowCommand : WPARAM
{
    CmdShowStatus = 0,      // lParam: SW_SHOW (5) shows, anything else hides
    CmdEnableCancel = 1,    // lParam: non-zero enables
    CmdStartCountdown = 2,  // lParam: seconds, low 16 bits
    CmdCountdownTick = 3,
    CmdRunFinished = 4,     // Cancel becomes an enabled "Close"
    CmdQuit = 5,            // end the message loop
};
}
