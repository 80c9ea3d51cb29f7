// Setup's own entry code and installer thread with a fault on purpose, each a read of address
// zero in a function without a frame of its own: "entry" makes the status window's creation
// fault on the entry thread, "thread" makes a step of a silent removal run fault on the
// installer thread, "other-thread" makes that step start a thread without a catcher that
// faults. The exit code, the dump in the temporary folder and the trace show what the
// catcher or the last resort made of it. The boxes go to standard output. A second argument
// "small" writes a small dump instead of the full one.
#include <windows.h>

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

#include "DllSearch.h"
#include "Engine/ExecContext.h"
#include "Engine/IInstallData.h"
#include "FramelessFaults.h"
#include "SehCatcher.h"
#include "Startup/SetupRun.h"
#include "Ui/IStatusCallback.h"
#include "Ui/SilentNotifier.h"

namespace
{
bool g_otherThread = false;

[[noreturn]] void ReadAddressZero()
{
    throw std::runtime_error(std::to_string(ovtest::ReadAt(0)));
}

class FaultingStep : public ovinst::IExecObject
{
public:
    void Exec(std::shared_ptr<ovinst::IExecContext>&, std::unique_ptr<ovinst::INotifier>&) override
    {
        if (g_otherThread)
            std::thread(ReadAddressZero).join();
        ReadAddressZero();
    }
    void Undo(std::shared_ptr<ovinst::IExecContext>&, std::unique_ptr<ovinst::INotifier>&) override {}
};

class NoPackages : public ovinst::IInstallData
{
public:
    ovinst::Packages& GetPackages() override { return m_packages; }
    const ovinst::Packages& GetPackages() const override { return m_packages; }
    int GetUIMode() const override { return 0; }
    std::wstring GetDirectory() const override { return L""; }
    std::wstring GetMsiOption() const override { return L""; }
    int GetInstallerType() const override { return ovinst::Server; }
    void UninstallAll() override {}
    void SetUserAction(ovinst::PackageId, bool) override {}
    bool IsUserActionNeeded() const override { return false; }

private:
    ovinst::Packages m_packages;
};

class FaultingFactory : public ovinst::IFactory
{
public:
    void CreateSequence(ovinst::ExecObjectList, std::shared_ptr<ovinst::ExecSequence>&) override {}
    void CreateUpdateContext(const ovinst::ExecObjectPtr&, ovinst::ExecObjectPtr&) override {}
    void CreateMsiTransaction(const ovinst::ExecObjectPtr&, ovinst::ExecObjectPtr&) override {}
    void CreateExecPackage(const std::shared_ptr<ovinst::IInstallData>&, const std::shared_ptr<::IMsiPackage>&,
                           ovinst::ExecObjectPtr&) override {}
    void CreateExecContext(int32_t mode, std::shared_ptr<ovinst::ExecContext>& result) override
    {
        result = std::make_shared<ovinst::ExecContext>(mode);
    }
    void CreateInstallData(const std::wstring&, const std::wstring&,
                           std::shared_ptr<ovinst::IInstallData>& result) override
    {
        result = std::make_shared<NoPackages>();
    }
    void CreatePreInstallSequence(const std::shared_ptr<ovinst::IInstallData>&, ovinst::ExecObjectPtr& result) override
    {
        result = std::make_shared<FaultingStep>();
    }
    void CreatePostInstallSequence(ovinst::ExecObjectPtr&) override {}
    void CreateInstallSequence(const std::shared_ptr<ovinst::IInstallData>&, ovinst::ExecObjectPtr&) override {}
    void CreateNotifier(const std::shared_ptr<ovinst::IStatusCallback>&, const std::shared_ptr<ovinst::IActionTable>&,
                        ovinst::StopRequestCallback, std::unique_ptr<ovinst::INotifier>& result) override
    {
        result = std::make_unique<ovinst::SilentNotifier>();
    }
    void CreateActionTable(ovinst::InstallerType, const std::shared_ptr<ovinst::IStatusCallback>&,
                           std::shared_ptr<ovinst::IActionTable>&) override {}
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
    OvBase::HardenDllSearch();
    std::wstring where = argc > 1 ? argv[1] : L"";
    if (argc > 2 && std::wstring(argv[2]) == L"small")
        OvBase::SetCrashDumpType(MiniDumpNormal);
    ovinst::RunServices services;
    services.messageBox = &PrintBox;
    services.makeFactory = [](ovinst::InstallerType, bool) { return std::make_shared<FaultingFactory>(); };
    services.createWindow = []() -> std::shared_ptr<ovinst::IStatusCallback> { ReadAddressZero(); };
    if (where == L"entry")
        return ovinst::RunSetup(GetModuleHandleW(nullptr), L"", services);
    g_otherThread = where == L"other-thread";
    if (where == L"thread" || g_otherThread)
        // A removal run needs no package files; the parent id names no process.
        return ovinst::RunSetup(GetModuleHandleW(nullptr), L"/script /PID:99999999", services);
    fwprintf(stderr, L"usage: CrashProbe entry|thread|other-thread [small]\n");
    return 2;
}
