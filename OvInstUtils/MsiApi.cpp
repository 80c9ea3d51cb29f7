#include "MsiApi.h"

#include "DllSearch.h"
#include "OvErrorObject.h"
#include "Trace.h"

#include <string>

// Member of the table and the msi.dll export behind it.
#define OV_MSI_FUNCTIONS(X)                                    \
    X(SetInternalUI, "MsiSetInternalUI")                       \
    X(SetExternalUIW, "MsiSetExternalUIW")                     \
    X(EnableLogW, "MsiEnableLogW")                             \
    X(InstallProductW, "MsiInstallProductW")                   \
    X(EnumRelatedProductsW, "MsiEnumRelatedProductsW")         \
    X(QueryProductStateW, "MsiQueryProductStateW")             \
    X(EnumClientsW, "MsiEnumClientsW")                         \
    X(OpenDatabaseW, "MsiOpenDatabaseW")                       \
    X(DatabaseApplyTransformW, "MsiDatabaseApplyTransformW")   \
    X(DatabaseOpenViewW, "MsiDatabaseOpenViewW")               \
    X(ViewExecute, "MsiViewExecute")                           \
    X(ViewFetch, "MsiViewFetch")                               \
    X(RecordGetStringW, "MsiRecordGetStringW")                 \
    X(OpenPackageW, "MsiOpenPackageW")                         \
    X(GetProductPropertyW, "MsiGetProductPropertyW")           \
    X(GetProductInfoW, "MsiGetProductInfoW")                   \
    X(CloseHandle, "MsiCloseHandle")                           \
    X(BeginTransactionW, "MsiBeginTransactionW")               \
    X(EndTransaction, "MsiEndTransaction")

namespace msi
{
namespace
{
#define OV_MSI_NAME(member, name) constexpr char k##member[] = name;
OV_MSI_FUNCTIONS(OV_MSI_NAME)
#undef OV_MSI_NAME

[[noreturn]] void ThrowUnavailable(const char* function, bool moduleLoaded)
{
    const DWORD error = moduleLoaded ? ERROR_PROC_NOT_FOUND : ERROR_MOD_NOT_FOUND;
    std::wstring text = moduleLoaded ? L"msi.dll of the system folder has no function "
                                     : L"msi.dll could not be loaded from the system folder for ";
    for (const char* c = function; *c; ++c)
        text += static_cast<wchar_t>(*c);
    OvBase::COvError failure(OvBase::HResultFromWin32(error), OV_WFILE, __LINE__, OV_FUNCTION_NAME);
    text += L": ";
    text += failure.GetDescription();
    failure.SetValue(L"Description", text);
    throw failure;
}

// Stand-ins of the same type as the missing function.
template <typename Fn, const char* Name>
struct Unavailable;

template <typename R, typename... Args, const char* Name>
struct Unavailable<R (*)(Args...), Name>
{
    static R WINAPI NoModule(Args...) { ThrowUnavailable(Name, false); }
    static R WINAPI NoExport(Args...) { ThrowUnavailable(Name, true); }
};

UINT WINAPI CloseNothing(MSIHANDLE)
{
    return ERROR_INVALID_HANDLE;
}

template <typename Fn, const char* Name>
Fn Resolve(HMODULE module)
{
    if (!module)
        return &Unavailable<Fn, Name>::NoModule;
    if (FARPROC proc = GetProcAddress(module, Name))
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(proc));
    return &Unavailable<Fn, Name>::NoExport;
}

const MsiFunctions& SystemFunctions() noexcept
{
    static const MsiFunctions functions = [] {
        OV_TRACE_FUNCTION();
        HMODULE module = OvBase::LoadSystemLibrary(L"msi.dll");
        if (!module)
        {
            const DWORD error = GetLastError();
            OV_TRACE(OvBase::TraceWarning, L"msi.dll could not be loaded from the system folder: %s",
                     OvBase::FormatErrorCode(error).c_str());
        }
        // Kept loaded for the life of the process.
        return MsiFunctions(module);
    }();
    return functions;
}

MsiFunctions& Current() noexcept
{
    static MsiFunctions table;
    return table;
}
} // namespace

MsiFunctions::MsiFunctions() noexcept : MsiFunctions(SystemFunctions())
{
}

MsiFunctions::MsiFunctions(HMODULE module) noexcept
{
#define OV_MSI_RESOLVE(member, name) member = Resolve<decltype(member), k##member>(module);
    OV_MSI_FUNCTIONS(OV_MSI_RESOLVE)
#undef OV_MSI_RESOLVE
    if (CloseHandle == &Unavailable<decltype(CloseHandle), kCloseHandle>::NoModule ||
        CloseHandle == &Unavailable<decltype(CloseHandle), kCloseHandle>::NoExport)
        CloseHandle = &CloseNothing;
}

const MsiFunctions& Api() noexcept
{
    return Current();
}

CMsiApiOverride::CMsiApiOverride() noexcept : m_saved(Current())
{
}

CMsiApiOverride::~CMsiApiOverride()
{
    Current() = m_saved;
}

MsiFunctions* CMsiApiOverride::operator->() noexcept
{
    return &Current();
}

CMsiHandle& CMsiHandle::operator=(CMsiHandle&& other) noexcept
{
    if (this != &other)
    {
        Close();
        m_h = other.Release();
    }
    return *this;
}

MSIHANDLE* CMsiHandle::Put() noexcept
{
    Close();
    return &m_h;
}

MSIHANDLE CMsiHandle::Release() noexcept
{
    MSIHANDLE h = m_h;
    m_h = 0;
    return h;
}

void CMsiHandle::Close() noexcept
{
    if (m_h != 0)
    {
        Api().CloseHandle(m_h);
        m_h = 0;
    }
}
} // namespace msi
