// Every refusal of the analysis steps, each in a process of its own on an emulated machine:
// the text the user reads, the line marked failed, the run aborted, and the machine left
// as it was except for the language mark and the UAC values the steps are meant to change.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>

#include "EmulatedOs.h"
#include "MachineKeyBackup.h"
#include "OvErrorObject.h"
#include "ProbeRunner.h"
#include "ProductGuids.h"
#include "ProductRegistry.h"
#include "ScopedInstall.h"
#include "TraceCapture.h"
#include "TraceTestSupport.h"

namespace
{
const wchar_t kPolicy[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
const wchar_t kBackup[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\OvBackup";

std::optional<std::wstring> ReadMark()
{
    return testsupport::GetMachineString(instutils::kProductKeyPath, instutils::kProductLocaleValue);
}

std::optional<DWORD> ReadDword(const wchar_t* key, const wchar_t* name)
{
    DWORD type = 0;
    std::vector<BYTE> data;
    if (!testsupport::GetMachineValue(key, name, type, data) || data.size() != 4)
        return std::nullopt;
    return *reinterpret_cast<const DWORD*>(data.data());
}

// The texts as the user reads them, written out: the string table is what is checked.
const wchar_t kNotAdmin[] = L"Administrative privileges required to run this setup (Privileged property).";
const wchar_t kNoDiskSpace[] =
    L"Not enough free disk space. Installation requires at least 100 MB of free space on the system partition";
const wchar_t kServerOnly[] =
    L"Only Windows Server operating system is supported, product could not install on this operating system version.";
const wchar_t kOsNotSupported[] = L"Current operating system version not supported";
const wchar_t kUacQuestion[] =
    L"User account control (UAC) is enabled on this computer.\r\nSetup will disable UAC, you need to reboot computer "
    L"and run setup again to install software.\nUAC will be enabled again after installation complete. Continue?";

// The maker's key volatile, so that the product key cannot be created below it: a real
// registry failure in the place where the language mark is written.
std::shared_ptr<void> VolatileMakerKey()
{
    HKEY key = nullptr;
    ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, instutils::kMakerKeyPath, 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS,
                      nullptr, &key, nullptr);
    if (key)
        ::RegCloseKey(key);
    return nullptr;
}

struct Refusal
{
    const char* name;
    const testsupport::OsIdentity* os; // null: the prefix as it is (Windows 7 workstation)
    const wchar_t* operation;
    const wchar_t* flags;
    // Prepares the machine; what it returns lives until the machine has been checked.
    std::function<std::shared_ptr<void>()> prepare;
    std::function<std::wstring()> message; // "InformUser ..." or "AskUserQuestion ..."
    std::function<void()> checkMachine;
};

std::shared_ptr<void> Mark(const wchar_t* mark)
{
    testsupport::SetMachineString(instutils::kProductKeyPath, instutils::kProductLocaleValue, mark);
    return nullptr;
}

std::shared_ptr<void> FamilyProductWithMark(const wchar_t* mark)
{
    auto installed = std::make_shared<testsupport::ScopedInstall>(std::wstring(OV_SAMPLES_DIR) + L"\\CalderisCommon.msi",
                                                                  OV_SAMPLE_UPGRADE_CODE_COMMON);
    Mark(mark);
    return installed;
}

std::shared_ptr<void> UacOn()
{
    ovtest::SetHklmDword(kPolicy, L"EnableLUA", 1);
    return nullptr;
}

void MarkIs(std::optional<std::wstring> expected)
{
    EXPECT_EQ(ReadMark(), expected);
}

void UacUnchanged()
{
    EXPECT_EQ(ReadDword(kPolicy, L"EnableLUA"), 0u);
    EXPECT_FALSE(ovtest::HklmKeyExists(kBackup));
}

std::wstring SystemText(DWORD code)
{
    wchar_t text[2048] = {};
    OvBase::FormatSystemError(text, 2048, code);
    return text;
}

const Refusal kRefusals[] = {
    {"NotAdministrator", nullptr, L"analize", L"notadmin", [] { return nullptr; },
     [] { return std::wstring(L"InformUser ") + kNotAdmin; },
     // Refused before the language mark is looked at.
     [] { MarkIs(std::nullopt); }},
    {"DiskFull", nullptr, L"analize", L"lowdisk", [] { return nullptr; },
     [] { return std::wstring(L"InformUser ") + kNoDiskSpace; }, [] { MarkIs(L"en-US"); }},
    {"OtherLanguageInstalled", nullptr, L"analize", L"", [] { return FamilyProductWithMark(L"ru-RU"); },
     [] {
         return L"InformUser Installed component found \"Orvane Studio\", component language (ru-RU) is different from "
                L"this package language (en-US). Installation will be canceled.";
     },
     [] { MarkIs(L"ru-RU"); }},
    {"MarkNotWritable", nullptr, L"analize", L"", [] { return VolatileMakerKey(); },
     [] { return L"InformUser Failed to register the mark in the register of language.\n" + SystemText(ERROR_CHILD_MUST_BE_VOLATILE); },
     [] { MarkIs(std::nullopt); }},
    {"Workstation", &testsupport::kWindows7, L"securitycheck", L"", [] { return nullptr; },
     [] { return std::wstring(L"InformUser ") + kServerOnly; }, [] { UacUnchanged(); }},
    {"Server2008", &testsupport::kServer2008, L"securitycheck", L"", [] { return nullptr; },
     [] { return std::wstring(L"InformUser ") + kOsNotSupported; }, [] { UacUnchanged(); }},
    {"Server2008R2WithoutSha2", &testsupport::kServer2008R2, L"securitycheck", L"nosha2", [] { return nullptr; },
     [] {
         return L"InformUser The following Windows updates are required to install/update Orvane Studio - Security "
                L"Server:\r\nSecurity Update for Windows Server 2008 R2 x64 Edition (KB3033929)";
     },
     [] { UacUnchanged(); }},
    {"OlderGeneration", &testsupport::kServer2008R2, L"securitycheck", L"",
     [] {
         return std::make_shared<testsupport::ScopedInstall>(std::wstring(OV_SAMPLES_DIR) + L"\\Orvane7.msi",
                                                             OV_UPGRADE_CODE_ORVANE7_1);
     },
     [] { return L"InformUser Orvane 7 found, it must be removed to continue installation."; }, [] { UacUnchanged(); }},
    // The silent answer agrees: UAC is switched off with a backup, and the run ends.
    {"UacOnAgreed", &testsupport::kServer2012R2, L"securitycheck", L"", [] { return UacOn(); },
     [] { return std::wstring(L"AskUserQuestion ") + kUacQuestion; },
     [] {
         EXPECT_EQ(ReadDword(kPolicy, L"EnableLUA"), 0u);
         EXPECT_EQ(ReadDword(kBackup, L"EnableLUA"), 1u);
     }},
    {"UacOnRefused", &testsupport::kServer2012R2, L"securitycheck", L"answer-no", [] { return UacOn(); },
     [] { return std::wstring(L"AskUserQuestion ") + kUacQuestion; },
     [] {
         EXPECT_EQ(ReadDword(kPolicy, L"EnableLUA"), 1u);
         EXPECT_FALSE(ovtest::HklmKeyExists(kBackup));
     }},
};

void PrintTo(const Refusal& refusal, std::ostream* out)
{
    *out << refusal.name;
}

class AnalysisRefusal : public testing::TestWithParam<Refusal>
{
protected:
    ovtest::CHklmKeyBackup m_maker{instutils::kMakerKeyPath};
    ovtest::CHklmKeyBackup m_policy{kPolicy};
};
}

TEST_P(AnalysisRefusal, ShownOnceLineFailedRunAborted)
{
    const Refusal& r = GetParam();
    ovtest::SetHklmDword(kPolicy, L"EnableLUA", 0);
    ovtest::SetHklmDword(kPolicy, L"ConsentPromptBehaviorAdmin", 0);
    std::shared_ptr<void> prepared = r.prepare();
    testsupport::ProbeResult result;
    {
        std::optional<testsupport::ScopedOs> os;
        if (r.os)
            os.emplace(*r.os);
        result = testsupport::RunPrerequisiteProbe(r.operation, r.flags);
    }
    EXPECT_EQ(result.exitCode, 1u);
    const std::vector<std::wstring> expected = {L"ActionStart 0", r.message(), L"ActionError 0"};
    EXPECT_EQ(result.lines, expected);
    r.checkMachine();
}

INSTANTIATE_TEST_SUITE_P(Machines, AnalysisRefusal, testing::ValuesIn(kRefusals),
                         [](const testing::TestParamInfo<Refusal>& info) { return std::string(info.param.name); });

// The machines the checks let through.
TEST(AnalysisAccepted, ServerWithoutUacAndWithSha2)
{
    ovtest::CHklmKeyBackup policy{kPolicy};
    ovtest::SetHklmDword(kPolicy, L"EnableLUA", 0);
    ovtest::SetHklmDword(kPolicy, L"ConsentPromptBehaviorAdmin", 0);
    for (const testsupport::OsIdentity* os : {&testsupport::kServer2008R2, &testsupport::kServer2012R2})
    {
        const bool server2008R2 = os == &testsupport::kServer2008R2;
        testsupport::TraceCapture log;
        testsupport::ProbeResult result;
        {
            testsupport::ScopedOs scoped(*os);
            result = testsupport::RunPrerequisiteProbe(L"securitycheck");
        }
        EXPECT_EQ(result.exitCode, 0u) << os->version;
        EXPECT_EQ(result.lines, (std::vector<std::wstring>{L"ActionStart 0", L"ActionEnd 0"})) << os->version;
        // The SHA-2 check belongs to Windows Server 2008 R2 only.
        EXPECT_EQ(log.Contains(L"Os type is Win2008r2. Checking SHA-2 support"), server2008R2) << os->version;
        EXPECT_EQ(log.Contains(L"SHA-2 supported"), server2008R2) << os->version;
    }
}

// The agreed switch-off whose registry writes fail: an error of the step, with the write's
// code, and UAC left on.
TEST(AnalysisUacWriteFails, TheStepFailsWithTheWriteError)
{
    ovtest::CHklmKeyBackup policy{kPolicy};
    ovtest::SetHklmDword(kPolicy, L"EnableLUA", 1);
    testsupport::ProbeResult result;
    {
        testsupport::ScopedOs os(testsupport::kServer2008R2);
        result = testsupport::RunPrerequisiteProbe(L"securitycheck", L"regwritefail");
    }
    EXPECT_EQ(result.exitCode, 2u);
    const std::vector<std::wstring> expected = {L"ActionStart 0", std::wstring(L"AskUserQuestion ") + kUacQuestion,
                                                L"ActionError 0", L"COvError 0x80070005"};
    EXPECT_EQ(result.lines, expected);
    EXPECT_EQ(ReadDword(kPolicy, L"EnableLUA"), 1u);
    EXPECT_FALSE(ovtest::HklmKeyExists(kBackup));
}
