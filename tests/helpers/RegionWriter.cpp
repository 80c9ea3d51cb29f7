// Stands in for the Security Server's setup wizard: opens the execution context's regions
// by name and writes fields into them.
// Usage: RegionWriter.exe {AS|DB|CP} text [{AS|DB|CP} text ...]
// Fields go one after another per region, each a 32-bit byte count and UTF-16 text.
// Exit codes: 0 written, 1 bad arguments, 2 a region does not exist, 3 mapping failed.
#include "Engine/SharedRegionNames.h"
#include "RegionKeys.h"

#include <windows.h>

#include <cstring>
#include <cwchar>
#include <map>
#include <string>

namespace
{
using ovtest::RegionName;
}

int wmain(int argc, wchar_t* argv[])
{
    if (argc < 3 || argc % 2 == 0)
        return 1;
    std::map<std::wstring, size_t> offsets;
    for (int i = 1; i + 1 < argc; i += 2)
    {
        const wchar_t* name = RegionName(argv[i]);
        if (!name)
            return 1;
        HANDLE mapping = OpenFileMappingW(FILE_MAP_WRITE, FALSE, name);
        if (!mapping)
            return 2;
        auto* view = static_cast<unsigned char*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, ovinst::kSharedRegionSize));
        if (!view)
        {
            CloseHandle(mapping);
            return 3;
        }
        const uint32_t bytes = static_cast<uint32_t>(wcslen(argv[i + 1]) * sizeof(wchar_t));
        size_t& offset = offsets[argv[i]];
        std::memcpy(view + offset, &bytes, sizeof(bytes));
        std::memcpy(view + offset + sizeof(bytes), argv[i + 1], bytes);
        offset += sizeof(bytes) + bytes;
        UnmapViewOfFile(view);
        CloseHandle(mapping);
    }
    return 0;
}
