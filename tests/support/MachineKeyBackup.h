// Puts a key of HKEY_LOCAL_MACHINE (64-bit view) aside for one scope: the test starts without
// it, and whatever the test left there is replaced by the saved key at the end.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace testsupport
{
class MachineKeyBackup
{
public:
    explicit MachineKeyBackup(const wchar_t* path);
    ~MachineKeyBackup();
    MachineKeyBackup(const MachineKeyBackup&) = delete;
    MachineKeyBackup& operator=(const MachineKeyBackup&) = delete;

private:
    std::wstring m_path;
    std::wstring m_backup;
    bool m_existed = false;
};

// Small registry helpers for tests, HKEY_LOCAL_MACHINE, 64-bit view.
bool MachineKeyExists(const wchar_t* path);
LONG SetMachineValue(const wchar_t* path, const wchar_t* name, DWORD type, const void* data, DWORD size);
LONG SetMachineString(const wchar_t* path, const wchar_t* name, const std::wstring& text);
// The value's type and raw bytes; false when it cannot be read.
bool GetMachineValue(const wchar_t* path, const wchar_t* name, DWORD& type, std::vector<BYTE>& data);
void DeleteMachineTree(const wchar_t* path);
}
