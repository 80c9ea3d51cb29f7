// DLLs planted beside Setup.exe and in its current folder must never run. Marker DLLs named
// like the system DLLs the program uses leave "<dll>.loaded" when anything loads them.
// Wine loads its own copy of a system DLL whatever lies on disk, unless WINEDLLOVERRIDES tells
// it to prefer the file found by the search, as Windows does. Wine takes that setting from the
// environment its processes start with, not from a block handed to CreateProcess, so this
// program runs with it (tests/CMakeLists.txt) and its children inherit it; the control run
// shows that it takes effect. version.dll is left out of the override: Wine's own user32.dll
// imports it, so with the override every program that imports user32 maps the planted copy
// while it starts, before any of its code runs (Windows' user32 imports no version.dll). Under
// Wine the planted version.dll therefore only shows that nothing breaks with it present.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ProductGuids.h"
#include "ProductRegistry.h"
#include "ScopedInstall.h"
#include "MachineKeyBackup.h"
#include "MsiQueries.h"
#include "TraceTestSupport.h"
#include "Win32Objects.h"

namespace fs = std::filesystem;

namespace
{
const wchar_t* const kPlanted[] = {L"msi.dll", L"version.dll", L"wintrust.dll", L"dbghelp.dll"};
const wchar_t kOverride[] = L"msi,wintrust,dbghelp=n,b";
const DWORD kRunTimeout = 240000;

bool UnderWine()
{
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

// Whether a planted DLL of that name would run if a program looked for it carelessly.
bool Exposed(const wchar_t* dll)
{
    if (!UnderWine())
        return true;
    const std::wstring names = std::wstring(kOverride).substr(0, std::wstring(kOverride).find(L'='));
    const std::wstring base = fs::path(dll).stem().wstring();
    return (L"," + names + L",").find(L"," + base + L",") != std::wstring::npos;
}

// Under Wine: whether this process got the override (its children inherit it).
bool OverrideMissingUnderWine()
{
    if (!UnderWine())
        return false;
    wchar_t value[512] = {};
    GetEnvironmentVariableW(L"WINEDLLOVERRIDES", value, 512);
    return std::wstring(value).find(kOverride) == std::wstring::npos;
}

fs::path BuildFile(const wchar_t* folder, const wchar_t* name)
{
    return fs::path(folder) / name;
}

class DllPlanting : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_FALSE(OverrideMissingUnderWine())
            << "WINEDLLOVERRIDES must hold " << fs::path(kOverride).string() << ": without it Wine ignores planted DLLs";
        wchar_t temp[MAX_PATH + 1];
        ASSERT_GT(GetTempPathW(MAX_PATH + 1, temp), 0u);
        m_root = fs::path(temp) / (L"OvPlant-" + std::to_wstring(GetCurrentProcessId()));
        m_dist = m_root / L"dist";
        m_cwd = m_root / L"cwd";
        fs::remove_all(m_root);
        fs::create_directories(m_dist);
        fs::create_directories(m_cwd);
        // A copy of the whole distribution (packages, setup.ini, prerequisite installers), as an
        // administrator would run it from a download folder.
        fs::copy(fs::path(OV_DIST_DIR), m_dist, fs::copy_options::recursive);
        for (const wchar_t* name : kPlanted)
        {
            fs::copy_file(BuildFile(OV_PLANT_DIR, name), m_dist / name);
            fs::copy_file(BuildFile(OV_PLANT_DIR, name), m_cwd / name);
        }
    }

    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(m_root, ignored);
    }

    // Copies a program of the build beside the planted DLLs; false when the build has none.
    bool AddProgram(const wchar_t* name)
    {
        const fs::path source = BuildFile(OV_BIN_DIR, name);
        if (!fs::exists(source))
            return false;
        fs::copy_file(source, m_dist / name, fs::copy_options::overwrite_existing);
        return true;
    }

    // Runs a program of the planted folder from the planted current folder; its exit code.
    DWORD Run(const wchar_t* program, const std::wstring& arguments)
    {
        OvBase::CWin32Process process;
        process.SetCurrentDirectory(m_cwd.wstring());
        const std::wstring path = (m_dist / program).wstring();
        EXPECT_EQ(process.Create(path.c_str(), arguments.c_str()), 0u) << path;
        EXPECT_EQ(process.WaitFor(kRunTimeout), 0u) << path << " did not end";
        return process.GetExitCode();
    }

    // "<planted dll>: <programs that loaded it>" for every marker left in either folder.
    std::vector<std::wstring> Markers() const
    {
        std::vector<std::wstring> found;
        for (const fs::path& folder : {m_dist, m_cwd})
            for (const fs::directory_entry& entry : fs::directory_iterator(folder))
                if (entry.path().extension() == L".loaded")
                {
                    std::ifstream file(entry.path(), std::ios::binary);
                    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
                    std::wstring loaders(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
                    found.push_back(entry.path().stem().wstring() + L": " + loaders);
                }
        return found;
    }

    bool Marked(const fs::path& folder, const wchar_t* dll) const
    {
        return fs::exists(folder / (std::wstring(dll) + L".loaded"));
    }

    static std::string Describe(const std::vector<std::wstring>& markers)
    {
        std::string text;
        for (const std::wstring& marker : markers)
            text += fs::path(marker).string() + "\n";
        return text;
    }

    fs::path m_root;
    fs::path m_dist;
    fs::path m_cwd;
};
}

