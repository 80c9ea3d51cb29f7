#include "WindowTexts.h"

#include "ResString.h"
#include "res/resource.h"

#include <stdio.h>
#include <vector>

namespace ovinst
{
namespace
{
// The formats come from the program's own string table, so their conversions are known.
// The runtime's own formatter reads "%s" in a wide format as a wide string, as the table's
// texts expect; the C99 one would read it as a narrow string.
template <typename... Args>
std::wstring Format(unsigned id, Args... args)
{
    const std::wstring format = utils::LoadResString(id);
    std::vector<wchar_t> buffer(format.size() + 512, L'\0');
    const int written = ::_snwprintf(buffer.data(), buffer.size() - 1, format.c_str(), args...);
    return written < 0 ? format : std::wstring(buffer.data(), written);
}
}

std::wstring InstallTitle()
{
    return Format(IDS_INSTALL_TITLE, L"Orvane Studio");
}

std::wstring UpdateVersionsText(const std::wstring& installed, const std::wstring& newVersion)
{
    // Versions are short, but a malformed one must not overflow the buffer.
    return Format(IDS_UPDATE_VERSIONS, installed.substr(0, 200).c_str(), newVersion.substr(0, 200).c_str());
}

std::wstring CountdownText(int seconds)
{
    return Format(IDS_RESTART_COUNTDOWN, seconds);
}
}
