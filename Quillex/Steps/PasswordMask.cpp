#include "PasswordMask.h"

#include <windows.h>

#include <cwctype>
#include <string>

#include "Trace.h"
#include "ValueMask.h"

namespace ovinst
{
namespace
{
const wchar_t* const kPasswordProperties[] = {L"OVDBAPASSWORD_TEMP", L"OVDBUPASSWORD_TEMP", L"OVDBAPASSWORD"};

bool EqualsIgnoreCase(const std::wstring& text, size_t pos, const std::wstring& word)
{
    if (text.size() - pos < word.size())
        return false;
    for (size_t i = 0; i < word.size(); ++i)
        if (std::towupper(text[pos + i]) != std::towupper(word[i]))
            return false;
    return true;
}

// End of the value that starts at `pos`.
size_t ValueEnd(const std::wstring& text, size_t pos)
{
    if (pos < text.size() && text[pos] == L'"')
    {
        for (size_t i = pos + 1; i < text.size(); ++i)
        {
            if (text[i] != L'"')
                continue;
            if (i + 1 < text.size() && text[i + 1] == L'"')
            {
                ++i;
                continue;
            }
            // A quotation mark inside the value (not doubled): the value runs on to a
            // closing one that a blank or the end follows.
            if (i + 1 == text.size() || std::iswspace(text[i + 1]))
                return i + 1;
        }
        return text.size();
    }
    size_t end = pos;
    while (end < text.size() && !std::iswspace(text[end]))
        ++end;
    return end;
}
}

bool IsPasswordProperty(const std::wstring& name)
{
    for (const wchar_t* property : kPasswordProperties)
        if (name.size() == wcslen(property) && EqualsIgnoreCase(name, 0, property))
            return true;
    return false;
}

std::wstring MaskedValue(const std::wstring& name, const std::wstring& value)
{
    return IsPasswordProperty(name) ? L"***" : value;
}

std::wstring MaskPasswords(const std::wstring& commandLine)
{
    std::wstring result;
    size_t pos = 0;
    while (pos < commandLine.size())
    {
        const bool atWordStart = pos == 0 || std::iswspace(commandLine[pos - 1]) || commandLine[pos - 1] == L'(';
        bool masked = false;
        if (atWordStart)
        {
            for (const wchar_t* property : kPasswordProperties)
            {
                const std::wstring spaced = std::wstring(property) + L" = ";
                if (EqualsIgnoreCase(commandLine, pos, spaced))
                {
                    size_t end = commandLine.find_first_of(L"\r\n", pos + spaced.size());
                    if (end == std::wstring::npos)
                        end = commandLine.size();
                    result.append(commandLine, pos, spaced.size());
                    result += L"***";
                    pos = end;
                    masked = true;
                    break;
                }
                const std::wstring key = std::wstring(property) + L"=";
                if (!EqualsIgnoreCase(commandLine, pos, key))
                    continue;
                const size_t valueStart = pos + key.size();
                const size_t valueEnd = ValueEnd(commandLine, valueStart);
                const bool quoted = valueStart < commandLine.size() && commandLine[valueStart] == L'"';
                result.append(commandLine, pos, key.size());
                result += quoted ? L"\"***\"" : L"***";
                pos = valueEnd;
                masked = true;
                break;
            }
        }
        if (!masked)
            result += commandLine[pos++];
    }
    return result;
}
}

namespace ovinst
{
std::vector<std::wstring> PasswordValues(const std::wstring& commandLine)
{
    std::vector<std::wstring> values;
    for (size_t pos = 0; pos < commandLine.size(); ++pos)
    {
        if (pos != 0 && !std::iswspace(commandLine[pos - 1]))
            continue;
        for (const wchar_t* property : kPasswordProperties)
        {
            const std::wstring key = std::wstring(property) + L"=";
            if (!EqualsIgnoreCase(commandLine, pos, key))
                continue;
            const size_t start = pos + key.size();
            const size_t end = ValueEnd(commandLine, start);
            std::wstring value = commandLine.substr(start, end - start);
            if (value.size() >= 2 && value.front() == L'"' && value.back() == L'"')
                value = value.substr(1, value.size() - 2);
            for (size_t quote = value.find(L"\"\""); quote != std::wstring::npos; quote = value.find(L"\"\"", quote + 1))
                value.erase(quote, 1);
            if (!value.empty())
                values.push_back(value);
            break;
        }
    }
    return values;
}

namespace
{
std::string Narrow(const std::wstring& text, UINT codePage)
{
    const int size = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(size > 0 ? static_cast<size_t>(size) : 0, '\0');
    if (size > 0)
        WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
    return bytes;
}
}

std::wstring MaskSecrets(const std::wstring& text, const std::vector<std::wstring>& secrets)
{
    std::wstring masked = text;
    MaskWholeValues(masked, secrets);
    return MaskPasswords(masked);
}

void ScrubLogFile(const std::wstring& path, const std::vector<std::wstring>& secrets)
{
    if (secrets.empty())
        return;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
    {
        // The passwords may still be in it: someone must look.
        const DWORD error = GetLastError();
        OvBase::TraceLine(OvBase::TraceWarning, L"Cannot open the log file '%s' to mask the passwords: %u", path.c_str(),
                          static_cast<unsigned>(error));
        return;
    }
    std::string bytes;
    char chunk[65536];
    DWORD read = 0;
    BOOL readOk = TRUE;
    while ((readOk = ReadFile(file, chunk, sizeof(chunk), &read, nullptr)) && read > 0)
        bytes.append(chunk, read);
    if (!readOk)
    {
        const DWORD error = GetLastError();
        OvBase::TraceLine(OvBase::TraceWarning, L"Cannot read the log file '%s' to mask the passwords: %u", path.c_str(),
                          static_cast<unsigned>(error));
        CloseHandle(file);
        return;
    }
    bool changed = false;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE)
    {
        std::wstring text(bytes.size() / 2, L'\0');
        memcpy(text.data(), bytes.data(), text.size() * 2);
        changed = MaskWholeValues(text, secrets);
        bytes.assign(reinterpret_cast<const char*>(text.data()), text.size() * 2);
    }
    else
    {
        std::vector<std::string> narrow;
        for (const std::wstring& secret : secrets)
            for (UINT codePage : {static_cast<UINT>(CP_ACP), static_cast<UINT>(CP_UTF8)})
                narrow.push_back(Narrow(secret, codePage));
        changed = MaskWholeValues(bytes, narrow);
    }
    if (changed)
    {
        DWORD written = 0;
        const bool ok = SetFilePointer(file, 0, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER &&
                        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                        written == bytes.size() && SetEndOfFile(file);
        if (!ok)
        {
            const DWORD error = GetLastError();
            OvBase::TraceLine(OvBase::TraceWarning, L"Cannot write the log file '%s' with the passwords masked: %u",
                              path.c_str(), static_cast<unsigned>(error));
        }
    }
    CloseHandle(file);
}
}
