#include <gtest/gtest.h>

#include "Steps/PasswordMask.h"
#include "TraceTestSupport.h"

using namespace ovinst;

namespace
{
struct MaskCase
{
    const char* name;
    const wchar_t* input;
    const wchar_t* expected;
};

class PasswordMaskTest : public testing::TestWithParam<MaskCase>
{
};
}

TEST_P(PasswordMaskTest, MasksOnlyPasswordValues)
{
    EXPECT_EQ(MaskPasswords(GetParam().input), GetParam().expected);
}

const MaskCase kMaskCases[] = {
    {"Plain", L"OVDBAPASSWORD_TEMP=secret A=1", L"OVDBAPASSWORD_TEMP=*** A=1"},
    {"Quoted", L" OVDBUPASSWORD_TEMP=\"se cret\" A=\"1\"", L" OVDBUPASSWORD_TEMP=\"***\" A=\"1\""},
    {"DoubledQuoteInside", L"OVDBAPASSWORD_TEMP=\"a\"\" b\" X=1", L"OVDBAPASSWORD_TEMP=\"***\" X=1"},
    {"QuoteInsideValue", L" OVDBAPASSWORD_TEMP=\"a\"b\"", L" OVDBAPASSWORD_TEMP=\"***\""},
    {"LowerCaseName", L"ovdbapassword_temp=s", L"ovdbapassword_temp=***"},
    {"RollbackProperty", L"OVDBANAME=sa OVDBAPASSWORD=s DELETEDBONROLLBACK=1", L"OVDBANAME=sa OVDBAPASSWORD=*** DELETEDBONROLLBACK=1"},
    {"LongerNameIsOther", L"XOVDBAPASSWORD_TEMP=s OVDBAPASSWORD_TEMPX=t", L"XOVDBAPASSWORD_TEMP=s OVDBAPASSWORD_TEMPX=t"},
    {"Both", L"OVDBAPASSWORD_TEMP=a OVDBUPASSWORD_TEMP=b", L"OVDBAPASSWORD_TEMP=*** OVDBUPASSWORD_TEMP=***"},
    {"EmptyValue", L"OVDBAPASSWORD_TEMP= A=1", L"OVDBAPASSWORD_TEMP=*** A=1"},
    {"Nothing", L" CORRECTLAUNCH=1 REBOOT=ReallySuppress", L" CORRECTLAUNCH=1 REBOOT=ReallySuppress"},
    {"InstallerPropertyDump", L"Property(S): OVDBAPASSWORD_TEMP = se cret\r\nProperty(S): A = 1",
     L"Property(S): OVDBAPASSWORD_TEMP = ***\r\nProperty(S): A = 1"},
    {"InstallerPropertyDumpOther", L"Property(S): OVDBANAME = sa", L"Property(S): OVDBANAME = sa"},
};

INSTANTIATE_TEST_SUITE_P(Cases, PasswordMaskTest, testing::ValuesIn(kMaskCases),
                         [](const testing::TestParamInfo<MaskCase>& info) { return std::string(info.param.name); });

TEST(PasswordMask, ValuesOfThePasswordProperties)
{
    EXPECT_EQ(PasswordValues(L"A=1 OVDBAPASSWORD_TEMP=\"p \"\"q\"\"\" OVDBUPASSWORD_TEMP=u OVDBAPASSWORD= B=2"),
              (std::vector<std::wstring>{L"p \"q\"", L"u"}));
    EXPECT_EQ(MaskSecrets(L"connect with p4ss to db", {L"p4ss"}), L"connect with *** to db");
}

// Some installers log every property at the end of the run, whatever the package hides.
TEST(PasswordMask, LogFilesAreScrubbedInEitherEncoding)
{
    ovtest::CTempFolder folder(L"scrub");
    const std::wstring ansi = folder / L"ansi.txt";
    ovtest::WriteFileBytes(ansi, "Property(S): X = Pa55\r\nagain Pa55 end\r\n");
    ScrubLogFile(ansi, {L"Pa55"});
    EXPECT_EQ(ovtest::ReadFileBytes(ansi), "Property(S): X = ***\r\nagain *** end\r\n");

    const std::wstring wide = folder / L"wide.txt";
    const std::wstring text = L"\xFEFFvalue Pa55 here";
    ovtest::WriteFileBytes(wide, std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2));
    ScrubLogFile(wide, {L"Pa55"});
    const std::wstring expected = L"\xFEFFvalue *** here";
    EXPECT_EQ(ovtest::ReadFileBytes(wide), std::string(reinterpret_cast<const char*>(expected.data()), expected.size() * 2));
}
