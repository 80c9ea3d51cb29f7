// The C/C++ runtime the server packages need, 64-bit and 32-bit: whether it is present,
// and the silent installation of the missing redistributables.
#pragma once

#include <string>
#include <vector>

namespace instutils
{
class Runtime
{
public:
    struct Package
    {
        std::wstring minimumProductCode;
        std::wstring additionalProductCode;
        std::wstring installerFile;
    };

    Runtime();

    // Both parts of the package are installed.
    bool CheckRuntime(const Package& package);
    // Every package is present; stops at the first missing one.
    bool IsInstalled();
    // Runs the installer of every missing package from the folder; throws COvError when
    // one cannot be started or fails.
    void Install(const std::wstring& folder);

    const std::vector<Package>& GetPackages() const { return m_packages; }
    const std::wstring& GetName() const { return m_name; }

private:
    std::vector<Package> m_packages;
    std::wstring m_name;
};
} // namespace instutils
