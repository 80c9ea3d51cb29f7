#include "SystemApi.h"

namespace instutils
{
namespace
{
SystemFunctions& Current() noexcept
{
    static SystemFunctions table;
    return table;
}
} // namespace

HRESULT WmiExecQuery(IWbemServices* services, BSTR language, BSTR query, IEnumWbemClassObject** result)
{
    return services->ExecQuery(language, query, 0, nullptr, result);
}

const SystemFunctions& SystemApi() noexcept
{
    return Current();
}

CSystemApiOverride::CSystemApiOverride() noexcept : m_saved(Current())
{
}

CSystemApiOverride::~CSystemApiOverride()
{
    Current() = m_saved;
}

SystemFunctions* CSystemApiOverride::operator->() noexcept
{
    return &Current();
}
} // namespace instutils
