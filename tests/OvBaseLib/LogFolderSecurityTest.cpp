#include <gtest/gtest.h>

#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "FolderListing.h"
#include "LogFolderSecurity.h"
#include "Trace.h"
#include "TraceImpl.h"
#include "TraceTestSupport.h"
#include "UnixLinks.h"

using namespace OvBase;

namespace
{
struct AceRow
{
    const wchar_t* sid;
    DWORD rights;
    BYTE flags;
};

std::wstring SidText(PSID sid)
{
    LPWSTR text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text))
        return L"?";
    std::wstring result = text;
    LocalFree(text);
    return result;
}

std::vector<AceRow> AcesOf(const wchar_t* sddl, SECURITY_DESCRIPTOR_CONTROL* control, std::vector<std::wstring>& sids)
{
    std::vector<BYTE> descriptor = DescriptorFromSddl(sddl);
    EXPECT_FALSE(descriptor.empty());
    std::vector<AceRow> rows;
    if (descriptor.empty())
        return rows;
    DWORD revision = 0;
    GetSecurityDescriptorControl(descriptor.data(), control, &revision);
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    EXPECT_TRUE(GetSecurityDescriptorDacl(descriptor.data(), &present, &dacl, &defaulted));
    EXPECT_TRUE(present && dacl);
    for (DWORD i = 0; dacl && i < dacl->AceCount; ++i)
    {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        GetAce(dacl, i, reinterpret_cast<void**>(&ace));
        EXPECT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
        sids.push_back(SidText(&ace->SidStart));
        rows.push_back({nullptr, ace->Mask, ace->Header.AceFlags});
    }
    return rows;
}

const wchar_t kEveryone[] = L"S-1-1-0";
const wchar_t kAllAppPackages[] = L"S-1-15-2-1";
const wchar_t kRestrictedAppPackages[] = L"S-1-15-2-2";
// List, create files, create subfolders, traverse, read attributes, synchronize.
const DWORD kListAndCreate = FILE_LIST_DIRECTORY | FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_TRAVERSE |
                             FILE_READ_ATTRIBUTES | SYNCHRONIZE;
const DWORD kAppendOnly = FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
const BYTE kBoth = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;

struct DescriptorCase
{
    const char* name;
    const wchar_t* sddl;
    std::vector<AceRow> expected;
};

class LogDescriptor : public testing::TestWithParam<DescriptorCase>
{
};

