// What the engine asks of the status window.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

namespace ovinst
{
class IActionTable;
class IInstallData;
class IInstallerThread;

class IStatusCallback
{
public:
    virtual ~IStatusCallback() = default;
    virtual void ShowMessage(const wchar_t* text) = 0;
    // Owner of the notifier's message boxes and target of the posted messages.
    virtual HWND GetHwnd() = 0;
    // Called once, before the window is first shown.
    virtual void Initialize(const std::wstring& title, IInstallerThread* thread,
                            const std::shared_ptr<IActionTable>& actionTable) = 0;
    // Offers the user the choice of what to do with the packages; returns at once.
    virtual void RequestUserAction(const std::shared_ptr<IInstallData>& installData) = 0;
    // SW_SHOW (5) shows the status window, anything else hides it; the summary
    // window is hidden either way.
    virtual void ShowStatus(int showCommand) = 0;
};
}
