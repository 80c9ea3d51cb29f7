// Hardware exceptions turned into COvError: codes, descriptions, dumps, nesting.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <cstdint>

#include "SehCatcher.h"
#include "TempFolderScope.h"
#include "TraceTestSupport.h"

using OvBase::COvError;
using OvBase::CSehCatcher;

namespace
{
// Addresses the compiler cannot see as null, so it emits the plain access.
volatile uintptr_t g_nowhere = 0x10;

__attribute__((noinline)) int ReadZero()
{
    return *reinterpret_cast<volatile int*>(g_nowhere);
}

__attribute__((noinline)) void WriteZero()
{
    *reinterpret_cast<volatile int*>(g_nowhere) = 1;
}

__attribute__((noinline)) int Divide(int value, int by)
{
    volatile int divisor = by;
    volatile int result = value / divisor;
    return result;
}

struct Destructed
{
    bool& flag;
    ~Destructed() { flag = true; }
};

// A full dump takes most of a minute under Wine: only the test of the dump writes one, the
// others point the temporary folder nowhere.
class SehCatcherTest : public ::testing::Test
{
protected:
    SehCatcherTest() : m_folder(L"SehCatcher"), m_temp(m_folder.Path() + L"\\missing\\") {}
    ovtest::CTempFolder m_folder;
    ovtest::TempFolderScope m_temp;
};
}

TEST_F(SehCatcherTest, AccessViolationsBecomeTheMakersErrorWithTheAccessAndADump)
{
    struct Case
    {
        const char* name;
        void (*fault)();
        const wchar_t* access;
        bool dump;
    } cases[] = {
        {"read", [] { ReadZero(); }, L"read", true},
        {"write", [] { WriteZero(); }, nullptr, false},
    };
    for (const Case& item : cases)
    {
        SCOPED_TRACE(item.name);
        ovtest::TempFolderScope temp(item.dump ? m_folder.Path() + L"\\" : m_folder.Path() + L"\\missing\\");
        CSehCatcher catcher;
        bool destructed = false;
        try
        {
            Destructed local{destructed};
            item.fault();
            ADD_FAILURE() << "no fault";
        }
        catch (COvError& error)
        {
            EXPECT_TRUE(destructed) << "the faulting scope was unwound";
            EXPECT_EQ(0xE6060005u, error.GetCode());
            std::wstring description = error.GetDescription();
            if (item.access)
            {
                EXPECT_NE(std::wstring::npos, description.find(item.access)) << description;
            }
            const auto& properties = error.GetProperties();
            EXPECT_EQ(0u, properties.count(L"File"));
            EXPECT_EQ(0u, properties.count(L"Function"));
            std::wstring dump = properties.at(L"MiniDumpFile");
            if (!item.dump)
            {
                EXPECT_EQ(L"Can't create file in temp folder!", dump);
                continue;
            }
            EXPECT_EQ(0u, dump.rfind(m_folder.Path() + L"\\OvBaseLibTests-", 0)) << dump;
            EXPECT_TRUE(ovtest::FileExists(dump)) << dump;
            DeleteFileW(dump.c_str());
        }
    }
}

TEST_F(SehCatcherTest, AccessTextAndAddressesComeFromTheExceptionRecord)
{
    // Built by hand: a real write fault is reported by Wine on this machine without its
    // access flag and address, as a read of 0xFFFFFFFFFFFFFFFF.
    struct Case
    {
        ULONG_PTR access;
        const wchar_t* text;
    } cases[] = {{0, L"read"}, {1, L"written"}, {8, L"written"}};
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
        std::wstring description = error.GetDescription();
        EXPECT_EQ(0xE6060005u, error.GetCode());
        EXPECT_NE(std::wstring::npos, description.find(item.text)) << description;
        EXPECT_NE(std::wstring::npos, description.find(L"0000000012345678")) << description;
        EXPECT_NE(std::wstring::npos, description.find(L"0000000000000010")) << description;
    }
}

TEST_F(SehCatcherTest, IntegerDivisionByZero)
{
    CSehCatcher catcher;
    try
    {
        int result = Divide(1, 0);
        ADD_FAILURE() << "no fault: " << result;
    }
    catch (COvError& error)
    {
        EXPECT_EQ(0xE6060012u, error.GetCode());
    }
}

TEST_F(SehCatcherTest, ErrorCodesOfTheExceptionCodes)
{
    const std::pair<DWORD, DWORD> table[] = {
        {0xC0000005, 0xE6060005}, {0xC000008C, 0xE6060006}, {0x80000003, 0xE6060007}, {0xC0000094, 0xE6060012},
        {0xC00000FD, 0xE6060018}, {0xC0000417, 0xE6060019}, {0xC0000017, 0x8007000E}, {0x12345678, 1064},
    };
    for (const auto& [exception, error] : table)
        EXPECT_EQ(error, OvBase::SehErrorCode(exception)) << std::hex << exception;
}

TEST_F(SehCatcherTest, UnknownCodeWithoutPointersGetsTheSystemText)
{
    COvError error = OvBase::MakeSehError(0x12345678, nullptr);
    EXPECT_EQ(1064u, error.GetCode());
    EXPECT_EQ(OvBase::FormatMessageText(1064, nullptr), error.GetDescription());
}

TEST_F(SehCatcherTest, UnwritableTemporaryFolderIsSaidInsteadOfAFileName)
{
    COvError error = OvBase::MakeSehError(0xC0000094, nullptr);
    EXPECT_EQ(L"Can't create file in temp folder!", error.GetProperties().at(L"MiniDumpFile"));
}

TEST_F(SehCatcherTest, OnlyTheOwningThreadAndOnlyWhileTheCatcherLives)
{
    // Another thread's fault is not the catcher's: it would end the process, so the other
    // thread only checks that it has no catcher by nesting one and removing it.
    CSehCatcher outer;
    {
        CSehCatcher inner;
    }
    // The outer catcher is active again after the inner one is gone.
    EXPECT_THROW(ReadZero(), COvError);
    bool caughtElsewhere = false;
    std::thread other([&] {
        try
        {
            CSehCatcher own;
            ReadZero();
        }
        catch (COvError&)
        {
            caughtElsewhere = true;
        }
    });
    other.join();
    EXPECT_TRUE(caughtElsewhere);
}
