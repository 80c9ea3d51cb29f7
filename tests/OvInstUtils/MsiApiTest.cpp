#include "MsiApi.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "CatchOvError.h"

namespace
{
std::vector<MSIHANDLE> g_closed;

UINT WINAPI RecordClose(MSIHANDLE h)
{
    g_closed.push_back(h);
    return 0;
}

INSTALLSTATE WINAPI StateDefault(LPCWSTR)
{
    return INSTALLSTATE_DEFAULT;
}

INSTALLSTATE WINAPI StateAdvertised(LPCWSTR)
{
    return INSTALLSTATE_ADVERTISED;
}

UINT WINAPI InstallBusy(LPCWSTR, LPCWSTR)
{
    return ERROR_INSTALL_ALREADY_RUNNING;
}

const wchar_t kUnknownProduct[] = L"{0F1E2D3C-4B5A-4969-8877-665544332211}";

// Folder of the module that holds the code at the address, lower case.
std::wstring ModuleFolder(const void* address)
{
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCWSTR>(address), &module))
        return L"";
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
    std::wstring folder(path, length);
    folder.erase(folder.find_last_of(L'\\'));
    for (wchar_t& c : folder)
        c = towlower(c);
    return folder;
}

// Every entry of a table, called with harmless arguments.
struct Entry
{
    const char* name;
    std::function<void(const msi::MsiFunctions&)> call;
};

std::vector<Entry> AllEntries()
{
    static wchar_t buffer[64];
    static DWORD size = 64;
    static MSIHANDLE handle = 0;
    return {
        {"MsiSetInternalUI", [](const msi::MsiFunctions& f) { f.SetInternalUI(INSTALLUILEVEL_NONE, nullptr); }},
        {"MsiSetExternalUIW", [](const msi::MsiFunctions& f) { f.SetExternalUIW(nullptr, 0, nullptr); }},
        {"MsiEnableLogW", [](const msi::MsiFunctions& f) { f.EnableLogW(0, nullptr, 0); }},
        {"MsiInstallProductW", [](const msi::MsiFunctions& f) { f.InstallProductW(L"x.msi", L""); }},
        {"MsiEnumRelatedProductsW", [](const msi::MsiFunctions& f) { f.EnumRelatedProductsW(kUnknownProduct, 0, 0, buffer); }},
        {"MsiQueryProductStateW", [](const msi::MsiFunctions& f) { f.QueryProductStateW(kUnknownProduct); }},
        {"MsiEnumClientsW", [](const msi::MsiFunctions& f) { f.EnumClientsW(kUnknownProduct, 0, buffer); }},
        {"MsiOpenDatabaseW", [](const msi::MsiFunctions& f) { f.OpenDatabaseW(L"x.msi", MSIDBOPEN_READONLY, &handle); }},
        {"MsiDatabaseApplyTransformW", [](const msi::MsiFunctions& f) { f.DatabaseApplyTransformW(0, L"x.mst", 0x3F); }},
        {"MsiDatabaseOpenViewW", [](const msi::MsiFunctions& f) { f.DatabaseOpenViewW(0, L"SELECT * FROM Property", &handle); }},
        {"MsiViewExecute", [](const msi::MsiFunctions& f) { f.ViewExecute(0, 0); }},
        {"MsiViewFetch", [](const msi::MsiFunctions& f) { f.ViewFetch(0, &handle); }},
        {"MsiRecordGetStringW", [](const msi::MsiFunctions& f) { f.RecordGetStringW(0, 1, buffer, &size); }},
        {"MsiOpenPackageW", [](const msi::MsiFunctions& f) { f.OpenPackageW(L"x.msi", &handle); }},
        {"MsiGetProductPropertyW", [](const msi::MsiFunctions& f) { f.GetProductPropertyW(0, L"ProductVersion", buffer, &size); }},
        {"MsiGetProductInfoW", [](const msi::MsiFunctions& f) { f.GetProductInfoW(kUnknownProduct, L"VersionString", buffer, &size); }},
        {"MsiBeginTransactionW", [](const msi::MsiFunctions& f) { HANDLE event = nullptr; f.BeginTransactionW(L"t", 0, &handle, &event); }},
        {"MsiEndTransaction", [](const msi::MsiFunctions& f) { f.EndTransaction(0); }},
    };
}

} // namespace

