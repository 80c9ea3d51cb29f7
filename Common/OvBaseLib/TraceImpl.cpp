#include "TraceImpl.h"

#include "LogFolderSecurity.h"

#include <cwchar>
#include <mutex>
#include <stdio.h>

#include "LastErrorKeeper.h"

using OvBase::CLastErrorKeeper;

namespace
{
const char kBreakNote[] = "W> A break is requested after last output, but ommitted in release.\n";
const char kSeparator[] = "\r\n********************************************************************\r\n\r\n";
const UINT kLogCodePage = 1251;
const size_t kMaxMessageChars = 64 * 1024 * 1024;


// A growable array from the process heap.
template <class T>
class CHeapArray
{
public:
    explicit CHeapArray(size_t count) { Grow(count); }
    ~CHeapArray()
    {
        if (m_data)
            HeapFree(GetProcessHeap(), 0, m_data);
    }
    CHeapArray(const CHeapArray&) = delete;
    CHeapArray& operator=(const CHeapArray&) = delete;

    bool Grow(size_t count)
    {
        void* data = m_data ? HeapReAlloc(GetProcessHeap(), 0, m_data, count * sizeof(T))
                            : HeapAlloc(GetProcessHeap(), 0, count * sizeof(T));
        if (!data)
            return false;
        m_data = static_cast<T*>(data);
        m_count = count;
        return true;
    }
    T* Data() { return m_data; }
    size_t Count() const { return m_count; }

private:
    T* m_data = nullptr;
    size_t m_count = 0;
};

typedef void(WINAPI* OutputDebugStringProc)(const char*);

// The program may route debugger output through its own export.
OutputDebugStringProc DebugOutput()
{
    static std::once_flag once;
    static OutputDebugStringProc proc = nullptr;
    std::call_once(once, [] {
        proc = reinterpret_cast<OutputDebugStringProc>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(nullptr), "OvOutputDebugString")));
        if (!proc)
            proc = &OutputDebugStringA;
    });
    return proc;
}

std::string ToLogCodePage(const wchar_t* text, size_t length)
{
    std::string out;
    if (length == 0)
        return out;
    out.resize(length * 2);
    int written = WideCharToMultiByte(kLogCodePage, WC_NO_BEST_FIT_CHARS, text, static_cast<int>(length), out.data(),
                                      static_cast<int>(out.size()), nullptr, nullptr);
    out.resize(written > 0 ? static_cast<size_t>(written) : 0);
    return out;
}

// Digits of `value` in base 10 or 16 (upper case), padded with zeros to `width`.
template <class Char>
Char* AppendNumber(Char* out, unsigned value, unsigned base, int width)
{
    static const char kDigits[] = "0123456789ABCDEF";
    Char digits[16];
    int count = 0;
    do
    {
        digits[count++] = static_cast<Char>(kDigits[value % base]);
        value /= base;
    } while (value != 0);
    for (int i = count; i < width; ++i)
        *out++ = static_cast<Char>('0');
    while (count > 0)
        *out++ = digits[--count];
    return out;
}

char* AppendDecimal(char* out, unsigned value, int width)
{
    return AppendNumber(out, value, 10, width);
}

char* AppendHex(char* out, unsigned value, int width)
{
    return AppendNumber(out, value, 16, width);
}

void AppendHexW(std::wstring& out, unsigned value, int width)
{
    wchar_t digits[16];
    out.append(digits, AppendNumber(digits, value, 16, width));
}

int PrintV(wchar_t* text, size_t count, const wchar_t* format, _locale_t locale, va_list args)
{
    return locale ? _vsnwprintf_l(text, count, format, locale, args) : _vsnwprintf(text, count, format, args);
}

int PrintV(char* text, size_t count, const char* format, _locale_t locale, va_list args)
{
    return locale ? _vsnprintf_l(text, count, format, locale, args) : _vsnprintf(text, count, format, args);
}

// Formats into a heap buffer that doubles until the text fits; false when it never does.
template <class Char, class Format>
bool FormatGrowing(CHeapArray<Char>& buffer, Format format, size_t& length)
{
    for (;;)
    {
        if (!buffer.Data())
            return false;
        int result = format(buffer.Data(), buffer.Count());
        if (result >= 0 && static_cast<size_t>(result) < buffer.Count())
        {
            length = static_cast<size_t>(result);
            return true;
        }
        if (buffer.Count() >= kMaxMessageChars || !buffer.Grow(buffer.Count() * 2))
            return false;
    }
}

HANDLE OpenForAppend(const std::wstring& path)
{
    if (path.empty())
        return INVALID_HANDLE_VALUE;
    return CreateFileW(path.c_str(), FILE_APPEND_DATA | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}
}

