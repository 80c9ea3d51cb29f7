// Keeps the database passwords out of the trace log, which every user of the server can read.
#pragma once

#include <string>

namespace ovinst
{
// True for the properties whose values are never written in clear.
bool IsPasswordProperty(const std::wstring& name);
// "***" for a password property, else the value unchanged.
std::wstring MaskedValue(const std::wstring& name, const std::wstring& value);
// A property command line with the value of every password property replaced by "***",
// quoted (NAME="...", with "" inside) or plain (up to the next blank).
std::wstring MaskPasswords(const std::wstring& commandLine);
}
