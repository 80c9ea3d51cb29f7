// Turns hardware exceptions of the owning thread into a thrown COvError with a crash dump.
#pragma once

#include <windows.h>

#include <dbghelp.h>

#include <memory>
#include <string>

#include "OvErrorObject.h"

namespace OvBase
{
// While an object lives, an access violation, division by zero and the like that the
// thread that made it does not handle itself is thrown as COvError from the faulting
// instruction, so destructors run and the thread's ordinary COvError handler reports it.
// Exceptions that a system function raises and handles inside itself stay its own. Needs
// code built with -fnon-call-exceptions. Catchers nest; each one puts its predecessor back.
// The first catcher also installs the process's last resort: an exception that no handler
// takes, on any thread, ends the process with the error's code, a dump and a trace line.
class CSehCatcher
{
public:
    CSehCatcher();
    virtual ~CSehCatcher();
    CSehCatcher(const CSehCatcher&) = delete;
    CSehCatcher& operator=(const CSehCatcher&) = delete;

private:
    friend struct SehCatcherAccess;
    CSehCatcher* m_previous = nullptr;
    std::unique_ptr<COvError> m_pending;
    bool m_inHandler = false;
};

// The error code for a structured exception code (1064 for codes outside the table).
DWORD SehErrorCode(DWORD exceptionCode);
// The error made from a structured exception: code, description, "MiniDumpFile".
COvError MakeSehError(DWORD exceptionCode, EXCEPTION_POINTERS* pointers);
// "<temp>\<program name>-<tick count %08X>.dmp".
std::wstring GetCrashDumpPath();
// Writes a dump of this process; the path, or why it could not be written.
std::wstring WriteCrashDump(EXCEPTION_POINTERS* pointers);
// The kind of dump written first (full memory unless set); returns the one before. A full
// dump takes most of a minute under Wine: tests that only count dumps choose a small one.
MINIDUMP_TYPE SetCrashDumpType(MINIDUMP_TYPE type);
}
