// A package of the distribution: installed or not, whether the distribution's file can
// update it, its versions and the action chosen for it.
#pragma once

#include "IMsiPackage.h"

class MsiPackage : public IMsiPackage
{
public:
    // directory: the distribution folder with its trailing backslash, or empty in removal
    // mode (then no package file is opened).
    MsiPackage(const ovinst::PackageInfo& info, const std::wstring& directory);

    ovinst::PackageId GetId() const override { return m_info.id; }
    std::wstring GetFileName() const override { return m_info.fileName; }
    std::wstring GetName() const override { return m_info.displayName; }
    std::wstring GetLogFileName() const override { return m_info.logFileName; }
    std::wstring GetUpgradeCode() const override { return m_info.upgradeCode; }
    std::wstring GetInstalledVersion() const override { return m_installedVersion; }
    std::wstring GetNewVersion() const override { return m_newVersion; }
    bool IsInstalled() const override { return m_installed; }
    bool CanBeUpdated() const override { return m_canBeUpdated; }
    bool IsCritical() const override { return m_info.critical; }
    MsiAction GetAction() const override { return m_action; }
    std::wstring GetTransform(int languageIndex) const override;
    void SetAction(MsiAction action) override { m_action = action; }

    // A value of the package's Property table (name compared ignoring case), after the
    // transform when one is given; empty when the table has no such row.
    static std::wstring GetProperty(const std::wstring& path, const std::wstring& name,
                                    const std::wstring& transform);
    // The package's ProductVersion, or empty when it cannot be read; never throws.
    static std::wstring GetPackageVersion(const std::wstring& path);

private:
    void Init();
    void ReadVersions(const std::wstring& path);

    ovinst::PackageInfo m_info;
    std::wstring m_installedVersion = L"n/a";
    std::wstring m_newVersion = L"n/a";
    bool m_installed = false;
    bool m_canBeUpdated = false;
    MsiAction m_action = MsiActionNone;
    std::wstring m_directory;
};
