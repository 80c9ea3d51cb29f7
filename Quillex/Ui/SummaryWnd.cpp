#include "SummaryWnd.h"

#include "WindowTexts.h"

#include "Engine/IInstallData.h"
#include "Engine/IInstallerThread.h"
#include "Engine/InstallContext.h"
#include "ResString.h"
#include "Trace.h"
#include "res/resource.h"

namespace ovinst
{
namespace
{
bool IsChecked(HWND dialog, int id)
{
    return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}
}

bool AskYesNo(HWND window, const std::wstring& message, const std::wstring& title, UINT icon)
{
    OvBase::TraceLine(OvBase::TraceInfo, L"ask user with message: %s", message.c_str());
    // A question needs the user: the box comes to the front.
    return MessageBoxW(window, message.c_str(), title.c_str(), icon | MB_SYSTEMMODAL | MB_SETFOREGROUND | MB_YESNO) ==
           IDYES;
}

CSummaryWnd::~CSummaryWnd() = default;

bool CSummaryWnd::Create(HWND parent)
{
    return CreateModeless(IDD_SUMMARY, parent);
}

BOOL CSummaryWnd::OnInitDialog()
{
    if (utils::CInstallContext::Instance().IsAutoInstall())
    {
        ShowWindow(GetItem(IDCANCEL), SW_HIDE);
        SetCapture(m_hwnd);
    }
    CheckDlgButton(m_hwnd, IDC_CHECK_SECURITY, BST_CHECKED);
    CheckDlgButton(m_hwnd, IDC_CHECK_AUTH, BST_CHECKED);
    return TRUE;
}

bool CSummaryWnd::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    static const MessageEntry<CSummaryWnd> table[] = {
        {WM_COMMAND, IDCANCEL, &CSummaryWnd::OnBnClickedCancel},
        {WM_COMMAND, IDC_ACTION, &CSummaryWnd::OnBnClickedAction},
        {WM_COMMAND, IDC_UNINSTALL, &CSummaryWnd::OnBnClickedUninstallStart},
        {WM_COMMAND, IDC_CHECK_SYNC, &CSummaryWnd::OnBnClickedSyncService},
    };
    return Dispatch(this, table, message, wParam, lParam, result);
}

void CSummaryWnd::Show()
{
    ShowWindow(m_hwnd, SW_SHOW);
    BringToFront();
    // The action button is the default: Enter presses it. While it is disabled (nothing
    // changed yet) the focus is on the Synchronization service box.
    SendMessageW(m_hwnd, DM_SETDEFID, IDC_ACTION, 0);
    if (IsUsable(PreferredFocusId()))
        FocusControl(PreferredFocusId());
    else
        KeepFocusUsable(PreferredFocusId());
    InvalidateRect(m_hwnd, nullptr, TRUE);
}

int CSummaryWnd::PreferredFocusId() const
{
    return IsUsable(IDC_ACTION) ? IDC_ACTION : IDC_CHECK_SYNC;
}

void CSummaryWnd::ChooseUnattended()
{
    OV_TRACE_FUNCTION();
    // Nobody answers an unattended run: the action button is pressed with the boxes as
    // they start; when it cannot be pressed (installed and current), there is nothing to do.
    if (IsUsable(IDC_ACTION))
    {
        OV_TRACE(OvBase::TraceInfo, L"Unattended run: the choice is the action button");
        TakeChoice();
        return;
    }
    OV_TRACE(OvBase::TraceInfo, L"Unattended run: nothing to do");
    EndRun();
}

void CSummaryWnd::Hide()
{
    ShowWindow(m_hwnd, SW_HIDE);
}

void CSummaryWnd::Setup(const std::shared_ptr<IInstallData>& installData)
{
    OV_TRACE_FUNCTION();
    m_installData = installData;
    const Packages& packages = installData->GetPackages();
    if (packages[SecurityServerId].IsInstalled())
    {
        const bool syncInstalled = packages[SyncServiceId].IsInstalled();
        const bool updateNeeded = packages[SecurityServerId].CanBeUpdated() || packages[AuthServerId].CanBeUpdated() ||
                                  packages[SyncServiceId].CanBeUpdated();
        SetupUpdateOrChange(syncInstalled, updateNeeded);
    }
    else
    {
        OV_TRACE(OvBase::TraceInfo, L"Window mode is Install");
        SetupInstall();
    }
}

void CSummaryWnd::SetupInstall()
{
    m_mode = ModeInstall;
    m_syncInstalled = false;
    CheckDlgButton(m_hwnd, IDC_CHECK_SYNC, BST_UNCHECKED);
    EnableWindow(GetItem(IDC_CHECK_SYNC), TRUE);
    SetDlgItemTextW(m_hwnd, IDC_HEADING, utils::LoadResString(IDS_SELECT_INSTALL).c_str());
    SetDlgItemTextW(m_hwnd, IDC_ACTION, utils::LoadResString(IDS_INSTALL).c_str());
    ShowWindow(GetItem(IDC_UNINSTALL), SW_HIDE);
}

