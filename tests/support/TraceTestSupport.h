// Test scaffolding for code that reads the trace configuration and writes log files.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace ovtest
{
// Moves an HKLM key tree aside for the scope and puts it back (or removes what the test
// left) at the end.
class CHklmKeyBackup
{
public:
    explicit CHklmKeyBackup(const wchar_t* path);
    ~CHklmKeyBackup();
    CHklmKeyBackup(const CHklmKeyBackup&) = delete;
    CHklmKeyBackup& operator=(const CHklmKeyBackup&) = delete;

private:
    std::wstring m_path;
    std::wstring m_backup;
    bool m_existed = false;
    // The outermost key of the path that did not exist, removed with everything in it.
    std::wstring m_missingRoot;
};

// A fresh, empty folder under the temporary folder, removed at the end.
class CTempFolder
{
public:
    explicit CTempFolder(const wchar_t* name);
    ~CTempFolder();
    const std::wstring& Path() const { return m_path; }
    // Path + "\\" + name.
    std::wstring operator/(const std::wstring& name) const { return m_path + L"\\" + name; }

private:
    std::wstring m_path;
};

void RemoveTree(const std::wstring& path);
std::string ReadFileBytes(const std::wstring& path);
void WriteFileBytes(const std::wstring& path, const std::string& bytes);
bool FileExists(const std::wstring& path);
// The lines of an 8-bit text split at CR LF (the last, empty piece is dropped).
std::vector<std::string> SplitLines(const std::string& text);

// Sets DWORD values of an HKLM key (created when missing).
void SetHklmDword(const std::wstring& key, const wchar_t* name, DWORD value);
void SetHklmString(const std::wstring& key, const wchar_t* name, const std::wstring& value);
bool HklmKeyExists(const std::wstring& key);
bool HklmValueExists(const std::wstring& key, const wchar_t* name);

extern const wchar_t kTraceKeyPath[];

// The program's trace configured for the scope: the trace key is backed up, the given masks
// are written with TracePath = folder, and ProgramTrace is reloaded; at the end tracing is
// switched off again and the key restored.
class CProgramTraceScope
{
public:
    CProgramTraceScope(const std::wstring& folder, DWORD enableMask, DWORD paramsMask);
    ~CProgramTraceScope();
    std::wstring LogPath() const { return m_folder + L"\\Setup.log"; }
    std::vector<std::string> Lines() const { return SplitLines(ReadFileBytes(LogPath())); }

private:
    CHklmKeyBackup m_backup;
    std::wstring m_folder;
};
}
