#include <gtest/gtest.h>

#include "Engine/ExecContext.h"
#include "OvErrorObject.h"
#include "Engine/SharedRegionNames.h"
#include "RegionSquatterProcess.h"
#include "TraceCapture.h"
#include "Win32Objects.h"

#include <aclapi.h>
#include <sddl.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

using namespace ovinst;

namespace
{
// Runs the stand-in wizard with the given arguments and returns its exit code.
DWORD RunRegionWriter(const std::wstring& arguments)
{
    std::wstring commandLine = L"\"" + std::wstring(OV_BIN_DIR) + L"\\RegionWriter.exe\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return GetLastError() | 0x10000000;
    WaitForSingleObject(process.hProcess, 30000);
    DWORD exitCode = 0xFFFFFFFF;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return exitCode;
}

// The length-prefixed UTF-16 fields at the start of a region, up to the first empty one.
std::vector<std::wstring> ReadFields(OvBase::CWin32MappedFile& region)
{
    const auto* data = static_cast<const unsigned char*>(region.GetPointer_Ex(FILE_MAP_READ, 0, kSharedRegionSize));
    std::vector<std::wstring> fields;
    size_t offset = 0;
    for (;;)
    {
        uint32_t bytes = 0;
        std::memcpy(&bytes, data + offset, sizeof(bytes));
        if (bytes == 0 || offset + sizeof(bytes) + bytes > kSharedRegionSize)
            break;
        std::wstring text(bytes / sizeof(wchar_t), L'\0');
        std::memcpy(text.data(), data + offset + sizeof(bytes), bytes);
        fields.push_back(text);
        offset += sizeof(bytes) + bytes;
    }
    return fields;
}

struct MissingRegionCase
{
    const char* name;
    std::function<void(IExecContext&)> get;
    const wchar_t* text;
    const wchar_t* function;
};

class MissingRegionTest : public testing::TestWithParam<MissingRegionCase>
{
};

TEST_P(MissingRegionTest, ThrowsItsStringBeforeCreateMappedFiles)
{
    ExecContext context(1);
    try
    {
        GetParam().get(context);
        FAIL() << "no exception";
    }
    catch (OvBase::COvError& e)
    {
        EXPECT_EQ(e.GetCode(), static_cast<DWORD>(E_FAIL));
        EXPECT_STREQ(e.GetDescription(), GetParam().text);
        EXPECT_EQ(e.GetProperties().at(L"Function"), GetParam().function);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Regions, MissingRegionTest,
    testing::Values(
        MissingRegionCase{"AuthServer", [](IExecContext& c) { c.GetASMappedFile(); },
                          L"Authentication server settings are not set by the Security Server Setup Wizard. Installation is impossible.",
                          L"ovinst::ExecContext::GetASMappedFile"},
        MissingRegionCase{"Database", [](IExecContext& c) { c.GetDBMappedFile(); },
                          L"Database settings are not set by the Security Server Setup Wizard. Installation is impossible.",
                          L"ovinst::ExecContext::GetDBMappedFile"},
        MissingRegionCase{"ConnectionPoints", [](IExecContext& c) { c.GetCPMappedFile(); },
                          L"ConnectionPoints cash is not set by the Security Server Setup Wizard. Installation is impossible.",
                          L"ovinst::ExecContext::GetCPMappedFile"}),
    [](const testing::TestParamInfo<MissingRegionCase>& info) { return info.param.name; });

TEST(ExecContext, UIModeAndServerFlag)
{
    ExecContext silent(0);
    ExecContext interactive(1);
    EXPECT_TRUE(silent.GetUIMode());
    EXPECT_FALSE(interactive.GetUIMode());

    ExecContext unknown(2);
    try
    {
        unknown.GetUIMode();
        FAIL() << "no exception";
    }
    catch (OvBase::COvError& e)
    {
        EXPECT_STREQ(e.GetDescription(), L"Not implemented!");
    }

    EXPECT_FALSE(interactive.IsServerInstalled());
    interactive.SetServerInstalled();
    EXPECT_TRUE(interactive.IsServerInstalled());
}

TEST(ExecContext, AnotherProcessFillsTheRegionsByName)
{
    {
        ExecContext context(1);
        context.CreateMappedFiles();

        ASSERT_EQ(RunRegionWriter(L"AS \"ADDLOCAL=ALL AUTHPORT=8443\" DB admin DB \"p@ss w\u00f6rd\" CP cache"), 0u);

        EXPECT_EQ(ReadFields(context.GetASMappedFile()), std::vector<std::wstring>{L"ADDLOCAL=ALL AUTHPORT=8443"});
        EXPECT_EQ(ReadFields(context.GetDBMappedFile()), (std::vector<std::wstring>{L"admin", L"p@ss w\u00f6rd"}));
        EXPECT_EQ(ReadFields(context.GetCPMappedFile()), std::vector<std::wstring>{L"cache"});

        // Creating the regions again opens the live sections: what the wizard wrote stays.
        context.CreateMappedFiles();
        EXPECT_EQ(ReadFields(context.GetASMappedFile()), std::vector<std::wstring>{L"ADDLOCAL=ALL AUTHPORT=8443"});
    }
    // The context took its regions with it.
    EXPECT_EQ(RunRegionWriter(L"AS gone"), 2u);
}
}

namespace
{
struct SquattedRegion
{
    const char* name;
    const wchar_t* key;
    const wchar_t* region;
};

class SquattedRegionTest : public testing::TestWithParam<SquattedRegion>
{
};

TEST_P(SquattedRegionTest, IsNotUsed)
{
    ovtest::CRegionSquatter squatter(GetParam().key);
    ASSERT_TRUE(squatter.Ready());
    testsupport::TraceCapture trace;
    ExecContext context(0);
    try
    {
        context.CreateMappedFiles();
        FAIL() << "the region made by another process was taken";
    }
    catch (OvBase::COvError& e)
    {
        EXPECT_EQ(e.GetCode(), 0x800700B7u);
        EXPECT_NE(std::wstring(e.GetDescription()).find(GetParam().region), std::wstring::npos) << e.GetDescription();
    }
    EXPECT_TRUE(trace.ContainsText(std::wstring(L"Shared region ") + GetParam().region +
                                   L" exists already, made by another program: not used"));
    EXPECT_EQ(squatter.Stop(), "") << "nothing was written into it";
}

INSTANTIATE_TEST_SUITE_P(
    Regions, SquattedRegionTest,
    testing::Values(SquattedRegion{"AuthServer", L"AS", kAuthServerRegionName},
                    SquattedRegion{"Database", L"DB", kDatabaseRegionName},
                    SquattedRegion{"ConnectionPoints", L"CP", kConnectionPointsRegionName}),
    [](const testing::TestParamInfo<SquattedRegion>& info) { return info.param.name; });

// Wine keeps the access lists of kernel objects: what the context asked for can be read back.
TEST(ExecContext, RegionsAreForSystemAndAdministratorsOnly)
{
    ExecContext context(0);
    context.CreateMappedFiles();
    for (OvBase::CWin32MappedFile* region :
         {&context.GetASMappedFile(), &context.GetDBMappedFile(), &context.GetCPMappedFile()})
    {
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        PACL dacl = nullptr;
        ASSERT_EQ(GetSecurityInfo(region->GetMapping(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                  &dacl, nullptr, &descriptor),
                  static_cast<DWORD>(ERROR_SUCCESS));
        LPWSTR text = nullptr;
        ASSERT_TRUE(ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1,
                                                                         DACL_SECURITY_INFORMATION, &text, nullptr));
        EXPECT_STREQ(text, L"D:P(A;;GA;;;SY)(A;;GA;;;BA)");
        LocalFree(text);
        LocalFree(descriptor);
    }
}
}
