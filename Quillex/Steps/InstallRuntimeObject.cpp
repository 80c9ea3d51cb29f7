#include "InstallRuntimeObject.h"

#include <wbemidl.h>

#include "Engine/InstallContext.h"
#include "Engine/ShownError.h"
#include "OvErrorObject.h"
#include "ResString.h"
#include "SystemApi.h"
#include "Trace.h"
#include "res/resource.h"

namespace ovinst
{
namespace
{
using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOEXW*);

// What RtlGetVersion reports: unlike GetVersionEx it is not capped by compatibility shims.
bool GetRealVersion(OSVERSIONINFOEXW& info)
{
    info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    auto rtlGetVersion = ntdll ? reinterpret_cast<RtlGetVersionFunction>(::GetProcAddress(ntdll, "RtlGetVersion")) : nullptr;
    return rtlGetVersion && rtlGetVersion(&info) == 0;
}

// Releases a COM interface on every way out.
template <class T>
class ComPtr
{
public:
    ComPtr() = default;
    ~ComPtr()
    {
        if (m_p)
            m_p->Release();
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    T* operator->() const { return m_p; }
    T* Get() const { return m_p; }
    T** Put() { return &m_p; }
    void** PutVoid() { return reinterpret_cast<void**>(&m_p); }

private:
    T* m_p = nullptr;
};

class Bstr
{
public:
    explicit Bstr(const std::wstring& text) : m_b(::SysAllocString(text.c_str())) {}
    ~Bstr() { ::SysFreeString(m_b); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    operator BSTR() const { return m_b; }

private:
    BSTR m_b;
};

// Uninitialises COM at the end only when this call initialised it.
class ComInit
{
public:
    ComInit() : m_result(::CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    ~ComInit()
    {
        if (m_result == S_OK || m_result == S_FALSE)
            ::CoUninitialize();
    }
    ComInit(const ComInit&) = delete;
    ComInit& operator=(const ComInit&) = delete;

private:
    HRESULT m_result;
};
}

InstallRuntimeObject::InstallRuntimeObject()
{
    OvBase::TraceLine(OvBase::TraceInfo, L"InstallRuntimeObject created");
}

InstallRuntimeObject::~InstallRuntimeObject() = default;

void InstallRuntimeObject::Exec(std::shared_ptr<IExecContext>&, std::unique_ptr<INotifier>& notifier)
{
    OvBase::CFuncTraceContext trace(L"ovinst::InstallRuntimeObject::Exec", OV_WFILE, __LINE__);
    try
    {
        notifier->ActionStartWithText(1, L"(C/C++ runtime)");
        // A present runtime needs no check of the system (nor a WMI query).
        if (!m_runtime.IsInstalled() && !CheckOsRequirements())
        {
            notifier->InformUser(utils::LoadResString(IDS_COMPONENT_UNSUPPORTED));
            throw utils::AbortInstallException();
        }
        m_runtime.Install(utils::CInstallContext::Instance().GetRuntimePath());
        notifier->ActionEnd(1);
    }
    catch (OvBase::COvError& error)
    {
        notifier->InformUser(utils::FormatResString(IDS_RUNTIME_ERROR, error.GetDescription()));
        MarkShownToUser(error);
        utils::LogException(std::current_exception(), L"ovinst::InstallRuntimeObject::Exec");
        notifier->ActionError(1);
        throw;
    }
    catch (...)
    {
        utils::LogException(std::current_exception(), L"ovinst::InstallRuntimeObject::Exec");
        notifier->ActionError(1);
        throw;
    }
}

void InstallRuntimeObject::Undo(std::shared_ptr<IExecContext>&, std::unique_ptr<INotifier>&)
{
}

bool InstallRuntimeObject::CheckOsRequirements()
{
    OvBase::CFuncTraceContext trace(L"ovinst::InstallRuntimeObject::CheckOsRequirements", OV_WFILE, __LINE__);
    OSVERSIONINFOEXW info;
    if (!GetRealVersion(info))
        return false;
    if (info.dwMajorVersion == 10)
        return true;
    if (info.dwMajorVersion != 6)
        return false;
    switch (info.dwMinorVersion)
    {
    case 1:
        return info.wServicePackMajor >= 1;
    case 2:
        return true;
    case 3:
        return CheckWindowsUpdate(L"2919355");
    default:
        return false;
    }
}

bool InstallRuntimeObject::CheckWindowsUpdate(const std::wstring& hotfix)
{
    OvBase::CFuncTraceContext trace(L"ovinst::InstallRuntimeObject::CheckWindowsUpdate", OV_WFILE, __LINE__);
    ComInit com;
    ::CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr,
                           EOAC_NONE, nullptr);
    ComPtr<IWbemLocator> locator;
    if (FAILED(::CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator, locator.PutVoid())))
        return false;
    ComPtr<IWbemServices> services;
    if (FAILED(locator->ConnectServer(Bstr(L"\\\\.\\root\\cimv2"), nullptr, nullptr, nullptr, 0, nullptr, nullptr,
                                      services.Put())))
        return false;
    const HRESULT blanket = ::CoSetProxyBlanket(services.Get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                                                RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
    if (FAILED(blanket))
        ThrowErrorCode(static_cast<DWORD>(blanket));
    ComPtr<IEnumWbemClassObject> found;
    const std::wstring query = L"select * from win32_quickfixengineering where hotfixid='KB" + hotfix + L"'";
    if (FAILED(instutils::SystemApi().ExecWmiQuery(services.Get(), Bstr(L"WQL"), Bstr(query), found.Put())))
        return false;
    ComPtr<IWbemClassObject> object;
    ULONG returned = 0;
    found->Next(0, 1, object.Put(), &returned);
    return returned == 1;
}
}
