#include "StatusWnd.h"

#include "WindowDpi.h"
#include "WindowTexts.h"

#include "DllSearch.h"
#include "Engine/IActionTable.h"
#include "Engine/IInstallData.h"
#include "Engine/IInstallerThread.h"
#include "Engine/InstallContext.h"
#include "Engine/WindowMessages.h"
#include "OvErrorObject.h"
#include "ResString.h"
#include "Trace.h"
#include "res/resource.h"

#include <commctrl.h>

namespace ovinst
{
namespace
{
// Longer than one countdown step, so the installer thread ends by itself.
constexpr DWORD kRebootStopMs = 3000;

// Carries the installer thread's request for the user's choice to the entry thread, where
// the windows live: focus and foreground can be set only there.
constexpr UINT WM_REQUEST_USER_ACTION = WM_APP + 1;

// Brackets a read of the engine's action table.
class TableLock
{
public:
    explicit TableLock(IActionTable& table) : m_table(table) { m_table.Lock(); }
    ~TableLock() { m_table.Unlock(); }
    TableLock(const TableLock&) = delete;
    TableLock& operator=(const TableLock&) = delete;

private:
    IActionTable& m_table;
};
}

CStatusWnd::CStatusWnd()
{
    OV_TRACE_FUNCTION();
    // The countdown's progress bar is a common control: its class must be registered.
    // comctl32 is no known DLL, so it is taken from the system folder at run time rather
    // than imported, which would let a copy beside the program load first.
    if (HMODULE comctl32 = OvBase::LoadSystemLibrary(L"comctl32.dll"))
    {
        using InitFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
        auto init = reinterpret_cast<InitFn>(reinterpret_cast<void*>(GetProcAddress(comctl32, "InitCommonControlsEx")));
        INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS};
        if (!init || !init(&controls))
            OV_TRACE(OvBase::TraceWarning, L"Common controls not registered %d", static_cast<int>(GetLastError()));
    }
    if (!CreateModeless(IDD_STATUS, nullptr))
    {
        OV_TRACE(OvBase::TraceWarning, L"Error creating status wnd %d", static_cast<int>(GetLastError()));
        ThrowErrorText(L"CStatusWnd::CStatusWndFailed to create CStatusWnd");
    }
    ShowWindow(m_hwnd, SW_HIDE);
    if (!m_summary.Create(nullptr))
    {
        OV_TRACE(OvBase::TraceWarning, L"Error creating summary wnd %d", static_cast<int>(GetLastError()));
        Destroy();
        ThrowErrorText(L"CStatusWnd::CStatusWndFailed to create SummaryWnd");
    }
    m_summary.Hide();
    m_summary.SetPrev(this);
}

CStatusWnd::~CStatusWnd()
{
    // The line table kills its timer on this window, so it goes before the window.
    m_lines.reset();
    Destroy();
}

BOOL CStatusWnd::OnInitDialog()
{
    // Both sizes at the window's DPI, each drawn from its own image.
    const UINT dpi = WindowDpi(m_hwnd);
    const auto load = [dpi](int size) {
        const int pixels = ScaleToDpi(size, dpi);
        return reinterpret_cast<LPARAM>(
            LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_SETUP), IMAGE_ICON, pixels, pixels, LR_SHARED));
    };
    SendMessageW(m_hwnd, WM_SETICON, ICON_BIG, load(32));
    SendMessageW(m_hwnd, WM_SETICON, ICON_SMALL, load(16));
    if (utils::CInstallContext::Instance().IsAutoInstall())
    {
        ShowWindow(GetItem(IDCANCEL), SW_HIDE);
        SetCapture(m_hwnd);
    }
    return TRUE;
}

