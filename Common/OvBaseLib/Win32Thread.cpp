// Threads that end on request.
#include "Win32Objects.h"

namespace OvBase
{
CWin32Thread::CWin32Thread() : m_stopEvent(true)
{
    m_stopEvent.Create(false, nullptr, nullptr);
}

CWin32Thread::~CWin32Thread()
{
    if (IsValid())
        CWin32Thread::Stop(INFINITE);
    CWin32Handle::Close();
}

DWORD WINAPI CWin32Thread::StartRoutine(void* self)
{
    return static_cast<CWin32Thread*>(self)->ThreadProc();
}

bool CWin32Thread::Create(void* parameter, bool suspended, LPSECURITY_ATTRIBUTES security)
{
    CCriticalSectionLock lock(m_lock);
    m_suspended = suspended;
    m_parameter = parameter;
    DWORD id = 0;
    HANDLE thread = CreateThread(security, 0, &StartRoutine, this, suspended ? CREATE_SUSPENDED : 0, &id);
    if (thread)
    {
        CWin32Handle::Close();
        m_handle = thread;
        m_threadId = id;
        m_stopEvent.Reset();
    }
    else
    {
        m_parameter = nullptr;
    }
    return thread != nullptr;
}

void CWin32Thread::Stop(DWORD milliseconds)
{
    m_stopEvent.Set();
    ULONGLONG start = GetTickCount64();
    DWORD result = WaitForEnd(true, milliseconds);
    // A quit message ended the wait early: the thread is not done yet, and a stop that
    // returned now would leave it running on an object that may be going away. Wait on,
    // still serving messages, for the thread may send one to this thread's windows.
    while (result == 0 && IsValid() && WaitForSingleObject(m_handle, 0) == WAIT_TIMEOUT)
    {
        ULONGLONG elapsed = GetTickCount64() - start;
        if (milliseconds != INFINITE && elapsed >= milliseconds)
        {
            result = WAIT_TIMEOUT;
            break;
        }
        result = WaitForEnd(true, milliseconds == INFINITE ? INFINITE : static_cast<DWORD>(milliseconds - elapsed));
    }
    if (result != 0)
        Kill(1);
    CCriticalSectionLock lock(m_lock);
    m_parameter = nullptr;
}

void CWin32Thread::Kill(DWORD milliseconds)
{
    if (!IsValid())
        return;
    if (WaitForSingleObject(m_handle, milliseconds) != WAIT_OBJECT_0)
        TerminateThread(m_handle, 0);
}

DWORD CWin32Thread::Suspend()
{
    DWORD result = SuspendThread(m_handle);
    m_suspended = true;
    return result;
}

DWORD CWin32Thread::Resume()
{
    if (!m_suspended)
        return 0;
    m_suspended = false;
    return ResumeThread(m_handle);
}

int CWin32Thread::GetPriority()
{
    return GetThreadPriority(m_handle);
}

BOOL CWin32Thread::SetPriority(int priority)
{
    return SetThreadPriority(m_handle, priority);
}

bool CWin32Thread::IsStopRequested()
{
    // Under the lock: a new thread may poll before Create has stored its handle and
    // cleared an earlier stop.
    CCriticalSectionLock lock(m_lock);
    if (!IsValid())
        return true;
    return m_stopEvent.Wait(2) == WAIT_OBJECT_0;
}

DWORD CWin32Thread::WaitForEnd(bool pumpMessages, DWORD milliseconds)
{
    if (!IsValid())
        return 0;
    if (!pumpMessages)
        return WaitForSingleObject(m_handle, milliseconds);
    // The caller may own windows that the thread talks to: keep them served while waiting.
    ULONGLONG start = GetTickCount64();
    for (;;)
    {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        {
            if (message.message == WM_QUIT)
                return 0;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        DWORD wait = INFINITE;
        if (milliseconds != INFINITE)
        {
            ULONGLONG elapsed = GetTickCount64() - start;
            wait = elapsed >= milliseconds ? 0 : static_cast<DWORD>(milliseconds - elapsed);
        }
        DWORD result = MsgWaitForMultipleObjects(1, &m_handle, FALSE, wait, QS_ALLINPUT);
        if (result == WAIT_OBJECT_0 + 1)
            continue;
        DWORD exitCode = STILL_ACTIVE;
        GetExitCodeThread(m_handle, &exitCode);
        return exitCode;
    }
}
}
