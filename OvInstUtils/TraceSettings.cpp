#include "TraceSettings.h"

#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cwchar>

#include "FileHelpers.h"
#include "LogFolderSecurity.h"
#include "TraceImpl.h"
#include "Win32Objects.h"

namespace
{
const wchar_t kDriverTraceKey[] = L"SYSTEM\\CurrentControlSet\\Services\\ovcc0\\Trace";
const wchar_t kDebugPrintFilterKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Debug Print Filter";
const wchar_t kDefaultLogFolder[] = L"%ProgramData%\\Calderis\\Orvane Studio\\Logs";
const wchar_t kOldDefaultLogFolder[] = L"C:\\Logs";
// Numbers that are written when set and removed when not.
struct OptionalNumber
{
    const wchar_t* name;
    DWORD OvBase::TraceSettings::*field;
};
const OptionalNumber kEveryRecord[] = {
    {L"EnableMask", &OvBase::TraceSettings::enableMask},
    {L"ParamsMask", &OvBase::TraceSettings::paramsMask},
    {L"CommonFileFlag", &OvBase::TraceSettings::commonFileFlag},
};
const OptionalNumber kCommonRecord[] = {
    {L"ForceEnableMask", &OvBase::TraceSettings::forceEnableMask},
    {L"ForceParamsMask", &OvBase::TraceSettings::forceParamsMask},
    {L"ForceCommonFileFlag", &OvBase::TraceSettings::forceCommonFileFlag},
};

std::wstring KeyPath(const wchar_t* module)
{
    std::wstring path = OvBase::kTraceKey;
    if (module)
        path += std::wstring(L"\\") + module;
    return path;
}

void ReadDwordField(HKEY key, const wchar_t* name, DWORD& field, DWORD missing)
{
    DWORD size = sizeof(field);
    if (RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&field), &size) != ERROR_SUCCESS)
        field = missing;
}

void ReadStringField(HKEY key, const wchar_t* name, wchar_t (&field)[260])
{
    // The whole field: a stored text brings its own terminating zero.
    DWORD size = sizeof(field);
    if (RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(field), &size) != ERROR_SUCCESS)
        field[0] = L'\0';
    field[259] = L'\0';
}

// Writes a number, or removes the value when the field is not set.
LONG WriteOrDelete(HKEY key, const wchar_t* name, DWORD value)
{
    if (value == OvBase::kTraceNotSet)
    {
        LONG result = RegDeleteValueW(key, name);
        return result == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : result;
    }
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

LONG WriteDword(HKEY key, const wchar_t* name, DWORD value)
{
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

LONG WriteText(HKEY key, const wchar_t* name, const std::wstring& text)
{
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

std::wstring ExpandIfVariable(const wchar_t* text)
{
    if (text[0] != L'%')
        return text;
    try
    {
        return instutils::ExpandEnvString(text);
    }
    catch (...)
    {
        return text;
    }
}

std::wstring WithoutTrailingSeparator(std::wstring path)
{
    while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/'))
        path.pop_back();
    return path;
}

bool IsProtectedFolder(const std::wstring& folder)
{
    std::wstring path = WithoutTrailingSeparator(folder);
    for (int kind : {OvBase::FolderWindows, OvBase::FolderSystem})
    {
        std::wstring system = WithoutTrailingSeparator(OvBase::GetKnownFolder(kind, nullptr));
        if (!system.empty() && _wcsicmp(path.c_str(), system.c_str()) == 0)
            return true;
    }
    return false;
}

LONG PrepareLogFolder(const std::wstring& folder)
{
    const std::wstring used = OvBase::SecureLogFolder(folder);
    if (used.empty())
        return ERROR_ACCESS_DENIED;
    // A folder that was there already gets the log folder's access list too, through a handle
    // on the folder itself; the Windows and system folders keep theirs.
    if (!IsProtectedFolder(used))
        OvBase::SetLogFolderAccess(used);
    return ERROR_SUCCESS;
}

void PrepareCommonFile(const std::wstring& path)
{
    std::wstring file = OvBase::SecureLogFilePath(path, true);
    if (file.empty())
        return;
    std::vector<BYTE> descriptor = OvBase::DescriptorFromSddl(OvBase::kCommonFileSddl);
    SECURITY_ATTRIBUTES security = {sizeof(security), descriptor.empty() ? nullptr : descriptor.data(), FALSE};
    HANDLE handle = CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                &security, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle != INVALID_HANDLE_VALUE)
        CloseHandle(handle);
}

void SetDebugPrintFilterIfPresent()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kDebugPrintFilterKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    WriteDword(key, L"Default", 0xFFFFFFFF);
    RegCloseKey(key);
}

void DebugOutput(const wchar_t* format, LONG value)
{
    wchar_t text[64];
    swprintf(text, 64, format, static_cast<int>(value));
    OutputDebugStringW(text);
}

OvBase::TraceSettings DefaultRecord(DWORD paramsMask)
{
    OvBase::TraceSettings settings = {};
    settings.enableMask = 15;
    settings.paramsMask = paramsMask;
    settings.commonFileFlag = 0;
    settings.forceEnableMask = OvBase::kTraceNotSet;
    settings.forceParamsMask = OvBase::kTraceNotSet;
    settings.forceCommonFileFlag = 0;
    settings.disableContextFlag = 0;
    settings.contextMask = 0;
    return settings;
}

void CopyText(wchar_t (&field)[260], const std::wstring& text)
{
    wcsncpy(field, text.c_str(), 259);
    field[259] = L'\0';
}
}