bool CStatusWnd::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    static const MessageEntry<CStatusWnd> table[] = {
        {WM_COMMAND, IDCANCEL, &CStatusWnd::OnBnClickedCancel},
        {WM_TABLE_CHANGED, 0, &CStatusWnd::OnTableChangedMsg},
        {WM_WINDOW_COMMAND, 0, &CStatusWnd::OnWindowCommandMsg},
        {WM_TIMER, 0, &CStatusWnd::OnTimer},
        {WM_COMMAND, IDC_REBOOT, &CStatusWnd::OnBnClickedRebootNow},
        {WM_COMMAND, IDC_CONSOLE_CHOICE, &CStatusWnd::OnBnClickedUninstallStart},
        {WM_REQUEST_USER_ACTION, 0, &CStatusWnd::OnRequestUserActionMsg},
    };
    return Dispatch(this, table, message, wParam, lParam, result);
}

void CStatusWnd::ShowMessage(const wchar_t* text)
{
    SetDlgItemTextW(m_hwnd, IDC_MESSAGE, text ? text : L"");
    ShowWindow(GetItem(IDC_MESSAGE), SW_SHOW);
}

void CStatusWnd::Initialize(const std::wstring& title, IInstallerThread* thread,
                            const std::shared_ptr<IActionTable>& actionTable)
{
    OV_TRACE_FUNCTION();
    m_actionTable = actionTable;
    m_lines.reset();
    m_lines = gui::CreateGuiActionTable(m_hwnd);
    SetWindowTextW(m_hwnd, title.c_str());
    SetWindowTextW(m_summary.GetSafeHwnd(), title.c_str());
    m_thread = thread;
    m_summary.SetInstallerThread(thread);
}

void CStatusWnd::RequestUserAction(const std::shared_ptr<IInstallData>& installData)
{
    OV_TRACE_FUNCTION();
    // Kept before the post; the installer thread waits for the choice from now on.
    m_installData = installData;
    PostMessageW(m_hwnd, WM_REQUEST_USER_ACTION, 0, 0);
}

LRESULT CStatusWnd::OnRequestUserActionMsg(WPARAM, LPARAM)
{
    if (!m_installData)
        return 0;
    if (m_installData->GetInstallerType() == 1)
        ShowSummary(m_installData);
    else
        ShowConsoleChoice(m_installData);
    return 0;
}

void CStatusWnd::ShowStatus(int showCommand)
{
    m_summary.Hide();
    if (showCommand == SW_SHOW)
        Show();
    else
        Hide();
}

void CStatusWnd::SetUninstallOrder(bool uninstall)
{
    if (m_actionTable)
        m_actionTable->SetUninstallOrder(uninstall);
}

void CStatusWnd::Show()
{
    // No forced way to the front: a run that only progresses leaves the keyboard where
    // the user has it. The states that need the user bring the window forward themselves.
    ShowWindow(m_hwnd, SW_SHOW);
    KeepFocusUsable(IDCANCEL);
    InvalidateRect(m_hwnd, nullptr, TRUE);
}

void CStatusWnd::Hide()
{
    ShowWindow(m_hwnd, SW_HIDE);
}

void CStatusWnd::ShowSummary(const std::shared_ptr<IInstallData>& installData)
{
    m_installData = installData;
    if (!m_summary.GetSafeHwnd())
        return;
    Hide();
    m_summary.Setup(installData);
    m_summary.Show();
    if (utils::CInstallContext::Instance().IsAutoInstall())
        m_summary.ChooseUnattended();
}

void CStatusWnd::ShowConsoleChoice(const std::shared_ptr<IInstallData>& installData)
{
    OV_TRACE_FUNCTION();
    m_installData = installData;
    m_choiceMode = ChoiceNone;
    const IMsiPackage& console = installData->GetPackages()[ControlCenterId];
    if (!console.IsInstalled())
        return;
    const bool unattended = utils::CInstallContext::Instance().IsAutoInstall();
    m_choiceMode = ChoiceModify;
    if (console.CanBeUpdated())
    {
        m_choiceMode = ChoiceUpdate;
        SetDlgItemTextW(m_hwnd, IDC_CONSOLE_CHOICE, utils::LoadResString(IDS_UPDATE).c_str());
        const std::wstring newVersion = console.GetNewVersion();
        const std::wstring installedVersion = console.GetInstalledVersion();
        ShowVersions(newVersion.c_str(), installedVersion.c_str());
    }
    else
        SetDlgItemTextW(m_hwnd, IDC_CONSOLE_CHOICE, utils::LoadResString(IDS_MODIFY).c_str());
    ShowWindow(GetItem(IDC_CONSOLE_CHOICE), SW_SHOW);
    if (unattended)
    {
        // Nobody answers: the button is pressed as it stands, except that "Modify"
        // removes the Control Center, which nobody asked for: then nothing is done.
        if (m_choiceMode == ChoiceUpdate)
        {
            OV_TRACE(OvBase::TraceInfo, L"Unattended run: the choice is Update");
            TakeConsoleChoice();
        }
        else
        {
            OV_TRACE(OvBase::TraceInfo, L"Unattended run: nothing to do");
            EndRun();
        }
        return;
    }
    BringToFront();
    // "Modify" removes the Control Center without a question, so Enter must not press it.
    FocusControl(m_choiceMode == ChoiceUpdate ? IDC_CONSOLE_CHOICE : IDCANCEL);
}

