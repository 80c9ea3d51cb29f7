#include "Trace.h"

#include "LastErrorKeeper.h"
#include "TraceImpl.h"

namespace OvBase
{
// Made before the program's other globals, so that their constructors may trace.
// Its log is the administrator's only record of a failed run: a later run, such as the
// removal started by an uninstaller, adds to it instead of replacing it.
COvTrace ProgramTrace __attribute__((init_priority(200)))(L"Setup", true);
volatile LONG TraceDepth = 0;

COvTrace::COvTrace(const wchar_t* moduleName, bool keepEarlierRuns)
{
    try
    {
        m_impl = std::make_unique<CTraceImpl>(moduleName, keepEarlierRuns);
    }
    catch (...)
    {
        OutputDebugStringA("Exception raised in COvTrace::COvTrace()\n");
    }
}

COvTrace::~COvTrace() = default;

void COvTrace::TraceA(DWORD level, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    TraceVA(level, format, args);
    va_end(args);
}

void COvTrace::TraceW(DWORD level, const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    TraceVW(level, format, args);
    va_end(args);
}

void COvTrace::TraceVA(DWORD level, const char* format, va_list args)
{
    CLastErrorKeeper keepError;
    try
    {
        if (m_impl)
            m_impl->TraceVA(level, format, args);
    }
    catch (...)
    {
    }
}

void COvTrace::TraceVW(DWORD level, const wchar_t* format, va_list args)
{
    CLastErrorKeeper keepError;
    try
    {
        if (m_impl)
            m_impl->TraceVW(level, format, args);
    }
    catch (...)
    {
    }
}

void COvTrace::TraceDump(DWORD level, const wchar_t* title, const void* data, size_t size, DWORD flags)
{
    CLastErrorKeeper keepError;
    try
    {
        if (m_impl)
            m_impl->TraceDump(level, title, data, size, flags);
    }
    catch (...)
    {
    }
}

bool COvTrace::Reload()
{
    CLastErrorKeeper keepError;
    try
    {
        return m_impl && m_impl->Reload();
    }
    catch (...)
    {
        return false;
    }
}

bool COvTrace::IsEnabled()
{
    return m_impl && m_impl->IsEnabled();
}

bool COvTrace::IsLevelEnabled(DWORD level)
{
    return m_impl && m_impl->IsLevelEnabled(level);
}

bool COvTrace::IsContext(DWORD value)
{
    return m_impl && m_impl->IsContext(value);
}

bool COvTrace::IsTimeEnabled()
{
    return m_impl && m_impl->IsTimeEnabled();
}

bool COvTrace::IsMillisecondsEnabled()
{
    return m_impl && m_impl->IsMillisecondsEnabled();
}
}
