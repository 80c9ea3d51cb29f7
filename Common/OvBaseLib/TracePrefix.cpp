#include "Trace.h"

namespace OvBase
{
CTracePrefix::CTracePrefix(COvTrace* trace, const wchar_t* prefix, int context) : m_trace(trace), m_context(context)
{
    if (prefix && m_trace && m_trace->IsEnabled())
        m_prefix = prefix;
}

CTracePrefix::~CTracePrefix() = default;

void CTracePrefix::Trace(DWORD level, const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    TraceV(level, format, args);
    va_end(args);
}

void CTracePrefix::TraceV(DWORD level, const wchar_t* format, va_list args)
{
    // The checks come first: a disabled trace does no string work at all.
    if (!m_trace || !m_trace->IsEnabled() || !m_trace->IsLevelEnabled(level))
        return;
    if (m_prefix.empty() || !format)
    {
        m_trace->TraceVW(level, format, args);
        return;
    }
    try
    {
        std::wstring full = m_prefix + L' ' + format;
        m_trace->TraceVW(level, full.c_str(), args);
    }
    catch (...)
    {
    }
}

void CTracePrefix::TraceDump(DWORD level, const wchar_t* title, const void* data, size_t size, DWORD flags)
{
    if (!m_trace || !m_trace->IsEnabled() || !m_trace->IsLevelEnabled(level))
        return;
    try
    {
        std::wstring full = m_prefix.empty() ? std::wstring(title ? title : L"") : m_prefix + L' ' + (title ? title : L"");
        m_trace->TraceDump(level, full.c_str(), data, size, flags);
    }
    catch (...)
    {
    }
}

bool CTracePrefix::IsEnabled()
{
    return m_trace && m_trace->IsEnabled();
}

void CTracePrefix::SetIndent(int count, wchar_t character)
{
    m_prefix.assign(count > 0 ? static_cast<size_t>(count) : 0, character);
}

void CTracePrefix::SetPrefix(const wchar_t* text)
{
    if (text && *text)
        m_prefix = text;
    else
        m_prefix.clear();
}

const wchar_t* CTracePrefix::GetPrefix()
{
    return m_prefix.c_str();
}

int CTracePrefix::GetContext()
{
    return m_context;
}

int CTracePrefix::GetContext() const
{
    return m_context;
}

CFuncTraceContext::CFuncTraceContext(const wchar_t* function, const wchar_t* /*file*/, int /*line*/)
    : CTracePrefix(&ProgramTrace, nullptr, 0), m_entered(ProgramTrace.IsEnabled())
{
    if (!m_entered)
        return;
    LONG depth = InterlockedIncrement(&TraceDepth);
    SetIndent(depth - 1, L' ');
    Trace(TraceInfo, L"%s", function ? function : L"");
    Trace(TraceInfo, L"{");
    SetIndent(depth, L' ');
}

CFuncTraceContext::~CFuncTraceContext()
{
    if (!m_entered)
        return;
    try
    {
        LONG depth = InterlockedDecrement(&TraceDepth);
        SetIndent(depth, L' ');
        Trace(TraceInfo, L"}");
    }
    catch (...)
    {
    }
}

void TraceLine(DWORD level, const wchar_t* format, ...)
{
    if (!ProgramTrace.IsEnabled() || !ProgramTrace.IsLevelEnabled(level))
        return;
    va_list args;
    va_start(args, format);
    try
    {
        CTracePrefix line(&ProgramTrace, nullptr, 0);
        line.SetIndent(TraceDepth, L' ');
        line.TraceV(level, format, args);
    }
    catch (...)
    {
    }
    va_end(args);
}
}
