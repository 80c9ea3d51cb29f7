#include "UiTestSupport.h"

#include "Engine/ActionTable.h"
#include "Ui/DialogWindow.h"
#include "Ui/StatusWnd.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace testsupport
{
bool PumpUntil(const std::function<bool()>& done, DWORD milliseconds, bool* quitPosted)
{
    const DWORD start = GetTickCount();
    for (;;)
    {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        {
            if (msg.message == WM_QUIT)
            {
                if (quitPosted)
                    *quitPosted = true;
                continue;
            }
            // As the program's own loop: keys reach the windows through their dialog manager.
            if (ovinst::IsModelessDialogMessage(msg))
                continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done())
            return true;
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= milliseconds)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, std::min<DWORD>(20, milliseconds - elapsed), QS_ALLINPUT);
    }
}

ShownStatusWindow ShowStatusWindow(ovinst::IInstallerThread* thread)
{
    ShownStatusWindow shown;
    shown.window = std::make_shared<ovinst::CStatusWnd>();
    shown.table = std::make_shared<ovinst::SecutityServerTable>(shown.window->GetHwnd(), false);
    shown.window->Initialize(L"Orvane Studio install", thread, shown.table);
    shown.window->ShowStatus(SW_SHOW);
    return shown;
}

void PumpPending()
{
    PumpUntil([] { return true; }, 0);
}

DriverRun RunUiDriver(const std::vector<std::wstring>& commands, DWORD timeoutMs)
{
    DriverRun run;
    wchar_t tempDir[MAX_PATH];
    GetTempPathW(MAX_PATH, tempDir);
    wchar_t outFile[MAX_PATH];
    GetTempFileNameW(tempDir, L"drv", 0, outFile);

    std::wstring commandLine = L"\"" + std::wstring(OV_BIN_DIR) + L"\\UiDriver.exe\" /timeout:" +
                               std::to_wstring(timeoutMs) + L" /pid:" + std::to_wstring(GetCurrentProcessId()) +
                               L" \"/out:" + outFile + L"\"";
    for (const auto& command : commands)
        commandLine += L" \"" + command + L"\"";

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    {
        run.exitCode = 0xFFFFFFFF;
        run.report = "cannot start UiDriver.exe";
        DeleteFileW(outFile);
        return run;
    }
    CloseHandle(process.hThread);
    PumpUntil([&] { return WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0; },
              timeoutMs * static_cast<DWORD>(commands.size() + 1) + 10000, &run.quitPosted);
    if (WaitForSingleObject(process.hProcess, 0) != WAIT_OBJECT_0)
    {
        TerminateProcess(process.hProcess, 3);
        WaitForSingleObject(process.hProcess, INFINITE);
    }
    GetExitCodeProcess(process.hProcess, &run.exitCode);
    CloseHandle(process.hProcess);

    std::ifstream in(outFile);
    std::stringstream text;
    text << in.rdbuf();
    run.report = text.str();
    in.close();
    DeleteFileW(outFile);
    return run;
}

WorkerThread::WorkerThread(std::function<DWORD(WorkerThread&)> body) : m_body(std::move(body)), m_userAction(true)
{
    m_userAction.Create_Ex();
}

WorkerThread::~WorkerThread()
{
    OvBase::CWin32Thread::Stop(5000);
}

bool WorkerThread::WaitForUserAction()
{
    HANDLE handles[] = {GetStopEvent().GetHandle(), m_userAction.GetHandle()};
    WaitForMultipleObjects(2, handles, FALSE, INFINITE);
    return !IsStopRequested();
}

FakePackage::FakePackage(ovinst::PackageId id, bool installed, bool updatable, std::wstring installedVersion,
                         std::wstring newVersion)
    : m_id(id),
      m_installed(installed),
      m_updatable(updatable),
      m_installedVersion(std::move(installedVersion)),
      m_newVersion(std::move(newVersion))
{
}

std::shared_ptr<FakeInstallData> ServerData(bool serverInstalled, bool syncInstalled, bool updatable)
{
    auto data = std::make_shared<FakeInstallData>(1);
    data->Add(std::make_shared<FakePackage>(ovinst::SecurityServerId, serverInstalled, updatable && serverInstalled,
                                            L"12.1.100.0", L"12.1.200.0"));
    data->Add(std::make_shared<FakePackage>(ovinst::AuthServerId, serverInstalled, false));
    data->Add(std::make_shared<FakePackage>(ovinst::SyncServiceId, syncInstalled, false));
    return data;
}
}
