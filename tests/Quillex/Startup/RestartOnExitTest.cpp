#include <gtest/gtest.h>

#include <stdexcept>

#include "Engine/InstallContext.h"
#include "Startup/RestartOnExit.h"
#include "SystemApi.h"
#include "TraceCapture.h"

namespace
{
struct ShutdownRecord
{
    int adjustCalls = 0;
    bool shutdownPrivilegeEnabled = false;
    int shutdownCalls = 0;
    std::wstring message;
    DWORD timeout = 99;
    BOOL force = FALSE;
    BOOL restart = FALSE;
    DWORD reason = 0;
    // What the fakes answer.
    BOOL adjustResult = TRUE;
    DWORD adjustError = ERROR_SUCCESS;
    BOOL shutdownResult = TRUE;
    DWORD shutdownError = ERROR_SUCCESS;
};
ShutdownRecord g_record;

BOOL WINAPI FakeAdjust(HANDLE, BOOL, PTOKEN_PRIVILEGES privileges, DWORD, PTOKEN_PRIVILEGES, PDWORD)
{
    ++g_record.adjustCalls;
    LUID shutdown{};
    ::LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &shutdown);
    g_record.shutdownPrivilegeEnabled = privileges->PrivilegeCount == 1 &&
                                        privileges->Privileges[0].Luid.LowPart == shutdown.LowPart &&
                                        privileges->Privileges[0].Luid.HighPart == shutdown.HighPart &&
                                        privileges->Privileges[0].Attributes == SE_PRIVILEGE_ENABLED;
    ::SetLastError(g_record.adjustError);
    return g_record.adjustResult;
}

BOOL WINAPI FakeShutdown(LPWSTR machine, LPWSTR message, DWORD timeout, BOOL force, BOOL restart, DWORD reason)
{
    ++g_record.shutdownCalls;
    EXPECT_EQ(machine, nullptr);
    g_record.message = message ? message : L"(null)";
    g_record.timeout = timeout;
    g_record.force = force;
    g_record.restart = restart;
    g_record.reason = reason;
    ::SetLastError(g_record.shutdownError);
    return g_record.shutdownResult;
}

class RestartOnExitTest : public testing::Test
{
protected:
    RestartOnExitTest()
    {
        g_record = ShutdownRecord{};
        m_api->AdjustTokenPrivileges = FakeAdjust;
        m_api->InitiateSystemShutdownExW = FakeShutdown;
    }
    ~RestartOnExitTest() override { utils::CInstallContext::Instance().SetRestartOnExit(false); }

    instutils::CSystemApiOverride m_api;
};
}

TEST_F(RestartOnExitTest, NoFlagNoRestart)
{
    testsupport::TraceCapture log;
    { utils::RestartOnExit restart; }
    EXPECT_TRUE(log.Contains(L"Restart not needed"));
    EXPECT_EQ(g_record.adjustCalls, 0);
    EXPECT_EQ(g_record.shutdownCalls, 0);
}

TEST_F(RestartOnExitTest, FlagSetRestartsAtOnceWithForce)
{
    testsupport::TraceCapture log;
    {
        utils::RestartOnExit restart;
        utils::CInstallContext::Instance().SetRestartOnExit(true);
    }
    EXPECT_TRUE(log.Contains(L"Restarting os..."));
    EXPECT_TRUE(g_record.shutdownPrivilegeEnabled);
    ASSERT_EQ(g_record.shutdownCalls, 1);
    EXPECT_EQ(g_record.message, L"");
    EXPECT_EQ(g_record.timeout, 0u);
    EXPECT_TRUE(g_record.force);
    EXPECT_TRUE(g_record.restart);
    EXPECT_EQ(g_record.reason, 0x80040002u);
}

// The entry point may leave by an error: the restart still comes.
TEST_F(RestartOnExitTest, RestartsAlsoWhenLeftByAnException)
{
    try
    {
        utils::RestartOnExit restart;
        utils::CInstallContext::Instance().SetRestartOnExit(true);
        throw std::runtime_error("failed run");
    }
    catch (const std::runtime_error&)
    {
    }
    EXPECT_EQ(g_record.shutdownCalls, 1);
}

TEST_F(RestartOnExitTest, FailuresAreLoggedAndTheNextCallTried)
{
    struct Case
    {
        const char* name;
        BOOL adjustResult;
        DWORD adjustError;
        const wchar_t* adjustLine; // null: none expected
    };
    // Success with ERROR_NOT_ALL_ASSIGNED is the token without the privilege: no failure of its own.
    for (const Case& c : {Case{"not assigned", TRUE, ERROR_NOT_ALL_ASSIGNED, nullptr},
                          Case{"adjust fails", FALSE, ERROR_ACCESS_DENIED, L"AdjustTokenPrivileges returns: 5"}})
    {
        g_record = ShutdownRecord{};
        g_record.adjustResult = c.adjustResult;
        g_record.adjustError = c.adjustError;
        g_record.shutdownResult = FALSE;
        g_record.shutdownError = ERROR_PRIVILEGE_NOT_HELD;
        testsupport::TraceCapture log;
        EXPECT_NO_THROW(utils::RestartOs());
        EXPECT_EQ(g_record.shutdownCalls, 1) << c.name;
        EXPECT_EQ(log.ContainsText(L"AdjustTokenPrivileges returns"), c.adjustLine != nullptr) << c.name;
        if (c.adjustLine)
            EXPECT_TRUE(log.ContainsMarked(L"W>", c.adjustLine)) << c.name;
        // The format ends with a line break of its own.
        EXPECT_TRUE(log.ContainsMarked(L"W>", L"InitiateSystemShutdownEx returns: 1314\n")) << c.name;
    }
}
