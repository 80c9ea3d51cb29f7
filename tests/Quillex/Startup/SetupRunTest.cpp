// The entry run's own decisions: the usage request, the boxes a silent run must not show,
// the single-instance guard.
#include <gtest/gtest.h>

#include <cwctype>
#include <string>
#include <vector>

#include "AbortInstallException.h"
#include "CatchOvError.h"
#include "Engine/InstallContext.h"
#include "ResString.h"
#include "Startup/InstanceGuard.h"
#include "Startup/SetupRun.h"
#include "TraceCapture.h"
#include "res/resource.h"

namespace
{
struct Box
{
    std::wstring text;
    std::wstring title;
    UINT flags;
};

struct BoxRecorder
{
    std::vector<Box> boxes;
    ovinst::MessageBoxFunction Function()
    {
        return [this](const wchar_t* text, const wchar_t* title, UINT flags) {
            boxes.push_back({text, title, flags});
            return IDOK;
        };
    }
};
}

TEST(SetupRun, HelpRequests)
{
    const std::pair<const wchar_t*, bool> cases[] = {
        {L"/?", true},           {L"-?", true},           {L"/HELP", true},     {L"-help", true},
        {L"/script /?", true},   {L"/script:a.rsp", false}, {L"", false},       {L"/helpme", false},
        {L"/msi:\"A=/?\"", false}, {L"/msi:\"A=1 /?\"", false}, {L"/script /msi:\"A=x -help\"", false},
        {L"/script:\"C:\\a /? b\\x.rsp\"", false},
    };
    for (const auto& [line, help] : cases)
        EXPECT_EQ(help, ovinst::IsHelpRequest(line)) << line;
}

TEST(SetupRun, CommandLineIsLoggedWithThePasswordsMasked)
{
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"/script /msi:OVDBAPASSWORD_TEMP=Secret1", L"/script /msi:OVDBAPASSWORD_TEMP=***"},
        {L"/script /msi:\"OVDBAPASSWORD_TEMP=Secret1 OVDBUPASSWORD_TEMP=Secret2\" /reboot",
         L"/script /msi:\"OVDBAPASSWORD_TEMP=*** OVDBUPASSWORD_TEMP=***\" /reboot"},
        {L"/msi:\"ovdbapassword_temp=Secret1 OVSERVERADDRESS=srv\"", L"/msi:\"ovdbapassword_temp=*** OVSERVERADDRESS=srv\""},
        {L"/msi:OvDbUPassword_Temp=\"two words\" /script", L"/msi:OvDbUPassword_Temp=\"***\" /script"},
        {L"/msi:A=1 OVDBAPASSWORD_TEMP=Secret1", L"/msi:A=1 OVDBAPASSWORD_TEMP=***"},
        {L"/msi:\"OVDBAPASSWORD_TEMP=Secret1", L"/msi:\"OVDBAPASSWORD_TEMP=***"},
        {L"/script:C:\\a.rsp /msi:OVSERVERADDRESS=srv", L"/script:C:\\a.rsp /msi:OVSERVERADDRESS=srv"},
    };
    for (const auto& [line, shown] : cases)
        EXPECT_EQ(ovinst::MaskedCommandLine(CCmdLineParser(line)), shown) << line;
}

TEST(SetupRun, UsageIsABoxOnlyWhenTheRunIsNotSilent)
{
    BoxRecorder recorder;
    ovinst::ShowUsage(true, recorder.Function());
    EXPECT_TRUE(recorder.boxes.empty());

    ovinst::ShowUsage(false, recorder.Function());
    ASSERT_EQ(1u, recorder.boxes.size());
    EXPECT_EQ(utils::LoadResString(IDS_USAGE), recorder.boxes[0].text);
    EXPECT_EQ(L"Orvane Studio install", recorder.boxes[0].title);
    EXPECT_NE(std::wstring::npos, recorder.boxes[0].text.find(L"1603"));
    // Every option the program knows is in the text, and the codes a deployment tool maps.
    std::wstring lower = recorder.boxes[0].text;
    for (wchar_t& c : lower)
        c = static_cast<wchar_t>(std::towlower(c));
    for (const std::wstring& option : utils::CInstallContext::KnownOptions())
        EXPECT_NE(std::wstring::npos, lower.find(L"/" + option)) << option;
    for (const wchar_t* code : {L"1618", L"87", L"/restartexitcode"})
        EXPECT_NE(std::wstring::npos, recorder.boxes[0].text.find(code)) << code;
}

namespace
{
// Services of a run that must end before it builds a window or an installer thread.
ovinst::RunServices ServicesThatMustNotRun(BoxRecorder& recorder)
{
    ovinst::RunServices services;
    services.messageBox = recorder.Function();
    services.makeFactory = [](ovinst::InstallerType, bool) -> std::shared_ptr<ovinst::IFactory> {
        ADD_FAILURE() << "a factory was made";
        return nullptr;
    };
    services.createWindow = []() -> std::shared_ptr<ovinst::IStatusCallback> {
        ADD_FAILURE() << "a window was made";
        return nullptr;
    };
    return services;
}
}

TEST(SetupRun, HelpEndsWithZeroBeforeTheRunTouchesAnything)
{
    BoxRecorder recorder;
    const ovinst::RunServices services = ServicesThatMustNotRun(recorder);
    EXPECT_EQ(0, ovinst::RunSetup(nullptr, L"/help", services));
    EXPECT_EQ(1u, recorder.boxes.size());
    EXPECT_EQ(0, ovinst::RunSetup(nullptr, L"/script /?", services));
    EXPECT_EQ(1u, recorder.boxes.size()) << "a silent run showed a box";
}

TEST(SetupRun, SecondInstanceIsRefusedWithAWarningUnlessSilent)
{
    BoxRecorder recorder;
    ovinst::InstanceGuard first(false, recorder.Function());
    EXPECT_TRUE(recorder.boxes.empty());

    // A silent run tells its deployment tool to try again later, without a box.
    auto busy = testsupport::CatchOvError([&] { ovinst::InstanceGuard(true, recorder.Function()); });
    ASSERT_TRUE(busy);
    EXPECT_EQ(busy->GetCode(), DWORD(ERROR_INSTALL_ALREADY_RUNNING));
    EXPECT_TRUE(recorder.boxes.empty()) << "a silent run showed a box";

    EXPECT_THROW(ovinst::InstanceGuard(false, recorder.Function()), utils::AbortInstallException);
    ASSERT_EQ(1u, recorder.boxes.size());
    EXPECT_EQ(L"This application is already working, execution of another instance is prohibited.",
              recorder.boxes[0].text);
    EXPECT_EQ(L"Orvane Studio install", recorder.boxes[0].title);
    EXPECT_EQ(UINT(MB_SYSTEMMODAL | MB_ICONWARNING), recorder.boxes[0].flags);
}

// A restart exit code that is not a number ends the run before anything is touched.
TEST(SetupRun, RestartExitCodeThatIsNoNumberEndsWith87)
{
    BoxRecorder recorder;
    const ovinst::RunServices services = ServicesThatMustNotRun(recorder);
    testsupport::TraceCapture log;
    EXPECT_EQ(87, ovinst::RunSetup(nullptr, L"/script /restartexitcode:3010x /unistall", services));
    EXPECT_TRUE(recorder.boxes.empty());
    EXPECT_TRUE(log.ContainsText(L"The value of /restartexitcode is not a decimal number: \"3010x\"; ending with 87"));
    EXPECT_TRUE(log.ContainsText(L"Unknown command-line option ignored: /unistall"));
    EXPECT_TRUE(log.ContainsText(L"#2 Installation has ended with code 87"));
}
