// Hardware exceptions turned into COvError: codes, descriptions, dumps, nesting; what the
// system handles itself stays its own, and what nobody handles ends the process.
#include <gtest/gtest.h>

#include <cstdint>
#include <cwchar>
#include <stdexcept>
#include <string>
#include <vector>

#include "FolderListing.h"
#include "FramelessFaults.h"
#include "SehCatcher.h"
#include "TempFolderScope.h"
#include "TraceTestSupport.h"
#include "Win32Objects.h"

using OvBase::COvError;
using OvBase::CSehCatcher;

namespace
{
const uintptr_t kNowhere = 0x10;

struct Destructed
{
    bool& flag;
    ~Destructed() { flag = true; }
};

std::vector<std::wstring> DumpsIn(const std::wstring& folder)
{
    std::vector<std::wstring> dumps;
    for (const std::wstring& name : testsupport::FilesIn(folder, L"*.dmp"))
        dumps.push_back(folder + L"\\" + name);
    return dumps;
}

const void* Export(const wchar_t* module, const char* name)
{
    return reinterpret_cast<const void*>(GetProcAddress(GetModuleHandleW(module), name));
}

// A fault thrown as COvError, and where it was thrown.
struct Caught
{
    bool thrown = false;
    bool unwound = false;
    DWORD code = 0;
    std::wstring description;
    std::wstring dump;
    bool hasFile = true;
    bool hasFunction = true;
};

Caught CatchUnderACatcher(void (*fault)())
{
    Caught caught;
    CSehCatcher catcher;
    try
    {
        Destructed local{caught.unwound};
        fault();
    }
    catch (COvError& error)
    {
        caught.thrown = true;
        caught.code = error.GetCode();
        caught.description = error.GetDescription();
        const auto& properties = error.GetProperties();
        caught.hasFile = properties.count(L"File") != 0;
        caught.hasFunction = properties.count(L"Function") != 0;
        caught.dump = properties.count(L"MiniDumpFile") ? properties.at(L"MiniDumpFile") : L"";
    }
    return caught;
}

// The description must be `text` with the instruction's address for "%s", an address that
// lies at most `range` bytes after `site`.
void ExpectText(const std::wstring& description, const wchar_t* text, const void* site, uintptr_t range)
{
    const std::wstring format = text;
    const size_t mark = format.find(L"%s");
    ASSERT_NE(std::wstring::npos, mark);
    ASSERT_EQ(format.substr(0, mark), description.substr(0, mark)) << description;
    const std::wstring digits = description.substr(mark, 16);
    const uintptr_t address = static_cast<uintptr_t>(std::wcstoull(digits.c_str(), nullptr, 16));
    const uintptr_t start = reinterpret_cast<uintptr_t>(site);
    EXPECT_TRUE(address >= start && address < start + range)
        << "instruction at " << std::hex << address << ", expected within " << range << " bytes of " << start;
    EXPECT_EQ(format.substr(0, mark) + digits + format.substr(mark + 2), description);
}

int g_result = 0;

// Wine's texts of ERROR_EXCEPTION_IN_SERVICE and ERROR_OUTOFMEMORY in Russian.
const wchar_t kExceptionInServiceText[] =
    L"\u0418\u0441\u043A\u043B\u044E\u0447\u0435\u043D\u0438\u0435 \u0432 \u0441\u043B\u0443\u0436\u0431\u0435.";
const wchar_t kNoMemoryText[] =
    L"\u041D\u0435\u0434\u043E\u0441\u0442\u0430\u0442\u043E\u0447\u043D\u043E \u043F\u0430\u043C\u044F\u0442\u0438 "
    L"\u0434\u043B\u044F \u0437\u0430\u0432\u0435\u0440\u0448\u0435\u043D\u0438\u044F \u043E\u043F\u0435\u0440\u0430\u0446\u0438\u0438.";

// Even a small dump takes 15-20 s under Wine here, a full one most of a minute: the tests
// that count dumps write small ones into a folder of their own, the others point the
// temporary folder nowhere. The end-to-end crash probe shows the full dump.
class SehCatcherTest : public ::testing::Test
{
protected:
    SehCatcherTest()
        : m_folder(L"SehCatcher"), m_temp(m_folder.Path() + L"\\missing\\"),
          m_dumpType(OvBase::SetCrashDumpType(MiniDumpNormal))
    {
    }
    ~SehCatcherTest() override { OvBase::SetCrashDumpType(m_dumpType); }
    // A new folder for one case's dumps.
    std::wstring DumpFolder(const wchar_t* name)
    {
        std::wstring folder = m_folder / name;
        CreateDirectoryW(folder.c_str(), nullptr);
        return folder;
    }
    ovtest::CTempFolder m_folder;
    ovtest::TempFolderScope m_temp;
    MINIDUMP_TYPE m_dumpType;
};
}

