#include "Startup/InstanceGuard.h"

#include "AbortInstallException.h"
#include "OvErrorObject.h"
#include "ResString.h"
#include "Trace.h"
#include "res/resource.h"

#include <vector>

namespace ovinst
{
const wchar_t InstanceGuard::kMutexName[] = L"{5C3B8E2A-7F41-4D2E-9A63-0B1D4E8F6A27}";

InstanceGuard::InstanceGuard(bool silent, const MessageBoxFunction& messageBox)
{
    OV_TRACE_FUNCTION();
    m_mutex = OpenMutexW(MUTEX_ALL_ACCESS, FALSE, kMutexName);
    bool another = m_mutex != nullptr;
    if (!another)
    {
        m_mutex = CreateMutexW(nullptr, FALSE, kMutexName);
        // Two setups started at the same moment both miss the open; the later create
        // still finds the earlier one's mutex.
        another = m_mutex != nullptr && GetLastError() == ERROR_ALREADY_EXISTS;
    }
    if (!another)
        return;
    OV_TRACE(OvBase::TraceWarning, L"Another instance of the setup is running");
    if (silent)
    {
        // A deployment tool reads 0 as done: Windows Installer's own code tells it to retry.
        OV_TRACE(OvBase::TraceWarning, L"Silent run: ending with %u (ERROR_INSTALL_ALREADY_RUNNING), nothing done",
                 static_cast<unsigned>(ERROR_INSTALL_ALREADY_RUNNING));
        ThrowErrorCode(ERROR_INSTALL_ALREADY_RUNNING);
    }
    if (messageBox)
    {
        std::wstring format = utils::LoadResString(IDS_INSTALL_TITLE);
        std::vector<wchar_t> title(format.size() + 16);
        _snwprintf(title.data(), title.size(), format.c_str(), L"Orvane Studio");
        title.back() = L'\0';
        messageBox(utils::LoadResString(IDS_ALREADY_RUNNING).c_str(), title.data(), MB_SYSTEMMODAL | MB_ICONWARNING);
    }
    throw utils::AbortInstallException();
}

InstanceGuard::~InstanceGuard()
{
    if (m_mutex)
        ReleaseMutex(m_mutex);
}
}
