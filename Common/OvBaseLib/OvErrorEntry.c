/* OvError.dll holds only a message table; this entry point keeps the C runtime out of it. */
#include <windows.h>

BOOL WINAPI OvErrorEntry(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)instance; (void)reason; (void)reserved;
    return TRUE;
}