namespace OvBase
{
std::wstring GetDefaultLogFolder()
{
    try
    {
        return instutils::ExpandEnvString(kDefaultLogFolder);
    }
    catch (...)
    {
        return kDefaultLogFolder;
    }
}

LONG ReadTraceSettings(const wchar_t* module, TraceSettings* settings)
{
    if (!settings)
        return ERROR_INVALID_PARAMETER;
    HKEY key = nullptr;
    LONG result = RegOpenKeyExW(HKEY_LOCAL_MACHINE, KeyPath(module).c_str(), 0, KEY_READ, &key);
    if (result != ERROR_SUCCESS)
        return result;
    *settings = {};
    bool common = module == nullptr;
    ReadStringField(key, L"TracePath", settings->tracePath);
    ReadStringField(key, L"CommonFileName", settings->commonFileName);
    ReadDwordField(key, L"ForceEnableMask", settings->forceEnableMask, kTraceNotSet);
    ReadDwordField(key, L"ForceParamsMask", settings->forceParamsMask, kTraceNotSet);
    ReadDwordField(key, L"CommonFileFlag", settings->commonFileFlag, kTraceNotSet);
    ReadDwordField(key, L"ForceCommonFileFlag", settings->forceCommonFileFlag, kTraceNotSet);
    ReadDwordField(key, L"ContextMask", settings->contextMask, 0);
    ReadDwordField(key, L"DisableContextFlag", settings->disableContextFlag, 0);
    ReadDwordField(key, L"EnableMask", settings->enableMask,
                   common && settings->forceEnableMask == kTraceNotSet ? 0 : kTraceNotSet);
    ReadDwordField(key, L"ParamsMask", settings->paramsMask,
                   common && settings->forceParamsMask == kTraceNotSet ? 0 : kTraceNotSet);
    RegCloseKey(key);
    if (common && ((settings->enableMask == kTraceNotSet && settings->forceEnableMask == kTraceNotSet) ||
                   (settings->paramsMask == kTraceNotSet && settings->forceParamsMask == kTraceNotSet)))
        return ERROR_FILE_NOT_FOUND;
    return ERROR_SUCCESS;
}

LONG WriteTraceSettings(const wchar_t* module, const TraceSettings* settings)
{
    if (!settings)
        return DeleteTraceSettings(module);
    HKEY key = nullptr;
    LONG result = RegCreateKeyExW(HKEY_LOCAL_MACHINE, KeyPath(module).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (result != ERROR_SUCCESS)
        return result;
    bool common = module == nullptr;

    SetDebugPrintFilterIfPresent();
    std::wstring tracePath;
    std::wstring commonFileName;
    if (common && settings->tracePath[0])
    {
        tracePath = ExpandIfVariable(settings->tracePath);
        result = PrepareLogFolder(tracePath);
    }
    if (!common && settings->commonFileName[0])
    {
        commonFileName = ExpandIfVariable(settings->commonFileName);
        PrepareCommonFile(commonFileName);
    }

    for (const OptionalNumber& number : kEveryRecord)
        if (result == ERROR_SUCCESS)
            result = WriteOrDelete(key, number.name, settings->*number.field);
    if (common)
    {
        if (result == ERROR_SUCCESS && !tracePath.empty())
            result = WriteText(key, L"TracePath", tracePath);
        for (const OptionalNumber& number : kCommonRecord)
            if (result == ERROR_SUCCESS)
                result = WriteOrDelete(key, number.name, settings->*number.field);
        if (result == ERROR_SUCCESS)
            result = WriteDword(key, L"DisableContextFlag", settings->disableContextFlag);
    }
    else
    {
        if (result == ERROR_SUCCESS && !commonFileName.empty())
            result = WriteText(key, L"CommonFileName", commonFileName);
        if (result == ERROR_SUCCESS)
            result = WriteDword(key, L"ContextMask", settings->contextMask);
    }
    RegCloseKey(key);
    return result;
}

LONG DeleteTraceSettings(const wchar_t* module)
{
    // Removes the key itself with everything below it.
    return RegDeleteTreeW(HKEY_LOCAL_MACHINE, KeyPath(module).c_str());
}

bool IsTraceConfigured()
{
    TraceSettings settings;
    // A forced mask alone is a configuration too: treating it as none would replace it by
    // the temporary one and delete it at the end of the run.
    if (ReadTraceSettings(nullptr, &settings) == ERROR_SUCCESS &&
        (settings.enableMask != kTraceNotSet || settings.forceEnableMask != kTraceNotSet))
        return true;

    HKEY oldKey = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kDriverTraceKey, 0, KEY_READ | KEY_WRITE, &oldKey) != ERROR_SUCCESS)
        return false;
    std::wstring oldPath;
    DWORD oldMask = 0;
    {
        wchar_t path[260] = {};
        ReadStringField(oldKey, L"TracePath", path);
        oldPath = path;
        DWORD size = sizeof(oldMask);
        DWORD type = 0;
        if (RegQueryValueExW(oldKey, L"EnableMask", nullptr, &type, reinterpret_cast<BYTE*>(&oldMask), &size) !=
                ERROR_SUCCESS ||
            type != REG_DWORD)
            oldMask = 0;
    }
    if (oldPath.empty() || oldMask == 0)
    {
        RegCloseKey(oldKey);
        return false;
    }

