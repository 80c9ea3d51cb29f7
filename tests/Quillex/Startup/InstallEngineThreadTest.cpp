// The installer thread driven by a recording factory: order of the factory's calls, exit
// codes, the wait for the user's choice, and the language mark's clean-up.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "AbortInstallException.h"
#include "Engine/ExecContext.h"
#include "Engine/IInstallData.h"
#include "Engine/ShownError.h"
#include "FramelessFaults.h"
#include "OvErrorObject.h"
#include "ProductGuids.h"
#include "ProductRegistry.h"
#include "ScopedInstall.h"
#include "SehCatcher.h"
#include "Startup/InstallEngineThread.h"
#include "TempFolderScope.h"
#include "TraceTestSupport.h"
#include "Ui/IStatusCallback.h"
#include "Ui/SilentNotifier.h"

using ovinst::ExecObjectPtr;
using ovinst::InstallEngineThread;

namespace
{
using CallLog = std::vector<std::string>;

enum class Failure
{
    None,
    OvErrorCode,
    OvErrorZero,
    ShownOvError,  // an error with a code that the step has shown to the user
    Abort,
    FailedStep,  // marks its line failed, then stops the run (told the user already)
    Other,
    AccessViolation,
};

[[noreturn]] void Fail(Failure failure)
{
    switch (failure)
    {
    case Failure::OvErrorCode:
        ThrowErrorCode(0x80070005);
    case Failure::OvErrorZero:
        throw OvBase::COvError(DWORD(0), nullptr, 0, nullptr);
    case Failure::ShownOvError:
    {
        OvBase::COvError error(DWORD(0x80070643), nullptr, 0, nullptr);
        ovinst::MarkShownToUser(error);
        throw error;
    }
    case Failure::Abort:
    case Failure::FailedStep:
        throw utils::AbortInstallException();
    case Failure::AccessViolation:
        // In a function without a frame, as small functions are at -O2.
        throw std::runtime_error(std::to_string(ovtest::ReadAt(0x10)));
    default:
        throw std::runtime_error("step failed");
    }
}

class Step : public ovinst::IExecObject
{
public:
    Step(CallLog& log, std::string name, Failure failure) : m_log(log), m_name(std::move(name)), m_failure(failure) {}
    void Exec(std::shared_ptr<ovinst::IExecContext>& context, std::unique_ptr<ovinst::INotifier>& notifier) override
    {
        m_log.push_back(m_name + (context ? ".Exec(context)" : ".Exec()"));
        if (m_failure == Failure::FailedStep)
            notifier->ActionError(3);
        if (m_failure != Failure::None)
            Fail(m_failure);
    }
    void Undo(std::shared_ptr<ovinst::IExecContext>&, std::unique_ptr<ovinst::INotifier>&) override {}

private:
    CallLog& m_log;
    std::string m_name;
    Failure m_failure;
};

class Data : public ovinst::IInstallData
{
public:
    explicit Data(bool userActionNeeded) : m_userActionNeeded(userActionNeeded) {}
    ovinst::Packages& GetPackages() override { return m_packages; }
    const ovinst::Packages& GetPackages() const override { return m_packages; }
    int GetUIMode() const override { return 1; }
    std::wstring GetDirectory() const override { return L""; }
    std::wstring GetMsiOption() const override { return L""; }
    int GetInstallerType() const override { return 1; }
    void UninstallAll() override {}
    void SetUserAction(ovinst::PackageId, bool) override {}
    bool IsUserActionNeeded() const override { return m_userActionNeeded; }

private:
    ovinst::Packages m_packages;
    bool m_userActionNeeded;
};

// What the user does when the summary window would be shown.
enum class User
{
    Chooses,
    Cancels,
    ClosesWithoutSignal,
};

class Notifier : public ovinst::SilentNotifier
{
public:
    Notifier(CallLog& log, User user, std::function<InstallEngineThread*()> thread, std::wstring& informedText)
        : informed(informedText), m_log(log), m_user(user), m_thread(std::move(thread)) {}
    void ActionStart(int id) override { m_log.push_back("ActionStart(" + std::to_string(id) + ")"); }
    void ActionEnd(int id) override { m_log.push_back("ActionEnd(" + std::to_string(id) + ")"); }
    void EnableCancel(bool enable) override { m_log.push_back(enable ? "EnableCancel(1)" : "EnableCancel(0)"); }
    void ActionError(int id) override
    {
        m_log.push_back("ActionError(" + std::to_string(id) + ")");
        m_errors = true;
    }
    bool HasErrors() override { return m_errors; }
    void InformUser(const std::wstring& message) override
    {
        m_log.push_back("InformUser");
        informed = message;
    }
    void RequestUserAction(const std::shared_ptr<ovinst::IInstallData>&) override
    {
        m_log.push_back("RequestUserAction");
        InstallEngineThread* thread = m_thread();
        if (m_user != User::Chooses)
            thread->RequestStop();
        if (m_user != User::ClosesWithoutSignal)
            thread->SignalUserAction();
    }
    // The factory's: it outlives the notifier, which ends with the thread object.
    std::wstring& informed;

private:
    bool m_errors = false;
    CallLog& m_log;
    User m_user;
    std::function<InstallEngineThread*()> m_thread;
};

struct Scenario
{
    const char* name;
    bool userActionNeeded;
    User user;
    Failure preInstall;
    Failure install;
    DWORD exitCode;
    DWORD failureCode;  // what the entry point keeps when the window quits first
    CallLog calls;
};

// Records every factory call, in order, into the scenario's log.
class Factory : public ovinst::IFactory
{
public:
    Factory(CallLog& log, const Scenario& scenario, std::function<InstallEngineThread*()> thread)
        : m_log(log), m_scenario(scenario), m_thread(std::move(thread)) {}