void CSummaryWnd::SetupUpdateOrChange(bool syncInstalled, bool updateNeeded)
{
    m_syncInstalled = syncInstalled;
    if (updateNeeded)
    {
        OvBase::TraceLine(OvBase::TraceInfo, L"Window mode is Update");
        m_mode = ModeUpdate;
        SetDlgItemTextW(m_hwnd, IDC_ACTION, utils::LoadResString(IDS_UPDATE).c_str());
        const IMsiPackage& server = m_installData->GetPackages()[SecurityServerId];
        SetDlgItemTextW(m_hwnd, IDC_VERSION_TEXT,
                        UpdateVersionsText(server.GetInstalledVersion(), server.GetNewVersion()).c_str());
        ShowWindow(GetItem(IDC_VERSION_TEXT), SW_SHOW);
    }
    else
    {
        OvBase::TraceLine(OvBase::TraceInfo, L"Window mode is Change");
        m_mode = ModeChange;
        SetDlgItemTextW(m_hwnd, IDC_ACTION, utils::LoadResString(IDS_MODIFY).c_str());
        EnableWindow(GetItem(IDC_ACTION), FALSE);
    }
    CheckDlgButton(m_hwnd, IDC_CHECK_SYNC, syncInstalled ? BST_CHECKED : BST_UNCHECKED);
    EnableWindow(GetItem(IDC_CHECK_SYNC), TRUE);
    SetDlgItemTextW(m_hwnd, IDC_HEADING, utils::LoadResString(IDS_SELECT_INSTALL_UPDATE).c_str());
    ShowWindow(GetItem(IDC_UNINSTALL), SW_SHOW);
}

void CSummaryWnd::ActionButtonState(bool checked)
{
    const bool changed = checked != m_syncInstalled;
    bool enabled = true;
    UINT caption = IDS_INSTALL;
    if (m_mode == ModeUpdate)
        caption = changed ? IDS_MODIFY : IDS_UPDATE;
    else if (m_mode == ModeChange)
    {
        caption = IDS_MODIFY;
        enabled = changed;
    }
    EnableWindow(GetItem(IDC_ACTION), enabled);
    SetDlgItemTextW(m_hwnd, IDC_ACTION, utils::LoadResString(caption).c_str());
    KeepFocusUsable(PreferredFocusId());
}

LRESULT CSummaryWnd::OnBnClickedSyncService(WPARAM, LPARAM)
{
    // The box is not automatic: the window decides its state.
    const bool checked = !IsChecked(m_hwnd, IDC_CHECK_SYNC);
    CheckDlgButton(m_hwnd, IDC_CHECK_SYNC, checked ? BST_CHECKED : BST_UNCHECKED);
    ActionButtonState(checked);
    return 0;
}

LRESULT CSummaryWnd::OnBnClickedAction(WPARAM, LPARAM)
{
    // Enter reaches the default button even while it is disabled.
    if (IsUsable(IDC_ACTION))
        TakeChoice();
    return 0;
}

void CSummaryWnd::TakeChoice()
{
    OV_TRACE_FUNCTION();
    m_installData->SetUserAction(SecurityServerId, true);
    m_installData->SetUserAction(AuthServerId, true);
    m_installData->SetUserAction(SyncServiceId, IsChecked(m_hwnd, IDC_CHECK_SYNC));
    Hide();
    if (m_prev)
        m_prev->Show();
    if (m_thread)
        m_thread->SignalUserAction();
}

LRESULT CSummaryWnd::OnBnClickedUninstallStart(WPARAM, LPARAM)
{
    OV_TRACE_FUNCTION();
    if (!IsUsable(IDC_UNINSTALL))
        return 0;
    if (!AskYesNo(m_hwnd, utils::LoadResString(IDS_CONFIRM_UNINSTALL), InstallTitle(), MB_ICONWARNING))
        return 0;
    m_installData->UninstallAll();
    Hide();
    if (m_prev)
    {
        m_prev->SetUninstallOrder(true);
        m_prev->Show();
    }
    if (m_thread)
        m_thread->SignalUserAction();
    return 0;
}

LRESULT CSummaryWnd::OnBnClickedCancel(WPARAM, LPARAM)
{
    // Esc sends IDCANCEL even while Cancel is hidden (an unattended run).
    if (IsUsable(IDCANCEL))
        EndRun();
    return 0;
}

void CSummaryWnd::EndRun()
{
    OV_TRACE_FUNCTION();
    if (m_thread)
    {
        // The stop request first, so the released wait sees it.
        m_thread->RequestStop();
        m_thread->SignalUserAction();
        m_thread->Stop(INFINITE);
    }
    PostQuitMessage(0);
}
}
