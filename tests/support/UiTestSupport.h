// Window tests: the driver as a second process, message pumping, and stand-ins for the
// installer thread and the install data.
#pragma once

#include "Engine/IInstallData.h"
#include "Engine/IInstallerThread.h"
#include "Win32Objects.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ovinst
{
class CStatusWnd;
class IActionTable;
}

namespace testsupport
{
struct DriverRun
{
    DWORD exitCode = 0;
    std::string report;  // the driver's lines
    bool quitPosted = false;  // a WM_QUIT reached this thread's queue meanwhile
};

// Runs tests/helpers/UiDriver.exe with the commands (restricted to this process) while
// this thread dispatches its messages.
DriverRun RunUiDriver(const std::vector<std::wstring>& commands, DWORD timeoutMs = 5000);

// Dispatches this thread's messages until `done` holds or the time is up; false on timeout.
// A WM_QUIT sets `quitPosted` when given.
bool PumpUntil(const std::function<bool()>& done, DWORD milliseconds, bool* quitPosted = nullptr);
// Dispatches what is queued now.
void PumpPending();

// A status window of a server run, initialised and shown as the installer thread leaves
// it, with the engine's real action table.
struct ShownStatusWindow
{
    std::shared_ptr<ovinst::CStatusWnd> window;
    std::shared_ptr<ovinst::IActionTable> table;
};
ShownStatusWindow ShowStatusWindow(ovinst::IInstallerThread* thread);

// Records what the windows ask of the installer thread.
class FakeInstallerThread : public ovinst::IInstallerThread
{
public:
    void SignalUserAction() override { calls.push_back("signal"); }
    void RequestStop() override { calls.push_back("request-stop"); }
    void Stop(DWORD milliseconds) override { calls.push_back("stop:" + std::to_string(milliseconds)); }
    std::vector<std::string> calls;
};

// A real thread running `body`; Stop waits while dispatching this thread's messages.
class WorkerThread : public OvBase::CWin32Thread, public ovinst::IInstallerThread
{
public:
    explicit WorkerThread(std::function<DWORD(WorkerThread&)> body);
    ~WorkerThread() override;
    DWORD ThreadProc() override { return m_body(*this); }

    void SignalUserAction() override { m_userAction.Set(); }
    void RequestStop() override { GetStopEvent().Set(); }
    void Stop(DWORD milliseconds) override { OvBase::CWin32Thread::Stop(milliseconds); }
    // True when the user acted, false when a stop was requested first.
    bool WaitForUserAction();

private:
    std::function<DWORD(WorkerThread&)> m_body;
    OvBase::CWin32Event m_userAction;
};

class FakePackage : public IMsiPackage
{
public:
    FakePackage(ovinst::PackageId id, bool installed, bool updatable, std::wstring installedVersion = L"",
                std::wstring newVersion = L"");
    ovinst::PackageId GetId() const override { return m_id; }
    std::wstring GetFileName() const override { return L""; }
    std::wstring GetName() const override { return L""; }
    std::wstring GetLogFileName() const override { return L""; }
    std::wstring GetUpgradeCode() const override { return L""; }
    std::wstring GetInstalledVersion() const override { return m_installedVersion; }
    std::wstring GetNewVersion() const override { return m_newVersion; }
    bool IsInstalled() const override { return m_installed; }
    bool CanBeUpdated() const override { return m_updatable; }
    bool IsCritical() const override { return true; }
    MsiAction GetAction() const override { return m_action; }
    std::wstring GetTransform(int) const override { return L""; }
    void SetAction(MsiAction action) override { m_action = action; }

private:
    ovinst::PackageId m_id;
    bool m_installed;
    bool m_updatable;
    std::wstring m_installedVersion;
    std::wstring m_newVersion;
    MsiAction m_action = MsiActionNone;
};

// Records the user's choices in the order they are made.
class FakeInstallData : public ovinst::IInstallData
{
public:
    explicit FakeInstallData(int installerType) : m_installerType(installerType) {}
    void Add(std::shared_ptr<IMsiPackage> package) { m_packages.push_back(std::move(package)); }
    ovinst::Packages& GetPackages() override { return m_packages; }
    const ovinst::Packages& GetPackages() const override { return m_packages; }
    int GetUIMode() const override { return 1; }
    std::wstring GetDirectory() const override { return L""; }
    std::wstring GetMsiOption() const override { return L""; }
    int GetInstallerType() const override { return m_installerType; }
    void UninstallAll() override { calls.push_back("uninstall-all"); }
    void SetUserAction(ovinst::PackageId id, bool checked) override
    {
        calls.push_back("set:" + std::to_string(id) + (checked ? "=1" : "=0"));
    }
    bool IsUserActionNeeded() const override { return true; }

    std::vector<std::string> calls;

private:
    int m_installerType;
    ovinst::Packages m_packages;
};

// Server install data with the three server packages: installed flags, update flags.
std::shared_ptr<FakeInstallData> ServerData(bool serverInstalled, bool syncInstalled, bool updatable);
}
