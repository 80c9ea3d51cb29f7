// A package whose description a test sets field by field, for steps that need no real file.
#pragma once

#include "Engine/IMsiPackage.h"

#include <map>
#include <string>

namespace testsupport
{
class TestPackage : public IMsiPackage
{
public:
    ovinst::PackageId id = ovinst::SecurityServerId;
    std::wstring fileName = L"SecurityServer.msi";
    std::wstring name = L"Security Server";
    std::wstring logFileName = L"SB.txt";
    std::wstring upgradeCode = L"{00000000-0000-0000-0000-000000000000}";
    std::map<int, std::wstring> transforms;
    MsiAction action = MsiActionInstall;
    bool critical = true;

    ovinst::PackageId GetId() const override { return id; }
    std::wstring GetFileName() const override { return fileName; }
    std::wstring GetName() const override { return name; }
    std::wstring GetLogFileName() const override { return logFileName; }
    std::wstring GetUpgradeCode() const override { return upgradeCode; }
    std::wstring GetInstalledVersion() const override { return L"n/a"; }
    std::wstring GetNewVersion() const override { return L"n/a"; }
    bool IsInstalled() const override { return false; }
    bool CanBeUpdated() const override { return false; }
    bool IsCritical() const override { return critical; }
    MsiAction GetAction() const override { return action; }
    std::wstring GetTransform(int languageIndex) const override
    {
        const auto it = transforms.find(languageIndex);
        return it == transforms.end() ? std::wstring() : it->second;
    }
    void SetAction(MsiAction value) override { action = value; }
};
}
