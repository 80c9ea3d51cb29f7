// Another process that creates one of the setup's shared regions first (RegionSquatter.exe).
#pragma once

#include <windows.h>

#include <string>

#include "TraceTestSupport.h"

namespace ovtest
{
class CRegionSquatter
{
public:
    // key: AS, DB, CP or UC; text, when given, is put where the update context keeps its
    // folder. Returns once the region exists.
    explicit CRegionSquatter(const wchar_t* key, const std::wstring& text = L"");
    ~CRegionSquatter();
    CRegionSquatter(const CRegionSquatter&) = delete;
    CRegionSquatter& operator=(const CRegionSquatter&) = delete;

    bool Ready() const { return m_ready; }
    // Lets the process read its region and end; the region's text as it saw it.
    std::string Stop();

private:
    CTempFolder m_folder;
    PROCESS_INFORMATION m_process = {};
    bool m_ready = false;
    bool m_stopped = false;
};
}