TEST_P(LogDescriptor, AceByAce)
{
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    std::vector<std::wstring> sids;
    std::vector<AceRow> aces = AcesOf(GetParam().sddl, &control, sids);
    EXPECT_TRUE(control & SE_DACL_PROTECTED) << "nothing inherited from the folder above";
    ASSERT_EQ(aces.size(), GetParam().expected.size());
    for (size_t i = 0; i < aces.size(); ++i)
    {
        const AceRow& want = GetParam().expected[i];
        EXPECT_EQ(sids[i], want.sid) << "ACE " << i;
        EXPECT_EQ(aces[i].rights, want.rights) << "ACE " << i;
        EXPECT_EQ(aces[i].flags, want.flags) << "ACE " << i;
    }
    // No broad group may delete, re-permission or take over what others made, nor write into
    // files it did not create.
    for (size_t i = 0; i < aces.size(); ++i)
    {
        if (sids[i] != kEveryone && sids[i] != kAllAppPackages && sids[i] != kRestrictedAppPackages)
            continue;
        EXPECT_EQ(aces[i].rights & (DELETE | FILE_DELETE_CHILD | WRITE_DAC | WRITE_OWNER | GENERIC_ALL | GENERIC_WRITE), 0u)
            << "ACE " << i;
        EXPECT_FALSE(aces[i].flags & OBJECT_INHERIT_ACE) << "ACE " << i << " would reach the files";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sddl, LogDescriptor,
    testing::Values(DescriptorCase{"LogFolder",
                                   kLogFolderSddl,
                                   {{L"S-1-5-18", FILE_ALL_ACCESS, kBoth},
                                    {L"S-1-5-32-544", FILE_ALL_ACCESS, kBoth},
                                    {L"S-1-3-0", FILE_ALL_ACCESS, kBoth | INHERIT_ONLY_ACE},
                                    {kEveryone, kListAndCreate, CONTAINER_INHERIT_ACE},
                                    {kAllAppPackages, kListAndCreate, CONTAINER_INHERIT_ACE},
                                    {kRestrictedAppPackages, kListAndCreate, CONTAINER_INHERIT_ACE}}},
                    DescriptorCase{"CommonFile",
                                   kCommonFileSddl,
                                   {{L"S-1-5-18", FILE_ALL_ACCESS, 0},
                                    {L"S-1-5-32-544", FILE_ALL_ACCESS, 0},
                                    {kEveryone, kAppendOnly, 0},
                                    {kAllAppPackages, kAppendOnly, 0},
                                    {kRestrictedAppPackages, kAppendOnly, 0}}}),
    [](const testing::TestParamInfo<DescriptorCase>& info) { return info.param.name; });

TEST(LogFolderSecurity, TrustedOwners)
{
    struct Row
    {
        const wchar_t* sid;
        bool trusted;
    };
    const Row rows[] = {
        {L"S-1-5-18", true},
        {L"S-1-5-32-544", true},
        {L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464", true},
        {L"S-1-1-0", false},
        {L"S-1-5-32-545", false},
        {L"S-1-5-11", false},
        {L"S-1-5-21-1-2-3-1001", false},
    };
    for (const Row& row : rows)
    {
        PSID sid = nullptr;
        ASSERT_TRUE(ConvertStringSidToSidW(row.sid, &sid));
        EXPECT_EQ(IsTrustedOwner(sid), row.trusted) << std::string(row.sid, row.sid + wcslen(row.sid));
        LocalFree(sid);
    }
    // The account the setup runs as owns what it made.
    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    BYTE buffer[256];
    DWORD size = 0;
    ASSERT_TRUE(GetTokenInformation(token, TokenUser, buffer, sizeof(buffer), &size));
    CloseHandle(token);
    EXPECT_TRUE(IsTrustedOwner(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid));
}

bool IsRealFolder(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool AnyNoteHolds(const std::vector<std::wstring>& notes, const std::wstring& text)
{
    return std::any_of(notes.begin(), notes.end(),
                       [&](const std::wstring& note) { return note.find(text) != std::wstring::npos; });
}

TEST(LogFolderSecurity, MissingFoldersAreCreated)
{
    ovtest::CTempFolder root(L"logsafe-new");
    const std::wstring folder = root / L"Calderis\\Orvane Studio\\Logs";
    EXPECT_EQ(SecureLogFolder(folder + L"\\"), folder);
    EXPECT_TRUE(IsRealFolder(folder));
    EXPECT_TRUE(TakeLogFolderNotes().empty()) << "nothing was in the way";
    // A second call finds the folders it made and keeps them.
    EXPECT_EQ(SecureLogFolder(folder), folder);
}

TEST(LogFolderSecurity, PlantedFolderLinkIsNotWrittenThrough)
{
    ovtest::CTempFolder root(L"logsafe-link");
    const std::wstring victim = root / L"victim";
    CreateDirectoryW(victim.c_str(), nullptr);
    ovtest::WriteFileBytes(victim + L"\\secret.txt", "theirs");
    const std::wstring logs = root / L"Logs";
    ovtest::CPlantedLink link(logs, victim);
    ASSERT_TRUE(link.Planted());
    const std::vector<std::wstring> before = testsupport::FilesIn(victim);
    TakeLogFolderNotes();

    const std::wstring used = SecureLogFolder(logs + L"\\Setup");
    ASSERT_FALSE(used.empty());
    const std::wstring file = SecureLogFilePath(used + L"\\Setup.log");
    ASSERT_FALSE(file.empty());
    ovtest::WriteFileBytes(file, "run");

    // The logs are in a real folder of the setup's own; the link's target gained nothing.
    EXPECT_TRUE(IsRealFolder(used));
    EXPECT_EQ(testsupport::FilesIn(victim), before);
    EXPECT_EQ(ovtest::ReadFileBytes(victim + L"\\secret.txt"), "theirs");
    const std::vector<std::wstring> notes = TakeLogFolderNotes();
    EXPECT_TRUE(AnyNoteHolds(notes, L"Log folder " + logs + L" is a link")) << (notes.empty() ? "no note" : "");
    // The rest of the process is sent to the same place.
    EXPECT_EQ(SecureLogFolder(logs + L"\\Setup"), used);
}

TEST(LogFolderSecurity, HardLinkedLogFileIsMovedAside)
{
    ovtest::CTempFolder root(L"logsafe-hard");
    const std::wstring other = root / L"other.txt";
    ovtest::WriteFileBytes(other, "someone else's");
    const std::wstring log = root / L"Setup.log";
    ASSERT_TRUE(CreateHardLinkW(log.c_str(), other.c_str(), nullptr));
    TakeLogFolderNotes();

    ASSERT_TRUE(PrepareLogFile(log));
    ovtest::WriteFileBytes(log, "fresh");
    EXPECT_EQ(ovtest::ReadFileBytes(other), "someone else's");
    EXPECT_EQ(ovtest::ReadFileBytes(log), "fresh");
    EXPECT_TRUE(AnyNoteHolds(TakeLogFolderNotes(), L"Log file " + log + L" has more than one link: moved aside to "));
    // A file with one link is the setup's own and stays.
    EXPECT_TRUE(PrepareLogFile(log));
    EXPECT_EQ(ovtest::ReadFileBytes(log), "fresh");
    EXPECT_TRUE(TakeLogFolderNotes().empty());
}

TEST(LogFolderSecurity, TraceDoesNotAppendThroughAHardLink)
{
    ovtest::CTempFolder root(L"logsafe-trace");
    const std::wstring other = root / L"other.txt";
    ovtest::WriteFileBytes(other, "keep");
    ASSERT_TRUE(CreateHardLinkW((root / L"Setup.log").c_str(), other.c_str(), nullptr));
    {
        ovtest::CProgramTraceScope scope(root.Path(), 15, 0x101);
        OvBase::TraceLine(OvBase::TraceInfo, L"a line of this run");
        EXPECT_NE(ovtest::ReadFileBytes(scope.LogPath()).find("a line of this run"), std::string::npos);
    }
    EXPECT_EQ(ovtest::ReadFileBytes(other), "keep");
    TakeLogFolderNotes();
}
}
