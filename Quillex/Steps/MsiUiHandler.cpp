#include "MsiUiHandler.h"

#include <msi.h>

#include <mutex>
#include <vector>

#include "Engine/InstallContext.h"
#include "PasswordMask.h"

#include "ResString.h"
#include "Trace.h"
#include "res/resource.h"

namespace ovinst
{
namespace
{
std::wstring& LastError()
{
    static std::wstring text;
    return text;
}

std::mutex g_secretsLock;
std::vector<std::wstring> g_secrets;

std::wstring Masked(const wchar_t* text)
{
    std::lock_guard<std::mutex> lock(g_secretsLock);
    return MaskSecrets(text, g_secrets);
}

MessageBoxFunction& CurrentMessageBox()
{
    static MessageBoxFunction function = &::MessageBoxW;
    return function;
}

std::wstring InstallCaption()
{
    return utils::FormatResString(IDS_INSTALL_TITLE, L"Orvane Studio");
}

// What an unattended run answers in place of a box nobody would see: the answer that ends
// the wait without retrying (Cancel, else Abort), else the box's default button.
int SilentAnswer(UINT style)
{
    static const int kButtons[][3] = {
        {IDOK, 0, 0},                  // MB_OK
        {IDOK, IDCANCEL, 0},           // MB_OKCANCEL
        {IDABORT, IDRETRY, IDIGNORE},  // MB_ABORTRETRYIGNORE
        {IDYES, IDNO, IDCANCEL},       // MB_YESNOCANCEL
        {IDYES, IDNO, 0},              // MB_YESNO
        {IDRETRY, IDCANCEL, 0},        // MB_RETRYCANCEL
        {IDCANCEL, IDTRYAGAIN, IDCONTINUE}, // MB_CANCELTRYCONTINUE
    };
    const UINT type = style & MB_TYPEMASK;
    if (type >= sizeof(kButtons) / sizeof(kButtons[0]))
        return IDOK;
    const int* buttons = kButtons[type];
    for (int i = 0; i < 3; ++i)
        if (buttons[i] == IDCANCEL)
            return IDCANCEL;
    if (type == MB_ABORTRETRYIGNORE)
        return IDABORT;
    const UINT defaultIndex = (style & MB_DEFMASK) >> 8;
    return defaultIndex < 3 && buttons[defaultIndex] != 0 ? buttons[defaultIndex] : buttons[0];
}

bool IsSilentRun()
{
    return utils::CInstallContext::Instance().IsSilent();
}

std::wstring Indent()
{
    const LONG depth = OvBase::TraceDepth;
    return std::wstring(depth > 0 ? static_cast<size_t>(depth) : 0, L' ');
}

int Handle(UINT messageType, const wchar_t* original)
{
    const std::wstring maskedText = Masked(original);
    const wchar_t* text = maskedText.c_str();
    OvBase::CTracePrefix trace(&OvBase::ProgramTrace, Indent().c_str(), 0);
    switch (messageType & 0xFF000000)
    {
    case INSTALLMESSAGE_FATALEXIT:
        trace.Trace(OvBase::TraceInfo, L"INSTALLMESSAGE_FATALEXIT <%s>", text);
        // A box in an unattended deployment would hang it until someone logs on.
        if (IsSilentRun())
        {
            const int answer = SilentAnswer(messageType & 0x00FFFFFF);
            trace.Trace(OvBase::TraceWarning, L"Silent run, no message box; answer %d", answer);
            return answer;
        }
        return CurrentMessageBox()(nullptr, original, L"FatalError", messageType & 0x00FFFFFF);
    case INSTALLMESSAGE_ERROR:
        trace.Trace(OvBase::TraceInfo, L"INSTALLMESSAGE_ERROR");
        LastError() = text;
        return 0;
    case INSTALLMESSAGE_WARNING:
        trace.Trace(OvBase::TraceInfo, L"INSTALLMESSAGE_WARNING");
        return 0;
    case INSTALLMESSAGE_USER:
        trace.Trace(OvBase::TraceInfo, L"INSTALLMESSAGE_USER <%s>", text);
        return 0;
    case INSTALLMESSAGE_INFO:
        trace.Trace(OvBase::TraceInfo, L"INSTALLMESSAGE_INFO <%s>", text);
        return 0;
    case INSTALLMESSAGE_FILESINUSE:
        trace.Trace(OvBase::TraceInfo, L"INSTALLMESSAGE_FILESINUSE <%s>", text);
        return 0;
    case INSTALLMESSAGE_RESOLVESOURCE:
        trace.Trace(OvBase::TraceInfo, L"INSTALLMESSAGE_RESOLVESOURCE");
        return 0;
    case INSTALLMESSAGE_OUTOFDISKSPACE:
        trace.Trace(OvBase::TraceInfo, L"INSTALLMESSAGE_OUTOFDISKSPACE <%s>", text);
        // The installer's own text says which volume lacks space.
        if (IsSilentRun())
            trace.Trace(OvBase::TraceWarning, L"Silent run, no message box");
        else
            CurrentMessageBox()(nullptr, original, InstallCaption().c_str(), MB_SYSTEMMODAL | MB_ICONERROR);
        return 1;
    case INSTALLMESSAGE_ACTIONSTART:
        trace.Trace(OvBase::TraceInfo, L"INSTALLMESSAGE_ACTIONSTART <%s>", text);
        return 0;
    case INSTALLMESSAGE_ACTIONDATA:
        trace.Trace(OvBase::TraceInfo, L"INSTALLMESSAGE_ACTIONDATA <%s>", text);
        return 0;
    case INSTALLMESSAGE_TERMINATE:
        trace.Trace(OvBase::TraceInfo, L"INSTALLMESSAGE_TERMINATE");
        return 0;
    case INSTALLMESSAGE_SHOWDIALOG:
        trace.Trace(OvBase::TraceInfo, L"INSTALLMESSAGE_SHOWDIALOG <%s>", text);
        return ::_wcsicmp(original, L"ExitDialog") == 0 ? 1 : 0;
    default:
        return 0;
    }
}
}

int WINAPI MsiUiHandler(LPVOID, UINT messageType, LPCWSTR message)
{
    try
    {
        return Handle(messageType, message ? message : L"");
    }
    catch (...)
    {
        OvBase::TraceLine(OvBase::TraceError, L"Exception!");
        return 0;
    }
}

std::wstring GetLastInstallerError()
{
    return LastError();
}

CHandlerSecretsScope::CHandlerSecretsScope(const std::vector<std::wstring>& secrets)
{
    std::lock_guard<std::mutex> lock(g_secretsLock);
    g_secrets = secrets;
}

CHandlerSecretsScope::~CHandlerSecretsScope()
{
    std::lock_guard<std::mutex> lock(g_secretsLock);
    for (std::wstring& secret : g_secrets)
        SecureZeroMemory(secret.data(), secret.size() * sizeof(wchar_t));
    g_secrets.clear();
}

CUiHandlerMessageBoxOverride::CUiHandlerMessageBoxOverride(MessageBoxFunction replacement)
    : m_previous(CurrentMessageBox())
{
    CurrentMessageBox() = replacement;
}

CUiHandlerMessageBoxOverride::~CUiHandlerMessageBoxOverride()
{
    CurrentMessageBox() = m_previous;
}
}