    HKEY newKey = nullptr;
    LONG result = RegCreateKeyExW(HKEY_LOCAL_MACHINE, kTraceKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_READ | KEY_WRITE, nullptr, &newKey, nullptr);
    if (result != ERROR_SUCCESS)
    {
        DebugOutput(L"new trace key create error %d\n", result);
    }
    else
    {
        DebugOutput(L"SHCopyKey %d\n", static_cast<LONG>(SHCopyKeyW(oldKey, nullptr, newKey, 0)));
        RegCloseKey(newKey);
    }
    RegCloseKey(oldKey);

    if (ReadTraceSettings(nullptr, &settings) == ERROR_SUCCESS)
    {
        std::wstring path = settings.tracePath;
        if (!path.empty() && path.back() == L'\\')
            path.pop_back();
        if (_wcsicmp(path.c_str(), kOldDefaultLogFolder) == 0)
        {
            CopyText(settings.tracePath, GetDefaultLogFolder());
            WriteTraceSettings(nullptr, &settings);
        }
    }
    return true;
}

LONG WriteDefaultTraceSettings()
{
    DeleteTraceSettings(nullptr);
    TraceSettings settings = DefaultRecord(0xFF09);
    CopyText(settings.tracePath, GetDefaultLogFolder());
    WriteTraceSettings(nullptr, &settings);
    TraceSettings module = DefaultRecord(0xFF08);
    WriteTraceSettings(L"OvDC", &module);
    module.paramsMask = 0xFF08 & ~0x400u;
    WriteTraceSettings(L"OvControl", &module);

    HKEY key = nullptr;
    LONG result = RegCreateKeyExW(HKEY_LOCAL_MACHINE, kDebugPrintFilterKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_READ | KEY_WRITE, nullptr, &key, nullptr);
    if (result != ERROR_SUCCESS)
        return result;
    WriteDword(key, L"Default", 0xFFFFFFFF);
    RegCloseKey(key);
    return ERROR_SUCCESS;
}

std::wstring GetLogFolder()
{
    TraceSettings settings;
    if (ReadTraceSettings(nullptr, &settings) == ERROR_SUCCESS && settings.tracePath[0])
        return settings.tracePath;
    return GetDefaultLogFolder();
}

TemporaryTraceConfiguration::TemporaryTraceConfiguration(COvTrace& trace)
{
    if (!IsTraceConfigured())
    {
        WriteDefaultTraceSettings();
        m_wroteDefaults = true;
    }
    trace.Reload();
    for (const std::wstring& note : TakeLogFolderNotes())
        TraceLine(TraceWarning, L"%s", note.c_str());
}

TemporaryTraceConfiguration::~TemporaryTraceConfiguration()
{
    if (m_wroteDefaults)
        DeleteTraceSettings(nullptr);
}
}
