// Stand-in for the Security Server's setup wizard. The sample SecurityServer.msi runs it
// during its installation with
//   OVSERVERADDRESS=... OVDBANAME=... OVDBAPASSWORD_TEMP=... UPGRADE=... INSTALLDIR=... OVASEXTRA=...
// (properties substituted, OVASEXTRA last and taken to the end of the line). It hands the
// settings over as the real wizard does:
// - the Authentication Server region: that package's property command line, the server
//   address and whatever OVASEXTRA holds;
// - the database region: administrator name and password, or a count of 0 without a name;
// - during an update (UPGRADE not empty): a temporary folder with a few files, named at
//   byte 4 of the update context's region, and the first web gateway module moved aside
//   to its underscore name in the install folder (only when that region exists).
// Regions that the installing program did not create are left alone.
#include "Engine/SharedRegionNames.h"

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace
{
const wchar_t* const kKeys[] = {L"OVSERVERADDRESS=", L"OVDBANAME=", L"OVDBAPASSWORD_TEMP=", L"UPGRADE=",
                                L"INSTALLDIR=", L"OVASEXTRA="};

// Each value runs from its key to the blank before the next key.
std::wstring Value(const std::wstring& line, size_t index)
{
    const size_t start = line.find(kKeys[index]);
    if (start == std::wstring::npos)
        return {};
    const size_t from = start + wcslen(kKeys[index]);
    size_t to = line.size();
    if (index + 1 < sizeof(kKeys) / sizeof(kKeys[0]))
    {
        const size_t next = line.find(std::wstring(L" ") + kKeys[index + 1], from);
        if (next != std::wstring::npos)
            to = next;
    }
    std::wstring value = line.substr(from, to - from);
    while (!value.empty() && value.back() == L' ')
        value.pop_back();
    return value;
}

class Region
{
public:
    explicit Region(const wchar_t* name)
    {
        m_mapping = OpenFileMappingW(FILE_MAP_WRITE, FALSE, name);
        if (m_mapping)
            m_view = static_cast<unsigned char*>(MapViewOfFile(m_mapping, FILE_MAP_WRITE, 0, 0, ovinst::kSharedRegionSize));
    }
    ~Region()
    {
        if (m_view)
            UnmapViewOfFile(m_view);
        if (m_mapping)
            CloseHandle(m_mapping);
    }
    bool IsOpen() const { return m_view != nullptr; }

    void Field(const std::wstring& text)
    {
        const uint32_t bytes = static_cast<uint32_t>(text.size() * sizeof(wchar_t));
        std::memcpy(m_view + m_offset, &bytes, sizeof(bytes));
        std::memcpy(m_view + m_offset + sizeof(bytes), text.data(), bytes);
        m_offset += sizeof(bytes) + bytes;
    }
    void Count(uint32_t value)
    {
        std::memcpy(m_view + m_offset, &value, sizeof(value));
        m_offset += sizeof(value);
    }
    void TextAt(size_t offset, const std::wstring& text)
    {
        std::memcpy(m_view + offset, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    }

private:
    HANDLE m_mapping = nullptr;
    unsigned char* m_view = nullptr;
    size_t m_offset = 0;
};

void WriteFile(const std::wstring& path, const char* text)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    ::WriteFile(file, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
    CloseHandle(file);
}

void PrepareUpdate(const std::wstring& installDir)
{
    // Outside an update context there is nobody to clean up after the update.
    Region context(ovinst::kUpdateContextRegionName);
    if (!context.IsOpen())
        return;
    {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        const std::wstring folder = std::wstring(temp) + L"OvServerUpdate" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(folder.c_str(), nullptr);
        WriteFile(folder + L"\\setup.dat", "update data");
        WriteFile(folder + L"\\modules.lst", "OvWebGateway.dll");
        WriteFile(folder + L"\\part1.bin", "cached");
        context.TextAt(4, folder);
    }
    std::wstring dir = installDir;
    if (!dir.empty() && dir.back() != L'\\')
        dir += L'\\';
    MoveFileExW((dir + L"OvWebGateway.dll").c_str(), (dir + L"_OvWebGateway.dll").c_str(), MOVEFILE_REPLACE_EXISTING);
}
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    const std::wstring line = GetCommandLineW();
    const std::wstring address = Value(line, 0);
    const std::wstring admin = Value(line, 1);
    std::wstring password = Value(line, 2);

    Region auth(ovinst::kAuthServerRegionName);
    if (auth.IsOpen())
    {
        std::wstring commandLine = L"OVSECURITYSERVER=\"" + address + L"\" REBOOT=ReallySuppress";
        const std::wstring extra = Value(line, 5);
        if (!extra.empty())
            commandLine += L" " + extra;
        auth.Field(commandLine);
    }
    Region database(ovinst::kDatabaseRegionName);
    if (database.IsOpen())
    {
        if (admin.empty())
        {
            database.Count(0);
        }
        else
        {
            database.Field(admin);
            database.Field(password);
        }
    }
    SecureZeroMemory(password.data(), password.size() * sizeof(wchar_t));
    if (!Value(line, 3).empty())
        PrepareUpdate(Value(line, 4));
    return 0;
}
