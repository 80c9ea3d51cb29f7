// Handle, file, mapping, event and critical-section wrappers.
#include "OvErrorObject.h"
#include "Win32Objects.h"

namespace OvBase
{
CWin32Handle::~CWin32Handle()
{
    if (m_closeOnDestruction)
        CloseHandleOnly();
}

void CWin32Handle::CloseHandleOnly()
{
    if (m_handle != INVALID_HANDLE_VALUE && m_handle != nullptr)
        CloseHandle(m_handle);
    m_handle = m_invalidValue;
}

void CWin32Handle::Attach(HANDLE handle)
{
    Close();
    m_handle = handle;
}

HANDLE CWin32Handle::Detach()
{
    HANDLE handle = m_handle;
    m_handle = m_invalidValue;
    return handle;
}

HANDLE CWin32Handle::GetHandle()
{
    return m_handle;
}

HANDLE CWin32Handle::GetHandle() const
{
    return m_handle;
}

bool CWin32Handle::IsValid() const
{
    return m_handle != INVALID_HANDLE_VALUE;
}

bool CWin32Handle::IsOpen() const
{
    return IsValid();
}

void CWin32Handle::Close()
{
    if (IsValid())
        CloseHandle(m_handle);
    m_handle = m_invalidValue;
}

void CWin32Handle::OnClose()
{
}

DWORD CWin32File::Create(const wchar_t* path, DWORD access, DWORD share, DWORD disposition, DWORD attributes,
                         LPSECURITY_ATTRIBUTES security)
{
    Close();
    HANDLE file = CreateFileW(path, access, share, security, disposition, attributes, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError();
    m_handle = file;
    if (path)
        m_name = path;
    return 0;
}

void CWin32File::Create_Ex(const wchar_t* path, DWORD access, DWORD share, DWORD disposition, DWORD attributes,
                           LPSECURITY_ATTRIBUTES security)
{
    DWORD result = Create(path, access, share, disposition, attributes, security);
    if (result != 0)
        ThrowErrorCode(result);
}

CWin32MappedFile::~CWin32MappedFile()
{
    Release();
}

void CWin32MappedFile::Release()
{
    if (m_view)
        UnmapViewOfFile(m_view);
    m_view = nullptr;
    if (m_mapping != INVALID_HANDLE_VALUE && m_mapping != nullptr)
        CloseHandle(m_mapping);
    m_mapping = INVALID_HANDLE_VALUE;
}

void CWin32MappedFile::Close()
{
    Release();
    CWin32File::Close();
}

DWORD CWin32MappedFile::Map_Ex(DWORD protection, ULONGLONG maximumSize, const wchar_t* name,
                               LPSECURITY_ATTRIBUTES security)
{
    Release();
    HANDLE mapping = CreateFileMappingW(m_handle, security, protection, static_cast<DWORD>(maximumSize >> 32),
                                        static_cast<DWORD>(maximumSize), name);
    DWORD error = GetLastError();
    if (!mapping)
        ThrowErrorCode(error);
    m_mapping = mapping;
    if (name)
        m_name = name;
    return error == ERROR_ALREADY_EXISTS ? ERROR_ALREADY_EXISTS : 0;
}

void* CWin32MappedFile::GetPointer_Ex(DWORD access, ULONGLONG offset, SIZE_T bytes)
{
    if (m_view)
        UnmapViewOfFile(m_view);
    m_view = MapViewOfFile(m_mapping, access, static_cast<DWORD>(offset >> 32), static_cast<DWORD>(offset), bytes);
    if (!m_view)
    {
        DWORD error = GetLastError();
        ThrowErrorCode(error);
    }
    return m_view;
}

CWin32Event::CWin32Event(bool manualReset) : m_manualReset(manualReset)
{
    m_handle = nullptr;
    m_invalidValue = nullptr;
}

CWin32Event::~CWin32Event()
{
    if (m_closeOnDestruction && m_handle)
        CloseHandle(m_handle);
    m_handle = nullptr;
}

bool CWin32Event::IsValid() const
{
    return m_handle != nullptr;
}

void CWin32Event::Close()
{
    if (IsValid())
        CloseHandle(m_handle);
    m_handle = nullptr;
}

DWORD CWin32Event::Reset()
{
    return ResetEvent(m_handle) ? 0 : GetLastError();
}

DWORD CWin32Event::Set()
{
    return SetEvent(m_handle) ? 0 : GetLastError();
}

DWORD CWin32Event::Wait(DWORD milliseconds)
{
    return WaitForSingleObject(m_handle, milliseconds);
}

DWORD CWin32Event::Create(bool initiallySignalled, const wchar_t* name, LPSECURITY_ATTRIBUTES security)
{
    Close();
    m_handle = CreateEventW(security, m_manualReset, initiallySignalled, name);
    if (!m_handle)
        return GetLastError();
    if (name)
        m_name = name;
    return 0;
}

void CWin32Event::Create_Ex(bool initiallySignalled, const wchar_t* name, LPSECURITY_ATTRIBUTES security)
{
    Close();
    DWORD result = Create(initiallySignalled, name, security);
    if (result != 0)
        ThrowErrorCode(result);
}

CWin32CriticalSection::CWin32CriticalSection()
{
    InitializeCriticalSection(&m_section);
}

CWin32CriticalSection::~CWin32CriticalSection()
{
    DeleteCriticalSection(&m_section);
}

void CWin32CriticalSection::Enter()
{
    EnterCriticalSection(&m_section);
}

void CWin32CriticalSection::Leave()
{
    LeaveCriticalSection(&m_section);
}
}
