// Texts of the program's string table.
#pragma once

#include <windows.h>
#include <string>

namespace utils
{
// The string-table text of `id` from the module this code is linked into, or
// "<ERROR LOADING STRING: id>" when the table has no such entry.
std::wstring LoadResString(UINT id);
// The text of `id` formatted with the arguments (wide strings for "%s").
std::wstring FormatResString(UINT id, ...);
}
