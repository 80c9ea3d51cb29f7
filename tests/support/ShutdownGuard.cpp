// No test program may ever restart the machine it runs on: the shutdown request of every
// test program fails the test instead, unless a test put its own stand-in in place.
#include <gtest/gtest.h>

#include "SystemApi.h"

namespace
{
BOOL WINAPI RefuseShutdown(LPWSTR, LPWSTR, DWORD, BOOL, BOOL, DWORD)
{
    ADD_FAILURE() << "a test reached the real InitiateSystemShutdownExW";
    ::SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}

struct ShutdownGuard
{
    ShutdownGuard()
    {
        // Kept for the whole program: the guard object is never destroyed before exit.
        static instutils::CSystemApiOverride guard;
        guard->InitiateSystemShutdownExW = RefuseShutdown;
    }
} g_shutdownGuard;
}
