#include "UacManager.h"

#include <shlwapi.h>
#include <versionhelpers.h>

#include "SystemApi.h"
#include "Trace.h"
#include "Win32Objects.h"

namespace
{
const wchar_t kPolicyKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
const wchar_t kBackupKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\OvBackup";
const wchar_t kEnableLua[] = L"EnableLUA";
const wchar_t kConsentPrompt[] = L"ConsentPromptBehaviorAdmin";
constexpr REGSAM kReadWrite = KEY_READ | KEY_WRITE;
constexpr DWORD kNeverRead = 0xFFFFFFFF;

// One pair for the whole process: -1 means "not read".
LONG g_savedEnableLua = -1;
LONG g_savedConsentPrompt = -1;

struct VersionName
{
    DWORD major;
    DWORD minor;
    const wchar_t* workstation;
    const wchar_t* server;
};

const VersionName kVersions[] = {
    {6, 3, L"windows 8.1", L"windows server 2012r2."},
    {6, 2, L"windows 8", L"windows server 2012."},
    {6, 1, L"windows 7", L"windows server 2008r2."},
    {6, 0, L"windows vista", L"windows server 2008."},
};

bool ReadDword(OvBase::CRegistryKey& key, const wchar_t* name, LONG& value)
{
    DWORD read = 0;
    if (key.GetDword(name, read, 0) != ERROR_SUCCESS)
        return false;
    value = static_cast<LONG>(read);
    return true;
}

LONG WriteDword(OvBase::CRegistryKey& key, const wchar_t* name, DWORD value)
{
    return instutils::SystemApi().RegSetValueExW(key.GetKey(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                                                 sizeof(value));
}

// SHDeleteEmptyKeyW looks at subkeys only (measured under Wine): a backup key that still
// holds a value must stay.
void DeleteBackupKeyIfEmpty()
{
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kBackupKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    DWORD subkeys = 0;
    DWORD values = 0;
    const LONG queried =
        ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr, nullptr, nullptr);
    ::RegCloseKey(key);
    if (queried == ERROR_SUCCESS && subkeys == 0 && values == 0)
        ::SHDeleteEmptyKeyW(HKEY_LOCAL_MACHINE, kBackupKey);
}

LONG RemoveValue(OvBase::CRegistryKey& key, const wchar_t* name)
{
    const LONG result = instutils::SystemApi().RegDeleteValueW(key.GetKey(), name);
    return result == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : result;
}
} // namespace

CUacManager::CUacManager()
{
    OvBase::CFuncTraceContext trace(L"CUacManager::CUacManager", OV_WFILE, __LINE__);
    const bool workstation = !::IsWindowsServer();
    for (const VersionName& version : kVersions)
    {
        if (::IsWindowsVersionOrGreater(static_cast<WORD>(version.major), static_cast<WORD>(version.minor), 0))
        {
            m_major = version.major;
            m_minor = version.minor;
            trace.Trace(OvBase::TraceInfo, L"Opertion System is %s", workstation ? version.workstation : version.server);
            return;
        }
    }
    trace.Trace(OvBase::TraceInfo, L"Opertion System Version is NOT valid.");
}

void CUacManager::Load()
{
    OvBase::CFuncTraceContext trace(L"CUacManager::Load", OV_WFILE, __LINE__);
    if (g_savedEnableLua != -1)
        return;
    OvBase::CRegistryKey key(OvBase::CRegistryKey::RootLocalMachine);
    if (key.Open(kPolicyKey, false, KEY_READ) == ERROR_SUCCESS)
    {
        ReadDword(key, kEnableLua, g_savedEnableLua);
        if (UsesConsentPrompt())
            ReadDword(key, kConsentPrompt, g_savedConsentPrompt);
    }
    trace.Trace(OvBase::TraceInfo, L"EnableLUA: %d, ConsentPromptBehaviorAdmin: %d", static_cast<int>(g_savedEnableLua),
                static_cast<int>(g_savedConsentPrompt));
}

bool CUacManager::IsUacEnabled()
{
    if (m_major <= 5)
        return false;
    Load();
    // A value that could not be read counts as on.
    if (g_savedEnableLua != 0)
        return true;
    return UsesConsentPrompt() && g_savedConsentPrompt != 0;
}

LONG CUacManager::Disable(bool backup)
{
    OvBase::CFuncTraceContext trace(L"CUacManager::Disable", OV_WFILE, __LINE__);
    if (m_major <= 5)
        return ERROR_SUCCESS;
    Load();
    if (backup)
    {
        const LONG result = Backup();
        if (result != ERROR_SUCCESS)
        {
            // Switched off without a backup, UAC would never come back on.
            trace.Trace(OvBase::TraceError, L"UAC settings could not be backed up: %d", static_cast<int>(result));
            DeleteBackupKeyIfEmpty();
            return result;
        }
    }
    OvBase::CRegistryKey key(OvBase::CRegistryKey::RootLocalMachine);
    LONG result = key.Open(kPolicyKey, false, kReadWrite);
    if (result != ERROR_SUCCESS)
    {
        trace.Trace(OvBase::TraceError, L"%d", static_cast<int>(result));
        return result;
    }
    for (const wchar_t* name : {kEnableLua, kConsentPrompt})
    {
        if (name == kConsentPrompt && !UsesConsentPrompt())
            continue;
        result = WriteDword(key, name, 0);
        if (result != ERROR_SUCCESS)
        {
            trace.Trace(OvBase::TraceError, L"%s could not be written: %d", name, static_cast<int>(result));
            return result;
        }
    }
    return ERROR_SUCCESS;
}

