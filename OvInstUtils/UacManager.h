// User Account Control: whether it is on, switching it off with a backup of the old
// values, and putting them back after the installation (also in a later process).
#pragma once

#include <windows.h>

class CUacManager
{
public:
    // Detects the system version; 0.0 (every operation does nothing) when it is older than 6.0.
    CUacManager();

    bool IsUacEnabled();
    // Reads the live values once per process.
    void Load();
    // ERROR_SUCCESS, or the error of the open or write that failed. Without a backup (when
    // asked for) nothing is switched off.
    LONG Disable(bool backup);
    // Keeps a backup value that exists: it holds the values from before an earlier run.
    LONG Backup();
    // Moves the backup values back into the live key; relies on the backup key only. A value
    // whose live write fails stays in the backup.
    void Restore();

    DWORD GetMajorVersion() const { return m_major; }
    DWORD GetMinorVersion() const { return m_minor; }

private:
    // "ConsentPromptBehaviorAdmin" counts from Windows 8 / Server 2012 on.
    bool UsesConsentPrompt() const { return m_major == 6 && m_minor > 1; }

    DWORD m_major = 0;
    DWORD m_minor = 0;
};

// Whether the process token grants the rights of the Administrators group.
bool IsUserAdmin();
