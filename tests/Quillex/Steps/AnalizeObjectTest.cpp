#include <gtest/gtest.h>

#include <optional>

#include "MachineKeyBackup.h"
#include "ProductGuids.h"
#include "ProductRegistry.h"
#include "RecordingNotifier.h"
#include "ScopedInstall.h"
#include "Steps/AnalizeObject.h"
#include "TraceCapture.h"
#include "TraceTestSupport.h"

using namespace ovinst;

namespace
{
std::optional<std::wstring> ReadMark()
{
    return testsupport::GetMachineString(instutils::kProductKeyPath, instutils::kProductLocaleValue);
}

struct LocaleCase
{
    const char* name;
    const wchar_t* mark; // null: none
    bool familyInstalled;
    const wchar_t* markAfter;
    bool overwritten;
};

class AnalizeLocale : public testing::TestWithParam<LocaleCase>
{
protected:
    ovtest::CHklmKeyBackup m_maker{instutils::kMakerKeyPath};
};
}

// The language marks the analysis lets through, and what it leaves in the registry.
TEST_P(AnalizeLocale, Accepted)
{
    const LocaleCase& c = GetParam();
    std::optional<testsupport::ScopedInstall> family;
    if (c.familyInstalled)
        family.emplace(std::wstring(OV_SAMPLES_DIR) + L"\\CalderisCommon.msi", OV_SAMPLE_UPGRADE_CODE_COMMON);
    if (c.mark)
        testsupport::SetMachineString(instutils::kProductKeyPath, instutils::kProductLocaleValue, c.mark);

    testsupport::TraceCapture log;
    auto recorder = new testsupport::RecordingNotifier;
    std::unique_ptr<INotifier> notifier(recorder);
    std::shared_ptr<IExecContext> context;
    AnalizeObject step;
    step.Exec(context, notifier);

    EXPECT_EQ(recorder->calls, (std::vector<std::wstring>{L"ActionStart 0", L"ActionEnd 0"}));
    EXPECT_EQ(ReadMark(), std::wstring(c.markAfter));
    EXPECT_EQ(log.Contains(L"Locale is empty or not used, overwriting it."), c.overwritten);
    EXPECT_TRUE(log.Contains(L"AnalizeObject created"));
}

INSTANTIATE_TEST_SUITE_P(
    Marks, AnalizeLocale,
    testing::Values(LocaleCase{"NoMarkNothingInstalled", nullptr, false, L"en-US", true},
                    LocaleCase{"OtherMarkNothingInstalled", L"ru-RU", false, L"en-US", true},
                    LocaleCase{"NoMarkFamilyInstalled", nullptr, true, L"en-US", true},
                    LocaleCase{"SameMarkOtherCase", L"EN-us", true, L"EN-us", false},
                    LocaleCase{"SameMark", L"en-US", true, L"en-US", false}),
    [](const testing::TestParamInfo<LocaleCase>& info) { return std::string(info.param.name); });

TEST(AnalizeObject, RefusalIsLoggedWithTheStepName)
{
    ovtest::CHklmKeyBackup maker{instutils::kMakerKeyPath};
    testsupport::ScopedInstall family(std::wstring(OV_SAMPLES_DIR) + L"\\CalderisCommon.msi", OV_SAMPLE_UPGRADE_CODE_COMMON);
    testsupport::SetMachineString(instutils::kProductKeyPath, instutils::kProductLocaleValue, L"ru-RU");
    testsupport::TraceCapture log;
    std::unique_ptr<INotifier> notifier(new testsupport::RecordingNotifier);
    std::shared_ptr<IExecContext> context;
    AnalizeObject step;
    EXPECT_THROW(step.Exec(context, notifier), utils::AbortInstallException);
    EXPECT_TRUE(log.ContainsMarked(L"E>", L"Wrong locale was found."));
    EXPECT_TRUE(log.ContainsText(L"ovinst::AnalizeObject::Exec AbortInstallException"));
}