    void CreateSequence(ovinst::ExecObjectList, std::shared_ptr<ovinst::ExecSequence>&) override { Record("1"); }
    void CreateUpdateContext(const ExecObjectPtr&, ExecObjectPtr&) override { Record("2"); }
    void CreateMsiTransaction(const ExecObjectPtr&, ExecObjectPtr&) override { Record("3"); }
    void CreateExecPackage(const std::shared_ptr<ovinst::IInstallData>&, const std::shared_ptr<::IMsiPackage>&,
                           ExecObjectPtr&) override { Record("4"); }
    void CreateExecContext(int32_t mode, std::shared_ptr<ovinst::ExecContext>& result) override
    {
        Record("CreateExecContext(" + std::to_string(mode) + ")");
        result = std::make_shared<ovinst::ExecContext>(mode);
    }
    void CreateInstallData(const std::wstring&, const std::wstring&,
                           std::shared_ptr<ovinst::IInstallData>& result) override
    {
        Record("CreateInstallData");
        result = std::make_shared<Data>(m_scenario.userActionNeeded);
    }
    void CreatePreInstallSequence(const std::shared_ptr<ovinst::IInstallData>&, ExecObjectPtr& result) override
    {
        Record("CreatePreInstallSequence");
        result = std::make_shared<Step>(m_log, "pre", m_scenario.preInstall);
    }
    void CreatePostInstallSequence(ExecObjectPtr&) override { Record("8"); }
    void CreateInstallSequence(const std::shared_ptr<ovinst::IInstallData>&, ExecObjectPtr& result) override
    {
        Record("CreateInstallSequence");
        result = std::make_shared<Step>(m_log, "install", m_scenario.install);
    }
    void CreateNotifier(const std::shared_ptr<ovinst::IStatusCallback>&, const std::shared_ptr<ovinst::IActionTable>&,
                        ovinst::StopRequestCallback isStopRequested,
                        std::unique_ptr<ovinst::INotifier>& result) override
    {
        Record("CreateNotifier");
        stopCallback = std::move(isStopRequested);
        result = std::make_unique<Notifier>(m_log, m_scenario.user, m_thread, informed);
    }
    void CreateActionTable(ovinst::InstallerType type, const std::shared_ptr<ovinst::IStatusCallback>&,
                           std::shared_ptr<ovinst::IActionTable>&) override
    {
        Record("CreateActionTable(" + std::to_string(type) + ")");
    }

