#include "WindowTexts.h"

#include "ResString.h"
#include "res/resource.h"

namespace ovinst
{
std::wstring InstallTitle()
{
    return utils::FormatResString(IDS_INSTALL_TITLE, L"Orvane Studio");
}

std::wstring UpdateVersionsText(const std::wstring& installed, const std::wstring& newVersion)
{
    // Versions are short; a malformed one is cut so the window text stays readable.
    return utils::FormatResString(IDS_UPDATE_VERSIONS, installed.substr(0, 200).c_str(), newVersion.substr(0, 200).c_str());
}

std::wstring CountdownText(int seconds)
{
    return utils::FormatResString(IDS_RESTART_COUNTDOWN, seconds);
}
}
