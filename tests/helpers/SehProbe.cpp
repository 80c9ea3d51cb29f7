// Faults that no crash catcher may throw, each in a function without a frame of its own:
// "other-thread" on a thread without a catcher while the main thread has one, "after" on the
// main thread once its catcher has gone. Both must end the process through the last resort,
// with the error's code as exit code and a (small) dump in the temporary folder. Exit code 1:
// the fault was thrown on a thread without a catcher; 2: the fault did not end the process.
#include <windows.h>

#include <cstdio>
#include <string>
#include <thread>

#include "FramelessFaults.h"
#include "SehCatcher.h"

namespace
{
const uintptr_t kNowhere = 0x10;
}

int wmain(int argc, wchar_t** argv)
{
    OvBase::SetCrashDumpType(MiniDumpNormal);
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"other-thread")
    {
        OvBase::CSehCatcher catcher;
        int result = 2;
        std::thread other([&result] {
            try
            {
                ovtest::ReadAt(kNowhere);
            }
            catch (OvBase::COvError&)
            {
                result = 1;
            }
        });
        other.join();
        return result;
    }
    if (mode == L"after")
    {
        {
            OvBase::CSehCatcher catcher;
        }
        try
        {
            ovtest::ReadAt(kNowhere);
        }
        catch (OvBase::COvError&)
        {
            return 1;
        }
        return 2;
    }
    fwprintf(stderr, L"usage: SehProbe other-thread|after\n");
    return 3;
}
