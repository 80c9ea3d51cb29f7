#include <gtest/gtest.h>

#include "FileHelpers.h"
#include "OvErrorObject.h"
#include "TraceTestSupport.h"
#include "UnixLinks.h"

namespace
{
const wchar_t kSessionManager[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";

// Pending restart operations as a list of texts; tests put the value back afterwards.
std::vector<std::wstring> PendingOperations()
{
    std::vector<std::wstring> items;
    DWORD size = 0;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kSessionManager, L"PendingFileRenameOperations", RRF_RT_REG_MULTI_SZ,
                     nullptr, nullptr, &size) != ERROR_SUCCESS)
        return items;
    std::vector<wchar_t> data(size / sizeof(wchar_t) + 2, L'\0');
    RegGetValueW(HKEY_LOCAL_MACHINE, kSessionManager, L"PendingFileRenameOperations", RRF_RT_REG_MULTI_SZ, nullptr,
                 data.data(), &size);
    for (const wchar_t* p = data.data(); *p || (p + 1 < data.data() + data.size() && p[1]); p += wcslen(p) + 1)
        items.push_back(p);
    return items;
}

class PendingOperationsGuard
{
public:
    PendingOperationsGuard()
    {
        DWORD size = 0;
        m_existed = RegGetValueW(HKEY_LOCAL_MACHINE, kSessionManager, L"PendingFileRenameOperations", RRF_RT_ANY,
                                 nullptr, nullptr, &size) == ERROR_SUCCESS;
        if (m_existed)
        {
            m_data.resize(size);
            RegGetValueW(HKEY_LOCAL_MACHINE, kSessionManager, L"PendingFileRenameOperations", RRF_RT_ANY, nullptr,
                         m_data.data(), &size);
        }
    }
    ~PendingOperationsGuard()
    {
        HKEY key = nullptr;
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, &key);
        if (m_existed)
            RegSetValueExW(key, L"PendingFileRenameOperations", 0, REG_MULTI_SZ, m_data.data(),
                           static_cast<DWORD>(m_data.size()));
        else
            RegDeleteValueW(key, L"PendingFileRenameOperations");
        RegCloseKey(key);
    }

private:
    bool m_existed = false;
    std::vector<BYTE> m_data;
};

bool ContainsPath(const std::vector<std::wstring>& items, const std::wstring& path)
{
    for (const std::wstring& item : items)
        if (item.find(path) != std::wstring::npos)
            return true;
    return false;
}
}

TEST(RenameBeforeDelete, MovesBackupsBackWithoutOverwriting)
{
    ovtest::CTempFolder folder(L"rename");
    const auto& names = instutils::GetWebGatewayModuleNames();
    ASSERT_EQ(names.size(), 4u);
    // First module: only the backup; second: both; the rest: nothing.
    ovtest::WriteFileBytes(folder / (L"_" + names[0]), "backup0");
    ovtest::WriteFileBytes(folder / (L"_" + names[1]), "backup1");
    ovtest::WriteFileBytes(folder / names[1], "current1");

    CRenameBeforeDelete renamer((folder.Path() + L"\\").c_str());
    renamer.RenameBack();
    EXPECT_EQ(ovtest::ReadFileBytes(folder / names[0]), "backup0");
    EXPECT_FALSE(ovtest::FileExists(folder / (L"_" + names[0])));
    EXPECT_EQ(ovtest::ReadFileBytes(folder / names[1]), "current1");
    EXPECT_EQ(ovtest::ReadFileBytes(folder / (L"_" + names[1])), "backup1");
    EXPECT_FALSE(ovtest::FileExists(folder / names[2]));
}

TEST(RenameBeforeDelete, EmptyFolderMeansCurrentFolder)
{
    ovtest::CTempFolder folder(L"rename_cwd");
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(folder.Path().c_str());
    const std::wstring name = instutils::GetWebGatewayModuleNames()[3];
    ovtest::WriteFileBytes(folder / (L"_" + name), "b");
    CRenameBeforeDelete(nullptr).RenameBack();
    SetCurrentDirectoryW(previous);
    EXPECT_EQ(ovtest::ReadFileBytes(folder / name), "b");
}

