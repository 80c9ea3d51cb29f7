#include "ValueMask.h"

#include <cwctype>

namespace ovinst
{
namespace
{
bool IsWordChar(wchar_t c)
{
    return c == L'_' || std::iswalnum(c);
}

// A byte of a multi-byte character counts as a letter.
bool IsWordChar(char c)
{
    const unsigned char byte = static_cast<unsigned char>(c);
    return byte == '_' || byte >= 0x80 || (byte >= '0' && byte <= '9') || ((byte | 0x20) >= 'a' && (byte | 0x20) <= 'z');
}

template <class Text>
bool MaskAll(Text& text, const std::vector<Text>& secrets, const Text& mask)
{
    bool changed = false;
    for (const Text& secret : secrets)
    {
        if (secret.empty())
            continue;
        size_t at = text.find(secret);
        while (at != Text::npos)
        {
            const size_t end = at + secret.size();
            const bool whole = (at == 0 || !IsWordChar(text[at - 1])) && (end == text.size() || !IsWordChar(text[end]));
            if (!whole)
            {
                at = text.find(secret, at + 1);
                continue;
            }
            text.replace(at, secret.size(), mask);
            changed = true;
            at = text.find(secret, at + mask.size());
        }
    }
    return changed;
}
}

bool MaskWholeValues(std::wstring& text, const std::vector<std::wstring>& secrets)
{
    return MaskAll(text, secrets, std::wstring(L"***"));
}

bool MaskWholeValues(std::string& bytes, const std::vector<std::string>& secrets)
{
    return MaskAll(bytes, secrets, std::string("***"));
}
}
