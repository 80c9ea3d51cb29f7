#include "TraceCapture.h"

#include <windows.h>

#include <algorithm>

namespace testsupport
{
namespace
{
// The log is 8-bit text in code page 1251.
std::wstring FromCp1251(const std::string& text)
{
    if (text.empty())
        return {};
    std::wstring wide(text.size(), L'\0');
    const int n = MultiByteToWideChar(1251, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                                      static_cast<int>(wide.size()));
    wide.resize(n > 0 ? n : 0);
    return wide;
}
} // namespace

// Info, warning and error lines; text only (no date, time or process fields).
TraceCapture::TraceCapture() : m_folder(L"tracecapture"), m_scope(m_folder.Path(), 2 | 4 | 8, 1)
{
}

std::vector<std::wstring> TraceCapture::Lines() const
{
    std::vector<std::wstring> lines;
    for (const std::string& raw : m_scope.Lines())
    {
        std::wstring line = FromCp1251(raw);
        line.erase(0, std::min(line.size(), line.find_first_not_of(L' ')));
        lines.push_back(line);
    }
    return lines;
}

bool TraceCapture::Contains(const std::wstring& line) const
{
    const std::vector<std::wstring> lines = Lines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

bool TraceCapture::ContainsMarked(const std::wstring& mark, const std::wstring& line) const
{
    for (std::wstring text : Lines())
    {
        if (text.compare(0, mark.size(), mark) != 0)
            continue;
        text.erase(0, mark.size());
        text.erase(0, std::min(text.size(), text.find_first_not_of(L' ')));
        if (text == line)
            return true;
    }
    return false;
}

bool TraceCapture::ContainsText(const std::wstring& text) const
{
    const std::vector<std::wstring> lines = Lines();
    return std::any_of(lines.begin(), lines.end(), [&](const std::wstring& line) { return line.find(text) != std::wstring::npos; });
}
}
