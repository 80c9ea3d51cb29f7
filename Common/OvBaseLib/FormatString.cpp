#include "FormatString.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace OvBase
{
std::wstring FormatString(const wchar_t* format, ...)
{
    if (!format)
        return {};
    std::vector<wchar_t> buffer(256);
    // _vsnwprintf reports truncation only by -1, so the buffer grows until the text fits,
    // up to a bound that no message of the program comes near.
    for (;;)
    {
        va_list args;
        va_start(args, format);
        const int written = _vsnwprintf(buffer.data(), buffer.size(), format, args);
        va_end(args);
        if (written >= 0 && static_cast<size_t>(written) < buffer.size())
            return std::wstring(buffer.data(), static_cast<size_t>(written));
        if (buffer.size() >= (1u << 24))
            return format;
        buffer.resize(buffer.size() * 4);
    }
}
}
