// printf-style formatting into a wide string, for texts of the string table with inserts.
#pragma once

#include <cstdarg>
#include <string>

namespace OvBase
{
// The runtime's formatter: "%s" in the wide format takes a wide string. The arguments are
// inserted as values: a "%" inside an inserted text is never read as a conversion. An
// invalid format gives the format itself.
std::wstring FormatString(const wchar_t* format, ...);
std::wstring FormatStringV(const wchar_t* format, va_list args);
}
