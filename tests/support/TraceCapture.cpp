#include "TraceCapture.h"

#include "Trace.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace testsupport
{
namespace
{
const wchar_t kParentKey[] = L"SYSTEM\\CurrentControlSet\\Services\\OvTrace";
const wchar_t kTraceKey[] = L"SYSTEM\\CurrentControlSet\\Services\\OvTrace\\Trace";
const REGSAM kAccess = KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_WOW64_64KEY;

std::wstring FromCp1251(const std::string& text)
{
    if (text.empty())
        return {};
    std::wstring wide(text.size(), L'\0');
    const int n = MultiByteToWideChar(1251, 0, text.data(), static_cast<int>(text.size()), wide.data(), static_cast<int>(wide.size()));
    wide.resize(n > 0 ? n : 0);
    return wide;
}
}

TraceCapture::TraceCapture()
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    m_folder = std::wstring(temp) + L"OvTraceCapture" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(m_folder.c_str(), nullptr);
    DeleteFileW((m_folder + L"\\Setup.log").c_str());

    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kParentKey, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) == ERROR_SUCCESS)
        RegCloseKey(key);
    else
        m_createdParent = true;
    DWORD disposition = 0;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kTraceKey, 0, nullptr, 0, kAccess, nullptr, &key, &disposition) != ERROR_SUCCESS)
        throw std::runtime_error("cannot open the trace key");
    m_createdKey = disposition == REG_CREATED_NEW_KEY;

    // The forces win over anything a module sub-key says.
    const DWORD everyLevel = 0xFF;
    const DWORD fileOnly = 0x1;
    const DWORD noCommonFile = 0;
    const struct
    {
        const wchar_t* name;
        DWORD type;
        const void* data;
        DWORD size;
    } values[] = {
        {L"ForceEnableMask", REG_DWORD, &everyLevel, sizeof(DWORD)},
        {L"ForceParamsMask", REG_DWORD, &fileOnly, sizeof(DWORD)},
        {L"ForceCommonFileFlag", REG_DWORD, &noCommonFile, sizeof(DWORD)},
        {L"TracePath", REG_SZ, m_folder.c_str(), static_cast<DWORD>((m_folder.size() + 1) * sizeof(wchar_t))},
    };
    for (const auto& value : values)
    {
        SavedValue saved{value.name, std::nullopt, REG_NONE};
        DWORD size = 0;
        if (RegQueryValueExW(key, value.name, nullptr, &saved.type, nullptr, &size) == ERROR_SUCCESS)
        {
            std::vector<BYTE> data(size);
            RegQueryValueExW(key, value.name, nullptr, &saved.type, data.data(), &size);
            saved.data = data;
        }
        m_saved.push_back(saved);
        RegSetValueExW(key, value.name, 0, value.type, static_cast<const BYTE*>(value.data), value.size);
    }
    RegCloseKey(key);
    OvBase::ProgramTrace.Reload();
}

TraceCapture::~TraceCapture()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kTraceKey, 0, kAccess, &key) == ERROR_SUCCESS)
    {
        for (const SavedValue& saved : m_saved)
        {
            if (saved.data)
                RegSetValueExW(key, saved.name.c_str(), 0, saved.type, saved.data->data(), static_cast<DWORD>(saved.data->size()));
            else
                RegDeleteValueW(key, saved.name.c_str());
        }
        RegCloseKey(key);
    }
    if (m_createdKey)
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kTraceKey, KEY_WOW64_64KEY, 0);
    if (m_createdParent)
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kParentKey, KEY_WOW64_64KEY, 0);
    OvBase::ProgramTrace.Reload();
    DeleteFileW((m_folder + L"\\Setup.log").c_str());
    RemoveDirectoryW(m_folder.c_str());
}

std::vector<std::wstring> TraceCapture::Lines() const
{
    std::ifstream file(std::filesystem::path(m_folder + L"\\Setup.log"), std::ios::binary);
    const std::string content((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::vector<std::wstring> lines;
    size_t start = 0;
    while (start < content.size())
    {
        size_t end = content.find("\r\n", start);
        if (end == std::string::npos)
            end = content.size();
        std::wstring line = FromCp1251(content.substr(start, end - start));
        line.erase(0, line.find_first_not_of(L' ') == std::wstring::npos ? line.size() : line.find_first_not_of(L' '));
        lines.push_back(line);
        start = end + 2;
    }
    return lines;
}

bool TraceCapture::Contains(const std::wstring& line) const
{
    const std::vector<std::wstring> lines = Lines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}
}

namespace testsupport
{
bool TraceCapture::ContainsText(const std::wstring& text) const
{
    const std::vector<std::wstring> lines = Lines();
    return std::any_of(lines.begin(), lines.end(), [&](const std::wstring& line) { return line.find(text) != std::wstring::npos; });
}
}
