// Runs before the trace has a file, and from inside the trace: it reports through notes, never
// through the trace itself.
#include "LogFolderSecurity.h"

#include "Win32Objects.h"

#include <aclapi.h>
#include <winioctl.h>
#include <sddl.h>

#include <cwchar>
#include <cwctype>
#include <map>
#include <mutex>

namespace OvBase
{
const wchar_t kLogFolderSddl[] =
    L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICIIO;FA;;;CO)"
    L"(A;CI;0x1000A7;;;WD)(A;CI;0x1000A7;;;S-1-15-2-1)(A;CI;0x1000A7;;;S-1-15-2-2)";
const wchar_t kCommonFileSddl[] =
    L"D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;0x100084;;;WD)(A;;0x100084;;;S-1-15-2-1)(A;;0x100084;;;S-1-15-2-2)";
}

namespace
{
// NT SERVICE\TrustedInstaller.
const wchar_t kTrustedInstallerSid[] = L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

// Function-local: the program's trace object is constructed during static initialisation and
// may get here before this file's globals would be.
struct SharedState
{
    std::mutex lock;
    std::vector<std::wstring> notes;
    // Folders that could not be made safe in place, by lower-case path: where their logs go.
    std::map<std::wstring, std::wstring> redirects;
};

SharedState& State()
{
    static SharedState state;
    return state;
}

void Note(std::wstring text)
{
    std::lock_guard<std::mutex> hold(State().lock);
    State().notes.push_back(std::move(text));
}

std::wstring Lower(std::wstring text)
{
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

bool IsSid(PSID sid, WELL_KNOWN_SID_TYPE type)
{
    BYTE buffer[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof(buffer);
    return CreateWellKnownSid(type, nullptr, buffer, &size) && EqualSid(sid, buffer);
}

bool IsSid(PSID sid, const wchar_t* text)
{
    PSID other = nullptr;
    if (!ConvertStringSidToSidW(text, &other))
        return false;
    bool equal = EqualSid(sid, other) != FALSE;
    LocalFree(other);
    return equal;
}

bool IsProcessUser(PSID sid)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD size = 0;
    bool equal = GetTokenInformation(token, TokenUser, buffer, sizeof(buffer), &size) &&
                 EqualSid(sid, reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid);
    CloseHandle(token);
    return equal;
}

enum class Finding
{
    Missing,
    Safe,
    Unsafe,
};

struct Inspection
{
    Finding finding = Finding::Missing;
    const wchar_t* reason = L"";
    bool reparsePoint = false;
};

HANDLE OpenEntry(const std::wstring& path, DWORD access)
{
    // The entry itself, never what a link in its place points at.
    return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

Inspection Inspect(const std::wstring& path, bool folder, bool anyOwner = false)
{
    Inspection result;
    HANDLE entry = OpenEntry(path, READ_CONTROL | FILE_READ_ATTRIBUTES);
    if (entry == INVALID_HANDLE_VALUE)
    {
        DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return result;
        result.finding = Finding::Unsafe;
        result.reason = L"cannot be examined";
        // What cannot be opened may still be a link.
        DWORD attributes = GetFileAttributesW(path.c_str());
        result.reparsePoint = attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
        return result;
    }
    result.finding = Finding::Unsafe;
    BY_HANDLE_FILE_INFORMATION info = {};
    // The name's own attributes too: a system may describe the handle by what it points at.
    const DWORD attributes = GetFileAttributesW(path.c_str());
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!GetFileInformationByHandle(entry, &info))
        result.reason = L"cannot be examined";
    else if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
             (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)))
        result.reparsePoint = true, result.reason = L"is a link";
    else if (folder != ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0))
        result.reason = folder ? L"is not a folder" : L"is a folder";
    else if (!folder && info.nNumberOfLinks > 1)
        result.reason = L"has more than one link";
    else if (GetSecurityInfo(entry, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                             &descriptor) != ERROR_SUCCESS ||
             !owner)
        result.reason = L"has no owner that can be read";
    else if (!anyOwner && !OvBase::IsTrustedOwner(owner))
        result.reason = L"belongs to another account";
    else
        result.finding = Finding::Safe;
    if (descriptor)
        LocalFree(descriptor);
    CloseHandle(entry);
    return result;
}