TEST(MsiApi, DefaultsReachTheSystemsWindowsInstaller)
{
    wchar_t system[MAX_PATH];
    std::wstring systemFolder(system, GetSystemDirectoryW(system, MAX_PATH));
    for (wchar_t& c : systemFolder)
        c = towlower(c);
    EXPECT_EQ(ModuleFolder(reinterpret_cast<const void*>(msi::Api().InstallProductW)), systemFolder);
    EXPECT_EQ(INSTALLSTATE_UNKNOWN, msi::Api().QueryProductStateW(kUnknownProduct));
    // A fresh table is the system's too.
    EXPECT_EQ(msi::MsiFunctions().QueryProductStateW, msi::Api().QueryProductStateW);
}

TEST(MsiApi, OverrideLastsForItsScopeAndNests)
{
    const auto realState = msi::Api().QueryProductStateW;
    const auto realInstall = msi::Api().InstallProductW;
    {
        msi::CMsiApiOverride outer;
        outer->QueryProductStateW = StateDefault;
        EXPECT_EQ(INSTALLSTATE_DEFAULT, msi::Api().QueryProductStateW(kUnknownProduct));
        {
            msi::CMsiApiOverride inner;
            inner->QueryProductStateW = StateAdvertised;
            inner->InstallProductW = InstallBusy;
            EXPECT_EQ(INSTALLSTATE_ADVERTISED, msi::Api().QueryProductStateW(kUnknownProduct));
            EXPECT_EQ(StateDefault, inner.Previous().QueryProductStateW);
            EXPECT_EQ(UINT(ERROR_INSTALL_ALREADY_RUNNING), msi::Api().InstallProductW(L"x.msi", L""));
        }
        EXPECT_EQ(INSTALLSTATE_DEFAULT, msi::Api().QueryProductStateW(kUnknownProduct));
        EXPECT_EQ(realInstall, msi::Api().InstallProductW);
    }
    EXPECT_EQ(realState, msi::Api().QueryProductStateW);
}

// Without msi.dll, or with a module that lacks the functions, every entry throws an error
// that names the function; none is left unset to crash the program.
TEST(MsiApi, MissingFunctionsThrowNamedErrors)
{
    struct Case
    {
        const char* what;
        HMODULE module;
        DWORD code;
    } cases[] = {
        {"no module", nullptr, 0x8007007E},
        {"module without the exports", GetModuleHandleW(L"kernel32.dll"), 0x8007007F},
    };
    for (const Case& c : cases)
    {
        const msi::MsiFunctions table(c.module);
        for (const Entry& entry : AllEntries())
        {
            auto error = testsupport::CatchOvError([&] { entry.call(table); });
            ASSERT_TRUE(error) << c.what << ": " << entry.name;
            EXPECT_EQ(error->GetCode(), c.code) << c.what << ": " << entry.name;
            const std::wstring description = error->GetDescription();
            EXPECT_NE(description.find(std::wstring(entry.name, entry.name + strlen(entry.name))), std::wstring::npos)
                << c.what << ": " << entry.name;
            EXPECT_NE(description.find(L"msi.dll"), std::wstring::npos);
        }
        // Runs in destructors: fails quietly, there is nothing it could have opened.
        EXPECT_EQ(table.CloseHandle(1), UINT(ERROR_INVALID_HANDLE)) << c.what;
    }
}

TEST(MsiApi, HandleIsClosedOnceThroughTheTable)
{
    msi::CMsiApiOverride guard;
    guard->CloseHandle = RecordClose;
    g_closed.clear();
    {
        msi::CMsiHandle a(11);
        msi::CMsiHandle b(std::move(a));
        EXPECT_EQ(0u, a.Get());
        msi::CMsiHandle c(12);
        *c.Put() = 13; // Put closes 12 before the new handle is written
        msi::CMsiHandle none;
        EXPECT_EQ(14u, msi::CMsiHandle(14).Release()); // released, not closed
    }
    EXPECT_EQ((std::vector<MSIHANDLE>{12, 13, 11}), g_closed);
}
