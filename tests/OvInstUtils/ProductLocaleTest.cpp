#include "MachineKeyBackup.h"
#include "OvErrorObject.h"
#include "ProductLocale.h"
#include "ProductRegistry.h"
#include "RegLocale.h"
#include "TraceCapture.h"
#include "Win32Objects.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

using testsupport::MachineKeyBackup;
using testsupport::MachineKeyExists;
using testsupport::SetMachineString;
using testsupport::SetMachineValue;

namespace
{
std::vector<BYTE> Bytes(const std::wstring& text, bool terminated = true)
{
    const size_t size = (text.size() + (terminated ? 1 : 0)) * sizeof(wchar_t);
    std::vector<BYTE> data(size);
    std::memcpy(data.data(), text.c_str(), size);
    return data;
}

// Every test runs without the maker's key; the machine's own is back afterwards.
class ProductLocaleTest : public testing::Test
{
protected:
    MachineKeyBackup m_backup{instutils::kMakerKeyPath};
};

struct StoredMark
{
    const char* what;
    DWORD type;
    std::vector<BYTE> data;
    DWORD expected;
};

class ProductLocaleRead : public ProductLocaleTest, public testing::WithParamInterface<StoredMark>
{
};

const DWORD kNumber = 0x0419;
const std::vector<BYTE> kNumberBytes(reinterpret_cast<const BYTE*>(&kNumber), reinterpret_cast<const BYTE*>(&kNumber) + sizeof(kNumber));

const StoredMark kMarks[] = {
    {"five characters", REG_SZ, Bytes(L"en-US"), ERROR_SUCCESS},
    {"expandable string", REG_EXPAND_SZ, Bytes(L"ru-RU"), ERROR_SUCCESS},
    {"two characters", REG_SZ, Bytes(L"en"), ERROR_INVALID_DATA},
    {"six characters", REG_SZ, Bytes(L"en-USA"), ERROR_INVALID_DATA},
    {"seven characters", REG_SZ, Bytes(L"es-ES-x"), ERROR_INVALID_DATA},
    {"longer than the reader's buffer", REG_SZ, Bytes(L"en-US-some-private-use-tag"), ERROR_INVALID_DATA},
    {"six characters without terminator", REG_SZ, Bytes(L"en-USA", false), ERROR_INVALID_DATA},
    {"number", REG_DWORD, kNumberBytes, ERROR_INVALID_DATA},
    {"binary of the right size", REG_BINARY, Bytes(L"en-US"), ERROR_INVALID_DATA},
};
} // namespace

TEST_P(ProductLocaleRead, ResultDependsOnStoredValue)
{
    const StoredMark& mark = GetParam();
    ASSERT_EQ(ERROR_SUCCESS, SetMachineValue(instutils::kProductKeyPath, L"ProductLocale", mark.type,
                                             mark.data.data(), static_cast<DWORD>(mark.data.size())));
    wchar_t buffer[32] = L"untouched";
    DWORD length = 32;
    EXPECT_EQ(mark.expected, ReadMachineProductLocale(buffer, &length));
    if (mark.expected == ERROR_SUCCESS)
    {
        EXPECT_EQ(6u, length);
        EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(mark.data.data())), buffer);
        EXPECT_EQ(std::wstring(buffer), GetProductLocale());
    }
    else
    {
        EXPECT_STREQ(L"untouched", buffer);
        EXPECT_EQ(L"", GetProductLocale());
    }
}

INSTANTIATE_TEST_SUITE_P(Marks, ProductLocaleRead, testing::ValuesIn(kMarks),
                         [](const testing::TestParamInfo<StoredMark>& info) {
                             std::string name;
                             for (const char* c = info.param.what; *c; ++c)
                                 name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
                             return name;
                         });

