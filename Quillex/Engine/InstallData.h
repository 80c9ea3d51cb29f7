// The install data of a run: the packages of one set and the rules that choose their
// actions for console, removal, silent and interactive runs.
#pragma once

#include "IInstallData.h"

namespace ovinst
{
class InstallData : public IInstallData
{
public:
    // directory: the distribution folder with its trailing backslash. Removal mode (a run
    // started by an uninstaller) ignores it and never opens a package file. update: a silent
    // server run updates the installed packages that have a newer build in the distribution.
    InstallData(const std::vector<PackageInfo>& rows, const std::wstring& directory,
                const std::wstring& msiOption, bool silent, bool removalMode, bool update = false);

    Packages& GetPackages() override { return m_packages; }
    const Packages& GetPackages() const override { return m_packages; }
    int GetUIMode() const override { return m_uiMode; }
    std::wstring GetDirectory() const override { return m_directory; }
    std::wstring GetMsiOption() const override { return m_msiOption; }
    int GetInstallerType() const override { return m_installerType; }
    void UninstallAll() override;
    void SetUserAction(PackageId id, bool checked) override;
    bool IsUserActionNeeded() const override;

    // The action a check box state means for the package.
    static MsiAction GetUserAction(const IMsiPackage& package, bool checked);

private:
    void ApplyConsoleRule();
    void ApplyServerRule(bool removalMode, bool update);
    // True when the update request decided the actions; false when nothing is installed.
    bool ApplyUpdateRule();

    std::wstring m_directory;
    std::wstring m_msiOption;
    int m_uiMode;
    Packages m_packages;
    bool m_userActionNeeded = false;
    int m_installerType = 1;
};
}
