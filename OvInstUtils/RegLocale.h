#pragma once

#include <windows.h>

namespace instutils::RegLocale
{
// Writes the product family's language mark, creating the product key if needed; returns
// a Windows result code (the first failure, already logged).
DWORD Set(const wchar_t* locale);
// Deletes the mark, then the product key and the maker's key where they became empty.
void Remove();
} // namespace instutils::RegLocale

// The one log line of a failed registry open or write (level 4).
void LogRegistryError(const wchar_t* keyPath, DWORD result);
