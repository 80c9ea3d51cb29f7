#include <gtest/gtest.h>

#include "Steps/PasswordMask.h"
#include "TraceCapture.h"
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
}

// A secret is masked where it stands whole, never inside a longer word: a short password
// must not rewrite the rest of the log.
TEST(PasswordMask, SecretsOnlyWhereTheyStandWhole)
{
    struct Case
    {
        const wchar_t* text;
        const wchar_t* secret;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"connect with p4ss to db", L"p4ss", L"connect with *** to db"},
        {L"PROPERTY CHANGE: Adding X property. Its value is 'p4ss'.", L"p4ss",
         L"PROPERTY CHANGE: Adding X property. Its value is '***'."},
        {L"OTHER=p4ss OVDBANAME=sa", L"p4ss", L"OTHER=*** OVDBANAME=sa"},
        {L"Target=\"p w\" next", L"p w", L"Target=\"***\" next"},
        // The characters of a short password inside words stay.
        {L"Installation of Calderis as planned: a", L"a", L"Installation of Calderis as planned: ***"},
        {L"p4ssword p4ss_x xp4ss p4ss2", L"p4ss", L"p4ssword p4ss_x xp4ss p4ss2"},
        {L"ends with p4ss", L"p4ss", L"ends with ***"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MaskSecrets(c.text, {c.secret}), c.expected) << testing::PrintToString(std::wstring(c.text));
}

// Some installers log every property at the end of the run, whatever the package hides.
TEST(PasswordMask, LogFilesAreScrubbedInEitherEncoding)
{
    ovtest::CTempFolder folder(L"scrub");
    const std::wstring ansi = folder / L"ansi.txt";
    ovtest::WriteFileBytes(ansi, "Property(S): X = Pa55\r\nagain Pa55 end, not XPa55 nor Pa55X\r\n");
    ScrubLogFile(ansi, {L"Pa55"});
    EXPECT_EQ(ovtest::ReadFileBytes(ansi), "Property(S): X = ***\r\nagain *** end, not XPa55 nor Pa55X\r\n");

    const std::wstring wide = folder / L"wide.txt";
    const std::wstring text = L"\xFEFFvalue Pa55 here, in aPa55 not";
    ovtest::WriteFileBytes(wide, std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2));
    ScrubLogFile(wide, {L"Pa55"});
    const std::wstring expected = L"\xFEFFvalue *** here, in aPa55 not";
    EXPECT_EQ(ovtest::ReadFileBytes(wide), std::string(reinterpret_cast<const char*>(expected.data()), expected.size() * 2));
}

// A log that cannot be scrubbed may still hold the passwords: the trace says which one.
TEST(PasswordMask, AScrubThatCannotOpenTheLogSaysSo)
{
    ovtest::CTempFolder folder(L"scrubfail");
    const std::wstring path = folder / L"held.txt";
    ovtest::WriteFileBytes(path, "Property(S): X = Pa55\r\n");
    testsupport::TraceCapture trace;
    {
        // Held open without sharing, as by another program.
        HANDLE held = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        ScrubLogFile(path, {L"Pa55"});
        ::CloseHandle(held);
    }
    EXPECT_TRUE(trace.ContainsMarked(L"W>", L"Cannot open the log file '" + path + L"' to mask the passwords: 32"));
    // Nothing to scrub, nothing to say.
    testsupport::TraceCapture quiet;
    ScrubLogFile(folder / L"missing.txt", {});
    EXPECT_TRUE(quiet.Lines().empty());
}