TEST_F(ProductLocaleTest, ShortBufferGetsTheNeededLength)
{
    ASSERT_EQ(ERROR_SUCCESS, SetMachineString(instutils::kProductKeyPath, L"ProductLocale", L"en-US"));
    wchar_t buffer[6] = L"xxxxx";
    DWORD length = 5;
    EXPECT_EQ(DWORD(ERROR_INSUFFICIENT_BUFFER), ReadMachineProductLocale(buffer, &length));
    EXPECT_EQ(6u, length);
    EXPECT_STREQ(L"xxxxx", buffer);

    length = 6;
    EXPECT_EQ(DWORD(ERROR_SUCCESS), ReadMachineProductLocale(buffer, &length));
    EXPECT_STREQ(L"en-US", buffer);
}

TEST_F(ProductLocaleTest, MissingKeyOrValueIsNotFound)
{
    wchar_t buffer[10] = {};
    DWORD length = 10;
    EXPECT_EQ(DWORD(ERROR_FILE_NOT_FOUND), ReadMachineProductLocale(buffer, &length));
    EXPECT_EQ(L"", GetProductLocale());

    ASSERT_EQ(ERROR_SUCCESS, SetMachineString(instutils::kProductKeyPath, L"Other", L"value"));
    EXPECT_EQ(DWORD(ERROR_FILE_NOT_FOUND), ReadMachineProductLocale(buffer, &length));
    EXPECT_EQ(DWORD(ERROR_FILE_NOT_FOUND), ReadProductLocale(HKEY_CURRENT_USER, buffer, &length));
}

TEST_F(ProductLocaleTest, MissingBufferIsInvalidParameter)
{
    DWORD length = 10;
    wchar_t buffer[10] = {};
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), ReadMachineProductLocale(nullptr, &length));
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), ReadMachineProductLocale(buffer, nullptr));
}

TEST_F(ProductLocaleTest, SetCreatesMakerAndProductKeys)
{
    ASSERT_FALSE(MachineKeyExists(instutils::kMakerKeyPath));
    testsupport::TraceCapture trace;
    EXPECT_EQ(DWORD(ERROR_SUCCESS), instutils::RegLocale::Set(L"en-US"));
    const std::vector<std::wstring> lines = trace.Lines();
    const auto created = std::find(lines.begin(), lines.end(), L"Fail to open, try to create reg key: \"SOFTWARE\\Calderis\\Orvane Studio\"");
    const auto opened = std::find(lines.begin(), lines.end(), L"Reg key was opened successfully(\"SOFTWARE\\Calderis\\Orvane Studio\")");
    EXPECT_NE(lines.end(), created);
    EXPECT_NE(lines.end(), opened);
    EXPECT_LT(created, opened);

    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_TRUE(testsupport::GetMachineValue(instutils::kProductKeyPath, L"ProductLocale", type, data));
    EXPECT_EQ(DWORD(REG_SZ), type);
    EXPECT_EQ(Bytes(L"en-US"), data); // the terminating zero is part of the value
    EXPECT_EQ(L"en-US", GetProductLocale());
}

TEST_F(ProductLocaleTest, SetReplacesMarkAndKeepsOtherValues)
{
    ASSERT_EQ(ERROR_SUCCESS, SetMachineString(instutils::kProductKeyPath, L"ProductLocale", L"ru-RU"));
    ASSERT_EQ(ERROR_SUCCESS, SetMachineString(instutils::kProductKeyPath, L"Other", L"kept"));
    EXPECT_EQ(DWORD(ERROR_SUCCESS), instutils::RegLocale::Set(L"es-ES"));
    EXPECT_EQ(L"es-ES", GetProductLocale());
    DWORD type = 0;
    std::vector<BYTE> data;
    EXPECT_TRUE(testsupport::GetMachineValue(instutils::kProductKeyPath, L"Other", type, data));
}