    ovinst::StopRequestCallback stopCallback;
    std::wstring informed;

private:
    void Record(const std::string& call) { m_log.push_back(call); }
    CallLog& m_log;
    const Scenario& m_scenario;
    std::function<InstallEngineThread*()> m_thread;
};

const CallLog kStart = {"CreateActionTable(1)", "CreateNotifier", "ActionStart(0)", "CreateInstallData", "ActionEnd(0)",
                        "CreatePreInstallSequence", "pre.Exec()"};

CallLog With(CallLog calls, const CallLog& more)
{
    calls.insert(calls.end(), more.begin(), more.end());
    return calls;
}

const CallLog kInstall = {"CreateInstallSequence", "CreateExecContext(1)", "install.Exec(context)"};

// Runs a scenario on a real thread and returns its exit code.
DWORD RunScenario(const Scenario& scenario, CallLog& log, std::shared_ptr<Factory>* made = nullptr,
                  DWORD* failureCode = nullptr)
{
    std::unique_ptr<InstallEngineThread> thread;
    InstallEngineThread* raw = nullptr;
    auto maker = [&](ovinst::InstallerType, bool silent) -> std::shared_ptr<ovinst::IFactory> {
        EXPECT_TRUE(silent);
        auto factory = std::make_shared<Factory>(log, scenario, [&raw] { return raw; });
        if (made)
            *made = factory;
        return factory;
    };
    thread = std::make_unique<InstallEngineThread>(ovinst::Server, nullptr, maker);
    raw = thread.get();
    EXPECT_TRUE(thread->Create(thread.get()));
    EXPECT_EQ(DWORD(WAIT_OBJECT_0), thread->WaitForEnd(false, 60000)) << "the thread did not end";
    DWORD code = 0;
    GetExitCodeThread(thread->GetHandle(), &code);
    if (failureCode)
        *failureCode = thread->FailureCode();
    return code;
}
}

TEST(InstallEngineThread, RunsTheFactorysObjectsInOrderAndEndsWithTheRightCode)
{
    const Scenario scenarios[] = {
        {"success without a choice", false, User::Chooses, Failure::None, Failure::None, 0, 0, With(kStart, kInstall)},
        {"success after the user's choice", true, User::Chooses, Failure::None, Failure::None, 0, 0,
         With(With(kStart, {"RequestUserAction"}), kInstall)},
        {"cancel in the summary window", true, User::Cancels, Failure::None, Failure::None, 1603, 0,
         With(kStart, {"RequestUserAction", "EnableCancel(1)"})},
        {"window closed without a signal", true, User::ClosesWithoutSignal, Failure::None, Failure::None, 1603, 0,
         With(kStart, {"RequestUserAction", "EnableCancel(1)"})},
        {"pre-install step fails with a code", true, User::Chooses, Failure::OvErrorCode, Failure::None, 0x80070005,
         0x80070005,
         With(kStart, {"EnableCancel(1)", "InformUser"})},
        // Shown once, by the step: the thread keeps the code and says nothing more.
        {"pre-install step fails with a code it has shown", true, User::Chooses, Failure::ShownOvError, Failure::None,
         0x80070643, 0x80070643, With(kStart, {"EnableCancel(1)"})},
        {"install step fails with a code", false, User::Chooses, Failure::None, Failure::OvErrorCode, 0x80070005,
         0x80070005,
         With(With(kStart, kInstall), {"EnableCancel(1)", "InformUser"})},
        {"an error without a code is no success", false, User::Chooses, Failure::None, Failure::OvErrorZero, 1603,
         1603,
         With(With(kStart, kInstall), {"EnableCancel(1)", "InformUser"})},
        {"abort", false, User::Chooses, Failure::None, Failure::Abort, 1603, 0,
         With(With(kStart, kInstall), {"EnableCancel(1)"})},
        {"a failed step that stops the run", false, User::Chooses, Failure::None, Failure::FailedStep, 1603, 1603,
         With(With(kStart, kInstall), {"ActionError(3)", "EnableCancel(1)"})},
        {"another exception", false, User::Chooses, Failure::Other, Failure::None, 1603, 0,
         With(kStart, {"EnableCancel(1)"})},
    };
    for (const Scenario& scenario : scenarios)
    {
        SCOPED_TRACE(scenario.name);
        CallLog log;
        DWORD failureCode = 1;
        EXPECT_EQ(scenario.exitCode, RunScenario(scenario, log, nullptr, &failureCode));
        EXPECT_EQ(scenario.failureCode, failureCode);
        EXPECT_EQ(scenario.calls, log);
    }
}