namespace OvBase
{
CTraceImpl::CTraceImpl(const wchar_t* moduleName, bool keepEarlierRuns)
    : m_moduleName(moduleName ? moduleName : L""), m_keepEarlierRuns(keepEarlierRuns)
{
    m_moduleNameNarrow = ToLogCodePage(m_moduleName.c_str(), m_moduleName.size());
    m_locale = _create_locale(LC_ALL, "Russian");
    DWORD session = 0;
    if (ProcessIdToSessionId(GetCurrentProcessId(), &session))
        m_sessionId = session;
    Reload();
}

CTraceImpl::~CTraceImpl()
{
    if (m_fileMutex)
        CloseHandle(m_fileMutex);
    if (m_locale)
        _free_locale(m_locale);
    if (m_consoleAllocated)
        FreeConsole();
}

bool CTraceImpl::IsEnabled()
{
    return GetEnableMask() != 0 && (GetParamsMask() & 0xFF) != 0;
}

bool CTraceImpl::IsLevelEnabled(DWORD level)
{
    return (level & GetEnableMask()) != 0;
}

bool CTraceImpl::IsContext(DWORD value)
{
    return value == m_contextMask.load(std::memory_order_relaxed);
}

bool CTraceImpl::IsTimeEnabled()
{
    return (GetParamsMask() & TraceTime) != 0;
}

bool CTraceImpl::IsMillisecondsEnabled()
{
    return (GetParamsMask() & TraceMilliseconds) != 0;
}

std::wstring CTraceImpl::GetLogFilePath()
{
    AcquireSRWLockShared(&m_pathLock);
    std::wstring path = m_logFilePath;
    ReleaseSRWLockShared(&m_pathLock);
    return path;
}

bool CTraceImpl::Reload()
{
    CLastErrorKeeper keepError;
    if (!LoadConfiguration())
        return false;
    DWORD params = GetParamsMask();
    DWORD common = m_commonFileFlag.load();
    if (params & TraceToFile)
    {
        // Before the first write: the folder and the file are the run's own, not what another
        // account put in their place.
        std::wstring path = SecureLogFilePath(GetLogFilePath(), common != 0);
        AcquireSRWLockExclusive(&m_pathLock);
        m_logFilePath = path;
        ReleaseSRWLockExclusive(&m_pathLock);
        bool separated = common == 0 && ((params & TraceAppend) != 0 || m_keepEarlierRuns);
        bool append = common != 0 || separated;
        auto open = [&] {
            return append ? OpenForAppend(path)
                          : CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        };
        DWORD wait = m_fileMutex ? WaitForSingleObject(m_fileMutex, 5000) : WAIT_FAILED;
        HANDLE file = open();
        if (file == INVALID_HANDLE_VALUE && CreateFoldersOfPath(path))
            file = open();
        if (file != INVALID_HANDLE_VALUE)
        {
            if (separated)
            {
                DWORD written = 0;
                WriteFile(file, kSeparator, sizeof(kSeparator) - 1, &written, nullptr);
            }
            CloseHandle(file);
        }
        if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED)
            ReleaseMutex(m_fileMutex);
    }
    if (params & TraceToConsole)
    {
        if (!m_console)
        {
            m_consoleAllocated = AllocConsole() != FALSE;
            m_console = GetStdHandle(STD_OUTPUT_HANDLE);
        }
        if (m_console && m_console != INVALID_HANDLE_VALUE)
            SetConsoleTitleW(m_moduleName.c_str());
    }
    else
    {
        if (m_consoleAllocated)
            FreeConsole();
        m_consoleAllocated = false;
        m_console = nullptr;
    }
    return true;
}

void CTraceImpl::TraceVW(DWORD level, const wchar_t* format, va_list args)
{
    TraceFormatted(level, format, args);
}

void CTraceImpl::TraceVA(DWORD level, const char* format, va_list args)
{
    TraceFormatted(level, format, args);
}

template <class Char>
void CTraceImpl::TraceFormatted(DWORD level, const Char* format, va_list args)
{
    CLastErrorKeeper keepError;
    if (!IsEnabled() || !IsLevelEnabled(level) || !format || !*format)
        return;
    CHeapArray<Char> buffer(256);
    size_t length = 0;
    auto print = [&](Char* text, size_t count) {
        va_list copy;
        va_copy(copy, args);
        int result = PrintV(text, count, format, m_locale, copy);
        va_end(copy);
        return result;
    };
    if (FormatGrowing(buffer, print, length))
        WriteLine(level, buffer.Data(), length, sizeof(Char) == sizeof(wchar_t));
}

void CTraceImpl::TraceDump(DWORD level, const wchar_t* title, const void* data, size_t size, DWORD flags)
{
    if (!data || size == 0)
        return;
    CLastErrorKeeper keepError;
    if (!IsEnabled() || !IsLevelEnabled(level))
        return;

    size_t unitBytes = (flags & 0x80) ? 4 : (flags & 0x40) ? 2 : 1;
    size_t perRow = (flags & 0x80) ? 8 : (flags & 0x40) ? 16 : 32;
    size_t units = size / unitBytes;
    size_t lowLimit = 256 * unitBytes;
    size_t highLimit = 0x10000 * unitBytes - 1;
    int offsetWidth = size < lowLimit ? 2 : size <= highLimit ? 4 : 8;

    std::wstring text = title ? title : L"";
    text.reserve(text.size() + units * (unitBytes * 2 + 3) + (units / perRow + 1) * 14);
    const BYTE* bytes = static_cast<const BYTE*>(data);
    for (size_t i = 0; i < units; ++i)
    {
        size_t column = i % perRow;
        if (column == 0)
        {
            text += L"\r\n ";
            AppendHexW(text, static_cast<unsigned>(i), offsetWidth);
            text += L':';
        }
        else if (unitBytes < 4 && column % 8 == 0)
        {
            text += L" -";
        }
        unsigned value = 0;
        memcpy(&value, bytes + i * unitBytes, unitBytes);
        text += L' ';
        AppendHexW(text, value, static_cast<int>(unitBytes * 2));
    }
    if (units % perRow != 0)
        text += L"\r\n";
    WriteLine(level, text.c_str(), text.size(), true);
}

