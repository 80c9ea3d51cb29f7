// Runs one analysis or prerequisite operation in a process of its own, where the system
// version is read anew (tests change the prefix's version before they start it).
//   PrerequisiteProbe.exe <operation> <output file> [flags]
// Operations: analize, securitycheck, runtime (the steps, recording the notifier's calls),
// osrequirements (whether the runtime can be installed), uac-enabled, uac-enabled-twice (asks
// a second manager after turning the live EnableLUA over), uac-disable, uac-disable-only
// (without a backup), uac-restore (CUacManager; the output holds "major.minor").
// Flags stand in for machine states the prefix cannot take: notadmin, lowdisk, nosha2,
// hotfix (WMI lists KB2919355), answer-no (the UAC question is refused), regwritefail (every
// registry write of the UAC manager fails with ERROR_ACCESS_DENIED).
// The output holds one record per notifier call, each ended by the character 0x1E.
// Exit code: 0 completed, 1 aborted, 2 COvError (its code follows the calls), 3 other,
// for uac-enabled 10 + the answer (uac-enabled-twice: 10 + first + 2 * second), for uac-disable
// (-only) its result, for osrequirements 20 + the answer.
#include <windows.h>

#include <string>

#include "OvErrorObject.h"
#include "RecordingNotifier.h"
#include "Steps/AnalizeObject.h"
#include "Steps/InstallRuntimeObject.h"
#include "Steps/SecurityServerCheckObject.h"
#include "SystemApi.h"
#include "UacManager.h"

namespace
{
BOOL WINAPI DenyAccess(PSECURITY_DESCRIPTOR, HANDLE, DWORD, PGENERIC_MAPPING, PPRIVILEGE_SET, LPDWORD, LPDWORD granted,
                       LPBOOL status)
{
    *granted = 0;
    *status = FALSE;
    return TRUE;
}

BOOL WINAPI FullDisk(LPCWSTR, PULARGE_INTEGER available, PULARGE_INTEGER total, PULARGE_INTEGER free)
{
    available->QuadPart = free->QuadPart = 0x6400000 - 1;
    total->QuadPart = 0x100000000ULL;
    return TRUE;
}

FARPROC WINAPI NoSha2Export(HMODULE module, LPCSTR name)
{
    if (HIWORD(name) && lstrcmpA(name, "CryptCATAdminAcquireContext2") == 0)
        return nullptr;
    return ::GetProcAddress(module, name);
}

// The prefix lists KB1234567 only: ask for that one instead of KB2919355.
HRESULT ListedHotfix(IWbemServices* services, BSTR language, BSTR query, IEnumWbemClassObject** result)
{
    std::wstring text(query);
    const size_t at = text.find(L"KB2919355");
    if (at != std::wstring::npos)
        text.replace(at, 9, L"KB1234567");
    BSTR replaced = ::SysAllocString(text.c_str());
    const HRESULT hr = instutils::WmiExecQuery(services, language, replaced, result);
    ::SysFreeString(replaced);
    return hr;
}

LONG WINAPI DeniedWrite(HKEY, LPCWSTR, DWORD, DWORD, const BYTE*, DWORD)
{
    return ERROR_ACCESS_DENIED;
}

void WriteOutput(const std::wstring& path, const std::wstring& text)
{
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    ::WriteFile(h, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
    ::CloseHandle(h);
}

std::wstring Join(const std::vector<std::wstring>& calls)
{
    std::wstring text;
    for (const std::wstring& call : calls)
        text += call + L"\x1E";
    return text;
}

int RunStep(ovinst::IExecObject& step, testsupport::RecordingNotifier* recorder, std::unique_ptr<ovinst::INotifier>& notifier,
            const std::wstring& output)
{
    std::shared_ptr<ovinst::IExecContext> context;
    int result = 0;
    std::wstring tail;
    try
    {
        step.Exec(context, notifier);
    }
    catch (const utils::AbortInstallException&)
    {
        result = 1;
    }
    catch (OvBase::COvError& error)
    {
        wchar_t code[16];
        swprintf(code, 16, L"0x%08X", static_cast<unsigned>(error.GetCode()));
        tail = std::wstring(L"COvError ") + code + L"\x1E";
        result = 2;
    }
    catch (...)
    {
        result = 3;
    }
    WriteOutput(output, Join(recorder->calls) + tail);
    return result;
}
}

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3)
        return 100;
    const std::wstring operation = argv[1];
    const std::wstring output = argv[2];
    instutils::CSystemApiOverride api;
    auto recorder = new testsupport::RecordingNotifier;
    std::unique_ptr<ovinst::INotifier> notifier(recorder);
    for (int i = 3; i < argc; ++i)
    {
        const std::wstring flag = argv[i];
        if (flag == L"notadmin")
            api->AccessCheck = DenyAccess;
        else if (flag == L"lowdisk")
            api->GetDiskFreeSpaceExW = FullDisk;
        else if (flag == L"nosha2")
            api->GetProcAddress = NoSha2Export;
        else if (flag == L"hotfix")
            api->ExecWmiQuery = ListedHotfix;
        else if (flag == L"answer-no")
            recorder->questionAnswer = 0;
        else if (flag == L"regwritefail")
            api->RegSetValueExW = DeniedWrite;
    }

    if (operation == L"analize")
    {
        ovinst::AnalizeObject step;
        return RunStep(step, recorder, notifier, output);
    }
    if (operation == L"securitycheck")
    {
        ovinst::SecurityServerCheckObject step;
        return RunStep(step, recorder, notifier, output);
    }
    if (operation == L"runtime")
    {
        ovinst::InstallRuntimeObject step;
        return RunStep(step, recorder, notifier, output);
    }

    if (operation == L"osrequirements")
        return 20 + (ovinst::InstallRuntimeObject().CheckOsRequirements() ? 1 : 0);

    CUacManager uac;
    WriteOutput(output, std::to_wstring(uac.GetMajorVersion()) + L"." + std::to_wstring(uac.GetMinorVersion()));
    if (operation == L"uac-enabled")
        return 10 + (uac.IsUacEnabled() ? 1 : 0);
    if (operation == L"uac-enabled-twice")
    {
        const bool first = uac.IsUacEnabled();
        const DWORD flipped = first ? 0 : 1;
        ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System",
                          L"EnableLUA", REG_DWORD, &flipped, sizeof(flipped));
        const bool second = CUacManager().IsUacEnabled();
        return 10 + (first ? 1 : 0) + (second ? 2 : 0);
    }
    if (operation == L"uac-disable" || operation == L"uac-disable-only")
        return static_cast<int>(uac.Disable(operation == L"uac-disable"));
    if (operation == L"uac-restore")
        uac.Restore();
    else
        return 100;
    return 0;
}
