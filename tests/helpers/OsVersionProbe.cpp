// Builds an install context in a fresh process, where the system version is read anew,
// and exits with its OS version code.
#include <windows.h>

#include "Engine/InstallContext.h"

int wmain()
{
    try
    {
        utils::CInstallContext context;
        return context.GetOsVersion();
    }
    catch (...)
    {
        return -1;
    }
}
