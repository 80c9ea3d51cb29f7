#include "SharedRegionText.h"

#include <cstdint>
#include <cstring>

namespace ovinst
{
std::wstring ReadCountedText(const void* region, size_t regionSize, size_t& offset, unsigned long* count)
{
    if (count)
        *count = 0;
    const auto* base = static_cast<const unsigned char*>(region);
    if (!base || offset > regionSize || regionSize - offset < sizeof(uint32_t))
    {
        offset = regionSize;
        return {};
    }
    uint32_t bytes = 0;
    std::memcpy(&bytes, base + offset, sizeof(bytes));
    if (count)
        *count = bytes;
    offset += sizeof(bytes);
    if (bytes > regionSize - offset)
    {
        offset = regionSize;
        return {};
    }
    std::wstring text(bytes / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), base + offset, text.size() * sizeof(wchar_t));
    offset += bytes;
    text.resize(wcsnlen(text.c_str(), text.size()));
    return text;
}

std::wstring ReadTerminatedText(const void* region, size_t regionSize, size_t offset)
{
    const auto* base = static_cast<const unsigned char*>(region);
    if (!base || offset >= regionSize)
        return {};
    const size_t capacity = (regionSize - offset) / sizeof(wchar_t);
    std::wstring text;
    for (size_t i = 0; i < capacity; ++i)
    {
        wchar_t c;
        std::memcpy(&c, base + offset + i * sizeof(wchar_t), sizeof(c));
        if (c == L'\0')
            return text;
        text += c;
    }
    return {};
}
}