TEST_F(ProductLocaleTest, RemoveDeletesKeysThatBecameEmpty)
{
    ASSERT_EQ(DWORD(ERROR_SUCCESS), instutils::RegLocale::Set(L"en-US"));
    testsupport::TraceCapture trace;
    instutils::RegLocale::Remove();
    EXPECT_TRUE(trace.Contains(L"SHDeleteEmptyKey(SOFTWARE\\Calderis\\Orvane Studio): 0"));
    EXPECT_TRUE(trace.Contains(L"SHDeleteEmptyKey(SOFTWARE\\Calderis): 0"));
    EXPECT_FALSE(MachineKeyExists(instutils::kProductKeyPath));
    EXPECT_FALSE(MachineKeyExists(instutils::kMakerKeyPath));
    instutils::RegLocale::Remove(); // nothing left to remove
}

TEST_F(ProductLocaleTest, RemoveKeepsKeysThatStillHoldSomething)
{
    // An installed Security Server keeps its values under the product key.
    ASSERT_EQ(DWORD(ERROR_SUCCESS), instutils::RegLocale::Set(L"en-US"));
    ASSERT_EQ(ERROR_SUCCESS, SetMachineString(instutils::kSecurityServerKeyPath, L"MorvikServerVersion", L"12.1.100.0"));
    instutils::RegLocale::Remove();
    EXPECT_EQ(L"", GetProductLocale());
    EXPECT_TRUE(MachineKeyExists(instutils::kSecurityServerKeyPath));

    // Another product of the maker keeps the maker's key alone.
    testsupport::DeleteMachineTree(instutils::kProductKeyPath);
    ASSERT_EQ(DWORD(ERROR_SUCCESS), instutils::RegLocale::Set(L"en-US"));
    ASSERT_EQ(ERROR_SUCCESS, SetMachineString(L"SOFTWARE\\Calderis\\Other Product", L"Version", L"1"));
    instutils::RegLocale::Remove();
    EXPECT_FALSE(MachineKeyExists(instutils::kProductKeyPath));
    EXPECT_TRUE(MachineKeyExists(instutils::kMakerKeyPath));
}

TEST(LogRegistryError, OneLineWithPathCodeAndSystemText)
{
    wchar_t text[2048] = {};
    OvBase::FormatSystemError(text, 2048, ERROR_ACCESS_DENIED);
    testsupport::TraceCapture trace;
    LogRegistryError(L"SOFTWARE\\Calderis\\Orvane Studio", ERROR_ACCESS_DENIED);
    // Level 4 lines carry the warning mark.
    EXPECT_TRUE(trace.Contains(std::wstring(L"W> Fail to open reg key: \"SOFTWARE\\Calderis\\Orvane Studio\", error code: 5, message: \"") +
                               text + L"\""));
}

TEST_F(ProductLocaleTest, ProgramsOwnMarkStandsInForAMissingKey)
{
    const struct
    {
        const wchar_t* arguments;
        DWORD exitCode;
    } cases[] = {
        {L"own", ERROR_SUCCESS},         // the export's mark
        {L"none", ERROR_FILE_NOT_FOUND}, // the export knows none: the registry's result stands
        {L"own user", ERROR_FILE_NOT_FOUND}, // the user's key never falls back
    };
    const std::wstring probe = std::wstring(OV_BIN_DIR) + L"\\LocaleExportProbe.exe";
    for (const auto& c : cases)
    {
        OvBase::CWin32Process process;
        ASSERT_EQ(0u, process.Create(probe.c_str(), c.arguments));
        ASSERT_EQ(0u, process.WaitFor(30000));
        EXPECT_EQ(c.exitCode, process.GetExitCode()) << testing::PrintToString(std::wstring(c.arguments));
    }

    // With the key present, the registry wins over the export.
    ASSERT_EQ(ERROR_SUCCESS, SetMachineString(instutils::kProductKeyPath, L"ProductLocale", L"en"));
    OvBase::CWin32Process process;
    ASSERT_EQ(0u, process.Create(probe.c_str(), L"own"));
    ASSERT_EQ(0u, process.WaitFor(30000));
    EXPECT_EQ(DWORD(ERROR_INVALID_DATA), process.GetExitCode());
}
