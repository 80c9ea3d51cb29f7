#include <gtest/gtest.h>

#include <windows.h>

#include <optional>

#include "EmulatedOs.h"
#include "MachineKeyBackup.h"
#include "ProbeRunner.h"
#include "SystemApi.h"
#include "TraceCapture.h"
#include "TraceTestSupport.h"
#include "UacManager.h"

namespace
{
const wchar_t kPolicy[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
const wchar_t kBackup[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\OvBackup";

std::optional<DWORD> ReadDword(const wchar_t* key, const wchar_t* name)
{
    DWORD type = 0;
    std::vector<BYTE> data;
    if (!testsupport::GetMachineValue(key, name, type, data) || type != REG_DWORD || data.size() != 4)
        return std::nullopt;
    return *reinterpret_cast<const DWORD*>(data.data());
}

// The policy key (with the backup below it) put aside for each test. The test prefix is a
// Windows 7 workstation: only "EnableLUA" counts in this process.
class UacManagerTest : public testing::Test
{
protected:
    ovtest::CHklmKeyBackup m_policy{kPolicy};
};
}

TEST_F(UacManagerTest, DetectsTheVersionOfThisProcess)
{
    CUacManager uac;
    EXPECT_EQ(uac.GetMajorVersion(), 6u);
    EXPECT_EQ(uac.GetMinorVersion(), 1u);
}

// EnableLUA decides on 6.1; ConsentPromptBehaviorAdmin is not even read there.
TEST_F(UacManagerTest, EnableLuaDecidesOnWindows61)
{
    struct Case
    {
        std::optional<DWORD> enableLua;
        std::optional<DWORD> consentPrompt;
        bool enabled;
    };
    const Case cases[] = {
        {1, std::nullopt, true},
        {0, 5, false},
        {0, std::nullopt, false},
        // Not readable counts as on.
        {std::nullopt, 0, true},
    };
    for (const Case& c : cases)
    {
        // A fresh process each time would be needed for the once-per-process values, so each
        // case runs in the probe.
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kPolicy);
        ovtest::SetHklmDword(kPolicy, L"PromptOnSecureDesktop", 1);
        if (c.enableLua)
            ovtest::SetHklmDword(kPolicy, L"EnableLUA", *c.enableLua);
        if (c.consentPrompt)
            ovtest::SetHklmDword(kPolicy, L"ConsentPromptBehaviorAdmin", *c.consentPrompt);
        const testsupport::ProbeResult result = testsupport::RunPrerequisiteProbe(L"uac-enabled");
        EXPECT_EQ(result.exitCode, c.enabled ? 11u : 10u)
            << "EnableLUA " << (c.enableLua ? int(*c.enableLua) : -1) << ", consent " << (c.consentPrompt ? int(*c.consentPrompt) : -1);
    }
}

// From 6.2 on a consent prompt alone keeps UAC active.
TEST_F(UacManagerTest, ConsentPromptCountsFromWindows62)
{
    ovtest::SetHklmDword(kPolicy, L"EnableLUA", 0);
    ovtest::SetHklmDword(kPolicy, L"ConsentPromptBehaviorAdmin", 5);
    {
        testsupport::ScopedOs os(testsupport::kServer2012);
        const testsupport::ProbeResult result = testsupport::RunPrerequisiteProbe(L"uac-enabled");
        ASSERT_FALSE(result.lines.empty());
        EXPECT_EQ(result.lines[0], L"6.2");
        EXPECT_EQ(result.exitCode, 11u);
    }
    ovtest::SetHklmDword(kPolicy, L"ConsentPromptBehaviorAdmin", 0);
    {
        testsupport::ScopedOs os(testsupport::kServer2012);
        EXPECT_EQ(testsupport::RunPrerequisiteProbe(L"uac-enabled").exitCode, 10u);
    }
}

// Every case that reads the live values runs in the probe: the values are read once per
// process, so a case in this process would see what an earlier case read.
TEST_F(UacManagerTest, MissingLiveKeyCountsAsOnAndDisableReportsTheOpenFailure)
{
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kPolicy);
    testsupport::TraceCapture log;
    EXPECT_EQ(testsupport::RunPrerequisiteProbe(L"uac-enabled").exitCode, 11u);
    EXPECT_EQ(testsupport::RunPrerequisiteProbe(L"uac-disable-only").exitCode, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(log.Contains(L"EnableLUA: -1, ConsentPromptBehaviorAdmin: -1"));
    EXPECT_TRUE(log.ContainsMarked(L"E>", L"2"));
    EXPECT_FALSE(ovtest::HklmKeyExists(kPolicy));
}

// The values read first stay for the whole process.
TEST_F(UacManagerTest, SecondLoadReadsNothing)
{
    for (const DWORD enableLua : {0u, 1u})
    {
        ovtest::SetHklmDword(kPolicy, L"EnableLUA", enableLua);
        testsupport::TraceCapture log;
        // Both managers answer as the live value was before the probe turned it over.
        const DWORD both = enableLua ? 13u : 10u;
        EXPECT_EQ(testsupport::RunPrerequisiteProbe(L"uac-enabled-twice").exitCode, both) << enableLua;
        const auto lines = log.Lines();
        const std::wstring read = L"EnableLUA: " + std::to_wstring(enableLua) + L", ConsentPromptBehaviorAdmin: -1";
        EXPECT_EQ(std::count(lines.begin(), lines.end(), read), 1) << enableLua;
    }
}

// The backup outlives the process: the restore runs after the restart, in a new one.
TEST_F(UacManagerTest, DisableWithBackupThenRestoreInANewProcess)
{
    ovtest::SetHklmDword(kPolicy, L"EnableLUA", 1);
    ovtest::SetHklmDword(kPolicy, L"ConsentPromptBehaviorAdmin", 2);
    EXPECT_EQ(testsupport::RunPrerequisiteProbe(L"uac-disable").exitCode, 0u);
    EXPECT_EQ(ReadDword(kPolicy, L"EnableLUA"), 0u);
    EXPECT_EQ(ReadDword(kBackup, L"EnableLUA"), 1u);
    // 6.1: the consent prompt is neither switched off nor backed up.
    EXPECT_EQ(ReadDword(kPolicy, L"ConsentPromptBehaviorAdmin"), 2u);
    EXPECT_FALSE(ovtest::HklmValueExists(kBackup, L"ConsentPromptBehaviorAdmin"));

    EXPECT_EQ(testsupport::RunPrerequisiteProbe(L"uac-restore").exitCode, 0u);
    EXPECT_EQ(ReadDword(kPolicy, L"EnableLUA"), 1u);
    EXPECT_EQ(ReadDword(kPolicy, L"ConsentPromptBehaviorAdmin"), 2u);
    EXPECT_FALSE(ovtest::HklmKeyExists(kBackup));
}

// Server 2012 R2 after an interrupted run: UAC switched off, the consent prompt put back by
// Group Policy, the backup holding the originals. Disabling again keeps that backup, so the
// restore brings the originals back rather than the interrupted run's change.
TEST_F(UacManagerTest, AnExistingBackupIsKept)
{
    struct Case
    {
        const char* name;
        std::optional<DWORD> backupLua;
        std::optional<DWORD> backupConsent;
        DWORD restoredLua;
        DWORD restoredConsent;
    };
    const Case cases[] = {
        {"both backed up before", 1, 5, 1, 5},
        // Only the value that has no backup yet is backed up, from the live value.
        {"only EnableLUA backed up before", 1, std::nullopt, 1, 5},
    };
    for (const Case& c : cases)
    {
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kPolicy);
        ovtest::SetHklmDword(kPolicy, L"EnableLUA", 0);
        ovtest::SetHklmDword(kPolicy, L"ConsentPromptBehaviorAdmin", 5);
        if (c.backupLua)
            ovtest::SetHklmDword(kBackup, L"EnableLUA", *c.backupLua);
        if (c.backupConsent)
            ovtest::SetHklmDword(kBackup, L"ConsentPromptBehaviorAdmin", *c.backupConsent);
        {
            testsupport::ScopedOs os(testsupport::kServer2012R2);
            EXPECT_EQ(testsupport::RunPrerequisiteProbe(L"uac-enabled").exitCode, 11u) << c.name;
            EXPECT_EQ(testsupport::RunPrerequisiteProbe(L"uac-disable").exitCode, 0u) << c.name;
        }
        EXPECT_EQ(ReadDword(kPolicy, L"EnableLUA"), 0u) << c.name;
        EXPECT_EQ(ReadDword(kPolicy, L"ConsentPromptBehaviorAdmin"), 0u) << c.name;
        EXPECT_EQ(ReadDword(kBackup, L"EnableLUA"), c.restoredLua) << c.name;
        EXPECT_EQ(ReadDword(kBackup, L"ConsentPromptBehaviorAdmin"), c.restoredConsent) << c.name;
        {
            testsupport::ScopedOs os(testsupport::kServer2012R2);
            EXPECT_EQ(testsupport::RunPrerequisiteProbe(L"uac-restore").exitCode, 0u) << c.name;
        }
        EXPECT_EQ(ReadDword(kPolicy, L"EnableLUA"), c.restoredLua) << c.name;
        EXPECT_EQ(ReadDword(kPolicy, L"ConsentPromptBehaviorAdmin"), c.restoredConsent) << c.name;
        EXPECT_FALSE(ovtest::HklmKeyExists(kBackup)) << c.name;
    }
}

