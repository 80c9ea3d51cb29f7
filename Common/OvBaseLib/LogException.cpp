// Logging of a captured exception by kind.
#include "AbortInstallException.h"
#include "OvErrorObject.h"
#include "Trace.h"

namespace
{
std::wstring FromAnsi(const char* text)
{
    if (!text || !*text)
        return {};
    int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (length <= 0)
        return {};
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), length);
    wide.resize(static_cast<size_t>(length - 1));
    return wide;
}
}

namespace utils
{
void LogException(std::exception_ptr captured, const wchar_t* context)
{
    try
    {
        OvBase::CFuncTraceContext trace(L"utils::LogException", OV_WFILE, __LINE__);
        if (!captured)
            return;
        if (!context)
            context = L"";
        try
        {
            std::rethrow_exception(captured);
        }
        catch (OvBase::COvError& error)
        {
            trace.Trace(OvBase::TraceWarning, L"%s COvError Exception: %s", context, error.GetDump());
        }
        catch (const AbortInstallException&)
        {
            trace.Trace(OvBase::TraceWarning, L"%s AbortInstallException", context);
        }
        catch (const std::exception& error)
        {
            trace.Trace(OvBase::TraceWarning, L"%s Standard Exception: %s", context, FromAnsi(error.what()).c_str());
        }
        catch (...)
        {
            trace.Trace(OvBase::TraceWarning, L"%s Unknown Exception!", context);
        }
    }
    catch (...)
    {
    }
}
}
