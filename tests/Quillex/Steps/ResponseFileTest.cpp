#include <gtest/gtest.h>

#include "CatchOvError.h"
#include "Engine/InstallContext.h"
#include "Steps/ResponseFile.h"
#include "TraceCapture.h"
#include "TraceTestSupport.h"

#include <string>
#include <thread>

using namespace ovinst;

namespace
{
struct RspCase
{
    const char* name;
    std::string content;
    std::wstring expected;
};

class ResponseFileTest : public testing::TestWithParam<RspCase>
{
};

std::string Utf8(const std::wstring& text)
{
    std::string bytes(text.size() * 3, '\0');
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(),
                                      static_cast<int>(bytes.size()), nullptr, nullptr);
    bytes.resize(n);
    return bytes;
}
}

TEST_P(ResponseFileTest, PropertyPartOfTheCommandLine)
{
    ovtest::CTempFolder folder(L"rsptest");
    const std::wstring path = folder / L"setup.rsp";
    ovtest::WriteFileBytes(path, GetParam().content);
    EXPECT_EQ(GetResponseFileCommandLine(path).text, GetParam().expected);
}

const RspCase kRspCases[] = {
    {"MappedAndUnknownKeysInNameOrder", "DataBaseName=ovdb\nLDS_port=389\nMYPROP=a=b\n",
     L" MYPROP=\"a=b\" OVDBNAME=\"ovdb\" PORT_LDS=\"389\""},
    {"KeyInOtherCaseIsNotMapped", "databasename=x\n", L" databasename=\"x\""},
    {"BlanksAroundEqualsStay", "DataBaseName = x\n", L" DataBaseName =\" x\""},
    {"LaterValueWins", "DataBaseName=first\nDataBaseName=second\n", L" OVDBNAME=\"second\""},
    {"EmptyFile", "", L""},
    {"QuotationMarkCopiedUnchanged", "DataBaseUser=a\"b\n", L" OVDBUNAME=\"a\"b\""},
    {"LinesWithoutEqualsIgnored", "[Settings]\n\n; comment\n;Key=v\n", L" ;Key=\"v\""},
    {"EmptyValueAndLastLineWithoutBreak", "ServerType=\nParentServer=srv", L" OVPRIMARYSERVER=\"srv\" OVSERVERTYPE=\"\""},
    {"ByteOrderMarkAndCrLf", "\xEF\xBB\xBF" "DataBaseName=db\r\nServerType=1\r\n", L" OVDBNAME=\"db\" OVSERVERTYPE=\"1\""},
    {"CarriageReturnInsideLineKept", "A=x\ry\n", L" A=\"x\ry\""},
    {"InvalidUtf8KeepsLinesBefore", "DataBaseName=db\nServerType=\xC3\x28\nParentServer=srv\n", L" OVDBNAME=\"db\""},
    {"NonAsciiValue", Utf8(L"Organization=\x041E\x0440\x0432\x0430\x043D\n"), L" OVORGANISATION=\"\x041E\x0440\x0432\x0430\x043D\""},
};

INSTANTIATE_TEST_SUITE_P(Cases, ResponseFileTest, testing::ValuesIn(kRspCases),
                         [](const testing::TestParamInfo<RspCase>& info) { return std::string(info.param.name); });

TEST(ResponseFile, MissingFileGivesEmptyTextAndSaysSo)
{
    testsupport::TraceCapture trace;
    const ResponseFileCommandLine result = GetResponseFileCommandLine(L"C:\\no such folder\\setup.rsp");
    EXPECT_EQ(result.text, L"");
    EXPECT_TRUE(trace.Contains(L"Cannot open setting file."));
}

