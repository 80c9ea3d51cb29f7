// The program's trace in a log file of its own for one scope, read back as wide lines
// without their indentation. A thin layer over the base library's trace scope.
#pragma once

#include "TraceTestSupport.h"

#include <string>
#include <vector>

namespace testsupport
{
class TraceCapture
{
public:
    TraceCapture();
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;

    // Every line written since the capture began, without indentation or line breaks.
    std::vector<std::wstring> Lines() const;
    // True when some line, indentation removed, equals `line`.
    bool Contains(const std::wstring& line) const;
    // True when some warning ("W>") or error ("E>") line, indentation after the mark
    // removed, equals `line`.
    bool ContainsMarked(const std::wstring& mark, const std::wstring& line) const;
    // True when some line holds `text` anywhere.
    bool ContainsText(const std::wstring& text) const;

private:
    ovtest::CTempFolder m_folder;
    ovtest::CProgramTraceScope m_scope;
};
}