// The thread's own catcher and handler: the fault's text goes to the user, its code is the
// thread's, and one dump is written (a small one: a full dump is the crash probe's).
TEST(InstallEngineThread, AccessViolationInAStepEndsTheRunWithTheMakersCode)
{
    ovtest::CTempFolder temp(L"EngineThreadDump");
    ovtest::TempFolderScope tmp(temp.Path() + L"\\");
    const MINIDUMP_TYPE dumpType = OvBase::SetCrashDumpType(MiniDumpNormal);
    Scenario scenario = {"fault", false, User::Chooses, Failure::None, Failure::AccessViolation, 0, 0, {}};
    CallLog log;
    std::shared_ptr<Factory> factory;
    DWORD failureCode = 0;
    EXPECT_EQ(0xE6060005u, RunScenario(scenario, log, &factory, &failureCode));
    OvBase::SetCrashDumpType(dumpType);
    EXPECT_EQ(0xE6060005u, failureCode);
    EXPECT_EQ(With(With(kStart, kInstall), {"EnableCancel(1)", "InformUser"}), log);
    ASSERT_NE(nullptr, factory);
    wchar_t text[160];
    swprintf(text, 160,
             L"The instruction at %016llx referenced memory at 0000000000000010. The memory could not be read.",
             static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(&ovtest::ReadAt)));
    EXPECT_EQ(std::wstring(text), factory->informed);
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((temp.Path() + L"\\*.dmp").c_str(), &found);
    ASSERT_NE(INVALID_HANDLE_VALUE, search) << "no dump";
    EXPECT_FALSE(FindNextFileW(search, &found)) << "more than one dump";
    FindClose(search);
}

TEST(InstallEngineThread, StopCallbackGivenToTheNotifierFollowsTheStopRequest)
{
    Scenario scenario = {"idle", false, User::Chooses, Failure::None, Failure::None, 0, 0, {}};
    CallLog log;
    std::shared_ptr<Factory> factory;
    InstallEngineThread thread(ovinst::Server, nullptr, [&](ovinst::InstallerType, bool) {
        factory = std::make_shared<Factory>(log, scenario, [] { return nullptr; });
        return factory;
    });
    // Started suspended: no stop until one is requested.
    ASSERT_TRUE(thread.Create(&thread, true));
    EXPECT_FALSE(factory->stopCallback());
    thread.RequestStop();
    EXPECT_TRUE(factory->stopCallback());
    thread.Resume();
}

TEST(InstallEngineThread, TitleNamesThePackageSet)
{
    EXPECT_EQ(L"Orvane Studio - Security Server install", InstallEngineThread::GetTitle(ovinst::Server));
    EXPECT_EQ(L"Orvane Studio - Control Center install", InstallEngineThread::GetTitle(ovinst::Console));
    try
    {
        InstallEngineThread::GetTitle(2);
        ADD_FAILURE() << "type 2 accepted";
    }
    catch (OvBase::COvError& error)
    {
        EXPECT_STREQ(L"InstallEngineThread::GetTitleUnsupported InstallerType", error.GetDescription());
    }
}

