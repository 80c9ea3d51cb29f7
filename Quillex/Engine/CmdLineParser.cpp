#include "CmdLineParser.h"

#include <windows.h>

CCmdLineParser::CCmdLineParser(bool caseSensitive) : m_caseSensitive(caseSensitive)
{
}

CCmdLineParser::CCmdLineParser(const std::wstring& text, bool caseSensitive)
    : m_caseSensitive(caseSensitive)
{
    Parse(text);
}

std::wstring CCmdLineParser::NormalizeKey(const std::wstring& key) const
{
    if (m_caseSensitive || key.empty())
        return key;
    std::wstring lower(key);
    ::CharLowerBuffW(lower.data(), static_cast<DWORD>(lower.size()));
    return lower;
}

void CCmdLineParser::Store(const std::wstring& key, const std::wstring& value)
{
    m_options.emplace(NormalizeKey(key), value);
}

CCmdLineParser::CCmdLineParser(const wchar_t* text, bool caseSensitive)
    : CCmdLineParser(std::wstring(text != nullptr ? text : L""), caseSensitive)
{
}

bool CCmdLineParser::Parse(const std::wstring& text)
{
    m_commandLine = text;
    m_options.clear();
    m_valueSpans.clear();
    int count = 0;
    const size_t length = text.size();
    size_t pos = 0;

    while (pos < length)
    {
        const size_t switchPos = text.find_first_of(L"-/", pos);
        if (switchPos == std::wstring::npos)
            break;
        const size_t keyStart = switchPos + 1;
        if (keyStart >= length)
            break;

        const size_t sep = text.find_first_of(L" :", keyStart);
        if (sep == std::wstring::npos)
        {
            Store(text.substr(keyStart), std::wstring());
            ++count;
            break;
        }

        const std::wstring key = text.substr(keyStart, sep - keyStart);
        if (text[sep] == L' ' || sep + 1 == length)
        {
            if (!key.empty())
            {
                Store(key, std::wstring());
                ++count;
            }
            pos = sep + 1;
            continue;
        }

        // A colon with a value after it.
        size_t valueStart = sep + 1;
        size_t valueEnd;
        if (text[valueStart] == L'"')
        {
            ++valueStart;
            valueEnd = text.find(L'"', valueStart);
        }
        else
        {
            // A blank inside double quotes does not end the value: /msi:NAME="a b" is one value.
            valueEnd = std::wstring::npos;
            bool quoted = false;
            for (size_t i = valueStart; i < length; ++i)
            {
                if (text[i] == L'"')
                    quoted = !quoted;
                else if (text[i] == L' ' && !quoted)
                {
                    valueEnd = i;
                    break;
                }
            }
        }

        const size_t valueLength = valueEnd == std::wstring::npos ? length - valueStart : valueEnd - valueStart;
        m_valueSpans.emplace_back(valueStart, valueLength);
        if (!key.empty())
        {
            Store(key, text.substr(valueStart, valueLength));
            ++count;
        }
        if (valueEnd == std::wstring::npos)
            break;
        pos = valueEnd + 1;
    }
    return count > 0;
}

bool CCmdLineParser::HasKey(const std::wstring& key) const
{
    return m_options.count(NormalizeKey(key)) != 0;
}

bool CCmdLineParser::HasValue(const std::wstring& key) const
{
    const auto it = m_options.find(NormalizeKey(key));
    return it != m_options.end() && !it->second.empty();
}

const wchar_t* CCmdLineParser::GetValue(const std::wstring& key) const
{
    const auto it = m_options.find(NormalizeKey(key));
    return it == m_options.end() ? nullptr : it->second.c_str();
}

bool CCmdLineParser::GetValue(const std::wstring& key, std::wstring& value) const
{
    const wchar_t* found = GetValue(key);
    if (found == nullptr)
        return false;
    value = found;
    return true;
}

std::wstring CCmdLineParser::GetMaskedCommandLine(const TextMask& mask) const
{
    std::wstring shown;
    size_t pos = 0;
    for (const auto& [start, count] : m_valueSpans)
    {
        shown += mask(m_commandLine.substr(pos, start - pos));
        shown += mask(m_commandLine.substr(start, count));
        pos = start + count;
    }
    return shown + mask(m_commandLine.substr(pos));
}

std::vector<std::wstring> CCmdLineParser::GetKeys() const
{
    std::vector<std::wstring> keys;
    for (const auto& option : m_options)
        keys.push_back(option.first);
    return keys;
}