void CStatusWnd::ShowVersions(const wchar_t* newVersion, const wchar_t* installedVersion)
{
    if (newVersion)
        m_newVersion = newVersion;
    if (installedVersion)
        m_installedVersion = installedVersion;
    SetDlgItemTextW(m_hwnd, IDC_MESSAGE, UpdateVersionsText(m_installedVersion, m_newVersion).c_str());
    ShowWindow(GetItem(IDC_MESSAGE), SW_SHOW);
}

void CStatusWnd::CancelBecomesClose()
{
    HWND cancel = GetItem(IDCANCEL);
    EnableWindow(cancel, TRUE);
    SetWindowTextW(cancel, utils::LoadResString(IDS_CLOSE).c_str());
}

void CStatusWnd::RunEnded()
{
    CancelBecomesClose();
    // The end needs the user: Close takes the focus, and Enter and Esc both press it.
    BringToFront();
    if (IsUsable(IDCANCEL))
        FocusControl(IDCANCEL);
}

LRESULT CStatusWnd::OnTableChangedMsg(WPARAM actionType, LPARAM status)
{
    if (!m_actionTable || !m_lines)
        return 0;
    ActionRecord record;
    {
        TableLock lock(*m_actionTable);
        record = m_actionTable->GetAction(static_cast<EActionType>(actionType));
    }
    switch (status)
    {
    case TableTextChanged:
        m_lines->ActionText(record.line, record.text.c_str());
        break;
    case TableStepStarted:
        m_lines->ActionStart(record.line);
        break;
    case TableStepEnded:
        m_lines->ActionEnd(record.line);
        break;
    case TableStepFailed:
        m_lines->Error(record.line);
        RunEnded();
        break;
    case TableLineHidden:
        m_lines->HideLine(record.line);
        break;
    default:
        ThrowErrorText(L"Wrong status");
    }
    return 0;
}

LRESULT CStatusWnd::OnWindowCommandMsg(WPARAM command, LPARAM argument)
{
    switch (command)
    {
    case CmdShowStatus:
        ShowStatus(static_cast<int>(argument));
        break;
    case CmdEnableCancel:
        EnableWindow(GetItem(IDCANCEL), argument != 0);
        KeepFocusUsable(IDCANCEL);
        break;
    case CmdStartCountdown:
        BringToFront();
        ShowRebootButton(true);
        StartCountdown(static_cast<short>(LOWORD(argument)));
        break;
    case CmdCountdownTick:
        CountdownStep();
        break;
    case CmdRunFinished:
        RunEnded();
        break;
    case CmdQuit:
        PostQuitMessage(0);
        break;
    default:
        ThrowErrorText(L"Wrong commandType");
    }
    return 0;
}

void CStatusWnd::ShowRebootButton(bool show)
{
    HWND reboot = GetItem(IDC_REBOOT);
    if (utils::CInstallContext::Instance().IsAutoInstall() || !reboot)
        return;
    ShowWindow(reboot, show ? SW_SHOW : SW_HIDE);
    EnableWindow(GetItem(IDCANCEL), TRUE);
    if (show)
        FocusControl(IDC_REBOOT);
    else
        KeepFocusUsable(IDCANCEL);
}

