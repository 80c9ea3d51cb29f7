#include "SecurityServerCheckObject.h"

#include "DllSearch.h"
#include "Engine/InstallContext.h"
#include "MsiQueries.h"
#include "OvErrorObject.h"
#include "ProductGuids.h"
#include "ResString.h"
#include "SystemApi.h"
#include "Trace.h"
#include "res/resource.h"

namespace ovinst
{
namespace
{
[[noreturn]] void Refuse(std::unique_ptr<INotifier>& notifier, const std::wstring& text)
{
    notifier->InformUser(text);
    throw utils::AbortInstallException();
}

bool IsWorkstation()
{
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    info.wProductType = VER_NT_WORKSTATION;
    return ::VerifyVersionInfoW(&info, VER_PRODUCT_TYPE, ::VerSetConditionMask(0, VER_PRODUCT_TYPE, VER_EQUAL)) != FALSE;
}

bool IsAtLeastWindows61()
{
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    info.dwMajorVersion = 6;
    info.dwMinorVersion = 1;
    info.wServicePackMajor = 0;
    DWORDLONG mask = 0;
    mask = ::VerSetConditionMask(mask, VER_MAJORVERSION, VER_GREATER_EQUAL);
    mask = ::VerSetConditionMask(mask, VER_MINORVERSION, VER_GREATER_EQUAL);
    mask = ::VerSetConditionMask(mask, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
    return ::VerifyVersionInfoW(&info, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR, mask) != FALSE;
}

// SHA-2 signatures need the catalog API that KB3033929 brings.
bool IsSha2Supported()
{
    HMODULE wintrust = OvBase::LoadSystemLibrary(L"wintrust.dll");
    if (!wintrust)
        return false;
    const bool supported = instutils::SystemApi().GetProcAddress(wintrust, "CryptCATAdminAcquireContext2") != nullptr;
    ::FreeLibrary(wintrust);
    return supported;
}
}

SecurityServerCheckObject::SecurityServerCheckObject()
{
    OvBase::TraceLine(OvBase::TraceInfo, L"SecurityServerCheckObject created");
}

SecurityServerCheckObject::~SecurityServerCheckObject() = default;

void SecurityServerCheckObject::Exec(std::shared_ptr<IExecContext>&, std::unique_ptr<INotifier>& notifier)
{
    OvBase::CFuncTraceContext trace(L"ovinst::SecurityServerCheckObject::Exec", OV_WFILE, __LINE__);
    try
    {
        notifier->ActionStart(0);
        SpecialCheck(notifier);
        notifier->ActionEnd(0);
    }
    catch (...)
    {
        utils::LogException(std::current_exception(), L"ovinst::SecurityServerCheckObject::Exec");
        notifier->ActionError(0);
        throw;
    }
}

void SecurityServerCheckObject::Undo(std::shared_ptr<IExecContext>&, std::unique_ptr<INotifier>&)
{
}

void SecurityServerCheckObject::SpecialCheck(std::unique_ptr<INotifier>& notifier)
{
    OvBase::CFuncTraceContext trace(L"ovinst::SecurityServerCheckObject::SpecialCheck", OV_WFILE, __LINE__);
    if (IsWorkstation())
        Refuse(notifier, utils::LoadResString(IDS_SERVER_OS_ONLY));
    if (!IsAtLeastWindows61())
        Refuse(notifier, utils::LoadResString(IDS_OS_NOT_SUPPORTED));

    if (utils::CInstallContext::Instance().GetOsVersion() == utils::OsServer2008R2)
    {
        trace.Trace(OvBase::TraceInfo, L"Os type is Win2008r2. Checking SHA-2 support");
        if (IsSha2Supported())
        {
            trace.Trace(OvBase::TraceInfo, L"SHA-2 supported");
        }
        else
        {
            trace.Trace(OvBase::TraceInfo, L"SHA-2 not supported!");
            Refuse(notifier, utils::FormatResString(IDS_UPDATES_REQUIRED,
                                             L"Security Update for Windows Server 2008 R2 x64 Edition (KB3033929)"));
        }
    }

    if (msi::IsInstalledByUpgradeCode(OV_UPGRADE_CODE_ORVANE7_1) || msi::IsInstalledByUpgradeCode(OV_UPGRADE_CODE_ORVANE7_2))
        Refuse(notifier, utils::FormatResString(IDS_PRODUCT_FOUND, L"Orvane 7"));

    if (m_uac.IsUacEnabled())
    {
        // Switching it off needs a restart and a new run of the setup, so the run ends either way.
        if (notifier->AskUserQuestion(utils::LoadResString(IDS_UAC_ENABLED), true))
        {
            const LONG result = m_uac.Disable(true);
            if (result != ERROR_SUCCESS)
                ThrowErrorCode(OvBase::HResultFromWin32(static_cast<DWORD>(result)));
        }
        throw utils::AbortInstallException();
    }
}
}
