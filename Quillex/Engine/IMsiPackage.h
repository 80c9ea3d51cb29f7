// One Windows Installer package of the run and the action chosen for it.
#pragma once

#include <string>

#include "PackageTable.h"

enum MsiAction : int
{
    MsiActionNone = 0,
    MsiActionInstall = 1,
    MsiActionUpdate = 2,
    MsiActionUninstall = 3,
};

// "None", "Install", "Update", "Uninstall"; any other value throws "Not implemented!".
std::wstring to_wstring(MsiAction action);

class IMsiPackage
{
public:
    virtual ~IMsiPackage() = default;
    virtual ovinst::PackageId GetId() const = 0;
    virtual std::wstring GetFileName() const = 0;
    virtual std::wstring GetName() const = 0;
    virtual std::wstring GetLogFileName() const = 0;
    virtual std::wstring GetUpgradeCode() const = 0;
    virtual std::wstring GetInstalledVersion() const = 0;
    virtual std::wstring GetNewVersion() const = 0;
    virtual bool IsInstalled() const = 0;
    virtual bool CanBeUpdated() const = 0;
    virtual bool IsCritical() const = 0;
    virtual MsiAction GetAction() const = 0;
    virtual std::wstring GetTransform(int languageIndex) const = 0;
    virtual void SetAction(MsiAction action) = 0;
};
