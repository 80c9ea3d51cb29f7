#pragma once

#include <windows.h>

#include <string>

// The product family's language mark ("ProductLocale", a five-character locale name such
// as "en-US"). Result codes are Windows error numbers: 0, 2, 3, 13 (not a five-character
// string), 87 (no buffer), 122 (buffer below 6 characters; the length says 6), 127.

// Reads the mark into buffer; length is in characters, in and out.
DWORD ReadProductLocale(HKEY root, wchar_t* buffer, DWORD* length);
DWORD ReadMachineProductLocale(wchar_t* buffer, DWORD* length);
// The mark, or an empty string when it cannot be read.
std::wstring GetProductLocale();
