// Refuses a second running setup: the first one holds a named mutex.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace ovinst
{
using MessageBoxFunction = std::function<int(const wchar_t* text, const wchar_t* title, UINT flags)>;

class InstanceGuard
{
public:
    // When another instance runs: an interactive run throws utils::AbortInstallException
    // after a warning box, a silent run throws the error 1618 (ERROR_INSTALL_ALREADY_RUNNING).
    InstanceGuard(bool silent, const MessageBoxFunction& messageBox);
    ~InstanceGuard();
    InstanceGuard(const InstanceGuard&) = delete;
    InstanceGuard& operator=(const InstanceGuard&) = delete;

    static const wchar_t kMutexName[];

private:
    HANDLE m_mutex = nullptr;
};
}
