#include "ScopedInstall.h"

#include <msi.h>

#include <vector>

namespace testsupport
{
std::wstring DistFolder()
{
    return std::wstring(OV_DIST_DIR) + L"\\";
}

std::wstring NewerFolder()
{
    return std::wstring(OV_SAMPLES_DIR) + L"\\v2\\";
}

std::wstring DistPackage(const wchar_t* fileName)
{
    return DistFolder() + fileName;
}

std::wstring NewerPackage(const wchar_t* fileName)
{
    return NewerFolder() + fileName;
}

namespace
{
std::vector<std::wstring> RelatedProducts(const wchar_t* upgradeCode)
{
    std::vector<std::wstring> products;
    wchar_t product[39] = {};
    for (DWORD i = 0; ::MsiEnumRelatedProductsW(upgradeCode, 0, i, product) == ERROR_SUCCESS; ++i)
        products.emplace_back(product);
    return products;
}
}

bool IsAnyInstalled(const wchar_t* upgradeCode)
{
    return !RelatedProducts(upgradeCode).empty();
}

void RemoveByUpgradeCode(const wchar_t* upgradeCode)
{
    ::MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
    for (const std::wstring& product : RelatedProducts(upgradeCode))
        ::MsiConfigureProductExW(product.c_str(), INSTALLLEVEL_DEFAULT, INSTALLSTATE_ABSENT,
                                 L"REBOOT=ReallySuppress");
}

ScopedInstall::ScopedInstall(const std::wstring& packagePath, const wchar_t* upgradeCode)
    : m_upgradeCode(upgradeCode)
{
    ::MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
    m_result = ::MsiInstallProductW(packagePath.c_str(), L"REBOOT=ReallySuppress");
}

ScopedInstall::~ScopedInstall()
{
    RemoveByUpgradeCode(m_upgradeCode.c_str());
}
}
