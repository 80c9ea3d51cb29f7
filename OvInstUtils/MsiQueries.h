#pragma once

// What Windows Installer knows about the product family on this machine.
namespace msi
{
// True when at least one product uses the component; throws on an unexpected result.
bool IsComponentInUse(const wchar_t* componentId);
// True when a product with the upgrade code is installed.
bool IsInstalledByUpgradeCode(const wchar_t* upgradeCode);
// True only when the product is installed for the machine in its default state.
bool IsInstalledByProductCode(const wchar_t* productCode);
} // namespace msi