// The control: a program that loads by bare name runs every planted copy of its folder, so the
// override reaches the children and the markers work. Without this the other tests prove nothing.
TEST_F(DllPlanting, ControlRunLoadsThePlantedCopies)
{
    ASSERT_TRUE(AddProgram(L"DllSearchProbe.exe"));
    EXPECT_EQ(Run(L"DllSearchProbe.exe", L"plain"), 0u);
    for (const wchar_t* dll : kPlanted)
        EXPECT_EQ(Marked(m_dist, dll), Exposed(dll)) << fs::path(dll).string();
}

// Every run-time load path of the program, and bare-name loads after the hardening, as system
// DLLs make them on the program's behalf: each reaches a working system copy.
TEST_F(DllPlanting, HardenedLoadsTakeOnlySystemCopies)
{
    ASSERT_TRUE(AddProgram(L"DllSearchProbe.exe"));
    EXPECT_EQ(Run(L"DllSearchProbe.exe", L"hardened"), 0u)
        << "bits: 1 msi, 2 error text, 4 install context, 8 wintrust, 16 dbghelp";
    const std::vector<std::wstring> markers = Markers();
    EXPECT_TRUE(markers.empty()) << Describe(markers);
}

// A silent run of the distribution with a response file.
TEST_F(DllPlanting, SilentRunLoadsNoPlantedDll)
{
    ovtest::CHklmKeyBackup productKey(instutils::kProductKeyPath);
    // The sample distribution is the server set, which wants a server edition.
    const wchar_t kProductOptions[] = L"SYSTEM\\CurrentControlSet\\Control\\ProductOptions";
    ovtest::CHklmKeyBackup productOptions(kProductOptions);
    ASSERT_EQ(testsupport::SetMachineString(kProductOptions, L"ProductType", L"ServerNT"), ERROR_SUCCESS);
    fs::path response = m_root / L"silent.rsp";
    std::vector<fs::path> samples;
    for (const fs::directory_entry& entry : fs::directory_iterator(fs::path(OV_SOURCE_DIR) / L"samples"))
        if (entry.path().extension() == L".rsp")
            samples.push_back(entry.path());
    if (!samples.empty())
    {
        fs::copy_file(*std::min_element(samples.begin(), samples.end()), response);
    }
    else
    {
        std::ofstream(response, std::ios::binary) << "[Settings]\r\n"
                                                     "InstallFolder=C:\\Program Files\\Calderis\\Orvane Studio\\Server\r\n";
    }

    // The run installs the runtime stand-ins where they are missing: only those go again.
    std::vector<const wchar_t*> installedByRun = {OV_UPGRADE_CODE_SECURITY_SERVER, OV_UPGRADE_CODE_AUTH_SERVER,
                                                  OV_UPGRADE_CODE_SYNC_SERVICE, OV_UPGRADE_CODE_CONTROL_CENTER};
    for (const wchar_t* runtime :
         {OV_SAMPLE_UPGRADE_CODE_RUNTIME_X64_MINIMUM, OV_SAMPLE_UPGRADE_CODE_RUNTIME_X64_ADDITIONAL,
          OV_SAMPLE_UPGRADE_CODE_RUNTIME_X86_MINIMUM, OV_SAMPLE_UPGRADE_CODE_RUNTIME_X86_ADDITIONAL})
        if (!msi::IsInstalledByUpgradeCode(runtime))
            installedByRun.push_back(runtime);
    const DWORD exitCode = Run(L"Setup.exe", L"/script:\"" + response.wstring() + L"\"");
    for (const wchar_t* upgradeCode : installedByRun)
        testsupport::RemoveByUpgradeCode(upgradeCode);

    const std::vector<std::wstring> markers = Markers();
    EXPECT_TRUE(markers.empty()) << Describe(markers);
    EXPECT_EQ(exitCode, 0u) << "the silent run failed, so it may not have reached every load";
}

// A crash on the entry thread: the crash catcher writes a dump with the system's dbghelp.
TEST_F(DllPlanting, CrashDumpRunLoadsNoPlantedDll)
{
    if (!AddProgram(L"CrashProbe.exe"))
        GTEST_SKIP() << "no CrashProbe.exe in this build";
    wchar_t temp[MAX_PATH + 1];
    ASSERT_GT(GetTempPathW(MAX_PATH + 1, temp), 0u);
    auto dumps = [&temp] {
        std::vector<fs::path> found;
        for (const fs::directory_entry& entry : fs::directory_iterator(temp))
            if (entry.path().extension() == L".dmp" && entry.path().filename().wstring().rfind(L"CrashProbe-", 0) == 0)
                found.push_back(entry.path());
        return found;
    };
    const std::vector<fs::path> before = dumps();

    // A small dump loads dbghelp as the full one does, in a fraction of the time.
    EXPECT_EQ(0xE6060005u, Run(L"CrashProbe.exe", L"entry small"));

    std::vector<fs::path> written;
    for (const fs::path& dump : dumps())
        if (std::find(before.begin(), before.end(), dump) == before.end())
            written.push_back(dump);
    for (const fs::path& dump : written)
        fs::remove(dump);
    const std::vector<std::wstring> markers = Markers();
    EXPECT_TRUE(markers.empty()) << Describe(markers);
    EXPECT_FALSE(written.empty()) << "no dump written, so dbghelp was never loaded";
}
