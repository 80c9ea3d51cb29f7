// Builds an install context in a fresh process, where the system version is read anew,
// and exits with its OS version code. With a file name as argument it also writes the
// context's distribution folder into that file (UTF-16, no terminator).
#include <windows.h>

#include <cstdio>
#include <string>

#include "Engine/InstallContext.h"

int wmain(int argc, wchar_t** argv)
{
    try
    {
        utils::CInstallContext context;
        if (argc > 1)
        {
            const std::wstring& folder = context.GetDistributionFolder();
            FILE* file = _wfopen(argv[1], L"wb");
            if (!file)
                return -2;
            fwrite(folder.data(), sizeof(wchar_t), folder.size(), file);
            fclose(file);
        }
        return context.GetOsVersion();
    }
    catch (...)
    {
        return -1;
    }
}