void CStatusWnd::StartCountdown(short seconds)
{
    m_countdown = seconds;
    HWND bar = GetItem(IDC_COUNTDOWN_BAR);
    if (!bar)
        return;
    ShowWindow(bar, SW_SHOW);
    SendMessageW(bar, PBM_SETRANGE, 0, MAKELPARAM(0, seconds));
    SendMessageW(bar, PBM_SETPOS, 0, 0);
    ShowWindow(GetItem(IDC_MESSAGE), SW_SHOW);
}

void CStatusWnd::CountdownStep()
{
    HWND bar = GetItem(IDC_COUNTDOWN_BAR);
    if (!bar)
        return;
    SendMessageW(bar, PBM_DELTAPOS, 1, 0);
    const std::wstring text = CountdownText(m_countdown);
    --m_countdown;
    SetDlgItemTextW(m_hwnd, IDC_MESSAGE, text.c_str());
}

void CStatusWnd::HideCountdown()
{
    HWND bar = GetItem(IDC_COUNTDOWN_BAR);
    if (!bar)
        return;
    ShowWindow(bar, SW_HIDE);
    ShowWindow(GetItem(IDC_MESSAGE), SW_HIDE);
}

LRESULT CStatusWnd::OnTimer(WPARAM timerId, LPARAM)
{
    if (!m_lines || !m_actionTable || timerId != m_lines->GetTimerId())
        return 0;
    int32_t running = 0;
    {
        TableLock lock(*m_actionTable);
        running = m_actionTable->GetCurrentLine();
    }
    m_lines->AnimationTick(running);
    return 0;
}

LRESULT CStatusWnd::OnBnClickedCancel(WPARAM, LPARAM)
{
    // Esc and the dialog manager send IDCANCEL even while the button is hidden (an
    // unattended run) or disabled (a step that must not be interrupted).
    if (!IsUsable(IDCANCEL))
        return 0;
    EndRun();
    return 0;
}

void CStatusWnd::EndRun()
{
    OV_TRACE_FUNCTION();
    if (m_thread)
    {
        EnableWindow(GetItem(IDCANCEL), FALSE);
        // The stop request first, so a released wait for the user's choice sees it.
        m_thread->RequestStop();
        m_thread->SignalUserAction();
        m_thread->Stop(INFINITE);
    }
    HideCountdown();
    CancelBecomesClose();
    PostQuitMessage(0);
}

LRESULT CStatusWnd::OnBnClickedRebootNow(WPARAM, LPARAM)
{
    OV_TRACE_FUNCTION();
    if (!IsUsable(IDC_REBOOT))
        return 0;
    if (m_thread)
    {
        EnableWindow(GetItem(IDCANCEL), FALSE);
        EnableWindow(GetItem(IDC_REBOOT), FALSE);
        // The countdown notices the stop request within a second; a thread terminated
        // while it holds a lock (heap, trace, action table) would hang the exit.
        m_thread->Stop(kRebootStopMs);
    }
    HideCountdown();
    OvBase::TraceLine(OvBase::TraceInfo, L"[CStatusWnd::OnBnClickedRebootNow]Setting restart on exit");
    utils::CInstallContext::Instance().SetRestartOnExit(true);
    PostQuitMessage(0);
    return 0;
}

LRESULT CStatusWnd::OnBnClickedUninstallStart(WPARAM, LPARAM)
{
    // Enter reaches a hidden default button too.
    if (IsUsable(IDC_CONSOLE_CHOICE))
        TakeConsoleChoice();
    return 0;
}

void CStatusWnd::TakeConsoleChoice()
{
    OV_TRACE_FUNCTION();
    if (!m_installData)
        return;
    ShowWindow(GetItem(IDC_CONSOLE_CHOICE), SW_HIDE);
    if (m_choiceMode == ChoiceModify)
        m_installData->UninstallAll();
    else
        m_installData->SetUserAction(ControlCenterId, true);
    ShowWindow(GetItem(IDC_MESSAGE), SW_HIDE);
    KeepFocusUsable(IDCANCEL);
    if (m_thread)
        m_thread->SignalUserAction();
}
}
