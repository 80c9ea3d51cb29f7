// The short keys by which the helper programs name the setup's shared regions.
#pragma once

#include <cwchar>

#include "Engine/SharedRegionNames.h"

namespace ovtest
{
// AS, DB, CP or UC; null for anything else.
inline const wchar_t* RegionName(const wchar_t* key)
{
    if (wcscmp(key, L"AS") == 0)
        return ovinst::kAuthServerRegionName;
    if (wcscmp(key, L"DB") == 0)
        return ovinst::kDatabaseRegionName;
    if (wcscmp(key, L"CP") == 0)
        return ovinst::kConnectionPointsRegionName;
    if (wcscmp(key, L"UC") == 0)
        return ovinst::kUpdateContextRegionName;
    return nullptr;
}
}
