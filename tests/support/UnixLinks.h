// Links planted from the Unix side, as an attacker's junction would be on Windows: Wine reports
// a Unix symlink to a folder as a reparse point but cannot make one itself.
#pragma once

#include <string>

namespace ovtest
{
// The Unix path of a Windows path of the prefix; empty when there is none.
std::string UnixPath(const std::wstring& path);
// Starts a shell command line; true when it started (Wine does not wait for Unix processes).
bool RunUnix(const std::string& commandLine);
// `link` made a Unix symlink to `target`; true when Windows sees it as a reparse point.
bool PlantFolderLink(const std::wstring& link, const std::wstring& target);
// Removes a planted link itself (Windows calls would act on its target).
void RemoveLink(const std::wstring& link);

// Removes the link at the end of the scope, before a folder holding it is emptied.
class CPlantedLink
{
public:
    CPlantedLink(const std::wstring& link, const std::wstring& target) : m_link(link)
    {
        m_planted = PlantFolderLink(link, target);
    }
    ~CPlantedLink() { RemoveLink(m_link); }
    CPlantedLink(const CPlantedLink&) = delete;
    CPlantedLink& operator=(const CPlantedLink&) = delete;
    bool Planted() const { return m_planted; }

private:
    std::wstring m_link;
    bool m_planted = false;
};
}