TEST_F(SehCatcherTest, FaultsBecomeTheTablesErrorFromTheFirstFaultWithOneDump)
{
    using Length = size_t (*)(const wchar_t*);
    static const void* const runtimeLength = Export(L"msvcrt.dll", "wcslen");
    ASSERT_NE(nullptr, runtimeLength);
    struct Case
    {
        const char* name;
        const wchar_t* folder;
        void (*fault)();
        const void* site;
        uintptr_t range;
        DWORD code;
        const wchar_t* text;
    } cases[] = {
        // Functions without a frame: the faulting instruction is their first or nearly.
        {"read", L"read", [] { g_result = ovtest::ReadAt(kNowhere); }, reinterpret_cast<const void*>(&ovtest::ReadAt), 16,
         0xE6060005, L"The instruction at %s referenced memory at 0000000000000010. The memory could not be read."},
        {"write", L"write", [] { ovtest::WriteAt(kNowhere); }, reinterpret_cast<const void*>(&ovtest::WriteAt), 16,
         0xE6060005, L"The instruction at %s referenced memory at 0000000000000010. The memory could not be written."},
        {"integer division", L"division", [] { g_result = ovtest::DivideBy(1, 0); },
         reinterpret_cast<const void*>(&ovtest::DivideBy), 16, 0xE6060012, L"Integer division by zero at %s."},
        // A runtime function that the program called and that does not handle the fault.
        {"runtime function", L"runtime", [] { g_result = int(reinterpret_cast<Length>(runtimeLength)(reinterpret_cast<const wchar_t*>(kNowhere))); },
         runtimeLength, 512, 0xE6060005,
         L"The instruction at %s referenced memory at 0000000000000010. The memory could not be read."},
    };
    for (const Case& item : cases)
    {
        SCOPED_TRACE(item.name);
        const std::wstring folder = DumpFolder(item.folder);
        ovtest::TempFolderScope temp(folder + L"\\");
        Caught caught = CatchUnderACatcher(item.fault);
        ASSERT_TRUE(caught.thrown) << "no fault";
        EXPECT_TRUE(caught.unwound) << "the faulting scope was unwound";
        EXPECT_EQ(item.code, caught.code) << std::hex << caught.code;
        ExpectText(caught.description, item.text, item.site, item.range);
        EXPECT_FALSE(caught.hasFile);
        EXPECT_FALSE(caught.hasFunction);
        const std::vector<std::wstring> dumps = DumpsIn(folder);
        EXPECT_EQ(1u, dumps.size());
        EXPECT_EQ(dumps.empty() ? L"" : dumps[0], caught.dump);
        EXPECT_EQ(0u, caught.dump.rfind(folder + L"\\OvBaseLibTests-", 0)) << caught.dump;
    }
}

TEST_F(SehCatcherTest, RaisedCodesGetTheTablesCodeAndTheAddressOfTheRaise)
{
    // The system raises them where RaiseException is, in kernelbase.
    static const void* const raise = Export(L"kernelbase.dll", "RaiseException");
    ASSERT_NE(nullptr, raise);
    struct Case
    {
        const char* name;
        void (*fault)();
        DWORD code;
        const wchar_t* text;
    } cases[] = {
        {"single step", [] { RaiseException(EXCEPTION_SINGLE_STEP, 0, 0, nullptr); }, 0xE6060017,
         L"Single step trap at %s."},
        {"breakpoint", [] { RaiseException(EXCEPTION_BREAKPOINT, 0, 0, nullptr); }, 0xE6060007,
         L"A breakpoint was reached at %s."},
        // The system's texts, in the message language (Russian unless the product says otherwise).
        {"no memory", [] { RaiseException(0xC0000017, 0, 0, nullptr); }, 0x8007000E, kNoMemoryText},
        {"a code outside the table", [] { RaiseException(0x12345678, 0, 0, nullptr); }, 1064, kExceptionInServiceText},
    };
    for (const Case& item : cases)
    {
        SCOPED_TRACE(item.name);
        Caught caught = CatchUnderACatcher(item.fault);
        ASSERT_TRUE(caught.thrown) << "not thrown";
        EXPECT_TRUE(caught.unwound);
        EXPECT_EQ(item.code, caught.code) << std::hex << caught.code;
        if (std::wcsstr(item.text, L"%s"))
            ExpectText(caught.description, item.text, raise, 512);
        else
            EXPECT_EQ(std::wstring(item.text), caught.description);
        EXPECT_EQ(L"Can't create file in temp folder!", caught.dump);
    }
}

TEST_F(SehCatcherTest, WhatTheSystemOrTheRuntimeHandlesItselfStaysItsOwn)
{
    struct Case
    {
        const char* name;
        const wchar_t* folder;
        void (*call)();
    } cases[] = {
        // kernelbase answers a bad pointer with 0 from its own handler.
        {"lstrlenW of a bad pointer", L"lstrlenW", [] { EXPECT_EQ(0, lstrlenW(reinterpret_cast<LPCWSTR>(kNowhere))); }},
        {"OutputDebugStringW", L"debugW", [] { OutputDebugStringW(L"SehCatcherTest: debug output\n"); }},
        {"OutputDebugStringA", L"debugA", [] { OutputDebugStringA("SehCatcherTest: debug output\n"); }},
        {"a C++ throw", L"throw", [] {
             try
             {
                 throw std::runtime_error("own");
             }
             catch (std::runtime_error& error)
             {
                 EXPECT_STREQ("own", error.what());
             }
         }},
    };
    for (const Case& item : cases)
    {
        SCOPED_TRACE(item.name);
        const std::wstring folder = DumpFolder(item.folder);
        ovtest::TempFolderScope temp(folder + L"\\");
        Caught caught = CatchUnderACatcher(item.call);
        EXPECT_FALSE(caught.thrown) << caught.description;
        EXPECT_TRUE(DumpsIn(folder).empty());
    }
}

