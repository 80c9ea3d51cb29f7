// Keeps the thread's last-error value across a scope: tracing must not disturb a code
// that its caller is about to read.
#pragma once

#include <windows.h>

namespace OvBase
{
class CLastErrorKeeper
{
public:
    CLastErrorKeeper() : m_error(GetLastError()) {}
    ~CLastErrorKeeper() { SetLastError(m_error); }
    CLastErrorKeeper(const CLastErrorKeeper&) = delete;
    CLastErrorKeeper& operator=(const CLastErrorKeeper&) = delete;

private:
    DWORD m_error;
};
}
