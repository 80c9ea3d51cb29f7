// A Windows Installer package of the distribution as a step: installs or updates it in
// process, removes its installed products through msiexec.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "Engine/ExecObject.h"
#include "Engine/IMsiPackage.h"
#include "ResponseFile.h"

namespace ovinst
{
struct InstallResult
{
    bool success = true;
    // The system's description of a failed result code.
    std::wstring errorText;
    // The last error text Windows Installer reported, when asked for.
    std::wstring installerErrorText;
};

// 0, 1641, 3010 and 3011 count as success.
bool IsInstallSuccess(UINT code);
InstallResult MakeInstallResult(UINT code, bool withInstallerError);
// The folder of the Windows Installer logs, created when missing, with a trailing backslash.
std::wstring GetMsiLogFolder();
// Folder and file name with one backslash between them (none for an empty folder).
std::wstring MakePackagePath(const std::wstring& folder, const std::wstring& fileName);

class MsiObjectBase : public IExecObject
{
public:
    MsiObjectBase(std::shared_ptr<IMsiPackage> package, const std::wstring& directory);
    ~MsiObjectBase() override;

    void Exec(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier) override;
    void Undo(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier) override = 0;
    virtual void Install(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier) = 0;
    virtual void Update(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier) = 0;
    virtual void Uninstall(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier) = 0;
    virtual std::wstring CommandLine(std::shared_ptr<IExecContext>& context) = 0;
    virtual std::wstring UninstallProperties() = 0;

protected:
    // Runs the package through MsiInstallProductW with a verbose log and the UI handler.
    InstallResult Install(std::shared_ptr<IExecContext>& context);
    // Removes every installed product of the package's upgrade code; always reports success.
    InstallResult Uninstall(bool addQuietSwitch);

    // Internal UI level by the run's mode, the installation, the status window shown again;
    // a failure aborts the sequence (Windows Installer's own interface has shown it, if any).
    void InstallOrAbort(std::shared_ptr<IExecContext>& context, INotifier& notifier, bool silent);
    // The removal between the line's start and end texts; `guardLine` marks the line failed
    // when the removal throws.
    void UninstallWithLine(INotifier& notifier, bool addQuietSwitch, bool guardLine);
    // Undo of a package step: removes the package when this step installed it afresh (its
    // product was not there before), between the rollback line's texts; nothing otherwise.
    void UndoFreshInstall(INotifier& notifier, bool addQuietSwitch);

    // Whether a product of the package's upgrade code is installed.
    bool IsAnyProductInstalled() const;
    std::wstring PackagePath() const { return MakePackagePath(m_directory, m_package->GetFileName()); }
    int PackageId() const { return static_cast<int>(m_package->GetId()); }
    // The status line's text: display name and the string-table text `id`.
    std::wstring LineText(UINT id) const;
    // " TRANSFORMS=\"<list>\"" for the build's language, or empty.
    std::wstring TransformPart() const;
    // The command line as the log may show it.
    void LogCommandLine(const std::wstring& shown) const;
    // The option "msi", the fixed properties, the transforms and the response file's part;
    // logged with the passwords masked.
    std::wstring OptionCommandLine(const std::wstring& msiOption, const ResponseFileCommandLine& settings) const;

    std::shared_ptr<IMsiPackage> m_package;
    std::wstring m_directory;
    // This step's installation put the package on the machine where none of its products was.
    bool m_installedFresh = false;
};
}
