#include <gtest/gtest.h>

#include "CatchOvError.h"
#include "Engine/ExecContext.h"
#include "Engine/InstallContext.h"
#include "MsiApi.h"
#include "OvErrorObject.h"
#include "RecordingNotifier.h"
#include "Steps/MsiObject.h"
#include "Steps/MsiUiHandler.h"
#include "TestPackage.h"
#include "TraceCapture.h"

#include <memory>
#include <string>
#include <vector>

using namespace ovinst;
using testsupport::CallLog;

namespace
{
CallLog g_calls;
UINT g_installResult = 0;
const wchar_t* g_reportedError = nullptr;
INSTALLUI_HANDLERW g_registered = nullptr;

// Stands in for msi.dll: records the calls of an installation in order.
INSTALLUILEVEL WINAPI FakeSetInternalUI(INSTALLUILEVEL level, HWND*)
{
    g_calls.push_back(L"SetInternalUI " + std::to_wstring(level));
    return INSTALLUILEVEL_DEFAULT;
}
UINT WINAPI FakeEnableLog(DWORD mode, LPCWSTR path, DWORD attributes)
{
    g_calls.push_back(L"EnableLogW " + std::to_wstring(mode) + L" " + (path ? path : L"(null)") + L" " +
                      std::to_wstring(attributes));
    return 0;
}
INSTALLUI_HANDLERW WINAPI FakeSetExternalUI(INSTALLUI_HANDLERW handler, DWORD filter, LPVOID)
{
    const bool ours = handler == &MsiUiHandler;
    g_calls.push_back(std::wstring(L"SetExternalUIW ") + (ours ? L"handler " : handler ? L"other " : L"null ") +
                      std::to_wstring(filter));
    INSTALLUI_HANDLERW previous = g_registered;
    g_registered = handler;
    return previous;
}
UINT WINAPI FakeInstall(LPCWSTR path, LPCWSTR commandLine)
{
    g_calls.push_back(std::wstring(L"InstallProductW ") + path + L" [" + commandLine + L"]");
    if (g_reportedError && g_registered)
        g_registered(nullptr, INSTALLMESSAGE_ERROR | MB_OK, g_reportedError);
    return g_installResult;
}

int WINAPI OtherHandler(LPVOID, UINT, LPCWSTR)
{
    return 0;
}

// The installation table in force for one test, with another handler registered before.
struct FakeInstaller
{
    FakeInstaller()
    {
        g_calls.clear();
        g_installResult = 0;
        g_reportedError = nullptr;
        g_registered = &OtherHandler;
        api->SetInternalUI = &FakeSetInternalUI;
        api->EnableLogW = &FakeEnableLog;
        api->SetExternalUIW = &FakeSetExternalUI;
        api->InstallProductW = &FakeInstall;
    }
    msi::CMsiApiOverride api;
};

// Exposes the base's operations and records which slot Exec chose.
class ProbeObject : public MsiObjectBase
{
public:
    ProbeObject(std::shared_ptr<IMsiPackage> package, const std::wstring& folder, CallLog& log)
        : MsiObjectBase(std::move(package), folder), m_log(log)
    {
    }
    void Undo(std::shared_ptr<IExecContext>&, std::unique_ptr<INotifier>&) override { m_log.push_back(L"Undo"); }
    void Install(std::shared_ptr<IExecContext>&, std::unique_ptr<INotifier>&) override { m_log.push_back(L"Install"); }
    void Update(std::shared_ptr<IExecContext>&, std::unique_ptr<INotifier>&) override { m_log.push_back(L"Update"); }
    void Uninstall(std::shared_ptr<IExecContext>&, std::unique_ptr<INotifier>&) override { m_log.push_back(L"Uninstall"); }
    std::wstring CommandLine(std::shared_ptr<IExecContext>&) override
    {
        if (throwFromCommandLine)
            ThrowErrorText(L"no command line");
        return L"A=1";
    }
    std::wstring UninstallProperties() override { return L"COMPLETE_UNINSTALL=1"; }

    InstallResult RunInstall(std::shared_ptr<IExecContext>& context) { return MsiObjectBase::Install(context); }
    InstallResult RunUninstall(bool quiet) { return MsiObjectBase::Uninstall(quiet); }

