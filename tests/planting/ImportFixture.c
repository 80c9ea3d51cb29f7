/* Programs for the import check's own tests: one imports msi.dll and comctl32.dll without a
   manifest, the other only comctl32.dll with a manifest that binds Common Controls 6. */
#include <windows.h>
#include <commctrl.h>
#include <msi.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show)
{
    (void)instance; (void)previous; (void)commandLine; (void)show;
    InitCommonControls();
#ifdef OV_IMPORT_MSI
    return (int)MsiCloseHandle(0);
#else
    return 0;
#endif
}
