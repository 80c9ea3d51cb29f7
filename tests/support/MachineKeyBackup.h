// Registry value helpers for tests: HKEY_LOCAL_MACHINE, 64-bit view, any value type. (A key
// is put aside for a test with ovtest::CHklmKeyBackup.)
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace testsupport
{
LONG SetMachineValue(const wchar_t* path, const wchar_t* name, DWORD type, const void* data, DWORD size);
LONG SetMachineString(const wchar_t* path, const wchar_t* name, const std::wstring& text);
// The value's type and raw bytes; false when it cannot be read.
bool GetMachineValue(const wchar_t* path, const wchar_t* name, DWORD& type, std::vector<BYTE>& data);
// A value as text, without its terminating zeros; empty when it cannot be read.
std::optional<std::wstring> GetMachineString(const wchar_t* path, const wchar_t* name);
}
