#include "MsiPackage.h"

#include <cwchar>
#include <vector>

#include "MsiApi.h"
#include "MsiQueries.h"
#include "OvErrorObject.h"
#include "ProductRegistry.h"
#include "ResString.h"
#include "Trace.h"
#include "Win32Objects.h"
#include "res/resource.h"

namespace
{
struct VersionSource
{
    ovinst::PackageId id;
    const wchar_t* key;
    const wchar_t* value;
};

// Where the installed products record their version.
const VersionSource kVersionSources[] = {
    {ovinst::SecurityServerId, instutils::kSecurityServerKeyPath, instutils::kSecurityServerVersionValue},
    {ovinst::ControlCenterId, instutils::kControlCenterKeyPath, instutils::kControlCenterVersionValue},
};

// A record field of any length: 512 characters first, more when the installer asks.
bool ReadRecordString(MSIHANDLE record, UINT field, std::wstring& text)
{
    std::vector<wchar_t> buffer(512);
    DWORD size = static_cast<DWORD>(buffer.size());
    UINT result = msi::Api().RecordGetStringW(record, field, buffer.data(), &size);
    if (result == ERROR_MORE_DATA)
    {
        buffer.resize(size + 1);
        size = static_cast<DWORD>(buffer.size());
        result = msi::Api().RecordGetStringW(record, field, buffer.data(), &size);
    }
    if (result != ERROR_SUCCESS)
        return false;
    text.assign(buffer.data(), size);
    return true;
}

// printf-style text with one string insert, as the string table writes its messages.
std::wstring FormatWithPath(const std::wstring& format, const std::wstring& path)
{
    std::vector<wchar_t> buffer(format.size() + path.size() + 64);
    const int length = ::_snwprintf(buffer.data(), buffer.size() - 1, format.c_str(), path.c_str());
    if (length < 0)
        return format;
    return std::wstring(buffer.data(), static_cast<size_t>(length));
}

std::wstring ReadRegistryVersion(const wchar_t* key, const wchar_t* value)
{
    std::wstring version;
    OvBase::CRegistryKey registry(OvBase::CRegistryKey::RootLocalMachine);
    if (registry.Open(key, false, KEY_READ | KEY_WOW64_64KEY) == ERROR_SUCCESS)
        registry.GetString(value, version, L"");
    return version;
}
}

MsiPackage::MsiPackage(const ovinst::PackageInfo& info, const std::wstring& directory)
    : m_info(info), m_directory(directory)
{
    Init();
}

std::wstring MsiPackage::GetTransform(int languageIndex) const
{
    const auto it = m_info.transforms.find(languageIndex);
    return it == m_info.transforms.end() ? std::wstring() : it->second;
}

void MsiPackage::Init()
{
    OV_TRACE_FUNCTION();
    m_installed = msi::IsInstalledByUpgradeCode(m_info.upgradeCode.c_str());
    if (!m_installed)
    {
        OV_TRACE(OvBase::TraceInfo, L"Package '%s' is not installed", m_info.displayName.c_str());
        m_canBeUpdated = false;
        return;
    }
    // Removal mode: the distribution's files are not looked at.
    if (m_directory.empty())
        return;

    const std::wstring path = m_directory + m_info.fileName;
    const std::wstring productCode =
        GetProperty(path, L"PRODUCTCODE", GetTransform(ovinst::GetLanguageIndex()));
    // Installed under another product code than the distribution's file: a newer build.
    m_canBeUpdated = !msi::IsInstalledByProductCode(productCode.c_str());
    if (m_canBeUpdated)
    {
        OV_TRACE(OvBase::TraceInfo, L"Package '%s' can be updated", m_info.displayName.c_str());
        ReadVersions(path);
    }
    else
    {
        OV_TRACE(OvBase::TraceInfo, L"Package '%s' is up to date", m_info.displayName.c_str());
    }
}

void MsiPackage::ReadVersions(const std::wstring& path)
{
    for (const VersionSource& source : kVersionSources)
    {
        if (source.id != m_info.id)
            continue;
        m_installedVersion = ReadRegistryVersion(source.key, source.value);
        m_newVersion = GetPackageVersion(path);
    }
}

std::wstring MsiPackage::GetProperty(const std::wstring& path, const std::wstring& name,
                                     const std::wstring& transform)
{
    OV_TRACE_FUNCTION();
    OV_TRACE(OvBase::TraceInfo, L"MSI Path:     '%s'", path.c_str());
    OV_TRACE(OvBase::TraceInfo, L"Transform:    '%s'", transform.c_str());
    OV_TRACE(OvBase::TraceInfo, L"PropertyName: '%s'", name.c_str());

    const msi::MsiFunctions& api = msi::Api();
    msi::CMsiHandle database;
    UINT result = api.OpenDatabaseW(path.empty() ? nullptr : path.c_str(), MSIDBOPEN_READONLY,
                                    database.Put());
    if (result != ERROR_SUCCESS)
        ThrowErrorCode(OvBase::HResultFromWin32(result));

    if (!transform.empty())
    {
        // Suppress every transform error condition: a transform that does not fit still fails.
        result = api.DatabaseApplyTransformW(database, transform.c_str(), 0x3F);
        if (result != ERROR_SUCCESS)
            ThrowErrorText(FormatWithPath(utils::LoadResString(IDS_TRANSFORM_FAILED), path));
    }

    msi::CMsiHandle view;
    result = api.DatabaseOpenViewW(database, L"SELECT * FROM Property", view.Put());
    if (result != ERROR_SUCCESS)
        ThrowErrorCode(OvBase::HResultFromWin32(result));
    result = api.ViewExecute(view, 0);
    if (result != ERROR_SUCCESS)
        ThrowErrorCode(OvBase::HResultFromWin32(result));

    for (;;)
    {
        msi::CMsiHandle record;
        if (api.ViewFetch(view, record.Put()) != ERROR_SUCCESS)
            break;
        std::wstring rowName;
        if (!ReadRecordString(record, 1, rowName) || ::_wcsicmp(rowName.c_str(), name.c_str()) != 0)
            continue;
        std::wstring value;
        ReadRecordString(record, 2, value);
        OV_TRACE(OvBase::TraceInfo, L" MSI property '%s' = '%s'", name.c_str(), value.c_str());
        return value;
    }
    OV_TRACE(OvBase::TraceInfo, L" MSI property '%s' NOT FOUND.", name.c_str());
    return std::wstring();
}

std::wstring MsiPackage::GetPackageVersion(const std::wstring& path)
{
    OV_TRACE_FUNCTION();
    if (path.empty())
        return std::wstring();

    OV_TRACE(OvBase::TraceInfo, L"Path to msi file: %s", path.c_str());
    const msi::MsiFunctions& api = msi::Api();
    msi::CMsiHandle package;
    UINT result = api.OpenPackageW(path.c_str(), package.Put());
    OV_TRACE(OvBase::TraceInfo, L"Open MSI return code is: %i", static_cast<int>(result));
    if (result != ERROR_SUCCESS)
        return std::wstring();

    wchar_t version[100] = {};
    DWORD size = 100;
    result = api.GetProductPropertyW(package, L"ProductVersion", version, &size);
    OV_TRACE(OvBase::TraceInfo, L"Get product return code is: %i", static_cast<int>(result));
    if (result != ERROR_SUCCESS)
        return std::wstring();

    OV_TRACE(OvBase::TraceInfo, L"current version is %s", version);
    return version;
}
