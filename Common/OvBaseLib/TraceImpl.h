// The working part of the trace: registry configuration, line layout and outputs.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdarg>
#include <locale.h>
#include <string>

namespace OvBase
{
// Bits of the params mask.
enum TraceParams : DWORD
{
    TraceToFile = 0x1,
    TraceToDebugger = 0x8,
    TraceToConsole = 0x10,
    TraceAppend = 0x100,
    TraceMilliseconds = 0x400,
    TraceIds = 0x800,
    TraceTime = 0x1000,
    TraceDate = 0x2000,
    TraceSession = 0x4000,
    TraceModuleName = 0x8000,
};

extern const wchar_t kTraceKey[];

class CTraceImpl
{
public:
    // keepEarlierRuns: never truncate the module's own log file; each load appends the
    // separator line instead, as the append bit would.
    explicit CTraceImpl(const wchar_t* moduleName, bool keepEarlierRuns = false);
    CTraceImpl(const CTraceImpl&) = delete;
    CTraceImpl& operator=(const CTraceImpl&) = delete;

    virtual ~CTraceImpl();
    virtual bool Reload();
    virtual bool IsEnabled();
    virtual bool IsLevelEnabled(DWORD level);
    virtual bool IsContext(DWORD value);
    virtual bool IsTimeEnabled();
    virtual bool IsMillisecondsEnabled();

    // Formats a message and writes it as one line (nothing for a null or empty format).
    void TraceVW(DWORD level, const wchar_t* format, va_list args);
    void TraceVA(DWORD level, const char* format, va_list args);
    void TraceDump(DWORD level, const wchar_t* title, const void* data, size_t size, DWORD flags);
    // Builds one line of `length` characters of text and sends it to the outputs.
    void WriteLine(DWORD level, const void* text, size_t length, bool wide);

    std::wstring GetLogFilePath();
    DWORD GetEnableMask() const { return m_enableMask.load(std::memory_order_relaxed); }
    DWORD GetParamsMask() const { return m_paramsMask.load(std::memory_order_relaxed); }

private:
    bool LoadConfiguration();
    template <class Char>
    void TraceFormatted(DWORD level, const Char* format, va_list args);
    void WriteToFile(const char* line, DWORD bytes);

    // Configuration.
    std::wstring m_moduleName;
    std::wstring m_logFilePath;
    std::atomic<DWORD> m_enableMask{0};
    std::atomic<DWORD> m_paramsMask{0};
    std::atomic<DWORD> m_contextMask{0};
    std::atomic<DWORD> m_commonFileFlag{0};
    // Guards the path and its mutex against a reload while other threads write.
    SRWLOCK m_pathLock = SRWLOCK_INIT;
    // Serialises appends of all processes to the same file: an append-only handle alone
    // does not keep lines whole everywhere.
    HANDLE m_fileMutex = nullptr;
    std::string m_moduleNameNarrow;
    // Console.
    HANDLE m_console = nullptr;
    bool m_consoleAllocated = false;
    bool m_keepEarlierRuns = false;
    // Number formatting of messages.
    _locale_t m_locale = nullptr;
    DWORD m_sessionId = 0xFFFFFFFF;
};

// Creates the missing folders of a file path with the log folders' access list.
bool CreateFoldersOfPath(const std::wstring& path);
}
