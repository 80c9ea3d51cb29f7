// The program's trace written to a private log file for one scope, for tests of log lines.
#pragma once

#include <string>

#include "TraceTestSupport.h"

namespace ovtest
{
class CLogCapture
{
public:
    CLogCapture() : m_folder(L"logcapture"), m_trace(m_folder.Path(), 2 | 4 | 8, 1) {}

    // The first line that contains the text, or empty when there is none.
    std::string Find(const std::string& text) const
    {
        for (const std::string& line : m_trace.Lines())
            if (line.find(text) != std::string::npos)
                return line;
        return std::string();
    }
    bool Contains(const std::string& text) const { return !Find(text).empty(); }

private:
    CTempFolder m_folder;
    CProgramTraceScope m_trace;
};
}
