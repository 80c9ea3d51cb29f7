// A zero-filled array of fixed size.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <new>

#include "OvErrorObject.h"

namespace OvBase
{
template <class T>
class CBuffer
{
public:
    CBuffer() = default;
    explicit CBuffer(uint64_t count) { Resize(count); }
    CBuffer(const CBuffer&) = delete;
    CBuffer& operator=(const CBuffer&) = delete;
    virtual ~CBuffer() { delete[] m_data; }

    // Drops the contents; the new elements are zero. Throws code 14 (ERROR_OUTOFMEMORY) when memory is short.
    void Resize(uint64_t count)
    {
        delete[] m_data;
        m_data = nullptr;
        m_count = 0;
        if (count == 0)
            return;
        if (count > SIZE_MAX / sizeof(T))
            ThrowOutOfMemory();
        m_data = new (std::nothrow) T[static_cast<size_t>(count)]();
        if (!m_data)
            ThrowOutOfMemory();
        m_count = count;
    }

    uint64_t GetCount() const { return m_count; }
    T* GetData() { return m_data; }
    const T* GetData() const { return m_data; }
    T& operator[](size_t i) { return m_data[i]; }
    const T& operator[](size_t i) const { return m_data[i]; }

private:
    [[noreturn]] static void ThrowOutOfMemory();

    uint64_t m_count = 0;
    T* m_data = nullptr;
};

template <>
[[noreturn]] inline void CBuffer<wchar_t>::ThrowOutOfMemory()
{
    ThrowErrorCodeAt(ERROR_OUTOFMEMORY, OV_WFILE, __LINE__, L"OvBase::CBuffer<wchar_t>::Resize");
}

template <>
[[noreturn]] inline void CBuffer<unsigned char>::ThrowOutOfMemory()
{
    ThrowErrorCodeAt(ERROR_OUTOFMEMORY, OV_WFILE, __LINE__, L"OvBase::CBuffer<unsigned char>::Resize");
}

template <class T>
[[noreturn]] void CBuffer<T>::ThrowOutOfMemory()
{
    ThrowErrorCode(ERROR_OUTOFMEMORY);
}
}
