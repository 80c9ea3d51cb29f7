#pragma once

#include <array>
#include <string>
#include <vector>

namespace instutils
{
// Which products of the family are installed, by their upgrade codes; filled on
// construction.
class InstalledComponents
{
public:
    struct Entry
    {
        bool found = false;
        std::wstring upgradeCode;
        std::wstring displayName;
    };
    static constexpr size_t kEntryCount = 6;

    InstalledComponents();

    const std::array<Entry, kEntryCount>& GetEntries() const { return m_entries; }
    // Indices of the found entries, ascending.
    const std::vector<int>& GetFound() const { return m_found; }

private:
    std::array<Entry, kEntryCount> m_entries;
    std::vector<int> m_found;
};
} // namespace instutils

// True when anything of the product family is present: a product of the scan above, or any
// product that still uses the family's shared component.
bool AnyComponentInstalled();
