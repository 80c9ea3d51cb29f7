// A sample package really installed in the test prefix for one scope.
#pragma once

#include <windows.h>

#include <string>

namespace testsupport
{
// Path of a sample package: the distribution's first build, or the newer build.
std::wstring DistPackage(const wchar_t* fileName);
std::wstring NewerPackage(const wchar_t* fileName);
// Folders as the program forms package paths: with a trailing backslash.
std::wstring DistFolder();
std::wstring NewerFolder();

// Removes every product installed under the upgrade code.
void RemoveByUpgradeCode(const wchar_t* upgradeCode);
bool IsAnyInstalled(const wchar_t* upgradeCode);

// Installs the package silently; at the end of the scope every product of its upgrade code
// is removed again, so a later major upgrade inside the scope is cleaned up too.
class ScopedInstall
{
public:
    ScopedInstall(const std::wstring& packagePath, const wchar_t* upgradeCode);
    ~ScopedInstall();
    ScopedInstall(const ScopedInstall&) = delete;
    ScopedInstall& operator=(const ScopedInstall&) = delete;

    UINT Result() const { return m_result; }

private:
    std::wstring m_upgradeCode;
    UINT m_result;
};
}
