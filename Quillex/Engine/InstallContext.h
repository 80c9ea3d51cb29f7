// What the run was started with and what the machine is: command line, OS version,
// distribution folder, prerequisite folders, restart-on-exit flag.
#pragma once

#include <windows.h>

#include <array>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "CmdLineParser.h"

namespace utils
{
// Codes the prerequisite steps compare; 0 = not detected or older than Vista / 2008.
enum OsVersion : int
{
    OsUnknown = 0,
    OsVista = 4,
    OsWin7 = 5,
    OsServer2008 = 6,
    OsServer2008R2 = 7,
    OsWin8 = 8,
    OsServer2012 = 9,
    OsWin81 = 10,
    OsServer2012R2 = 11,
};

struct CommandLineSettings
{
    bool silent = false;
    bool reboot = false;
    std::wstring settingFile;
};

class CInstallContext
{
public:
    enum PrerequisiteFolder
    {
        FolderRuntime = 0,
        FolderWindowsInstaller = 1,
        FolderWindowsSearch = 2,
        FolderKmdf = 3,
        FolderDotNet = 4,
        FolderMsxml6 = 5,
        FolderXpsEp = 6,
        FolderOracleClient = 7,
        FolderCount = 8,
    };

    // The process-wide context, constructed on first use.
    static CInstallContext& Instance();

    // Detects the machine and reads setup.ini; public so that tests can build their own.
    CInstallContext();
    ~CInstallContext();
    CInstallContext(const CInstallContext&) = delete;
    CInstallContext& operator=(const CInstallContext&) = delete;

    bool ParseCommandLine(const std::wstring& text);
    // Takes a command line parsed already, so that the run reads it one way only.
    void SetCommandLine(const CCmdLineParser& parsed);
    const CCmdLineParser& GetCommandLineParser() const { return *m_parser; }
    const std::wstring& GetCommandLine() const;

    bool IsSilent() const;
    bool IsAutoInstall() const;
    bool IsUnattended() const;
    bool HasRebootOption() const;
    std::wstring GetMsiOption() const;
    DWORD GetParentPid() const;
    std::wstring GetSettingFile() const;
    CommandLineSettings GetSettings() const;

    // Options for deployment tools.
    // "/update" (with "/script"): installed packages with a newer build are updated.
    bool IsUpdate() const;
    // "/uninstall": every installed server package is removed, no parent process waited for.
    bool IsUninstall() const;
    // A removal run: started by the uninstaller with "/PID", or with "/uninstall".
    bool IsRemovalMode() const;
    // "/restartexitcode:<n>": the exit code of a run that succeeded and left a needed
    // restart undone. False when the option is absent or its value is not a decimal
    // number of at most 32 bits.
    bool HasRestartExitCode() const;
    // text, when given, receives the value as written.
    bool GetRestartExitCode(DWORD& code, std::wstring* text = nullptr) const;
    // Every option the program knows, in lower case.
    static const std::vector<std::wstring>& KnownOptions();
    // The options given that are not among them, as stored (lower case).
    std::vector<std::wstring> GetUnknownOptions() const;

    int GetOsVersion() const { return m_osVersion; }
    const std::wstring& GetDistributionFolder() const { return m_distributionFolder; }
    const std::wstring& GetRuntimePath() const { return m_prerequisiteFolders[FolderRuntime]; }
    const std::wstring& GetDotNetPath() const { return m_prerequisiteFolders[FolderDotNet]; }
    const std::wstring& GetPrerequisiteFolder(PrerequisiteFolder index) const
    {
        return m_prerequisiteFolders[index];
    }

    void SetRestartOnExit(bool restart) { m_restartOnExit.store(restart); }
    bool IsRestartOnExit() const { return m_restartOnExit.load(); }
    // A step changed something that needs a restart; also in a silent run, which never
    // restarts the computer itself.
    void SetRestartNeeded(bool needed) { m_restartNeeded.store(needed); }
    bool IsRestartNeeded() const { return m_restartNeeded.load(); }
    // The run reached its end with a needed restart that it did not carry out.
    void SetRestartPending(bool pending) { m_restartPending.store(pending); }
    bool IsRestartPending() const { return m_restartPending.load(); }

    // Reads the "Paths" section of the file in the distribution folder; a missing file,
    // section, key or an empty value keeps the folder's default.
    void LoadSettingsFromIniFile(const std::wstring& fileName);

private:
    int m_osVersion = OsUnknown;
    std::atomic<bool> m_restartOnExit{false};
    std::atomic<bool> m_restartNeeded{false};
    std::atomic<bool> m_restartPending{false};
    std::wstring m_distributionFolder;
    std::unique_ptr<CCmdLineParser> m_parser;
    std::array<std::wstring, FolderCount> m_prerequisiteFolders;
};
}