TEST_F(SehCatcherTest, AccessTextAndAddressesComeFromTheExceptionRecord)
{
    // An execute access (8) counts as a write; built by hand, no such fault is made here.
    struct Case
    {
        ULONG_PTR access;
        const wchar_t* text;
    } cases[] = {
        {0, L"The instruction at 0000000012345678 referenced memory at 0000000000000010. The memory could not be read."},
        {1, L"The instruction at 0000000012345678 referenced memory at 0000000000000010. The memory could not be written."},
        {8, L"The instruction at 0000000012345678 referenced memory at 0000000000000010. The memory could not be written."},
    };
    for (const Case& item : cases)
    {
        EXCEPTION_RECORD record = {};
        record.ExceptionCode = EXCEPTION_ACCESS_VIOLATION;
        record.ExceptionAddress = reinterpret_cast<void*>(0x12345678);
        record.NumberParameters = 2;
        record.ExceptionInformation[0] = item.access;
        record.ExceptionInformation[1] = 0x10;
        CONTEXT context = {};
        EXCEPTION_POINTERS pointers = {&record, &context};
        COvError error = OvBase::MakeSehError(EXCEPTION_ACCESS_VIOLATION, &pointers);
        EXPECT_EQ(0xE6060005u, error.GetCode());
        EXPECT_EQ(std::wstring(item.text), error.GetDescription());
    }
}

TEST_F(SehCatcherTest, ErrorCodesOfTheExceptionCodes)
{
    const std::pair<DWORD, DWORD> table[] = {
        {0xC0000005, 0xE6060005}, {0xC000008C, 0xE6060006}, {0x80000003, 0xE6060007}, {0xC0000094, 0xE6060012},
        {0x80000004, 0xE6060017}, {0xC00000FD, 0xE6060018}, {0xC0000417, 0xE6060019}, {0xC0000017, 0x8007000E},
        {0x12345678, 1064},
    };
    for (const auto& [exception, error] : table)
        EXPECT_EQ(error, OvBase::SehErrorCode(exception)) << std::hex << exception;
}

TEST_F(SehCatcherTest, UnknownCodeWithoutPointersGetsTheSystemText)
{
    COvError error = OvBase::MakeSehError(0x12345678, nullptr);
    EXPECT_EQ(1064u, error.GetCode());
    EXPECT_EQ(std::wstring(kExceptionInServiceText), error.GetDescription());
}

TEST_F(SehCatcherTest, UnwritableTemporaryFolderIsSaidInsteadOfAFileName)
{
    COvError error = OvBase::MakeSehError(0xC0000094, nullptr);
    EXPECT_EQ(L"Can't create file in temp folder!", error.GetProperties().at(L"MiniDumpFile"));
}

TEST_F(SehCatcherTest, AnInnerCatcherPutsTheOuterOneBack)
{
    Caught caught;
    {
        CSehCatcher outer;
        {
            CSehCatcher inner;
        }
        try
        {
            ovtest::ReadAt(kNowhere);
        }
        catch (COvError& error)
        {
            caught.thrown = true;
            caught.code = error.GetCode();
        }
    }
    EXPECT_TRUE(caught.thrown);
    EXPECT_EQ(0xE6060005u, caught.code);
}

// A fault that no catcher throws ends the process, so a second process shows it: the
// error's code is its exit code, with one dump in its temporary folder.
TEST_F(SehCatcherTest, WithoutACatcherOnTheFaultingThreadTheFaultEndsTheProcess)
{
    const struct
    {
        const wchar_t* mode;
        const char* what;
    } cases[] = {
        {L"other-thread", "a thread without a catcher while the main thread has one"},
        {L"after", "the main thread after its catcher has gone"},
    };
    for (const auto& item : cases)
    {
        SCOPED_TRACE(item.what);
        const std::wstring folder = DumpFolder(item.mode);
        ovtest::TempFolderScope temp(folder + L"\\");
        OvBase::CWin32Process probe;
        const std::wstring program = std::wstring(OV_BIN_DIR) + L"\\SehProbe.exe";
        ASSERT_EQ(0u, probe.Create(program.c_str(), item.mode));
        ASSERT_EQ(0u, probe.WaitFor(120000)) << "the probe did not end";
        EXPECT_EQ(0xE6060005u, probe.GetExitCode()) << std::hex << probe.GetExitCode();
        const std::vector<std::wstring> dumps = DumpsIn(folder);
        ASSERT_EQ(1u, dumps.size());
        EXPECT_EQ(0u, dumps[0].rfind(folder + L"\\SehProbe-", 0)) << dumps[0];
    }
}