// An unattended run must not install with default settings because the response file it
// names is out of reach; without a name the default file is optional.
TEST(ResponseFile, NamedFileThatCannotBeOpenedFailsTheStepDefaultFileIsOptional)
{
    utils::CInstallContext::Instance().ParseCommandLine(L"/script");
    EXPECT_EQ(GetSettingFileCommandLine(L"no-such-default.rsp").text, L"");

    utils::CInstallContext::Instance().ParseCommandLine(L"/script:\"C:\\no such folder\\answers.rsp\"");
    auto error = testsupport::CatchOvError([] { GetSettingFileCommandLine(L"no-such-default.rsp"); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->GetCode(), OvBase::HResultFromWin32(ERROR_PATH_NOT_FOUND));

    ovtest::CTempFolder folder(L"rsp");
    const std::wstring named = folder / L"answers.rsp";
    ovtest::WriteFileBytes(named, "[SecurityServer]\r\nDataBaseName=Orvane\r\n");
    utils::CInstallContext::Instance().ParseCommandLine(L"/script:\"" + named + L"\"");
    EXPECT_EQ(GetSettingFileCommandLine(L"no-such-default.rsp").text, L" OVDBNAME=\"Orvane\"");
}

TEST(ResponseFile, ValueOfOneMegabyte)
{
    ovtest::CTempFolder folder(L"rsptest");
    const std::wstring path = folder / L"big.rsp";
    const std::string value(1024 * 1024, 'v');
    ovtest::WriteFileBytes(path, "DataBaseName=" + value + "\nServerType=2\n");
    EXPECT_EQ(GetResponseFileCommandLine(path).text,
              L" OVDBNAME=\"" + std::wstring(value.begin(), value.end()) + L"\" OVSERVERTYPE=\"2\"");
}

// The log folder is readable by every user of the server.
TEST(ResponseFile, PasswordsNeverReachTheTrace)
{
    ovtest::CTempFolder folder(L"rsptest");
    const std::wstring path = folder / L"setup.rsp";
    ovtest::WriteFileBytes(path, "DataBaseAdminPassword=Adm1nSecret\nDataBaseUserPassword=Us3rSecret\n"
                                 "OVDBAPASSWORD_TEMP=Dir3ctSecret\nDataBaseAdmin=sa\n");
    testsupport::TraceCapture trace;
    const ResponseFileCommandLine result = GetResponseFileCommandLine(path);

    EXPECT_EQ(result.text, L" OVDBANAME=\"sa\" OVDBAPASSWORD_TEMP=\"Dir3ctSecret\" OVDBUPASSWORD_TEMP=\"Us3rSecret\"");
    EXPECT_EQ(result.masked, L" OVDBANAME=\"sa\" OVDBAPASSWORD_TEMP=\"***\" OVDBUPASSWORD_TEMP=\"***\"");
    EXPECT_TRUE(trace.Contains(L"Param: OVDBAPASSWORD_TEMP Value: ***"));
    EXPECT_TRUE(trace.Contains(L"Param: OVDBANAME Value: sa"));
    EXPECT_TRUE(trace.Contains(L"result:  OVDBANAME=\"sa\" OVDBAPASSWORD_TEMP=\"***\" OVDBUPASSWORD_TEMP=\"***\""));
    for (const wchar_t* secret : {L"Adm1nSecret", L"Us3rSecret", L"Dir3ctSecret"})
        EXPECT_FALSE(trace.ContainsText(secret)) << testing::PrintToString(std::wstring(secret));
}

// A read that fails part-way: the response file is a pipe whose writer goes away after a line
// and a half (ReadFile then fails with ERROR_BROKEN_PIPE). The line read before the error
// counts, the one the error cut off does not, and the trace says so.
TEST(ResponseFile, AReadErrorKeepsTheLinesReadBeforeIt)
{
    const std::wstring name = L"\\\\.\\pipe\\OvRspTest" + std::to_wstring(::GetCurrentProcessId());
    HANDLE pipe = ::CreateNamedPipeW(name.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0,
                                     nullptr);
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    std::thread writer([pipe] {
        ::ConnectNamedPipe(pipe, nullptr);
        const char text[] = "DataBaseName=first\nServerType=cut of";
        DWORD written = 0;
        ::WriteFile(pipe, text, sizeof(text) - 1, &written, nullptr);
        ::FlushFileBuffers(pipe);
        ::CloseHandle(pipe);
    });
    testsupport::TraceCapture trace;

    const ResponseFileCommandLine result = GetResponseFileCommandLine(name);

    writer.join();
    EXPECT_EQ(result.text, L" OVDBNAME=\"first\"");
    EXPECT_TRUE(trace.ContainsMarked(L"W>", L"Setting file could not be read to its end (error 109), the lines before are used"));
    EXPECT_FALSE(trace.Contains(L"Cannot open setting file."));
}