LONG CUacManager::Backup()
{
    if (m_major < 6)
        return ERROR_SUCCESS;
    Load();
    OvBase::CRegistryKey key(OvBase::CRegistryKey::RootLocalMachine);
    const LONG opened = key.Open(kBackupKey, true, kReadWrite);
    if (opened != ERROR_SUCCESS)
        return opened;
    for (const wchar_t* name : {kEnableLua, kConsentPrompt})
    {
        if (name == kConsentPrompt && !UsesConsentPrompt())
            continue;
        // A backup left by an interrupted earlier run holds the values from before it; the
        // live ones may be that run's own change (or a policy's).
        DWORD existing = 0;
        if (key.GetDword(name, existing, 0) == ERROR_SUCCESS)
        {
            OvBase::TraceLine(OvBase::TraceInfo, L"Backup of %s kept: %d", name, static_cast<int>(existing));
            continue;
        }
        const LONG saved = name == kEnableLua ? g_savedEnableLua : g_savedConsentPrompt;
        const LONG result = WriteDword(key, name, static_cast<DWORD>(saved));
        if (result != ERROR_SUCCESS)
            return result;
    }
    return ERROR_SUCCESS;
}

void CUacManager::Restore()
{
    if (m_major < 6)
        return;
    {
        OvBase::CRegistryKey backup(OvBase::CRegistryKey::RootLocalMachine);
        OvBase::CRegistryKey live(OvBase::CRegistryKey::RootLocalMachine);
        if (backup.Open(kBackupKey, false, kReadWrite) == ERROR_SUCCESS &&
            live.Open(kPolicyKey, false, kReadWrite) == ERROR_SUCCESS)
        {
            const bool consent = UsesConsentPrompt();
            for (const wchar_t* name : {kEnableLua, kConsentPrompt})
            {
                if (name == kConsentPrompt && !consent)
                    continue;
                DWORD value = 0;
                if (backup.GetDword(name, value, 0) != ERROR_SUCCESS)
                    continue;
                // All ones is the backup of a value that was never read: it was absent, and
                // writing it back would put an invalid policy value in its place.
                const LONG written = value == kNeverRead ? RemoveValue(live, name) : WriteDword(live, name, value);
                if (written != ERROR_SUCCESS)
                {
                    // The backup is all that is left of the old value: kept for a later run.
                    OvBase::TraceLine(OvBase::TraceWarning, L"%s could not be restored: %d, its backup is kept", name,
                                      static_cast<int>(written));
                    continue;
                }
                backup.DeleteValue(name);
            }
        }
    }
    // Also when the keys could not be opened: an empty backup key is left-over.
    DeleteBackupKeyIfEmpty();
}

bool IsUserAdmin()
{
    HANDLE token = nullptr;
    if (!::OpenThreadToken(::GetCurrentThread(), TOKEN_QUERY | TOKEN_DUPLICATE, TRUE, &token))
    {
        if (::GetLastError() != ERROR_NO_TOKEN ||
            !::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY | TOKEN_DUPLICATE, &token))
            return false;
    }
    OvBase::CWin32Handle tokenOwner(token);

    HANDLE impersonation = nullptr;
    if (!::DuplicateToken(token, SecurityImpersonation, &impersonation))
        return false;
    OvBase::CWin32Handle impersonationOwner(impersonation);

    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID admins = nullptr;
    if (!::AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0,
                                    0, &admins))
        return false;

    BOOL granted = FALSE;
    const DWORD aclSize = 16 + ::GetLengthSid(admins);
    PACL acl = static_cast<PACL>(::LocalAlloc(LPTR, aclSize));
    PSECURITY_DESCRIPTOR descriptor = ::LocalAlloc(LPTR, SECURITY_DESCRIPTOR_MIN_LENGTH);
    const DWORD readAccess = 1;
    const DWORD writeAccess = 2;
    if (acl && descriptor && ::InitializeSecurityDescriptor(descriptor, SECURITY_DESCRIPTOR_REVISION) &&
        ::InitializeAcl(acl, aclSize, ACL_REVISION2) &&
        ::AddAccessAllowedAce(acl, ACL_REVISION2, readAccess | writeAccess, admins) &&
        ::SetSecurityDescriptorDacl(descriptor, TRUE, acl, FALSE) &&
        ::SetSecurityDescriptorGroup(descriptor, admins, FALSE) &&
        ::SetSecurityDescriptorOwner(descriptor, admins, FALSE) && ::IsValidSecurityDescriptor(descriptor))
    {
        GENERIC_MAPPING mapping = {readAccess, writeAccess, 0, readAccess | writeAccess};
        BYTE privileges[20] = {};
        DWORD privilegesSize = sizeof(privileges);
        DWORD grantedAccess = 0;
        BOOL status = FALSE;
        if (instutils::SystemApi().AccessCheck(descriptor, impersonation, readAccess, &mapping,
                                               reinterpret_cast<PPRIVILEGE_SET>(privileges), &privilegesSize,
                                               &grantedAccess, &status))
            granted = status;
    }
    if (acl)
        ::LocalFree(acl);
    if (descriptor)
        ::LocalFree(descriptor);
    ::FreeSid(admins);
    return granted != FALSE;
}