std::wstring TimeSuffix()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t text[32];
    swprintf(text, 32, L"%04u%02u%02u-%02u%02u%02u", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
             now.wSecond);
    return text;
}

// A name beside `path` that is not taken: path.<tag>-<time>[-n].
std::wstring FreeName(const std::wstring& path, const wchar_t* tag)
{
    std::wstring base = path + L"." + tag + L"-" + TimeSuffix();
    std::wstring name = base;
    for (int n = 2; GetFileAttributesW(name.c_str()) != INVALID_FILE_ATTRIBUTES ||
                    GetLastError() == ERROR_NOT_A_REPARSE_POINT;
         ++n)
        name = base + L"-" + std::to_wstring(n);
    return name;
}

// Renames the entry itself. A link is renamed only when the handle is known to be on the link:
// a system that opens the link's target instead would move the target.
bool MoveAside(const std::wstring& path, bool reparsePoint, std::wstring& movedTo)
{
    HANDLE entry = OpenEntry(path, DELETE | FILE_READ_ATTRIBUTES);
    if (entry == INVALID_HANDLE_VALUE)
        return false;
    bool onEntry = true;
    if (reparsePoint)
    {
        BYTE data[MAXIMUM_REPARSE_DATA_BUFFER_SIZE];
        DWORD returned = 0;
        onEntry = DeviceIoControl(entry, FSCTL_GET_REPARSE_POINT, nullptr, 0, data, sizeof(data), &returned,
                                  nullptr) != FALSE;
    }
    bool moved = false;
    if (onEntry)
    {
        movedTo = FreeName(path, L"moved");
        std::vector<BYTE> buffer(sizeof(FILE_RENAME_INFO) + (movedTo.size() + 1) * sizeof(wchar_t));
        auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
        rename->ReplaceIfExists = FALSE;
        rename->RootDirectory = nullptr;
        rename->FileNameLength = static_cast<DWORD>(movedTo.size() * sizeof(wchar_t));
        wmemcpy(rename->FileName, movedTo.c_str(), movedTo.size() + 1);
        moved = SetFileInformationByHandle(entry, FileRenameInfo, rename, static_cast<DWORD>(buffer.size())) != FALSE;
    }
    CloseHandle(entry);
    return moved;
}

bool CreateLogFolder(const std::wstring& path)
{
    std::vector<BYTE> descriptor = OvBase::DescriptorFromSddl(OvBase::kLogFolderSddl);
    SECURITY_ATTRIBUTES security = {sizeof(security), descriptor.empty() ? nullptr : descriptor.data(), FALSE};
    return CreateDirectoryW(path.c_str(), &security) != FALSE;
}

std::wstring Normalized(const std::wstring& path)
{
    std::wstring text = path;
    for (wchar_t& c : text)
        if (c == L'/')
            c = L'\\';
    while (text.size() > 3 && text.back() == L'\\')
        text.pop_back();
    return text;
}

// Position of the separator after the root ("C:\", "\\server\share\"), or npos.
size_t RootEnd(const std::wstring& text)
{
    if (text.size() >= 3 && text[1] == L':' && text[2] == L'\\')
        return 2;
    if (text.compare(0, 2, L"\\\\") == 0)
    {
        size_t server = text.find(L'\\', 2);
        return server == std::wstring::npos ? server : text.find(L'\\', server + 1);
    }
    return std::wstring::npos;
}

