// The manifest inside the built program: Wine ignores the elevation request, Windows does not.
#include <gtest/gtest.h>

#include <windows.h>

#include <regex>
#include <string>

namespace
{
std::string ProgramManifest()
{
    const std::wstring path = std::wstring(OV_BIN_DIR) + L"\\Setup.exe";
    HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!module)
        return {};
    std::string text;
    if (HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24)))
        if (HGLOBAL loaded = LoadResource(module, resource))
            text.assign(static_cast<const char*>(LockResource(loaded)), SizeofResource(module, resource));
    FreeLibrary(module);
    return text;
}
}

TEST(Manifest, SetupAsksForAdministratorRights)
{
    const std::string manifest = ProgramManifest();
    ASSERT_FALSE(manifest.empty()) << "no manifest resource in Setup.exe";
    // One request, inside trustInfo/security/requestedPrivileges.
    const std::regex request(
        "<trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\">\\s*<security>\\s*<requestedPrivileges>\\s*"
        "<requestedExecutionLevel level=\"requireAdministrator\" uiAccess=\"false\"\\s*/>\\s*</requestedPrivileges>");
    EXPECT_TRUE(std::regex_search(manifest, request)) << manifest;
    EXPECT_EQ(manifest.find("asInvoker"), std::string::npos);
    EXPECT_EQ(manifest.find("highestAvailable"), std::string::npos);
}
