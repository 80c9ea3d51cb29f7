// Where the program's process takes DLLs from: the system folder, never the folder the
// program was started from nor the current one (either may be writable by others).
#pragma once

#include <windows.h>

namespace OvBase
{
// Restricts the default DLL search of the process to the system folder, so that DLLs loaded
// later, also by system DLLs on the program's behalf, cannot come from the program's folder.
// The first statement of every entry point. False when the system lacks
// SetDefaultDllDirectories (Windows 7 / Server 2008 R2 without KB2533623): then only the
// current folder is taken out of the search.
bool HardenDllSearch() noexcept;

// Loads a system DLL ("msi.dll") from the system folder and nothing else; null with the
// thread's last error set when it is not there.
HMODULE LoadSystemLibrary(const wchar_t* name) noexcept;
}
