#include "MsiApi.h"

namespace msi
{
namespace
{
MsiFunctions& Current() noexcept
{
    static MsiFunctions table;
    return table;
}
} // namespace

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
