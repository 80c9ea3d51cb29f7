#include "FormatString.h"

#include <cstdio>
#include <vector>

namespace OvBase
{
std::wstring FormatStringV(const wchar_t* format, va_list args)
{
    if (!format)
        return {};
    std::vector<wchar_t> buffer(256);
    // _vsnwprintf reports truncation only by -1, so the buffer grows until the text fits,
    // up to a bound that no message of the program comes near.
    for (;;)
    {
        va_list copy;
        va_copy(copy, args);
        const int written = _vsnwprintf(buffer.data(), buffer.size(), format, copy);
        va_end(copy);
        if (written >= 0 && static_cast<size_t>(written) < buffer.size())
            return std::wstring(buffer.data(), static_cast<size_t>(written));
        if (buffer.size() >= (1u << 24))
            return format;
        buffer.resize(buffer.size() * 4);
    }
}

std::wstring FormatString(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    std::wstring text = FormatStringV(format, args);
    va_end(args);
    return text;
}
}
