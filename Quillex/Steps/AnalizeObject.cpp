#include "AnalizeObject.h"

#include "FileHelpers.h"
#include "InstalledComponents.h"
#include "OvErrorObject.h"
#include "ProductLocale.h"
#include "RegLocale.h"
#include "ResString.h"
#include "Trace.h"
#include "UacManager.h"
#include "res/resource.h"

namespace ovinst
{
namespace
{
constexpr unsigned long kRequiredFreeSpace = 0x6400000; // 100 MB

[[noreturn]] void Refuse(std::unique_ptr<INotifier>& notifier, const std::wstring& text)
{
    notifier->InformUser(text);
    throw utils::AbortInstallException();
}
}

AnalizeObject::AnalizeObject()
{
    OvBase::TraceLine(OvBase::TraceInfo, L"AnalizeObject created");
}

AnalizeObject::~AnalizeObject() = default;

void AnalizeObject::Exec(std::shared_ptr<IExecContext>&, std::unique_ptr<INotifier>& notifier)
{
    OvBase::CFuncTraceContext trace(L"ovinst::AnalizeObject::Exec", OV_WFILE, __LINE__);
    try
    {
        notifier->ActionStart(0);
        Check(notifier);
        notifier->ActionEnd(0);
    }
    catch (...)
    {
        utils::LogException(std::current_exception(), L"ovinst::AnalizeObject::Exec");
        notifier->ActionError(0);
        throw;
    }
}

void AnalizeObject::Undo(std::shared_ptr<IExecContext>&, std::unique_ptr<INotifier>&)
{
}

void AnalizeObject::Check(std::unique_ptr<INotifier>& notifier)
{
    OvBase::CFuncTraceContext trace(L"ovinst::AnalizeObject::Check", OV_WFILE, __LINE__);
    if (!IsUserAdmin())
        Refuse(notifier, utils::LoadResString(IDS_NOT_ADMIN));
    CheckLocale(notifier);
    if (!instutils::CheckFreeDiskSpace(L"C:\\", kRequiredFreeSpace))
        Refuse(notifier, utils::LoadResString(IDS_NO_DISK_SPACE));
}

void AnalizeObject::CheckLocale(std::unique_ptr<INotifier>& notifier)
{
    OvBase::CFuncTraceContext trace(L"ovinst::AnalizeObject::CheckLocale", OV_WFILE, __LINE__);
    const std::wstring current = GetProductLocale();
    const std::wstring wanted = utils::LoadResString(IDS_BUILD_LANGUAGE);
    if (current.empty() || !AnyComponentInstalled())
    {
        trace.Trace(OvBase::TraceInfo, L"Locale is empty or not used, overwriting it.");
        const DWORD result = instutils::RegLocale::Set(wanted.c_str());
        if (result != ERROR_SUCCESS)
        {
            trace.Trace(OvBase::TraceWarning, L"Failed to write locale");
            wchar_t text[2048] = {};
            OvBase::FormatSystemError(text, 2048, result);
            Refuse(notifier, utils::FormatResString(IDS_LOCALE_WRITE_FAILED, text));
        }
        return;
    }
    if (::_wcsicmp(current.c_str(), wanted.c_str()) != 0)
    {
        trace.Trace(OvBase::TraceError, L"Wrong locale was found.");
        Refuse(notifier, utils::FormatResString(IDS_WRONG_LOCALE, L"Orvane Studio", current.c_str(), wanted.c_str()));
    }
}
}
