// Texts of error codes: message modules, the system table and the fallback.
#include "OvErrorObject.h"

#include <atomic>
#include <cwchar>

namespace
{
const wchar_t kProductKey[] = L"SOFTWARE\\Calderis\\Orvane Studio";
const LANGID kDefaultLanguage = 1049;

bool InRange(DWORD code, DWORD first, DWORD last)
{
    return code >= first && code <= last;
}

std::wstring ProgramFolder()
{
    wchar_t path[MAX_PATH * 2];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
    if (length == 0 || length >= MAX_PATH * 2)
        return {};
    std::wstring folder(path, length);
    size_t slash = folder.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : folder.substr(0, slash + 1);
}

std::wstring SystemFolder()
{
    wchar_t path[MAX_PATH];
    UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return {};
    return std::wstring(path, length) + L"\\";
}

// Mapped for its resources only: no code of the module runs, not even its entry point.
HMODULE LoadAsData(const std::wstring& path)
{
    return LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
}

// Removes "%", digits and a blank before them, so "a %1 b" becomes "a b".
void RemoveInsertMarks(std::wstring& text)
{
    size_t pos = 0;
    while ((pos = text.find(L'%', pos)) != std::wstring::npos)
    {
        size_t start = (pos > 0 && text[pos - 1] == L' ') ? pos - 1 : pos;
        size_t end = pos;
        while (end < text.size() && (text[end] == L'%' || (text[end] >= L'0' && text[end] <= L'9')))
            ++end;
        text.erase(start, end - start);
        pos = start;
    }
}

bool HasInsertMark(const wchar_t* text)
{
    for (const wchar_t* p = wcschr(text, L'%'); p; p = wcschr(p + 1, L'%'))
        if (p[1] >= L'1' && p[1] <= L'9')
            return true;
    return false;
}

std::atomic<LANGID> g_messageLanguage{0};
}

namespace OvBase
{
std::wstring FormatErrorCode(DWORD code)
{
    wchar_t text[32];
    swprintf(text, 32, L"0x%08X (%u)", static_cast<unsigned>(code), static_cast<unsigned>(code));
    return text;
}

LANGID GetMessageLanguage()
{
    LANGID language = g_messageLanguage.load(std::memory_order_relaxed);
    if (language != 0)
        return language;
    language = kDefaultLanguage;
    wchar_t name[16] = {};
    DWORD size = sizeof(name) - sizeof(wchar_t);
    DWORD type = 0;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kProductKey, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) == ERROR_SUCCESS)
    {
        if (RegQueryValueExW(key, L"ProductLocale", nullptr, &type, reinterpret_cast<BYTE*>(name), &size) ==
                ERROR_SUCCESS &&
            type == REG_SZ && wcslen(name) == 5)
        {
            LCID lcid = LocaleNameToLCID(name, 0);
            if (lcid != 0)
                language = LANGIDFROMLCID(lcid);
        }
        RegCloseKey(key);
    }
    g_messageLanguage.store(language, std::memory_order_relaxed);
    return language;
}

HMODULE OpenMessageModule(DWORD code)
{
    if ((code & 0x06000000) == 0x06000000)
    {
        // Only the copy beside the program: a plain name would let the loader take one from
        // the current folder or the path, whose texts the user would then be shown.
        std::wstring folder = ProgramFolder();
        return folder.empty() ? nullptr : LoadAsData(folder + L"OvError.dll");
    }
    const wchar_t* name = nullptr;
    DWORD page = code & 0xFFFFF000;
    if (page == 0x80005000 || page == 0x00005000)
        name = L"ActiveDS.dll";
    else if ((code & 0xFFFF0000) == 0xC0020000)
        name = L"NtDll.dll";
    else if (InRange(code, 0x80041001, 0x80041099) || InRange(code, 0x80042001, 0x80042003) ||
             InRange(code, 0x80044001, 0x80044031))
        name = L"wbem\\wmiutils.dll";
    std::wstring folder = SystemFolder();
    if (!name || folder.empty())
        return nullptr;
    return LoadAsData(folder + name);
}

std::wstring FormatMessageText(DWORD code, HMODULE module, const std::vector<std::wstring>* arguments)
{
    DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | (module ? FORMAT_MESSAGE_FROM_HMODULE : FORMAT_MESSAGE_FROM_SYSTEM);
    std::vector<DWORD_PTR> inserts;
    if (arguments)
    {
        flags |= FORMAT_MESSAGE_ARGUMENT_ARRAY;
        for (const std::wstring& argument : *arguments)
            inserts.push_back(reinterpret_cast<DWORD_PTR>(argument.c_str()));
        // A message may refer to more inserts than given: they read as empty texts.
        while (inserts.size() < 99)
            inserts.push_back(reinterpret_cast<DWORD_PTR>(L""));
    }
    else
    {
        flags |= FORMAT_MESSAGE_IGNORE_INSERTS;
    }
    auto* argumentList = arguments ? reinterpret_cast<va_list*>(inserts.data()) : nullptr;

    wchar_t* buffer = nullptr;
    DWORD length = FormatMessageW(flags, module, code, GetMessageLanguage(), reinterpret_cast<wchar_t*>(&buffer), 0,
                                  argumentList);
    if (length == 0)
    {
        buffer = nullptr;
        length = FormatMessageW(flags, module, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, argumentList);
    }
    if (length == 0 || !buffer)
        return FormatErrorCode(code);
    std::wstring text(buffer, length);
    LocalFree(buffer);

    size_t cr = text.rfind(L'\r');
    if (cr != std::wstring::npos)
        text.erase(cr);
    RemoveInsertMarks(text);
    return text;
}

std::wstring GetErrorDescription(DWORD code)
{
    if (code == 0xFFFFFFFF)
        code = GetLastError();
    HMODULE module = OpenMessageModule(code);
    std::wstring text = FormatMessageText(code, module, nullptr);
    if (module)
        FreeLibrary(module);
    return text;
}

void FormatSystemError(wchar_t* buffer, size_t size, DWORD code)
{
    if (!buffer || size == 0)
        return;
    buffer[0] = L'\0';
    if (code == 0)
        code = GetLastError();
    wchar_t* message = nullptr;
    DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, code, 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
    if (length == 0 || !message)
        return;
    // A message that needs inserts has no text without them.
    if (HasInsertMark(message))
    {
        LocalFree(message);
        return;
    }
    std::wstring text(message, length);
    LocalFree(message);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r'))
        text.pop_back();
    int precision = size > 16 ? static_cast<int>(size - 16) : 0;
    _snwprintf(buffer, size, L"%.*s (0x%x)", precision, text.c_str(), static_cast<unsigned>(code));
    buffer[size - 1] = L'\0';
}
}
