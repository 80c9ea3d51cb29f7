#include "MsiQueries.h"

#include "MsiApi.h"
#include "OvErrorObject.h"
#include "Trace.h"

namespace msi
{
bool IsComponentInUse(const wchar_t* componentId)
{
    OV_TRACE_FUNCTION();
    wchar_t product[39] = {};
    const UINT result = Api().EnumClientsW(componentId, 0, product);
    if (result == ERROR_UNKNOWN_COMPONENT || result == ERROR_NO_MORE_ITEMS)
        return false;
    if (result != ERROR_SUCCESS)
        ThrowErrorCode(result);
    return true;
}

bool IsInstalledByUpgradeCode(const wchar_t* upgradeCode)
{
    OV_TRACE_FUNCTION();
    wchar_t product[39] = {};
    const bool installed = Api().EnumRelatedProductsW(upgradeCode, 0, 0, product) == ERROR_SUCCESS;
    OV_TRACE(OvBase::TraceInfo, L" '%s' is installed: '%i'", upgradeCode, installed ? 1 : 0);
    return installed;
}

bool IsInstalledByProductCode(const wchar_t* productCode)
{
    OV_TRACE_FUNCTION();
    const INSTALLSTATE state = Api().QueryProductStateW(productCode);
    OV_TRACE(OvBase::TraceInfo, L"MsiQueryProductState '%s': '%i'", productCode, static_cast<int>(state));
    return state == INSTALLSTATE_DEFAULT;
}
} // namespace msi
