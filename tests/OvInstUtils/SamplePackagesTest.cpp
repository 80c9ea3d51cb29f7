// The sample packages are the fixtures of every installation test: check that they carry the
// program's own codes and write what the program reads.
#include "MachineKeyBackup.h"
#include "MsiApi.h"
#include "ProductGuids.h"
#include "ProductRegistry.h"
#include "ScopedInstall.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
std::wstring ReadProperty(const std::wstring& package, const wchar_t* name)
{
    const msi::MsiFunctions& api = msi::Api();
    msi::CMsiHandle database;
    if (api.OpenDatabaseW(package.c_str(), MSIDBOPEN_READONLY, database.Put()) != ERROR_SUCCESS)
        return L"<no database>";
    msi::CMsiHandle view;
    const std::wstring query = std::wstring(L"SELECT `Value` FROM `Property` WHERE `Property` = '") + name + L"'";
    if (api.DatabaseOpenViewW(database, query.c_str(), view.Put()) != ERROR_SUCCESS || api.ViewExecute(view, 0) != ERROR_SUCCESS)
        return L"<no view>";
    msi::CMsiHandle record;
    if (api.ViewFetch(view, record.Put()) != ERROR_SUCCESS)
        return L"<no row>";
    wchar_t value[100] = {};
    DWORD size = 100;
    api.RecordGetStringW(record, 1, value, &size);
    return value;
}

std::wstring ReadMachineString(const wchar_t* path, const wchar_t* name)
{
    DWORD type = 0;
    std::vector<BYTE> data;
    if (!testsupport::GetMachineValue(path, name, type, data) || type != REG_SZ)
        return L"<missing>";
    return reinterpret_cast<const wchar_t*>(data.data());
}

struct SampleBuild
{
    const wchar_t* path;
    const wchar_t* upgradeCode;
    const wchar_t* productCode;
    const wchar_t* version;
};

const std::wstring kSamples = OV_SAMPLES_DIR;
const SampleBuild kBuilds[] = {
    {L"\\dist\\SecurityServer.msi", OV_UPGRADE_CODE_SECURITY_SERVER, OV_SAMPLE_PRODUCT_SECURITY_SERVER_1, OV_SAMPLE_VERSION_1},
    {L"\\v2\\SecurityServer.msi", OV_UPGRADE_CODE_SECURITY_SERVER, OV_SAMPLE_PRODUCT_SECURITY_SERVER_2, OV_SAMPLE_VERSION_2},
    {L"\\dist\\AuthServer.msi", OV_UPGRADE_CODE_AUTH_SERVER, OV_SAMPLE_PRODUCT_AUTH_SERVER_1, OV_SAMPLE_VERSION_1},
    {L"\\v2\\AuthServer.msi", OV_UPGRADE_CODE_AUTH_SERVER, OV_SAMPLE_PRODUCT_AUTH_SERVER_2, OV_SAMPLE_VERSION_2},
    {L"\\dist\\FederationSyncService.msi", OV_UPGRADE_CODE_SYNC_SERVICE, OV_SAMPLE_PRODUCT_SYNC_SERVICE_1, OV_SAMPLE_VERSION_1},
    {L"\\v2\\FederationSyncService.msi", OV_UPGRADE_CODE_SYNC_SERVICE, OV_SAMPLE_PRODUCT_SYNC_SERVICE_2, OV_SAMPLE_VERSION_2},
    {L"\\dist\\ControlCenter.msi", OV_UPGRADE_CODE_CONTROL_CENTER, OV_SAMPLE_PRODUCT_CONTROL_CENTER_1, OV_SAMPLE_VERSION_1},
    {L"\\v2\\ControlCenter.msi", OV_UPGRADE_CODE_CONTROL_CENTER, OV_SAMPLE_PRODUCT_CONTROL_CENTER_2, OV_SAMPLE_VERSION_2},
    {L"\\Orvane7.msi", OV_UPGRADE_CODE_ORVANE7_1, OV_SAMPLE_PRODUCT_ORVANE7, OV_SAMPLE_VERSION_ORVANE7},
    {L"\\CalderisCommon.msi", OV_SAMPLE_UPGRADE_CODE_COMMON, OV_SAMPLE_PRODUCT_COMMON, OV_SAMPLE_VERSION_1},
};
} // namespace

TEST(SamplePackages, CarryTheProgramsCodesAndVersions)
{
    for (const SampleBuild& build : kBuilds)
    {
        const std::wstring path = kSamples + build.path;
        SCOPED_TRACE(testing::PrintToString(path));
        EXPECT_EQ(build.upgradeCode, ReadProperty(path, L"UpgradeCode"));
        EXPECT_EQ(build.productCode, ReadProperty(path, L"ProductCode"));
        EXPECT_EQ(build.version, ReadProperty(path, L"ProductVersion"));
    }
}

TEST(SamplePackages, WriteTheValuesTheProgramReads)
{
    testsupport::ScopedInstall server(kSamples + L"\\dist\\SecurityServer.msi", OV_UPGRADE_CODE_SECURITY_SERVER);
    testsupport::ScopedInstall console(kSamples + L"\\dist\\ControlCenter.msi", OV_UPGRADE_CODE_CONTROL_CENTER);
    ASSERT_EQ(0u, server.Result());
    ASSERT_EQ(0u, console.Result());

    EXPECT_EQ(OV_SAMPLE_VERSION_1, ReadMachineString(instutils::kSecurityServerKeyPath, instutils::kSecurityServerVersionValue));
    EXPECT_EQ(OV_SAMPLE_VERSION_1, ReadMachineString(instutils::kControlCenterKeyPath, instutils::kControlCenterVersionValue));
    const std::wstring folder = ReadMachineString(instutils::kSecurityServerKeyPath, instutils::kSecurityServerInstallDirValue);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((folder + L"SecurityServer.txt").c_str())) << testing::PrintToString(folder);

    // The newer build rewrites the version.
    testsupport::ScopedInstall newer(kSamples + L"\\v2\\SecurityServer.msi", OV_UPGRADE_CODE_SECURITY_SERVER);
    ASSERT_EQ(0u, newer.Result());
    EXPECT_EQ(OV_SAMPLE_VERSION_2, ReadMachineString(instutils::kSecurityServerKeyPath, instutils::kSecurityServerVersionValue));
}
