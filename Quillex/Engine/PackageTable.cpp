#include "PackageTable.h"

#include <windows.h>

#include "ProductGuids.h"
#include "ResString.h"
#include "res/resource.h"

namespace ovinst
{
namespace
{
struct Row
{
    PackageId id;
    const wchar_t* fileName;
    UINT displayNameId;
    const wchar_t* russianTransform;
    const wchar_t* otherTransform;
    const wchar_t* upgradeCode;
    const wchar_t* logFileName;
    bool critical;
};

// The English build applies no transform.
const Row kServerRows[] = {
    {SecurityServerId, L"SecurityServer.msi", IDS_SECURITY_SERVER, L":SecurityServer.ru-RU.mst",
     L":SecurityServer.es-ES.mst", OV_UPGRADE_CODE_SECURITY_SERVER, L"SB.txt", true},
    {AuthServerId, L"AuthServer.msi", IDS_AUTH_SERVER, L":1049", L":3082",
     OV_UPGRADE_CODE_AUTH_SERVER, L"SA.txt", true},
    {SyncServiceId, L"FederationSyncService.msi", IDS_SYNC_SERVICE,
     L":FederationSyncService.ru-RU.mst", L":FederationSyncService.es-ES.mst",
     OV_UPGRADE_CODE_SYNC_SERVICE, L"SS.txt", false},
};

const Row kConsoleRows[] = {
    {ControlCenterId, L"ControlCenter.msi", IDS_CONTROL_CENTER, L":ControlCenter.ru-RU.mst",
     L":ControlCenter.es-ES.mst", OV_UPGRADE_CODE_CONTROL_CENTER, L"OM.txt", true},
};

template <size_t N>
std::vector<PackageInfo> Build(const Row (&rows)[N])
{
    std::vector<PackageInfo> infos;
    for (const Row& row : rows)
    {
        infos.push_back({row.id,
                         row.fileName,
                         utils::LoadResString(row.displayNameId),
                         {{LanguageRussian, row.russianTransform}, {LanguageOther, row.otherTransform}},
                         row.upgradeCode,
                         row.logFileName,
                         row.critical});
    }
    return infos;
}
}

std::vector<PackageInfo> ServerPackageRows()
{
    return Build(kServerRows);
}

std::vector<PackageInfo> ConsolePackageRows()
{
    return Build(kConsoleRows);
}

int GetLanguageIndex()
{
    const std::wstring culture = utils::LoadResString(IDS_BUILD_LANGUAGE);
    if (culture == L"ru-RU")
        return LanguageRussian;
    if (culture == L"en-US")
        return LanguageEnglish;
    return LanguageOther;
}
}