TEST(DeleteFilesInFolder, DeletesWhatItCanAndSchedulesTheRest)
{
    PendingOperationsGuard guard;
    ovtest::CTempFolder folder(L"delete");
    ovtest::WriteFileBytes(folder / L"one.txt", "1");
    ovtest::WriteFileBytes(folder / L"two.txt", "2");
    CreateDirectoryW((folder / L"sub").c_str(), nullptr);
    ovtest::WriteFileBytes(folder / L"sub\\free.txt", "f");
    ovtest::WriteFileBytes(folder / L"sub\\locked.txt", "l");
    HANDLE locked = CreateFileW((folder / L"sub\\locked.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(locked, INVALID_HANDLE_VALUE);

    DeleteFilesInFolder((folder.Path() + L"\\").c_str());
    EXPECT_FALSE(ovtest::FileExists(folder / L"one.txt"));
    EXPECT_FALSE(ovtest::FileExists(folder / L"two.txt"));
    EXPECT_FALSE(ovtest::FileExists(folder / L"sub\\free.txt"));
    EXPECT_TRUE(ovtest::FileExists(folder / L"sub\\locked.txt"));
    auto pending = PendingOperations();
    EXPECT_TRUE(ContainsPath(pending, L"sub\\locked.txt"));
    EXPECT_TRUE(ContainsPath(pending, L"sub\\")) << "the emptied subfolder goes at restart";
    CloseHandle(locked);

    // A folder that does not exist is left alone.
    DeleteFilesInFolder((folder / L"missing\\").c_str());
}

TEST(DeleteFilesInFolder, RemovesAPlantedFolderLinkWithoutEmptyingItsTarget)
{
    PendingOperationsGuard guard;
    ovtest::CTempFolder folder(L"delete-link");
    ovtest::CTempFolder elsewhere(L"delete-link-target");
    ovtest::WriteFileBytes(elsewhere / L"keep.txt", "k");
    CreateDirectoryW((elsewhere / L"inner").c_str(), nullptr);
    ovtest::WriteFileBytes(elsewhere / L"inner\\keep2.txt", "k2");
    ovtest::WriteFileBytes(folder / L"own.txt", "o");
    CreateDirectoryW((folder / L"sub").c_str(), nullptr);
    ovtest::WriteFileBytes(folder / L"sub\\own2.txt", "o2");
    {
        // In the folder and as the folder itself: neither is followed.
        ovtest::CPlantedLink inside(folder / L"sub\\link", elsewhere.Path());
        ovtest::CPlantedLink itself(folder / L"self", elsewhere.Path());
        ASSERT_TRUE(inside.Planted() && itself.Planted());

        DeleteFilesInFolder((folder.Path() + L"\\").c_str());
        DeleteFilesInFolder((folder / L"self\\").c_str());
    }
    EXPECT_FALSE(ovtest::FileExists(folder / L"own.txt"));
    EXPECT_FALSE(ovtest::FileExists(folder / L"sub\\own2.txt"));
    EXPECT_EQ(ovtest::ReadFileBytes(elsewhere / L"keep.txt"), "k");
    EXPECT_EQ(ovtest::ReadFileBytes(elsewhere / L"inner\\keep2.txt"), "k2");
}

TEST(FileHelpers, CheckFreeDiskSpace)
{
    EXPECT_TRUE(instutils::CheckFreeDiskSpace(L"C:\\", 0));
    EXPECT_TRUE(instutils::CheckFreeDiskSpace(L"C:\\", 1024));
    try
    {
        instutils::CheckFreeDiskSpace(L"Q:\\no\\such\\volume\\", 1);
        FAIL() << "no throw";
    }
    catch (OvBase::COvError& error)
    {
        EXPECT_EQ(error.GetCode() & 0xFFFF0000u, 0x80070000u);
    }
}

TEST(FileHelpers, ExpandEnvString)
{
    SetEnvironmentVariableW(L"OV_TEST_FOLDER", L"C:\\Data");
    std::wstring expanded = instutils::ExpandEnvString(L"%OV_TEST_FOLDER%\\Logs");
    SetEnvironmentVariableW(L"OV_TEST_FOLDER", nullptr);
    EXPECT_EQ(expanded, L"C:\\Data\\Logs");
    EXPECT_EQ(expanded + L"\\Setup.log", L"C:\\Data\\Logs\\Setup.log") << "no terminator inside the text";
    EXPECT_EQ(instutils::ExpandEnvString(L""), L"");
}

TEST(FileHelpers, CreateDirectory)
{
    ovtest::CTempFolder folder(L"mkdir");
    std::wstring path = folder / L"new";
    EXPECT_NE(utils::CreateDirectoryW(path), 0);
    EXPECT_EQ(utils::CreateDirectoryW(path), 183);
    try
    {
        utils::CreateDirectoryW(folder / L"missing\\child");
        FAIL() << "no throw";
    }
    catch (OvBase::COvError& error)
    {
        EXPECT_EQ(error.GetCode(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    }
}