namespace
{
class Window : public ovinst::IStatusCallback
{
public:
    void ShowMessage(const wchar_t*) override {}
    HWND GetHwnd() override { return nullptr; }
    void Initialize(const std::wstring& title, ovinst::IInstallerThread* thread,
                    const std::shared_ptr<ovinst::IActionTable>&) override
    {
        calls.push_back(L"Initialize(" + title + L")");
        initializedWith = thread;
    }
    void RequestUserAction(const std::shared_ptr<ovinst::IInstallData>&) override {}
    void ShowStatus(int command) override { calls.push_back(L"ShowStatus(" + std::to_wstring(command) + L")"); }
    std::vector<std::wstring> calls;
    ovinst::IInstallerThread* initializedWith = nullptr;
};
}

TEST(InstallEngineThread, InteractiveRunGivesTheWindowItsTitleAndShowsIt)
{
    Scenario scenario = {"interactive", false, User::Chooses, Failure::None, Failure::None, 0, 0, {}};
    CallLog log;
    auto window = std::make_shared<Window>();
    bool madeSilent = true;
    InstallEngineThread thread(ovinst::Console, window, [&](ovinst::InstallerType, bool silent) {
        madeSilent = silent;
        return std::make_shared<Factory>(log, scenario, [] { return nullptr; });
    });
    EXPECT_FALSE(madeSilent);
    EXPECT_EQ((std::vector<std::wstring>{L"Initialize(Orvane Studio - Control Center install)", L"ShowStatus(5)"}),
              window->calls);
    EXPECT_EQ(static_cast<ovinst::IInstallerThread*>(&thread), window->initializedWith);
    EXPECT_EQ((CallLog{"CreateActionTable(0)", "CreateNotifier"}), log);
}

TEST(InstallEngineThread, UnknownInstallerTypeReachesTheCreator)
{
    CallLog log;
    Scenario scenario = {"none", false, User::Chooses, Failure::None, Failure::None, 0, 0, {}};
    EXPECT_THROW(InstallEngineThread(static_cast<ovinst::InstallerType>(2), nullptr,
                                     [&](ovinst::InstallerType, bool) {
                                         return std::make_shared<Factory>(log, scenario, [] { return nullptr; });
                                     }),
                 OvBase::COvError);
    EXPECT_TRUE(log.empty()) << "no factory call for a type without a title";
}

class InstallEngineThreadLocale : public ::testing::Test
{
protected:
    InstallEngineThreadLocale() : m_backup(instutils::kMakerKeyPath) {}
    static std::shared_ptr<ovinst::IFactory> MakeIdle(CallLog& log, const Scenario& scenario)
    {
        return std::make_shared<Factory>(log, scenario, [] { return nullptr; });
    }
    void EndARun()
    {
        CallLog log;
        Scenario scenario = {"none", false, User::Chooses, Failure::None, Failure::None, 0, 0, {}};
        InstallEngineThread thread(ovinst::Server, nullptr,
                                   [&](ovinst::InstallerType, bool) { return MakeIdle(log, scenario); });
    }

private:
    ovtest::CHklmKeyBackup m_backup;
};

TEST_F(InstallEngineThreadLocale, MarkGoesWhenNothingOfTheFamilyIsLeft)
{
    ovtest::SetHklmString(instutils::kProductKeyPath, L"ProductLocale", L"en-US");
    EndARun();
    EXPECT_FALSE(ovtest::HklmValueExists(instutils::kProductKeyPath, L"ProductLocale"));
}

TEST_F(InstallEngineThreadLocale, MarkStaysWhileAServerPackageIsInstalled)
{
    testsupport::ScopedInstall server(testsupport::DistPackage(L"SecurityServer.msi"), OV_UPGRADE_CODE_SECURITY_SERVER);
    ASSERT_EQ(0u, server.Result());
    ovtest::SetHklmString(instutils::kProductKeyPath, L"ProductLocale", L"en-US");
    EndARun();
    EXPECT_TRUE(ovtest::HklmValueExists(instutils::kProductKeyPath, L"ProductLocale"));
}