// Walks the folders of the path below its root; empty when one cannot be made safe.
std::wstring MakeSafe(const std::wstring& text)
{
    size_t root = RootEnd(text);
    if (root == std::wstring::npos)
        return {};
    std::wstring result = text;
    for (size_t pos = root; pos != std::wstring::npos && pos < result.size();)
    {
        size_t end = result.find(L'\\', pos + 1);
        std::wstring folder = result.substr(0, end);
        Inspection found = Inspect(folder, true);
        if (found.finding == Finding::Missing)
        {
            if (!CreateLogFolder(folder) && (GetLastError() != ERROR_ALREADY_EXISTS ||
                                             Inspect(folder, true).finding != Finding::Safe))
                return {};
        }
        else if (found.finding == Finding::Unsafe)
        {
            std::wstring movedTo;
            if (MoveAside(folder, found.reparsePoint, movedTo) && CreateLogFolder(folder))
            {
                Note(L"Log folder " + folder + L" " + found.reason + L": moved aside to " + movedTo +
                     L", a fresh folder made");
            }
            else
            {
                std::wstring fresh = FreeName(folder, L"safe");
                if (!CreateLogFolder(fresh))
                    return {};
                Note(L"Log folder " + folder + L" " + found.reason + L" and cannot be moved aside: using " + fresh);
                std::lock_guard<std::mutex> hold(State().lock);
                State().redirects[Lower(folder)] = fresh;
                result = fresh + (end == std::wstring::npos ? std::wstring() : result.substr(end));
                end = fresh.size();
            }
        }
        pos = end;
    }
    return result;
}

// A folder this process redirected earlier stays redirected, so that every log of the run
// lands in the same place.
std::wstring Redirected(const std::wstring& text)
{
    std::lock_guard<std::mutex> hold(State().lock);
    std::wstring lower = Lower(text);
    for (const auto& [from, to] : State().redirects)
        if (lower.compare(0, from.size(), from) == 0 && (lower.size() == from.size() || lower[from.size()] == L'\\'))
            return to + text.substr(from.size());
    return text;
}
}

namespace OvBase
{
std::vector<BYTE> DescriptorFromSddl(const wchar_t* sddl)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ULONG size = 0;
    std::vector<BYTE> bytes;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, &size))
        return bytes;
    const BYTE* data = static_cast<const BYTE*>(descriptor);
    bytes.assign(data, data + size);
    LocalFree(descriptor);
    return bytes;
}

bool IsTrustedOwner(PSID owner)
{
    if (!owner || !IsValidSid(owner))
        return false;
    return IsSid(owner, WinLocalSystemSid) || IsSid(owner, WinBuiltinAdministratorsSid) ||
           IsSid(owner, kTrustedInstallerSid) || IsProcessUser(owner);
}

std::wstring SecureLogFolder(const std::wstring& folder)
{
    return MakeSafe(Redirected(Normalized(folder)));
}

std::wstring SecureLogFilePath(const std::wstring& path, bool shared)
{
    std::wstring text = Normalized(path);
    size_t slash = text.rfind(L'\\');
    if (slash == std::wstring::npos)
        return {};
    std::wstring folder = SecureLogFolder(text.substr(0, slash));
    if (folder.empty())
        return {};
    std::wstring file = JoinPath(folder, text.c_str() + slash + 1);
    return PrepareLogFile(file, shared) ? file : std::wstring();
}

bool PrepareLogFile(const std::wstring& path, bool shared)
{
    Inspection found = Inspect(path, false, shared);
    if (found.finding != Finding::Unsafe)
        return true;
    std::wstring movedTo;
    if (!MoveAside(path, found.reparsePoint, movedTo))
    {
        Note(L"Log file " + path + L" " + found.reason + L" and cannot be moved aside: not written");
        return false;
    }
    Note(L"Log file " + path + L" " + found.reason + L": moved aside to " + movedTo);
    return true;
}

bool SetLogFolderAccess(const std::wstring& folder)
{
    HANDLE entry = OpenEntry(Normalized(folder), READ_CONTROL | WRITE_DAC | FILE_READ_ATTRIBUTES);
    if (entry == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info = {};
    bool done = false;
    std::vector<BYTE> descriptor = DescriptorFromSddl(kLogFolderSddl);
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    const DWORD attributes = GetFileAttributesW(Normalized(folder).c_str());
    if (GetFileInformationByHandle(entry, &info) && !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
        attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !descriptor.empty() &&
        GetSecurityDescriptorDacl(descriptor.data(), &present, &dacl, &defaulted) && present)
        done = SetSecurityInfo(entry, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                               nullptr, nullptr, dacl, nullptr) == ERROR_SUCCESS;
    CloseHandle(entry);
    return done;
}

std::vector<std::wstring> TakeLogFolderNotes()
{
    std::lock_guard<std::mutex> hold(State().lock);
    std::vector<std::wstring> notes;
    notes.swap(State().notes);
    return notes;
}
}
