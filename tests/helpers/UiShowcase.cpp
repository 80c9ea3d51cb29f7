// Puts the real windows into one state for a screenshot and keeps them up for a while:
//   UiShowcase.exe installing|failed|countdown|summary-install|summary-change|summary-update [seconds]
// tools/screenshots.sh runs it once per state.
#include "Engine/ActionTable.h"
#include "Engine/WindowMessages.h"
#include "ResString.h"
#include "Ui/StatusWnd.h"
#include "UiTestSupport.h"
#include "res/resource.h"

#include <windows.h>

#include <cwchar>
#include <memory>
#include <string>

using namespace ovinst;

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2)
        return 2;
    const std::wstring state = argv[1];
    const DWORD lifetime = argc > 2 ? static_cast<DWORD>(_wtoi(argv[2])) * 1000 : 6000;

    auto window = std::make_shared<CStatusWnd>();
    auto table = std::make_shared<SecutityServerTable>(window->GetHwnd(), false);
    testsupport::FakeInstallerThread thread;
    window->Initialize(L"Orvane Studio install", &thread, table);
    SetWindowPos(window->GetHwnd(), nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    SetWindowPos(window->GetSummary().GetSafeHwnd(), nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    window->ShowStatus(SW_SHOW);
    testsupport::PumpPending();

    const auto line = [&](EActionType type, const std::wstring& text) {
        table->ActionStart(type);
        table->ActionEnd(type);
        if (!text.empty())
            table->ActionText(type, text);
    };
    if (state == L"installing" || state == L"failed" || state == L"countdown")
    {
        line(ActionAnalyzeSystem, L"");
        line(ActionAnalyzeUpdates, L"");
        table->ActionText(ActionMainPackage, L"Security Server: installing");
        table->ActionStart(ActionMainPackage);
    }
    if (state == L"failed")
    {
        table->ActionEnd(ActionMainPackage);
        table->ActionText(ActionMainPackage, L"Security Server: installed");
        table->ActionText(ActionAuthServer, L"Authentication Server: installing");
        table->ActionStart(ActionAuthServer);
        table->Error(ActionAuthServer);
        table->ActionText(ActionAuthServer, L"Authentication Server: installation failed");
        window->ShowMessage(L"Authentication server install error.\nFatal error during installation. (0x80070643)");
    }
    if (state == L"countdown")
    {
        table->ActionEnd(ActionMainPackage);
        table->ActionText(ActionMainPackage, L"Security Server: installed");
        line(ActionAuthServer, L"Authentication Server: installed");
        line(ActionSyncService, L"Synchronization service: installed");
        PostMessageW(window->GetHwnd(), WM_WINDOW_COMMAND, CmdStartCountdown, 120);
        for (int i = 0; i < 18; ++i)
            PostMessageW(window->GetHwnd(), WM_WINDOW_COMMAND, CmdCountdownTick, 0);
    }
    if (state.rfind(L"summary-", 0) == 0)
    {
        const bool installed = state != L"summary-install";
        window->RequestUserAction(testsupport::ServerData(installed, installed, state == L"summary-update"));
    }
    // Three animation steps on the running line.
    if (state == L"installing")
    {
        testsupport::PumpPending();
        for (int i = 0; i < 3; ++i)
            PostMessageW(window->GetHwnd(), WM_TIMER, 1, 0);
    }
    testsupport::PumpUntil([] { return false; }, lifetime);
    return 0;
}
