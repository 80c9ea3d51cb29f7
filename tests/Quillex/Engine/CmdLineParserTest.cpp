#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "Engine/CmdLineParser.h"

namespace
{
struct ParseCase
{
    const wchar_t* text;
    bool stored;
    std::vector<std::pair<std::wstring, std::wstring>> options;
    std::vector<std::wstring> absent;
};

const ParseCase kCases[] = {
    {L"/script:C:\\setup\\a.rsp /reboot", true,
     {{L"script", L"C:\\setup\\a.rsp"}, {L"reboot", L""}}, {}},
    {L"/msi:\"A=1 B=2\" /reboot", true, {{L"msi", L"A=1 B=2"}, {L"reboot", L""}}, {}},
    // The value ends at the space and B=2 holds no switch character.
    {L"/msi:A=1 B=2", true, {{L"msi", L"A=1"}}, {L"b=2", L"b"}},
    {L"/msi:", true, {{L"msi", L""}}, {}},
    {L"/msi: /reboot", true, {{L"msi", L""}, {L"reboot", L""}}, {}},
    {L"-PID:1234", true, {{L"pid", L"1234"}}, {}},
    {L"/SCRIPT", true, {{L"script", L""}}, {}},
    {L"/script:first /Script:second", true, {{L"script", L"first"}}, {}},
    {L"/msi:\"A=1 B=2", true, {{L"msi", L"A=1 B=2"}}, {}},
    {L"/msi:\"\" /reboot", true, {{L"msi", L""}, {L"reboot", L""}}, {}},
    {L"/a:\"x y\"/b", true, {{L"a", L"x y"}, {L"b", L""}}, {}},
    {L"/x:y:z", true, {{L"x", L"y:z"}}, {}},
    // A blank between quotes inside a value does not end it: the property keeps its two words.
    {L"/msi:A=\"x y\" /reboot", true, {{L"msi", L"A=\"x y\""}, {L"reboot", L""}}, {L"y\""}},
    {L"/msi:A=\"x y", true, {{L"msi", L"A=\"x y"}}, {}},
    // Every "-" or "/" outside a value starts an option.
    {L"abc-def", true, {{L"def", L""}}, {L"abc"}},
    {L"/script:C:/dir/a.rsp", true, {{L"script", L"C:/dir/a.rsp"}}, {L"dir"}},
    {L"/ /reboot", true, {{L"reboot", L""}}, {L""}},
    {L"setup.exe a b c", false, {}, {L"setup.exe", L"a"}},
    {L"", false, {}, {}},
    {L"/", false, {}, {L""}},
    {L"/:value", false, {}, {L"", L"value"}},
};

class CmdLineParserTable : public testing::TestWithParam<ParseCase>
{
};

TEST_P(CmdLineParserTable, StoresOptions)
{
    const ParseCase& c = GetParam();
    CCmdLineParser parser;
    EXPECT_EQ(parser.Parse(c.text), c.stored);
    EXPECT_EQ(parser.GetCommandLine(), c.text);
    for (const auto& [key, value] : c.options)
    {
        SCOPED_TRACE(testing::PrintToString(key));
        ASSERT_TRUE(parser.HasKey(key));
        EXPECT_EQ(parser.HasValue(key), !value.empty());
        ASSERT_NE(parser.GetValue(key), nullptr);
        EXPECT_EQ(std::wstring(parser.GetValue(key)), value);
        std::wstring copy = L"unchanged";
        EXPECT_TRUE(parser.GetValue(key, copy));
        EXPECT_EQ(copy, value);
    }
    for (const auto& key : c.absent)
    {
        SCOPED_TRACE(testing::PrintToString(key));
        EXPECT_FALSE(parser.HasKey(key));
        EXPECT_EQ(parser.GetValue(key), nullptr);
        std::wstring copy = L"unchanged";
        EXPECT_FALSE(parser.GetValue(key, copy));
        EXPECT_EQ(copy, L"unchanged");
    }
}

INSTANTIATE_TEST_SUITE_P(CommandLines, CmdLineParserTable, testing::ValuesIn(kCases));

TEST(CmdLineParser, LookupIgnoresCaseUnlessCaseSensitive)
{
    CCmdLineParser insensitive(L"/AutoInstall");
    EXPECT_TRUE(insensitive.HasKey(L"autoinstall"));
    EXPECT_TRUE(insensitive.HasKey(L"AUTOINSTALL"));

    CCmdLineParser sensitive(L"/AutoInstall /Key:V", true);
    EXPECT_TRUE(sensitive.HasKey(L"AutoInstall"));
    EXPECT_FALSE(sensitive.HasKey(L"autoinstall"));
    EXPECT_FALSE(sensitive.HasKey(L"key"));
    EXPECT_STREQ(sensitive.GetValue(L"Key"), L"V");
}

TEST(CmdLineParser, ParseReplacesEarlierOptions)
{
    CCmdLineParser parser(L"/script:a.rsp");
    EXPECT_FALSE(parser.Parse(L"no switches"));
    EXPECT_FALSE(parser.HasKey(L"script"));
    EXPECT_EQ(parser.GetCommandLine(), L"no switches");
}
}
