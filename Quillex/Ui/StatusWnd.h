// The main window of a run with windows: the step lines, messages, the restart countdown,
// Cancel/Close, Reboot and the console's choice button. Owns the summary window.
#pragma once

#include "DialogWindow.h"
#include "IChainedWindow.h"
#include "IGuiActionTable.h"
#include "IStatusCallback.h"
#include "SummaryWnd.h"

#include <memory>
#include <string>

namespace ovinst
{
class CStatusWnd : public CDialogWindow, public IStatusCallback, public IChainedWindow
{
public:
    enum ChoiceMode : int
    {
        ChoiceNone = 0,
        ChoiceModify = 1,
        ChoiceUpdate = 2,
    };

    // Creates both dialogs hidden; throws when either cannot be created.
    CStatusWnd();
    ~CStatusWnd() override;

    // IStatusCallback
    void ShowMessage(const wchar_t* text) override;
    HWND GetHwnd() override { return m_hwnd; }
    void Initialize(const std::wstring& title, IInstallerThread* thread,
                    const std::shared_ptr<IActionTable>& actionTable) override;
    void RequestUserAction(const std::shared_ptr<IInstallData>& installData) override;
    void ShowStatus(int showCommand) override;

    // IChainedWindow
    void SetNext(IChainedWindow*) override {}
    void SetPrev(IChainedWindow*) override {}
    void SetUninstallOrder(bool uninstall) override;
    void Show() override;
    void Hide() override;

    CSummaryWnd& GetSummary() { return m_summary; }
    int GetChoiceMode() const { return m_choiceMode; }

protected:
    BOOL OnInitDialog() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void ShowSummary(const std::shared_ptr<IInstallData>& installData);
    void ShowConsoleChoice(const std::shared_ptr<IInstallData>& installData);
    void ShowVersions(const wchar_t* newVersion, const wchar_t* installedVersion);
    void ShowRebootButton(bool show);
    void StartCountdown(short seconds);
    void CountdownStep();
    void HideCountdown();
    void CancelBecomesClose();
    // The run has ended (finished or failed): Close, in front, with the focus.
    void RunEnded();
    // What Cancel does: stops the installer thread and ends the message loop.
    void EndRun();
    // What button 1017 does: Update, or the removal that "Modify" stands for.
    void TakeConsoleChoice();

    LRESULT OnTableChangedMsg(WPARAM actionType, LPARAM status);
    LRESULT OnWindowCommandMsg(WPARAM command, LPARAM argument);
    LRESULT OnRequestUserActionMsg(WPARAM, LPARAM);
    LRESULT OnTimer(WPARAM timerId, LPARAM);
    LRESULT OnBnClickedCancel(WPARAM, LPARAM);
    LRESULT OnBnClickedRebootNow(WPARAM, LPARAM);
    LRESULT OnBnClickedUninstallStart(WPARAM, LPARAM);

    short m_countdown = 0;
    std::wstring m_newVersion;
    std::wstring m_installedVersion;
    IInstallerThread* m_thread = nullptr;
    CSummaryWnd m_summary;
    std::shared_ptr<IInstallData> m_installData;
    int m_choiceMode = ChoiceNone;
    std::shared_ptr<IActionTable> m_actionTable;
    std::unique_ptr<gui::IGuiActionTable> m_lines;
};
}
