// Where the trace's configuration comes from: the registry key, its module sub-key, and the
// rules for the log file's name and folder.
#include "TraceImpl.h"

#include <sddl.h>

#include <cwchar>
#include <cwctype>
#include <utility>

namespace
{
bool ReadDword(HKEY key, const wchar_t* name, DWORD& value)
{
    DWORD data = 0;
    DWORD size = sizeof(data);
    DWORD type = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) != ERROR_SUCCESS ||
        size != sizeof(data))
        return false;
    value = data;
    return true;
}

// Up to 520 characters; absent or unreadable gives the empty text.
std::wstring ReadString(HKEY key, const wchar_t* name)
{
    wchar_t text[521] = {};
    DWORD size = 520 * sizeof(wchar_t);
    DWORD type = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return {};
    text[size / sizeof(wchar_t)] = L'\0';
    return text;
}

// Appends ".log" unless the name has a three-character extension ("name." gets "log").
std::wstring WithLogExtension(const std::wstring& name)
{
    if (!name.empty() && name.back() == L'.')
        return name + L"log";
    size_t dot = name.rfind(L'.');
    if (dot == std::wstring::npos || name.size() < 4 || dot != name.size() - 4)
        return name + L".log";
    return name;
}

std::wstring DefaultTraceFolder()
{
    for (const wchar_t* variable : {L"Temp", L"Tmp", L"windir"})
    {
        wchar_t value[MAX_PATH * 2];
        DWORD length = GetEnvironmentVariableW(variable, value, MAX_PATH * 2);
        if (length > 0 && length < MAX_PATH * 2)
            return std::wstring(value, length);
    }
    return L"C:\\";
}

// One mutex per log file, named after a hash of its lower-case path, open to every user.
HANDLE CreateFileMutex(const std::wstring& path)
{
    unsigned long long hash = 14695981039346656037ull;
    for (wchar_t c : path)
    {
        hash ^= static_cast<unsigned long long>(towlower(c == L'/' ? L'\\' : c));
        hash *= 1099511628211ull;
    }
    wchar_t suffix[40];
    swprintf(suffix, 40, L"OvTraceFile_%016llX", hash);
    SECURITY_ATTRIBUTES security = {sizeof(security), nullptr, FALSE};
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;;0x100001;;;WD)(A;;GA;;;SY)(A;;GA;;;BA)",
                                                             SDDL_REVISION_1, &descriptor, nullptr))
        security.lpSecurityDescriptor = descriptor;
    // Ask only for the rights everyone is granted, so that a process without administrator
    // rights can open the lock an elevated process created.
    const DWORD access = SYNCHRONIZE | MUTEX_MODIFY_STATE;
    HANDLE mutex = CreateMutexExW(&security, (std::wstring(L"Global\\") + suffix).c_str(), 0, access);
    if (!mutex)
        mutex = CreateMutexExW(&security, (std::wstring(L"Local\\") + suffix).c_str(), 0, access);
    if (!mutex)
        mutex = OpenMutexW(access, FALSE, (std::wstring(L"Global\\") + suffix).c_str());
    if (descriptor)
        LocalFree(descriptor);
    return mutex;
}
}

namespace OvBase
{
const wchar_t kTraceKey[] = L"SYSTEM\\CurrentControlSet\\Services\\OvTrace\\Trace";

bool CTraceImpl::LoadConfiguration()
{
    HKEY traceKey = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kTraceKey, 0, KEY_QUERY_VALUE, &traceKey) != ERROR_SUCCESS)
        return false;

    DWORD enableMask = 0;
    DWORD paramsMask = 0;
    DWORD commonFileFlag = 0;
    DWORD contextMask = 0xFFFFFFFF;
    std::wstring commonFileName;
    ReadDword(traceKey, L"EnableMask", enableMask);
    ReadDword(traceKey, L"ParamsMask", paramsMask);
    ReadDword(traceKey, L"CommonFileFlag", commonFileFlag);

    HKEY moduleKey = nullptr;
    if (!m_moduleName.empty() &&
        RegOpenKeyExW(traceKey, m_moduleName.c_str(), 0, KEY_QUERY_VALUE, &moduleKey) == ERROR_SUCCESS)
    {
        ReadDword(moduleKey, L"EnableMask", enableMask);
        ReadDword(moduleKey, L"ParamsMask", paramsMask);
        ReadDword(moduleKey, L"CommonFileFlag", commonFileFlag);
        ReadDword(moduleKey, L"ContextMask", contextMask);
        if (commonFileFlag != 0)
            commonFileName = ReadString(moduleKey, L"CommonFileName");
        RegCloseKey(moduleKey);
    }

    ReadDword(traceKey, L"ForceEnableMask", enableMask);
    ReadDword(traceKey, L"ForceParamsMask", paramsMask);
    ReadDword(traceKey, L"ForceCommonFileFlag", commonFileFlag);
    DWORD disableContext = 0;
    if (ReadDword(traceKey, L"DisableContextFlag", disableContext) && disableContext != 0)
        contextMask = 0xFFFFFFFF;

    std::wstring path;
    if (commonFileFlag != 0 && !commonFileName.empty())
    {
        path = commonFileName;
    }
    else
    {
        // An empty (or unreadable) path counts as not set, as the settings store has it:
        // a log at the root of whatever drive is current is hard to find and often not
        // writable.
        std::wstring folder = ReadString(traceKey, L"TracePath");
        if (folder.empty())
            folder = DefaultTraceFolder();
        if (folder.empty() || folder.back() != L'\\')
            folder += L'\\';
        path = folder + WithLogExtension(commonFileFlag == 0 ? m_moduleName : std::wstring(L"OvTrace"));
    }
    RegCloseKey(traceKey);

    HANDLE mutex = nullptr;
    bool newPath = path != GetLogFilePath() || !m_fileMutex;
    if (newPath)
        mutex = CreateFileMutex(path);
    AcquireSRWLockExclusive(&m_pathLock);
    m_logFilePath = std::move(path);
    if (newPath)
        std::swap(mutex, m_fileMutex);
    ReleaseSRWLockExclusive(&m_pathLock);
    if (mutex)
        CloseHandle(mutex);
    m_enableMask.exchange(enableMask);
    m_paramsMask.exchange(paramsMask);
    m_commonFileFlag.exchange(commonFileFlag);
    m_contextMask.exchange(contextMask);
    return true;
}
}
