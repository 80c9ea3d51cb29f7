#include "TraceTestSupport.h"

#include "MachineKeyBackup.h"

#include <shellapi.h>

#include <atomic>

#include "Trace.h"

namespace ovtest
{
const wchar_t kTraceKeyPath[] = L"SYSTEM\\CurrentControlSet\\Services\\OvTrace\\Trace";

namespace
{
std::atomic<int> g_backupCounter{0};
const wchar_t kBackupRoot[] = L"Software\\OvTestBackup";
}

CHklmKeyBackup::CHklmKeyBackup(const wchar_t* path) : m_path(path)
{
    m_backup = std::wstring(kBackupRoot) + L"\\" + std::to_wstring(GetCurrentProcessId()) + L"_" +
               std::to_wstring(++g_backupCounter);
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, m_path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS)
    {
        m_existed = true;
        HKEY backup = nullptr;
        RegCreateKeyExW(HKEY_CURRENT_USER, m_backup.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &backup, nullptr);
        RegCopyTreeW(key, nullptr, backup);
        RegCloseKey(backup);
        RegCloseKey(key);
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, m_path.c_str());
        return;
    }
    for (size_t end = m_path.find(L'\\'); ; end = m_path.find(L'\\', end + 1))
    {
        std::wstring prefix = m_path.substr(0, end);
        if (!HklmKeyExists(prefix))
        {
            m_missingRoot = prefix;
            break;
        }
        if (end == std::wstring::npos)
            break;
    }
}

CHklmKeyBackup::~CHklmKeyBackup()
{
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, m_path.c_str());
    if (!m_existed)
    {
        if (!m_missingRoot.empty())
            RegDeleteTreeW(HKEY_LOCAL_MACHINE, m_missingRoot.c_str());
        return;
    }
    HKEY backup = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, m_backup.c_str(), 0, KEY_READ, &backup) == ERROR_SUCCESS)
    {
        HKEY key = nullptr;
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, m_path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        RegCopyTreeW(backup, nullptr, key);
        RegCloseKey(key);
        RegCloseKey(backup);
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, m_backup.c_str());
    // Gone once no other backup is left in it.
    RegDeleteKeyW(HKEY_CURRENT_USER, kBackupRoot);
}

CTempFolder::CTempFolder(const wchar_t* name)
{
    wchar_t temp[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, temp);
    m_path = std::wstring(temp) + L"ovtest_" + name + L"_" + std::to_wstring(GetCurrentProcessId());
    RemoveTree(m_path);
    CreateDirectoryW(m_path.c_str(), nullptr);
}

CTempFolder::~CTempFolder()
{
    RemoveTree(m_path);
}

void RemoveTree(const std::wstring& path)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE)
    {
        do
        {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            std::wstring full = path + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(full);
            else
            {
                SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(full.c_str());
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(path.c_str());
}

std::string ReadFileBytes(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {};
    std::string bytes;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0)
        bytes.append(buffer, read);
    CloseHandle(file);
    return bytes;
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

bool FileExists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t pos; (pos = text.find("\r\n", start)) != std::string::npos; start = pos + 2)
        lines.push_back(text.substr(start, pos - start));
    if (start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

void SetHklmDword(const std::wstring& key, const wchar_t* name, DWORD value)
{
    testsupport::SetMachineValue(key.c_str(), name, REG_DWORD, &value, sizeof(value));
}

void SetHklmString(const std::wstring& key, const wchar_t* name, const std::wstring& value)
{
    testsupport::SetMachineString(key.c_str(), name, value);
}

bool HklmKeyExists(const std::wstring& key)
{
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return false;
    RegCloseKey(handle);
    return true;
}

bool HklmValueExists(const std::wstring& key, const wchar_t* name)
{
    return RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), name, RRF_RT_ANY, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS;
}

CProgramTraceScope::CProgramTraceScope(const std::wstring& folder, DWORD enableMask, DWORD paramsMask)
    : m_backup(kTraceKeyPath), m_folder(folder)
{
    SetHklmDword(kTraceKeyPath, L"EnableMask", enableMask);
    SetHklmDword(kTraceKeyPath, L"ParamsMask", paramsMask);
    SetHklmString(kTraceKeyPath, L"TracePath", folder);
    OvBase::ProgramTrace.Reload();
    // The program's trace keeps earlier runs and opens each load with the run separator;
    // without the append bit a scope reads only what its test writes, as before.
    if ((paramsMask & 0x101) == 1)
        WriteFileBytes(LogPath(), "");
}

CProgramTraceScope::~CProgramTraceScope()
{
    // A missing key leaves the last configuration in place, so switch off explicitly.
    SetHklmDword(kTraceKeyPath, L"EnableMask", 0);
    SetHklmDword(kTraceKeyPath, L"ParamsMask", 0);
    OvBase::ProgramTrace.Reload();
}
}
