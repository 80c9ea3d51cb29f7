#pragma once

#include <string>
#include <vector>

namespace utils
{
// Package files that have to lie next to the program before an installer starts.
class CheckPackages
{
public:
    explicit CheckPackages(std::vector<std::wstring> names);

    // True when the file exists in the program's folder.
    bool PackageExist(const std::wstring& name) const;
    // True when every listed file exists; stops at the first missing one.
    bool CheckAll() const;

private:
    std::vector<std::wstring> m_names;
};
} // namespace utils
