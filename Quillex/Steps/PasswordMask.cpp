#include "PasswordMask.h"

#include <cwctype>

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
        const bool atWordStart = pos == 0 || std::iswspace(commandLine[pos - 1]);
        bool masked = false;
        if (atWordStart)
        {
            for (const wchar_t* property : kPasswordProperties)
            {
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
