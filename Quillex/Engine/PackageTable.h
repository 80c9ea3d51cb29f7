// The fixed description of the server-side packages and the build's language.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace ovinst
{
// 0 and 1 are the status window's analysis lines, not packages.
enum PackageId : int
{
    SystemAnalysisId = 0,
    UpdatesAnalysisId = 1,
    SecurityServerId = 2,
    AuthServerId = 3,
    SyncServiceId = 4,
    ControlCenterId = 5,
};

// Selects each package's transform; the program is built per language.
enum LanguageIndex : int
{
    LanguageRussian = 0,
    LanguageEnglish = 1,
    LanguageOther = 2,
};

struct PackageInfo
{
    PackageId id;
    std::wstring fileName;
    std::wstring displayName;
    // TRANSFORMS value per language; a leading colon names a transform inside the package.
    std::map<int, std::wstring> transforms;
    std::wstring upgradeCode;
    std::wstring logFileName;
    // A non-critical package's failure does not end the run.
    bool critical;
};

// Security Server, Authentication Server, Synchronization service, in this order.
std::vector<PackageInfo> ServerPackageRows();
// The Control Center alone.
std::vector<PackageInfo> ConsolePackageRows();

// From the build's culture name: "ru-RU" 0, "en-US" 1, anything else 2.
int GetLanguageIndex();
}
