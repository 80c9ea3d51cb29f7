#include "InstallData.h"

#include "MsiPackage.h"
#include "OvErrorObject.h"
#include "Trace.h"

namespace ovinst
{
IMsiPackage& Packages::operator[](PackageId id) const
{
    for (const auto& package : *this)
    {
        if (package && package->GetId() == id)
            return *package;
    }
    // Named as the error reports it; the compiler's own name has no blank before "[]".
    OvBase::ThrowErrorTextAt(L"id not found", OV_WFILE, __LINE__, L"ovinst::Packages::operator []");
}

bool Packages::Contains(PackageId id) const
{
    for (const auto& package : *this)
    {
        if (package && package->GetId() == id)
            return true;
    }
    return false;
}

InstallData::InstallData(const std::vector<PackageInfo>& rows, const std::wstring& directory,
                         const std::wstring& msiOption, bool silent, bool removalMode, bool update)
    : m_directory(removalMode ? std::wstring() : directory),
      m_msiOption(msiOption),
      m_uiMode(silent ? 0 : 1)
{
    OV_TRACE_FUNCTION();
    for (const PackageInfo& row : rows)
        m_packages.push_back(std::make_shared<MsiPackage>(row, m_directory));

    m_userActionNeeded = false;
    if (m_packages.Contains(ControlCenterId))
    {
        m_installerType = 0;
        ApplyConsoleRule();
    }
    else
    {
        m_installerType = 1;
        ApplyServerRule(removalMode, update);
    }
}

void InstallData::ApplyConsoleRule()
{
    OV_TRACE_FUNCTION();
    IMsiPackage& console = m_packages[ControlCenterId];
    if (console.IsInstalled())
    {
        // The summary window offers modify or removal.
        m_userActionNeeded = true;
        return;
    }
    OV_TRACE(OvBase::TraceInfo, L"Console package action is set to Install");
    console.SetAction(MsiActionInstall);
    m_userActionNeeded = false;
}

void InstallData::ApplyServerRule(bool removalMode, bool update)
{
    OV_TRACE_FUNCTION();
    if (removalMode)
    {
        OV_TRACE(OvBase::TraceInfo, L"Remove from control panel is called");
        for (const auto& package : m_packages)
        {
            if (!package->IsInstalled())
                continue;
            package->SetAction(MsiActionUninstall);
            OV_TRACE(OvBase::TraceInfo, L"Package '%s' is installed, action is set to Uninstall",
                     package->GetName().c_str());
        }
        return;
    }
    if (m_uiMode == 1)
    {
        // The summary window offers the update itself.
        if (update)
            OV_TRACE(OvBase::TraceWarning, L"/update takes effect with /script only: the choice is asked for");
        m_userActionNeeded = true;
        return;
    }

    OV_TRACE(OvBase::TraceInfo, L"Silent install called");
    if (update && ApplyUpdateRule())
        return;
    if (m_packages[SecurityServerId].IsInstalled())
    {
        OV_TRACE(OvBase::TraceWarning, L"Security Server is already installed, do nothing");
        return;
    }
    // A silent run never installs the Synchronization service.
    m_packages[SecurityServerId].SetAction(MsiActionInstall);
    m_packages[AuthServerId].SetAction(MsiActionInstall);
}

bool InstallData::ApplyUpdateRule()
{
    OV_TRACE_FUNCTION();
    bool installed = false;
    bool newer = false;
    for (const auto& package : m_packages)
    {
        installed = installed || package->IsInstalled();
        newer = newer || (package->IsInstalled() && package->CanBeUpdated());
    }
    if (!installed)
    {
        OV_TRACE(OvBase::TraceInfo, L"Update requested: no server package is installed, installing");
        return false;
    }
    if (!newer)
    {
        OV_TRACE(OvBase::TraceInfo, L"Update requested: the installed packages are current, nothing to do");
        return true;
    }
    OV_TRACE(OvBase::TraceInfo, L"Update requested: a newer build is in the distribution, updating the installed packages");
    // The boxes as installed, as the summary window's Update takes them: a current package
    // is left alone, one that is not installed stays so.
    for (const auto& package : m_packages)
    {
        if (package->IsInstalled())
            SetUserAction(package->GetId(), true);
    }
    return true;
}

bool InstallData::IsUserActionNeeded() const
{
    return m_uiMode == 1 && m_userActionNeeded;
}

MsiAction InstallData::GetUserAction(const IMsiPackage& package, bool checked)
{
    if (checked)
    {
        if (!package.IsInstalled())
            return MsiActionInstall;
        return package.CanBeUpdated() ? MsiActionUpdate : MsiActionNone;
    }
    return package.IsInstalled() ? MsiActionUninstall : MsiActionNone;
}

void InstallData::SetUserAction(PackageId id, bool checked)
{
    OV_TRACE_FUNCTION();
    IMsiPackage& package = m_packages[id];
    const MsiAction action = GetUserAction(package, checked);
    package.SetAction(action);
    OV_TRACE(OvBase::TraceInfo, L"Package '%s' is '%s', action is '%s'", package.GetName().c_str(),
             checked ? L"checked" : L"unchecked", to_wstring(action).c_str());
}

void InstallData::UninstallAll()
{
    for (const auto& package : m_packages)
    {
        if (package->IsInstalled())
            package->SetAction(MsiActionUninstall);
    }
}
}