    bool throwFromCommandLine = false;

private:
    CallLog& m_log;
};

std::shared_ptr<testsupport::TestPackage> Package(MsiAction action = MsiActionInstall)
{
    auto package = std::make_shared<testsupport::TestPackage>();
    package->action = action;
    return package;
}
}

TEST(MsiObject, ExecDispatchesOnTheAction)
{
    const std::pair<MsiAction, CallLog> cases[] = {
        {MsiActionNone, {}},
        {MsiActionInstall, {L"Install"}},
        {MsiActionUpdate, {L"Update"}},
        {MsiActionUninstall, {L"Uninstall"}},
    };
    for (const auto& [action, expected] : cases)
    {
        CallLog log;
        ProbeObject object(Package(action), L"C:\\dist\\", log);
        std::shared_ptr<IExecContext> context = std::make_shared<ExecContext>(0);
        std::unique_ptr<INotifier> notifier = std::make_unique<testsupport::RecordingNotifier>(log);
        object.Exec(context, notifier);
        EXPECT_EQ(log, expected) << action;
    }
}

TEST(MsiObject, NullPackageIsRejected)
{
    CallLog log;
    auto error = testsupport::CatchOvError([&] { ProbeObject object(nullptr, L"", log); });
    ASSERT_TRUE(error);
    EXPECT_STREQ(error->GetDescription(), L"NULL ARGUMENT EXCEPTION: 'spPackage'");
    EXPECT_EQ(error->GetProperties().at(L"Function"), L"ovinst::MsiObjectBase::MsiObjectBase");
}

TEST(MsiObject, InstallCallsWindowsInstallerInOrderAndRestoresTheHandler)
{
    testsupport::TraceCapture trace;
    FakeInstaller installer;
    CallLog log;
    ProbeObject object(Package(), L"C:\\dist\\", log);
    std::shared_ptr<IExecContext> context = std::make_shared<ExecContext>(0);

    const InstallResult result = object.RunInstall(context);

    EXPECT_TRUE(result.success);
    const CallLog expected = {
        L"EnableLogW 4096 " + GetMsiLogFolder() + L"SB.txt 1",
        L"SetExternalUIW handler 4294967295",
        L"InstallProductW C:\\dist\\SecurityServer.msi [A=1]",
        // Off again before anything else runs: a later commit, rollback or removal would
        // still write into this package's log, behind its scrub.
        L"EnableLogW 0 (null) 0",
        L"SetExternalUIW other 0",
    };
    EXPECT_EQ(g_calls, expected);
    EXPECT_EQ(g_registered, &OtherHandler);
}

TEST(MsiObject, HandlerIsRestoredWhenTheCommandLineThrows)
{
    testsupport::TraceCapture trace;
    FakeInstaller installer;
    CallLog log;
    ProbeObject object(Package(), L"C:\\dist", log);
    object.throwFromCommandLine = true;
    std::shared_ptr<IExecContext> context = std::make_shared<ExecContext>(0);

    EXPECT_THROW(object.RunInstall(context), OvBase::COvError);
    ASSERT_EQ(g_calls.size(), 4u);
    EXPECT_EQ(g_calls[2], L"SetExternalUIW other 0");
    EXPECT_EQ(g_calls[3], L"EnableLogW 0 (null) 0");
    EXPECT_EQ(g_registered, &OtherHandler);
}

TEST(MsiObject, ResultCodes)
{
    struct Case
    {
        UINT code;
        bool success;
        // The system's text of the failure (as HRESULT), written out: without a language mark
        // the messages are looked up in Russian (1049).
        const wchar_t* errorText;
    };
    for (const Case& c : {Case{0, true, L""}, Case{1641, true, L""}, Case{3010, true, L""}, Case{3011, true, L""},
                          Case{1603, false, L"Сбой установки."}, Case{1618, false, L"Процесс установки уже запущен."}, Case{1, false, L"Неверная функция."}})
    {
        utils::CInstallContext::Instance().SetRestartNeeded(false);
        testsupport::TraceCapture trace;
        FakeInstaller installer;
        g_installResult = c.code;
        CallLog log;
        ProbeObject object(Package(), L"", log);
        std::shared_ptr<IExecContext> context = std::make_shared<ExecContext>(0);
        const InstallResult result = object.RunInstall(context);
        EXPECT_EQ(result.success, c.success) << c.code;
        EXPECT_EQ(trace.ContainsText(L"FAILED"), !c.success) << c.code;
        EXPECT_EQ(result.errorText, c.errorText) << c.code;
        // A success that asks for a restart is kept for the run's exit code.
        const bool restart = c.code == 3010 || c.code == 3011;
        EXPECT_EQ(utils::CInstallContext::Instance().IsRestartNeeded(), restart) << c.code;
        EXPECT_EQ(trace.ContainsText(L"Package 'SecurityServer.msi' needs a restart"), restart) << c.code;
        if (c.success)
            EXPECT_EQ(result.installerErrorText, L"");
    }
}

