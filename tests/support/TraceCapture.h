// Sends the program's trace to a log file of its own for one scope and reads it back.
// The trace configuration in the registry is restored when the scope ends.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace testsupport
{
class TraceCapture
{
public:
    TraceCapture();
    ~TraceCapture();
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;

    // Every line written since the capture began, without indentation or line breaks.
    std::vector<std::wstring> Lines() const;
    // True when some line, indentation removed, equals `line`.
    bool Contains(const std::wstring& line) const;
    // True when some line holds `text` anywhere.
    bool ContainsText(const std::wstring& text) const;

private:
    struct SavedValue
    {
        std::wstring name;
        std::optional<std::vector<BYTE>> data;
        DWORD type = REG_NONE;
    };

    std::wstring m_folder;
    std::vector<SavedValue> m_saved;
    bool m_createdKey = false;
    bool m_createdParent = false;
};
}
