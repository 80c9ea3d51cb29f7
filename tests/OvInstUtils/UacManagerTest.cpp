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

TEST_F(UacManagerTest, MissingLiveKeyCountsAsOnAndDisableLogsTheOpenFailure)
{
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kPolicy);
    testsupport::TraceCapture log;
    CUacManager uac;
    EXPECT_TRUE(uac.IsUacEnabled());
    uac.Disable(false);
    EXPECT_TRUE(log.Contains(L"EnableLUA: -1, ConsentPromptBehaviorAdmin: -1"));
    EXPECT_TRUE(log.ContainsMarked(L"E>", L"2"));
    EXPECT_FALSE(ovtest::HklmKeyExists(kPolicy));
}

// The values read first stay for the whole process.
TEST_F(UacManagerTest, SecondLoadReadsNothing)
{
    ovtest::SetHklmDword(kPolicy, L"EnableLUA", 0);
    testsupport::TraceCapture log;
    CUacManager first;
    EXPECT_FALSE(first.IsUacEnabled());
    ovtest::SetHklmDword(kPolicy, L"EnableLUA", 1);
    CUacManager second;
    EXPECT_FALSE(second.IsUacEnabled());
    const auto lines = log.Lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), L"EnableLUA: 0, ConsentPromptBehaviorAdmin: -1"), 1);
}

// The backup outlives the process: the restore runs after the restart, in a new one.
TEST_F(UacManagerTest, DisableWithBackupThenRestoreInANewProcess)
{
    ovtest::SetHklmDword(kPolicy, L"EnableLUA", 1);
    ovtest::SetHklmDword(kPolicy, L"ConsentPromptBehaviorAdmin", 2);
    CUacManager uac;
    uac.Disable(true);
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
