// The external UI handler registered with Windows Installer while a package installs.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace ovinst
{
// Traces the installer's messages, keeps the last error text and suppresses the exit dialog.
int WINAPI MsiUiHandler(LPVOID context, UINT messageType, LPCWSTR message);

// The text of the last error message any installation of this process reported; never cleared.
std::wstring GetLastInstallerError();

// Values the handler masks in what it traces and keeps, for the scope of one installation:
// an installer may echo the properties it was given.
class CHandlerSecretsScope
{
public:
    explicit CHandlerSecretsScope(const std::vector<std::wstring>& secrets);
    ~CHandlerSecretsScope();
    CHandlerSecretsScope(const CHandlerSecretsScope&) = delete;
    CHandlerSecretsScope& operator=(const CHandlerSecretsScope&) = delete;
};

using MessageBoxFunction = int(WINAPI*)(HWND, LPCWSTR, LPCWSTR, UINT);

// The handler's message boxes go through this function; a test replaces it for one scope
// so that no box waits for a user.
class CUiHandlerMessageBoxOverride
{
public:
    explicit CUiHandlerMessageBoxOverride(MessageBoxFunction replacement);
    ~CUiHandlerMessageBoxOverride();
    CUiHandlerMessageBoxOverride(const CUiHandlerMessageBoxOverride&) = delete;
    CUiHandlerMessageBoxOverride& operator=(const CUiHandlerMessageBoxOverride&) = delete;

private:
    MessageBoxFunction m_previous;
};
}
