// The window in which the user chooses what happens to the server components.
#pragma once

#include "DialogWindow.h"
#include "IChainedWindow.h"

#include <memory>

namespace ovinst
{
class IInstallData;
class IInstallerThread;

class CSummaryWnd : public CDialogWindow, public IChainedWindow
{
public:
    enum Mode : int
    {
        ModeInstall = 0,
        ModeChange = 1,
        ModeUpdate = 2,
    };

    CSummaryWnd() = default;
    ~CSummaryWnd() override;

    // Creates the hidden dialog from its template; false when that fails.
    bool Create(HWND parent);
    // Chooses the mode from what is installed and prepares the controls.
    void Setup(const std::shared_ptr<IInstallData>& installData);
    void SetInstallerThread(IInstallerThread* thread) { m_thread = thread; }
    int GetMode() const { return m_mode; }
    // An unattended run's choice, taken at once: the action button as it stands, or the
    // end of the run when it cannot be pressed.
    void ChooseUnattended();

    void SetNext(IChainedWindow* next) override { m_next = next; }
    void SetPrev(IChainedWindow* prev) override { m_prev = prev; }
    void SetUninstallOrder(bool) override {}
    void Show() override;
    void Hide() override;

protected:
    BOOL OnInitDialog() override;
    int PreferredFocusId() const override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void SetupInstall();
    void SetupUpdateOrChange(bool syncInstalled, bool updateNeeded);
    void ActionButtonState(bool checked);
    // What the action button does: the choice into the install data, the status window back.
    void TakeChoice();
    // What Cancel does: stops the installer thread and ends the message loop.
    void EndRun();

    LRESULT OnBnClickedCancel(WPARAM, LPARAM);
    LRESULT OnBnClickedAction(WPARAM, LPARAM);
    LRESULT OnBnClickedUninstallStart(WPARAM, LPARAM);
    LRESULT OnBnClickedSyncService(WPARAM, LPARAM);

    IChainedWindow* m_prev = nullptr;
    IChainedWindow* m_next = nullptr;
    int m_mode = ModeInstall;
    IInstallerThread* m_thread = nullptr;
    std::shared_ptr<IInstallData> m_installData;
    bool m_syncInstalled = false;
};

// A yes/no message box owned by `window`; true for Yes.
bool AskYesNo(HWND window, const std::wstring& message, const std::wstring& title, UINT icon);
}
