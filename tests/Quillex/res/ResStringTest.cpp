#include <gtest/gtest.h>

#include "ResString.h"

namespace
{
struct StringCase
{
    UINT id;
    const wchar_t* text;
};

const StringCase kStrings[] = {
    {104, L"Close"},
    {105, L"Computer restart is required. The computer will restart automatically in %d seconds.\r\nClick Cancel to restart later."},
    {119, L"%s install"},
    {127, L"\r\n\r\nThe program will be updated from version %s to version %s."},
    {130, L"Error \"C/C++ runtime\" install.%s"},
    {132, L"User account control (UAC) is enabled on this computer.\r\nSetup will disable UAC, you need to reboot computer and run setup again to install software.\nUAC will be enabled again after installation complete. Continue?"},
    {1018, L"en-US"},
    {1019, L"Installed component found \"%s\", component language (%s) is different from this package language (%s). Installation will be canceled."},
    {1027, L"The installation wizard %s has been prematurely terminated due to an error. The system has not been changed. To install this program later, run the installation wizard again.\n%s"},
    {1030, L"Distribution kit is corrupted"},
    {1051, L" - Installing"},
    {1065, L"analyzing system"},
    {1069, L"ConnectionPoints cash is not set by the Security Server Setup Wizard. Installation is impossible."},
    {1071, L"The following Windows updates are required to install/update Orvane Studio - Security Server:\r\n%s"},
    {7131, L"Calderis CSP"},
};

class ResStringTest : public testing::TestWithParam<StringCase>
{
};

TEST_P(ResStringTest, LoadsExactText)
{
    EXPECT_EQ(utils::LoadResString(GetParam().id), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(StringTable, ResStringTest, testing::ValuesIn(kStrings),
                         [](const testing::TestParamInfo<StringCase>& info) {
                             return "Id" + std::to_string(info.param.id);
                         });

TEST(ResStringFallback, MissingIdGivesErrorText)
{
    EXPECT_EQ(utils::LoadResString(9999), L"<ERROR LOADING STRING: 9999>");
    EXPECT_EQ(utils::LoadResString(0), L"<ERROR LOADING STRING: 0>");
}
}