// The policy key volatile: the backup key cannot be created below it, a real registry
// failure. Without its backup UAC is not switched off.
TEST_F(UacManagerTest, NothingIsSwitchedOffWithoutABackup)
{
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kPolicy);
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kPolicy, 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr,
                                &key, nullptr),
              ERROR_SUCCESS);
    ::RegCloseKey(key);
    ovtest::SetHklmDword(kPolicy, L"EnableLUA", 1);
    testsupport::TraceCapture log;
    EXPECT_EQ(testsupport::RunPrerequisiteProbe(L"uac-disable").exitCode, static_cast<DWORD>(ERROR_CHILD_MUST_BE_VOLATILE));
    EXPECT_EQ(ReadDword(kPolicy, L"EnableLUA"), 1u);
    EXPECT_FALSE(ovtest::HklmKeyExists(kBackup));
    EXPECT_TRUE(log.ContainsMarked(L"E>", L"UAC settings could not be backed up: 1021"));
}

// A live write that fails is the result of Disable (the backup is there already, so the
// live write is the first one).
TEST_F(UacManagerTest, AFailedLiveWriteIsReported)
{
    ovtest::SetHklmDword(kPolicy, L"EnableLUA", 1);
    ovtest::SetHklmDword(kBackup, L"EnableLUA", 1);
    testsupport::TraceCapture log;
    EXPECT_EQ(testsupport::RunPrerequisiteProbe(L"uac-disable", L"regwritefail").exitCode,
              static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(log.ContainsMarked(L"E>", L"EnableLUA could not be written: 5"));
    EXPECT_EQ(ReadDword(kPolicy, L"EnableLUA"), 1u);
}

namespace
{
LONG WINAPI DeniedWrite(HKEY, LPCWSTR, DWORD, DWORD, const BYTE*, DWORD)
{
    return ERROR_ACCESS_DENIED;
}
}

// The backup is all that is left of the old value: it goes only once the live value is back.
TEST_F(UacManagerTest, RestoreKeepsTheBackupOfAValueItCouldNotWrite)
{
    ovtest::SetHklmDword(kPolicy, L"EnableLUA", 0);
    ovtest::SetHklmDword(kBackup, L"EnableLUA", 1);
    {
        instutils::CSystemApiOverride api;
        api->RegSetValueExW = DeniedWrite;
        CUacManager().Restore();
    }
    EXPECT_EQ(ReadDword(kPolicy, L"EnableLUA"), 0u);
    EXPECT_EQ(ReadDword(kBackup, L"EnableLUA"), 1u);
    // The next restore (the next run's) succeeds.
    CUacManager().Restore();
    EXPECT_EQ(ReadDword(kPolicy, L"EnableLUA"), 1u);
    EXPECT_FALSE(ovtest::HklmKeyExists(kBackup));
}

TEST_F(UacManagerTest, DisableAndRestoreTheConsentPromptOnWindows62)
{
    ovtest::SetHklmDword(kPolicy, L"EnableLUA", 1);
    ovtest::SetHklmDword(kPolicy, L"ConsentPromptBehaviorAdmin", 5);
    testsupport::ScopedOs os(testsupport::kServer2012);
    EXPECT_EQ(testsupport::RunPrerequisiteProbe(L"uac-disable").exitCode, 0u);
    EXPECT_EQ(ReadDword(kPolicy, L"EnableLUA"), 0u);
    EXPECT_EQ(ReadDword(kPolicy, L"ConsentPromptBehaviorAdmin"), 0u);
    EXPECT_EQ(ReadDword(kBackup, L"EnableLUA"), 1u);
    EXPECT_EQ(ReadDword(kBackup, L"ConsentPromptBehaviorAdmin"), 5u);

    EXPECT_EQ(testsupport::RunPrerequisiteProbe(L"uac-restore").exitCode, 0u);
    EXPECT_EQ(ReadDword(kPolicy, L"EnableLUA"), 1u);
    EXPECT_EQ(ReadDword(kPolicy, L"ConsentPromptBehaviorAdmin"), 5u);
    EXPECT_FALSE(ovtest::HklmKeyExists(kBackup));
}

// A value that was absent is backed up as all ones, and absent again after the restore:
// 0xFFFFFFFF is no valid setting of either policy.
TEST_F(UacManagerTest, AbsentValuesComeBackAbsent)
{
    ovtest::SetHklmDword(kPolicy, L"PromptOnSecureDesktop", 1);
    testsupport::ScopedOs os(testsupport::kServer2012);
    EXPECT_EQ(testsupport::RunPrerequisiteProbe(L"uac-disable").exitCode, 0u);
    EXPECT_EQ(ReadDword(kPolicy, L"EnableLUA"), 0u);
    EXPECT_EQ(ReadDword(kPolicy, L"ConsentPromptBehaviorAdmin"), 0u);
    EXPECT_EQ(ReadDword(kBackup, L"EnableLUA"), 0xFFFFFFFFu);
    EXPECT_EQ(ReadDword(kBackup, L"ConsentPromptBehaviorAdmin"), 0xFFFFFFFFu);

    EXPECT_EQ(testsupport::RunPrerequisiteProbe(L"uac-restore").exitCode, 0u);
    EXPECT_FALSE(ovtest::HklmValueExists(kPolicy, L"EnableLUA"));
    EXPECT_FALSE(ovtest::HklmValueExists(kPolicy, L"ConsentPromptBehaviorAdmin"));
    EXPECT_EQ(ReadDword(kPolicy, L"PromptOnSecureDesktop"), 1u);
    EXPECT_FALSE(ovtest::HklmKeyExists(kBackup));
}

TEST_F(UacManagerTest, RestoreWithoutBackupOnlyRemovesAnEmptyBackupKey)
{
    ovtest::SetHklmDword(kPolicy, L"EnableLUA", 0);
    CUacManager uac;
    uac.Restore();
    EXPECT_EQ(ReadDword(kPolicy, L"EnableLUA"), 0u);

    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kBackup, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), ERROR_SUCCESS);
    ::RegCloseKey(key);
    uac.Restore();
    EXPECT_EQ(ReadDword(kPolicy, L"EnableLUA"), 0u);
    EXPECT_FALSE(ovtest::HklmKeyExists(kBackup));
}

