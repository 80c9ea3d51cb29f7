#include "OvErrorObject.h"

#include <cwchar>

namespace
{
std::wstring Hex8(DWORD code)
{
    wchar_t text[16];
    swprintf(text, 16, L"0x%08X", static_cast<unsigned>(code));
    return text;
}

// First hex digits after the "0x"; stops at the first other character.
DWORD ParseCode(const std::wstring& text)
{
    if (text.size() <= 2)
        return 0;
    DWORD value = 0;
    for (size_t i = 2; i < text.size(); ++i)
    {
        wchar_t c = text[i];
        DWORD digit;
        if (c >= L'0' && c <= L'9')
            digit = c - L'0';
        else if (c >= L'a' && c <= L'f')
            digit = c - L'a' + 10;
        else if (c >= L'A' && c <= L'F')
            digit = c - L'A' + 10;
        else
            break;
        value = value * 16 + digit;
    }
    return value;
}
}

namespace OvBase
{
COvError::COvError(const wchar_t* description, const wchar_t* file, int line, const wchar_t* function)
{
    Init(E_FAIL, file, line, function);
    m_properties[L"Description"] = description ? description : L"";
}

COvError::COvError(DWORD code, const wchar_t* file, int line, const wchar_t* function)
{
    Init(code, file, line, function);
    m_properties[L"Description"] = GetErrorDescription(code);
}

void COvError::Init(DWORD code, const wchar_t* file, int line, const wchar_t* function)
{
    std::map<std::wstring, std::wstring> properties;
    properties[L"Code"] = Hex8(code);
    if (file)
        properties[L"File"] = file;
    if (line != 0)
        properties[L"Line"] = std::to_wstring(line);
    if (function)
        properties[L"Function"] = function;
    m_properties = std::move(properties);
}

DWORD COvError::GetCode()
{
    return ParseCode(m_properties[L"Code"]);
}

const wchar_t* COvError::GetDescription()
{
    return m_properties[L"Description"].c_str();
}

const wchar_t* COvError::GetDebugInfo()
{
    auto found = m_properties.find(L"DebugInfo");
    if (found != m_properties.end())
        return found->second.c_str();
    std::wstring info;
    for (const wchar_t* key : {L"File", L"Line", L"Function"})
    {
        auto item = m_properties.find(key);
        if (item == m_properties.end())
            continue;
        info += key;
        info += L'\0';
        info += item->second;
        info += L'\0';
    }
    return (m_properties[L"DebugInfo"] = std::move(info)).c_str();
}

const wchar_t* COvError::GetDump()
{
    m_properties.erase(L"Dump");
    std::wstring dump;
    for (const auto& [key, value] : m_properties)
    {
        dump += key;
        dump += L": ";
        dump += value;
        dump += L"\r\n";
    }
    return (m_properties[L"Dump"] = std::move(dump)).c_str();
}

const wchar_t* COvError::GetText()
{
    return GetDump();
}

void COvError::SetValue(const std::wstring& key, const std::wstring& value)
{
    m_properties[key] = value;
}

void ThrowErrorTextAt(const wchar_t* text, const wchar_t* file, int line, const wchar_t* function)
{
    throw COvError(text, file, line, function);
}

void ThrowErrorTextAt(const std::wstring& text, const wchar_t* file, int line, const wchar_t* function)
{
    throw COvError(text.c_str(), file, line, function);
}

void ThrowErrorCodeAt(const DWORD& code, const wchar_t* file, int line, const wchar_t* function)
{
    throw COvError(code, file, line, function);
}
}
