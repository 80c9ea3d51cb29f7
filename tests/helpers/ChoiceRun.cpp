// Setup's own entry run, installer thread and factory in an interactive run whose summary
// window is replaced by the caller's choice: when the thread asks for the user's decision,
// the choice given on the command line goes into the install data and the thread is
// released, as the summary window's action button does. Copied into a distribution folder,
// it runs on that folder's packages like Setup.exe. Exits with the run's code.
//   ChoiceRun components [sync] [-- options]
// "sync" checks the Synchronization service box; the options after "--" are the run's own
// command line ("/msi:..." and the like).
// The status window is a hidden window that never shows: any box the run opens is owned by
// it and shows on the desktop, where the caller's window watch sees it.
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>

#include "Engine/IInstallData.h"
#include "Engine/IInstallerThread.h"
#include "Engine/PackageTable.h"
#include "Startup/Factory.h"
#include "Startup/SetupRun.h"
#include "Ui/IStatusCallback.h"

namespace
{
class ChoosingWindow : public ovinst::IStatusCallback
{
public:
    explicit ChoosingWindow(bool sync) : m_sync(sync)
    {
        // Posted progress needs a window of the entry thread; it stays hidden.
        m_hwnd = CreateWindowExW(0, L"STATIC", L"ChoiceRun", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    }
    ~ChoosingWindow() override
    {
        if (m_hwnd)
            DestroyWindow(m_hwnd);
    }

    void ShowMessage(const wchar_t* text) override
    {
        wprintf(L"message: %ls\n", text);
        fflush(stdout);
    }
    HWND GetHwnd() override { return m_hwnd; }
    void Initialize(const std::wstring& title, ovinst::IInstallerThread* thread,
                    const std::shared_ptr<ovinst::IActionTable>&) override
    {
        wprintf(L"title: %ls\n", title.c_str());
        fflush(stdout);
        m_thread = thread;
    }
    // Called on the installer thread, which waits for the signal right after.
    void RequestUserAction(const std::shared_ptr<ovinst::IInstallData>& installData) override
    {
        wprintf(L"choice: components, sync %ls\n", m_sync ? L"checked" : L"unchecked");
        fflush(stdout);
        installData->SetUserAction(ovinst::SecurityServerId, true);
        installData->SetUserAction(ovinst::AuthServerId, true);
        installData->SetUserAction(ovinst::SyncServiceId, m_sync);
        m_thread->SignalUserAction();
    }
    void ShowStatus(int) override {}

private:
    bool m_sync;
    HWND m_hwnd = nullptr;
    ovinst::IInstallerThread* m_thread = nullptr;
};

int PrintBox(const wchar_t* text, const wchar_t* title, UINT)
{
    wprintf(L"box: %ls: %ls\n", title, text);
    fflush(stdout);
    return IDOK;
}
}

int wmain(int argc, wchar_t** argv)
{
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (argc < 2 || std::wstring(argv[1]) != L"components")
    {
        fwprintf(stderr, L"usage: ChoiceRun components [sync] [-- options]\n");
        return 2;
    }
    const bool sync = argc > 2 && std::wstring(argv[2]) == L"sync";
    const int next = sync ? 3 : 2;
    // Unattended, so that the run ends with its thread instead of waiting for a person to
    // close the status window; the choice is still asked for.
    std::wstring commandLine = L"/autoinstall";
    if (next < argc && std::wstring(argv[next]) == L"--")
        for (int i = next + 1; i < argc; ++i)
            commandLine += std::wstring(L" ") + argv[i];

    ovinst::RunServices services;
    services.messageBox = &PrintBox;
    services.createWindow = [sync] { return std::make_shared<ChoosingWindow>(sync); };
    services.makeFactory = [](ovinst::InstallerType type, bool silent) {
        return std::static_pointer_cast<ovinst::IFactory>(std::make_shared<Factory>(type, silent));
    };
    return ovinst::RunSetup(GetModuleHandleW(nullptr), commandLine.c_str(), services);
}