namespace
{
BOOL WINAPI StandardUserAccessCheck(PSECURITY_DESCRIPTOR, HANDLE, DWORD, PGENERIC_MAPPING, PPRIVILEGE_SET, LPDWORD,
                                    LPDWORD granted, LPBOOL status)
{
    *granted = 0;
    *status = FALSE;
    return TRUE;
}

BOOL WINAPI FailingAccessCheck(PSECURITY_DESCRIPTOR, HANDLE, DWORD, PGENERIC_MAPPING, PPRIVILEGE_SET, LPDWORD, LPDWORD,
                               LPBOOL status)
{
    *status = TRUE;
    ::SetLastError(ERROR_INVALID_SECURITY_DESCR);
    return FALSE;
}
}

TEST(IsUserAdmin, TheAccessCheckDecides)
{
    // The test prefix runs every process as an administrator.
    EXPECT_TRUE(IsUserAdmin());
    {
        instutils::CSystemApiOverride api;
        api->AccessCheck = StandardUserAccessCheck;
        EXPECT_FALSE(IsUserAdmin());
    }
    {
        // A failed check is no answer, whatever its status says.
        instutils::CSystemApiOverride api;
        api->AccessCheck = FailingAccessCheck;
        EXPECT_FALSE(IsUserAdmin());
    }
    EXPECT_TRUE(IsUserAdmin());
}