// The last error an earlier package reported is reported again by a later failure.
TEST(MsiObject, FailureCarriesTheLastInstallerErrorOfTheProcess)
{
    testsupport::TraceCapture trace;
    FakeInstaller installer;
    CallLog log;
    ProbeObject object(Package(), L"", log);
    std::shared_ptr<IExecContext> context = std::make_shared<ExecContext>(0);

    g_installResult = 1603;
    EXPECT_EQ(object.RunInstall(context).installerErrorText, L"");

    g_reportedError = L"Error 1920. Service failed to start.";
    const InstallResult first = object.RunInstall(context);
    g_reportedError = nullptr;
    const InstallResult second = object.RunInstall(context);

    EXPECT_EQ(first.errorText, OvBase::GetErrorDescription(0x80070643));
    EXPECT_EQ(first.installerErrorText, L"Error 1920. Service failed to start.");
    EXPECT_EQ(second.installerErrorText, L"Error 1920. Service failed to start.");
    // The system's description spans lines of its own.
    EXPECT_TRUE(trace.ContainsText(L"[ovinst::MsiObjectBase::Install]  Install package 'SecurityServer.msi' FAILED with "
                                   L"error: 1603 ("));
    EXPECT_TRUE(trace.ContainsText(L"), MsiError: Error 1920. Service failed to start."));
}

TEST(MsiObject, PackagePath)
{
    EXPECT_EQ(MakePackagePath(L"", L"A.msi"), L"A.msi");
    EXPECT_EQ(MakePackagePath(L"C:\\d", L"A.msi"), L"C:\\d\\A.msi");
    EXPECT_EQ(MakePackagePath(L"C:\\d\\", L"A.msi"), L"C:\\d\\A.msi");
    EXPECT_EQ(MakePackagePath(L"C:\\d\\", L"\\A.msi"), L"C:\\d\\A.msi");
}

namespace
{
UINT WINAPI TwoRelatedProducts(LPCWSTR, DWORD, DWORD index, LPWSTR product)
{
    const wchar_t* codes[] = {L"{11111111-2222-3333-4444-555555555555}", L"{66666666-7777-8888-9999-AAAAAAAAAAAA}"};
    if (index >= 2)
        return ERROR_NO_MORE_ITEMS;
    wcscpy(product, codes[index]);
    return ERROR_SUCCESS;
}
}

// Removal runs the system's msiexec once per related product; a failed run shows only in the log.
TEST(MsiObject, UninstallRunsMsiexecPerRelatedProduct)
{
    testsupport::TraceCapture trace;
    msi::CMsiApiOverride api;
    api->EnumRelatedProductsW = &TwoRelatedProducts;
    CallLog log;
    ProbeObject object(Package(), L"", log);

    for (bool quiet : {false, true})
    {
        const InstallResult result = object.RunUninstall(quiet);
        EXPECT_TRUE(result.success);
        const std::wstring logArgument = L"/L*V \"" + GetMsiLogFolder() + L"SB.txt\"";
        for (const wchar_t* code : {L"{11111111-2222-3333-4444-555555555555}", L"{66666666-7777-8888-9999-AAAAAAAAAAAA}"})
        {
            EXPECT_TRUE(trace.Contains(std::wstring(L"Running msiexec.exe /x ") + code + (quiet ? L" /qn /quiet " : L" /qn ") +
                                       L"COMPLETE_UNINSTALL=1 " + logArgument));
            // msiexec knows no such product: 1605.
            EXPECT_TRUE(trace.ContainsText(L"[ovinst::MsiObjectBase::Uninstall] Msiexec.exe FAILED to uninstall "
                                           L"'{00000000-0000-0000-0000-000000000000}' with error: 1605 ("));
        }
    }
    const auto lines = trace.Lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), L"0x645"), 4);

}
