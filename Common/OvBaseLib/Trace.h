// The trace facility: levels, the process-wide trace object, prefixes and function contexts.
#pragma once

#include <windows.h>

#include <cstdarg>
#include <memory>
#include <string>

#include "FunctionName.h"

namespace OvBase
{
enum TraceLevel : DWORD
{
    TraceInfo = 2,
    TraceWarning = 4,
    TraceError = 8,
    TraceBreak = 16,
};

// Flags of TraceDump: the unit of the dumped values (bytes when neither is set).
enum TraceDumpFlags : DWORD
{
    TraceDumpWords = 0x40,
    TraceDumpDwords = 0x80,
};

class ITrace
{
public:
    virtual void TraceA(DWORD level, const char* format, ...) = 0;
    virtual void TraceW(DWORD level, const wchar_t* format, ...) = 0;
    virtual void TraceVA(DWORD level, const char* format, va_list args) = 0;
    virtual void TraceVW(DWORD level, const wchar_t* format, va_list args) = 0;
    virtual void TraceDump(DWORD level, const wchar_t* title, const void* data, size_t size, DWORD flags) = 0;

protected:
    ~ITrace() = default;
};

class CTraceImpl;

// Formats messages and hands them to its CTraceImpl; never throws, keeps the last error.
class COvTrace : public ITrace
{
public:
    // keepEarlierRuns: the log file is never truncated when the configuration is loaded.
    explicit COvTrace(const wchar_t* moduleName, bool keepEarlierRuns = false);
    COvTrace(const COvTrace&) = delete;
    COvTrace& operator=(const COvTrace&) = delete;

    void TraceA(DWORD level, const char* format, ...) override;
    void TraceW(DWORD level, const wchar_t* format, ...) override;
    void TraceVA(DWORD level, const char* format, va_list args) override;
    void TraceVW(DWORD level, const wchar_t* format, va_list args) override;
    void TraceDump(DWORD level, const wchar_t* title, const void* data, size_t size, DWORD flags) override;
    virtual ~COvTrace();
    virtual bool Reload();
    virtual bool IsEnabled();
    virtual bool IsLevelEnabled(DWORD level);
    virtual bool IsContext(DWORD value);
    virtual bool IsTimeEnabled();
    virtual bool IsMillisecondsEnabled();

private:
    std::unique_ptr<CTraceImpl> m_impl;
};

// The program's trace, module "Setup".
extern COvTrace ProgramTrace;
// Number of open function contexts of all threads.
extern volatile LONG TraceDepth;

// Puts a prefix before every message and filters by level before any formatting.
class CTracePrefix
{
public:
    CTracePrefix(COvTrace* trace, const wchar_t* prefix, int context);
    CTracePrefix(const CTracePrefix&) = delete;
    CTracePrefix& operator=(const CTracePrefix&) = delete;

    virtual ~CTracePrefix();
    virtual void Trace(DWORD level, const wchar_t* format, ...);
    virtual void TraceV(DWORD level, const wchar_t* format, va_list args);
    virtual void TraceDump(DWORD level, const wchar_t* title, const void* data, size_t size, DWORD flags);
    virtual bool IsEnabled();
    virtual void SetIndent(int count, wchar_t character);
    virtual void SetPrefix(const wchar_t* text);
    virtual const wchar_t* GetPrefix();
    virtual int GetContext();
    virtual int GetContext() const;

protected:
    COvTrace* m_trace;
    std::wstring m_prefix;
    int m_context;
};

// Writes "<name>", "{" on entry and "}" on exit; what is traced inside is indented.
class CFuncTraceContext : public CTracePrefix
{
public:
    CFuncTraceContext(const wchar_t* function, const wchar_t* file, int line);
    ~CFuncTraceContext() override;

private:
    bool m_entered;
};

// One line outside a function context, indented by the current depth.
void TraceLine(DWORD level, const wchar_t* format, ...);
}

// Opens the function context of the enclosing function; trace inside with OV_TRACE.
#define OV_TRACE_FUNCTION() ::OvBase::CFuncTraceContext ovFuncTrace(OV_FUNCTION_NAME, OV_WFILE, __LINE__)
// A level-checked line in the current function context (no formatting when it is off).
#define OV_TRACE(level, ...) ovFuncTrace.Trace((level), __VA_ARGS__)
