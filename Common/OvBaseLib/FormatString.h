// printf-style formatting into a wide string, for texts of the string table with inserts.
#pragma once

#include <string>

namespace OvBase
{
// The arguments are inserted as values: a "%" inside an inserted text is never read as
// a conversion. An invalid format gives the format itself.
std::wstring FormatString(const wchar_t* format, ...);
}
