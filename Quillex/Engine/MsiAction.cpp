#include "IMsiPackage.h"

#include "OvErrorObject.h"

std::wstring to_wstring(MsiAction action)
{
    switch (action)
    {
    case MsiActionNone:
        return L"None";
    case MsiActionInstall:
        return L"Install";
    case MsiActionUpdate:
        return L"Update";
    case MsiActionUninstall:
        return L"Uninstall";
    }
    ThrowErrorText(L"Not implemented!");
}
