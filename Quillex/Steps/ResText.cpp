#include "ResText.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "ResString.h"

namespace ovinst
{
std::wstring FormatResString(UINT id, ...)
{
    const std::wstring format = utils::LoadResString(id);
    std::vector<wchar_t> buffer(1024);
    for (;;)
    {
        va_list args;
        va_start(args, id);
        const int length = ::_vsnwprintf(buffer.data(), buffer.size() - 1, format.c_str(), args);
        va_end(args);
        if (length >= 0 && static_cast<size_t>(length) < buffer.size() - 1)
            return std::wstring(buffer.data(), static_cast<size_t>(length));
        // Too small: the arguments are system texts and names, so a few doublings suffice.
        if (buffer.size() > 1024 * 1024)
            return format;
        buffer.assign(buffer.size() * 2, L'\0');
    }
}
}
