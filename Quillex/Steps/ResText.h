// Messages of the steps: string-table texts filled in with printf-style arguments.
#pragma once

#include <windows.h>

#include <string>

namespace ovinst
{
// The text of `id` formatted with the arguments (wide strings for "%s").
std::wstring FormatResString(UINT id, ...);
}
