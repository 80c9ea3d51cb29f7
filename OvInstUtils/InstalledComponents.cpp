#include "InstalledComponents.h"

#include "ComponentNameIds.h"
#include "MsiQueries.h"
#include "ProductGuids.h"
#include "ResString.h"
#include "Trace.h"

namespace instutils
{
namespace
{
struct KnownProduct
{
    const wchar_t* upgradeCode;
    unsigned nameId;
};

constexpr KnownProduct kKnownProducts[InstalledComponents::kEntryCount] = {
    {OV_UPGRADE_CODE_CLIENT_1, IDS_IC_CLIENT_SOFTWARE},
    {OV_UPGRADE_CODE_CLIENT_2, IDS_IC_CLIENT_SOFTWARE},
    {OV_UPGRADE_CODE_CONTROL_CENTER, IDS_IC_CONTROL_CENTER},
    {OV_UPGRADE_CODE_SECURITY_SERVER, IDS_IC_SECURITY_SERVER},
    {OV_UPGRADE_CODE_UPDATE_SERVER, IDS_IC_UPDATE_SERVER},
    {OV_UPGRADE_CODE_CSP, IDS_IC_CSP},
};
} // namespace

InstalledComponents::InstalledComponents()
{
    for (size_t i = 0; i < kEntryCount; ++i)
    {
        m_entries[i].upgradeCode = kKnownProducts[i].upgradeCode;
        m_entries[i].displayName = utils::LoadResString(kKnownProducts[i].nameId);
    }

    OV_TRACE_FUNCTION();
    OV_TRACE(OvBase::TraceInfo, L"Following components was found:");
    for (size_t i = 0; i < kEntryCount; ++i)
    {
        Entry& entry = m_entries[i];
        entry.found = msi::IsInstalledByUpgradeCode(entry.upgradeCode.c_str());
        OV_TRACE(OvBase::TraceInfo, L"%s: %s", entry.displayName.c_str(), entry.found ? L"installed" : L"NOT installed");
        if (entry.found)
            m_found.push_back(static_cast<int>(i));
    }
}
} // namespace instutils

bool AnyComponentInstalled()
{
    if (!instutils::InstalledComponents().GetFound().empty())
        return true;
    return msi::IsComponentInUse(OV_SHARED_COMPONENT_ID);
}
