// Texts the windows and the GUI notifier build from the string table.
#pragma once

#include <string>

namespace ovinst
{
// String 119 with the product name: the caption of the windows and message boxes.
std::wstring InstallTitle();
// String 127 with the installed version first and the new version second.
std::wstring UpdateVersionsText(const std::wstring& installed, const std::wstring& newVersion);
// String 105 with the seconds left.
std::wstring CountdownText(int seconds);
}
