// Registry keys with a readable path and a retry hook.
#include "Win32Objects.h"

namespace
{
struct RootKey
{
    HKEY key;
    const wchar_t* name;
};

const RootKey kRoots[] = {
    {nullptr, L"NONE"},
    {HKEY_CLASSES_ROOT, L"HKCR"},
    {HKEY_CURRENT_USER, L"HKCU"},
    {HKEY_LOCAL_MACHINE, L"HKLM"},
    {HKEY_USERS, L"HKU"},
    {HKEY_CURRENT_CONFIG, L"HKCC"},
    {HKEY_DYN_DATA, L"HKDD"},
};

bool IsPredefinedKey(HKEY key)
{
    for (const RootKey& root : kRoots)
        if (root.key && root.key == key)
            return true;
    return false;
}

std::wstring Describe(const std::wstring& path, const wchar_t* name)
{
    return name ? path + L"\\" + name : path;
}
}

namespace OvBase
{
CRegistryKey::CRegistryKey(int root)
{
    if (root < 0 || root >= static_cast<int>(sizeof(kRoots) / sizeof(kRoots[0])))
        root = RootNone;
    m_key = kRoots[root].key;
    m_path = kRoots[root].name;
}

CRegistryKey::CRegistryKey(const CRegistryKey& other) : m_path(other.m_path)
{
    if (!other.m_key)
        return;
    HKEY key = nullptr;
    if (RegOpenKeyExW(other.m_key, nullptr, 0, KEY_READ | KEY_CREATE_SUB_KEY | KEY_SET_VALUE, &key) != ERROR_SUCCESS &&
        RegOpenKeyExW(other.m_key, nullptr, 0, KEY_READ, &key) != ERROR_SUCCESS)
        key = nullptr;
    m_key = key;
    SetSecurityAttributes(other.m_security);
}

CRegistryKey::~CRegistryKey()
{
    if (m_key && !IsPredefined())
        RegCloseKey(m_key);
}

bool CRegistryKey::IsPredefined() const
{
    return IsPredefinedKey(m_key);
}

int CRegistryKey::OnError(LONG /*result*/, int /*operation*/, const wchar_t* /*text*/)
{
    return 2;
}

void CRegistryKey::SetSecurityAttributes(const SECURITY_ATTRIBUTES& attributes)
{
    m_security = attributes;
    m_securityDescriptor = CopySecurityDescriptor(attributes.lpSecurityDescriptor);
    m_security.lpSecurityDescriptor = m_securityDescriptor.empty() ? nullptr : m_securityDescriptor.data();
}

LONG CRegistryKey::OpenRelative(HKEY base, const std::wstring& basePath, const wchar_t* subkey, bool create,
                                REGSAM rights)
{
    if (!base || !subkey)
        return E_INVALIDARG;
    std::wstring path = basePath + L"\\" + subkey;
    HKEY key = nullptr;
    LONG result;
    for (;;)
    {
        if (create)
            result = RegCreateKeyExW(base, subkey, 0, nullptr, REG_OPTION_NON_VOLATILE, rights,
                                     m_security.lpSecurityDescriptor ? &m_security : nullptr, &key, nullptr);
        else
            result = RegOpenKeyExW(base, subkey, 0, rights, &key);
        if (result == ERROR_SUCCESS || OnError(result, create ? OpCreateKey : OpOpenKey, path.c_str()) != 1)
            break;
    }
    if (result != ERROR_SUCCESS)
        return result;
    Close();
    m_key = key;
    m_path = std::move(path);
    return ERROR_SUCCESS;
}

LONG CRegistryKey::Open(const wchar_t* subkey, bool create, REGSAM rights)
{
    return OpenRelative(m_key, m_path, subkey, create, rights);
}

LONG CRegistryKey::OpenFrom(const CRegistryKey& other, const wchar_t* subkey, bool create, REGSAM rights)
{
    return OpenRelative(other.m_key, other.m_path, subkey, create, rights);
}

LONG CRegistryKey::Close()
{
    if (!m_key)
        return ERROR_SUCCESS;
    LONG result = ERROR_SUCCESS;
    if (!IsPredefined())
    {
        while ((result = RegCloseKey(m_key)) != ERROR_SUCCESS && OnError(result, OpCloseKey, m_path.c_str()) == 1)
        {
        }
    }
    m_key = nullptr;
    return result;
}

LONG CRegistryKey::GetDword(const wchar_t* name, DWORD& value, DWORD defaultValue)
{
    value = defaultValue;
    if (!m_key)
        return E_INVALIDARG;
    DWORD data = 0;
    DWORD size = sizeof(data);
    DWORD type = 0;
    LONG result;
    while ((result = RegQueryValueExW(m_key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size)) !=
               ERROR_SUCCESS &&
           OnError(result, OpQueryValue, Describe(m_path, name).c_str()) == 1)
    {
        size = sizeof(data);
    }
    if (result == ERROR_SUCCESS && type == REG_DWORD && size == sizeof(data))
        value = data;
    return result;
}

LONG CRegistryKey::GetString(const wchar_t* name, std::wstring& text, const wchar_t* defaultText)
{
    text = defaultText ? defaultText : L"";
    if (!m_key)
        return E_INVALIDARG;
    std::vector<BYTE> data;
    DWORD type = 0;
    LONG result;
    for (;;)
    {
        DWORD size = 0;
        result = RegQueryValueExW(m_key, name, nullptr, &type, nullptr, &size);
        if (result == ERROR_SUCCESS)
        {
            data.assign(size + 2 * sizeof(wchar_t), 0);
            result = RegQueryValueExW(m_key, name, nullptr, &type, data.data(), &size);
            // The value may have grown in between.
            if (result == ERROR_MORE_DATA)
                continue;
        }
        if (result == ERROR_SUCCESS || OnError(result, OpQueryValue, Describe(m_path, name).c_str()) != 1)
            break;
    }
    if (result == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ))
    {
        std::wstring value(reinterpret_cast<const wchar_t*>(data.data()));
        if (!value.empty())
            text = value;
    }
    return result;
}

LONG CRegistryKey::SetDword(const wchar_t* name, DWORD value)
{
    if (!m_key)
        return E_INVALIDARG;
    LONG result;
    while ((result = RegSetValueExW(m_key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                                    sizeof(value))) != ERROR_SUCCESS &&
           OnError(result, OpSetValue, Describe(m_path, name).c_str()) == 1)
    {
    }
    return result;
}

LONG CRegistryKey::SetString(const wchar_t* name, const wchar_t* text, DWORD type)
{
    if (!m_key || !text)
        return E_INVALIDARG;
    DWORD size = static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t));
    LONG result;
    while ((result = RegSetValueExW(m_key, name, 0, type, reinterpret_cast<const BYTE*>(text), size)) !=
               ERROR_SUCCESS &&
           OnError(result, OpSetValue, Describe(m_path, name).c_str()) == 1)
    {
    }
    return result;
}

LONG CRegistryKey::DeleteValue(const wchar_t* name)
{
    if (!m_key)
        return E_INVALIDARG;
    LONG result;
    while ((result = RegDeleteValueW(m_key, name)) != ERROR_SUCCESS &&
           OnError(result, OpDeleteValue, Describe(m_path, name).c_str()) == 1)
    {
    }
    return result;
}
}