void CTraceImpl::WriteLine(DWORD level, const void* text, size_t length, bool wide)
{
    CLastErrorKeeper keepError;
    DWORD params = GetParamsMask();
    bool showModule = m_commonFileFlag.load(std::memory_order_relaxed) != 0 || (params & TraceModuleName);

    CHeapArray<char> line(length + 256 + (showModule ? m_moduleNameNarrow.size() : 0));
    if (!line.Data())
        return;
    char* out = line.Data();

    SYSTEMTIME now;
    GetLocalTime(&now);
    if (params & TraceDate)
    {
        out = AppendDecimal(out, now.wDay, 2);
        *out++ = '.';
        out = AppendDecimal(out, now.wMonth, 2);
        *out++ = '.';
        out = AppendDecimal(out, now.wYear, 4);
        *out++ = ' ';
    }
    if (params & TraceTime)
    {
        out = AppendDecimal(out, now.wHour, 2);
        *out++ = ':';
        out = AppendDecimal(out, now.wMinute, 2);
        *out++ = ':';
        out = AppendDecimal(out, now.wSecond, 2);
        if (params & TraceMilliseconds)
        {
            *out++ = '.';
            out = AppendDecimal(out, now.wMilliseconds, 3);
        }
    }
    if (showModule)
    {
        *out++ = '[';
        memcpy(out, m_moduleNameNarrow.data(), m_moduleNameNarrow.size());
        out += m_moduleNameNarrow.size();
        *out++ = ']';
        *out++ = ' ';
    }
    if (params & TraceSession)
    {
        *out++ = '[';
        out = AppendHex(out, m_sessionId, 8);
        *out++ = ']';
        *out++ = ' ';
    }
    if (params & TraceIds)
    {
        *out++ = '[';
        out = AppendHex(out, GetCurrentProcessId(), 1);
        *out++ = ':';
        out = AppendHex(out, GetCurrentThreadId(), 1);
        *out++ = ']';
        *out++ = ' ';
    }
    if (level == 4 || level == 8)
    {
        *out++ = level == 4 ? 'W' : 'E';
        *out++ = '>';
        *out++ = ' ';
    }
    if (wide)
    {
        if (length > 0)
        {
            // One byte per character: characters outside the code page become its default one.
            int written = WideCharToMultiByte(kLogCodePage, WC_NO_BEST_FIT_CHARS, static_cast<const wchar_t*>(text),
                                              static_cast<int>(length), out, static_cast<int>(length), nullptr,
                                              nullptr);
            out += written > 0 ? written : 0;
        }
    }
    else
    {
        memcpy(out, text, length);
        out += length;
    }
    *out++ = '\r';
    *out++ = '\n';
    *out = '\0';
    DWORD bytes = static_cast<DWORD>(out - line.Data());

    if (params & TraceToDebugger)
        DebugOutput()(line.Data());
    if (params & TraceToFile)
        WriteToFile(line.Data(), bytes);
    if ((params & TraceToConsole) && m_console && m_console != INVALID_HANDLE_VALUE)
    {
        DWORD written = 0;
        if (!WriteConsoleA(m_console, line.Data(), bytes, &written, nullptr))
            WriteFile(m_console, line.Data(), bytes, &written, nullptr);
    }
    if (level == 16)
    {
        OutputDebugStringA(line.Data());
        OutputDebugStringA(kBreakNote);
    }
}

void CTraceImpl::WriteToFile(const char* line, DWORD bytes)
{
    AcquireSRWLockShared(&m_pathLock);
    // Opened per line: other processes and readers share the file between lines.
    bool locked = false;
    if (m_fileMutex)
    {
        // An abandoned mutex is ours now; a writer stuck for seconds does not cost the line.
        DWORD wait = WaitForSingleObject(m_fileMutex, 5000);
        locked = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
    }
    HANDLE file = OpenForAppend(m_logFilePath);
    if (file == INVALID_HANDLE_VALUE && CreateFoldersOfPath(m_logFilePath))
        file = OpenForAppend(m_logFilePath);
    if (file != INVALID_HANDLE_VALUE)
    {
        DWORD written = 0;
        WriteFile(file, line, bytes, &written, nullptr);
        CloseHandle(file);
    }
    if (locked)
        ReleaseMutex(m_fileMutex);
    ReleaseSRWLockShared(&m_pathLock);
}
}
