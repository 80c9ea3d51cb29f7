// A child process started from a composed command line.
#include "OvErrorObject.h"
#include "Win32Objects.h"

namespace OvBase
{
CWin32Process::CWin32Process()
{
    ZeroMemory(&m_startupInfo, sizeof(m_startupInfo));
    m_startupInfo.cb = sizeof(m_startupInfo);
    ZeroMemory(&m_security, sizeof(m_security));
    m_security.nLength = sizeof(m_security);
}

CWin32Process::~CWin32Process() = default;

DWORD CWin32Process::Create(const wchar_t* application, const wchar_t* arguments, bool waitForInputIdle,
                            DWORD creationFlags, bool inheritHandles, void* environment)
{
    // Composed afresh: a reused object must not run the previous arguments too.
    m_commandLine.clear();
    if (application)
    {
        m_commandLine += L'"';
        m_commandLine += application;
        m_commandLine += L"\" ";
    }
    if (arguments)
        m_commandLine += arguments;

    std::vector<wchar_t> commandLine(m_commandLine.begin(), m_commandLine.end());
    commandLine.push_back(L'\0');
    PROCESS_INFORMATION info = {};
    SECURITY_ATTRIBUTES security = m_security;
    security.lpSecurityDescriptor = m_securityDescriptor.empty() ? nullptr : m_securityDescriptor.data();
    if (!CreateProcessW(application, commandLine.data(), &security, nullptr, inheritHandles, creationFlags,
                        environment, m_currentDirectory.empty() ? nullptr : m_currentDirectory.c_str(),
                        &m_startupInfo, &info))
        return GetLastError();

    Close();
    m_handle = info.hProcess;
    CloseHandle(info.hThread);
    m_exitCode = STILL_ACTIVE;
    if (waitForInputIdle && WaitForInputIdle(m_handle, INFINITE) != 0)
        return GetLastError();
    return 0;
}

void CWin32Process::Create_Ex(const wchar_t* application, const wchar_t* arguments, bool waitForInputIdle,
                              DWORD creationFlags, bool inheritHandles, void* environment)
{
    if (Create(application, arguments, waitForInputIdle, creationFlags, inheritHandles, environment) != 0)
    {
        DWORD error = GetLastError();
        ThrowErrorCode(error);
    }
}

void CWin32Process::Reserved()
{
}

void CWin32Process::SetStartupInfo(const STARTUPINFOW& startupInfo)
{
    m_startupInfo = startupInfo;
}

std::wstring CWin32Process::GetCurrentDirectory()
{
    return m_currentDirectory;
}

void CWin32Process::SetCurrentDirectory(const std::wstring& directory)
{
    m_currentDirectory = directory;
}

void CWin32Process::SetSecurityAttributes(const SECURITY_ATTRIBUTES& attributes)
{
    m_security = attributes;
    m_securityDescriptor = CopySecurityDescriptor(attributes.lpSecurityDescriptor);
    m_security.lpSecurityDescriptor = nullptr;
}

void CWin32Process::GetSecurityAttributes(SECURITY_ATTRIBUTES& attributes)
{
    attributes = m_security;
    attributes.lpSecurityDescriptor = m_securityDescriptor.empty() ? nullptr : m_securityDescriptor.data();
}

BOOL CWin32Process::Terminate(DWORD exitCode)
{
    // The invalid handle value is also the current process's pseudo handle.
    if (!IsValid())
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    m_exitCode = exitCode;
    return TerminateProcess(m_handle, exitCode);
}

DWORD CWin32Process::WaitFor(DWORD milliseconds)
{
    if (!IsValid())
        return 0;
    DWORD result = WaitForSingleObject(m_handle, milliseconds);
    if (result == WAIT_OBJECT_0)
    {
        DWORD exitCode = 0;
        if (GetExitCodeProcess(m_handle, &exitCode))
            m_exitCode = exitCode;
    }
    return result;
}

void CWin32Process::WaitFor_Ex(DWORD milliseconds)
{
    DWORD result = WaitFor(milliseconds);
    if (result == WAIT_FAILED)
        result = GetLastError();
    if (result != 0)
        ThrowErrorCode(result);
}

DWORD CWin32Process::GetExitCode()
{
    return m_exitCode;
}
}
