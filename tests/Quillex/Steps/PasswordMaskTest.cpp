#include <gtest/gtest.h>

#include "Steps/PasswordMask.h"

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
};

INSTANTIATE_TEST_SUITE_P(Cases, PasswordMaskTest, testing::ValuesIn(kMaskCases),
                         [](const testing::TestParamInfo<MaskCase>& info) { return std::string(info.param.name); });
