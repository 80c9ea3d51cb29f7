#include "ResString.h"

#include <cstdarg>

#include "FormatString.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace utils
{
std::wstring LoadResString(UINT id)
{
    // Length 0 asks for a read-only pointer into the resource itself, so texts of any
    // length load whole.
    const wchar_t* text = nullptr;
    const int length = ::LoadStringW(reinterpret_cast<HINSTANCE>(&__ImageBase), id,
                                     reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || text == nullptr)
        return L"<ERROR LOADING STRING: " + std::to_wstring(id) + L">";
    return std::wstring(text, static_cast<size_t>(length));
}

std::wstring FormatResString(UINT id, ...)
{
    const std::wstring format = LoadResString(id);
    va_list args;
    va_start(args, id);
    std::wstring text = OvBase::FormatStringV(format.c_str(), args);
    va_end(args);
    return text;
}
}
