#include "MsiObject.h"

#include <vector>

#include "ActionErrorGuard.h"
#include "Engine/InstallContext.h"
#include "FileHelpers.h"
#include "LogFolderSecurity.h"
#include "MsiApi.h"
#include "MsiUiHandler.h"
#include "OvErrorObject.h"
#include "PasswordMask.h"
#include "ResString.h"
#include "Engine/PackageTable.h"
#include "res/resource.h"
#include "Trace.h"
#include "TraceSettings.h"
#include "Win32Objects.h"

namespace ovinst
{
namespace
{
// Puts the previously registered handler back, also when the installation throws.
class CExternalUiScope
{
public:
    CExternalUiScope()
        : m_previous(msi::Api().SetExternalUIW(&MsiUiHandler, 0xFFFFFFFF, nullptr))
    {
    }
    ~CExternalUiScope() { msi::Api().SetExternalUIW(m_previous, 0, nullptr); }
    CExternalUiScope(const CExternalUiScope&) = delete;
    CExternalUiScope& operator=(const CExternalUiScope&) = delete;

private:
    INSTALLUI_HANDLERW m_previous;
};

// Windows Installer's logging stays on for every later call of the process (a transaction's
// commit or rollback, the next removal) until it is switched off.
class CPackageLogScope
{
public:
    explicit CPackageLogScope(const std::wstring& path)
    {
        msi::Api().EnableLogW(INSTALLLOGMODE_VERBOSE, path.c_str(), INSTALLLOGATTRIBUTES_APPEND);
    }
    ~CPackageLogScope() { End(); }
    CPackageLogScope(const CPackageLogScope&) = delete;
    CPackageLogScope& operator=(const CPackageLogScope&) = delete;

    void End()
    {
        if (m_on)
            msi::Api().EnableLogW(0, nullptr, 0);
        m_on = false;
    }

private:
    bool m_on = true;
};
}

namespace
{
// A package that succeeded but asks for a restart (3010, or 3011 for a restart of the
// installer itself): kept for the run's exit code. Interactive runs count down only for
// the steps that say so themselves.
void NoteRestartResult(UINT code, const std::wstring& package)
{
    if (code != ERROR_SUCCESS_REBOOT_REQUIRED && code != 3011)
        return;
    OvBase::TraceLine(OvBase::TraceInfo, L"Package '%s' needs a restart (%u)", package.c_str(), code);
    utils::CInstallContext::Instance().SetRestartNeeded(true);
}
}

bool IsInstallSuccess(UINT code)
{
    return code == ERROR_SUCCESS || code == ERROR_SUCCESS_REBOOT_INITIATED || code == ERROR_SUCCESS_REBOOT_REQUIRED ||
           code == 3011;
}

InstallResult MakeInstallResult(UINT code, bool withInstallerError)
{
    InstallResult result;
    result.success = IsInstallSuccess(code);
    if (!result.success)
    {
        result.errorText = OvBase::GetErrorDescription(OvBase::HResultFromWin32(code));
        if (withInstallerError)
            result.installerErrorText = GetLastInstallerError();
    }
    return result;
}

std::wstring GetMsiLogFolder()
{
    // The default folder's parents do not exist on a machine without the product.
    const std::wstring folder = OvBase::SecureLogFolder(OvBase::GetLogFolder());
    if (folder.empty())
        ThrowErrorCode(OvBase::HResultFromWin32(ERROR_ACCESS_DENIED));
    return folder + L"\\";
}

namespace
{
std::wstring PrepareMsiLogFile(const std::wstring& path)
{
    // Windows Installer appends to what it finds under that name: a link planted there would
    // make it write into another file.
    const bool usable = OvBase::PrepareLogFile(path);
    for (const std::wstring& note : OvBase::TakeLogFolderNotes())
        OvBase::TraceLine(OvBase::TraceWarning, L"%s", note.c_str());
    if (!usable)
        ThrowErrorCode(OvBase::HResultFromWin32(ERROR_ACCESS_DENIED));
    return path;
}
}

std::wstring MakePackagePath(const std::wstring& folder, const std::wstring& fileName)
{
    return OvBase::JoinPath(folder, fileName.c_str(), L'\\');
}

MsiObjectBase::MsiObjectBase(std::shared_ptr<IMsiPackage> package, const std::wstring& directory)
    : m_package(std::move(package)), m_directory(directory)
{
    if (!m_package)
        OvBase::ThrowErrorTextAt(L"NULL ARGUMENT EXCEPTION: 'spPackage'", OV_WFILE, __LINE__,
                                 L"ovinst::MsiObjectBase::MsiObjectBase");
}

MsiObjectBase::~MsiObjectBase() = default;

void MsiObjectBase::Exec(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier)
{
    OV_TRACE_FUNCTION();
    switch (m_package->GetAction())
    {
    case MsiActionInstall:
        Install(context, notifier);
        break;
    case MsiActionUpdate:
        Update(context, notifier);
        break;
    case MsiActionUninstall:
        Uninstall(context, notifier);
        break;
    default:
        break;
    }
}

std::wstring MsiObjectBase::LineText(UINT id) const
{
    return m_package->GetName() + utils::LoadResString(id);
}

std::wstring MsiObjectBase::TransformPart() const
{
    const std::wstring transforms = m_package->GetTransform(GetLanguageIndex());
    return transforms.empty() ? std::wstring() : L" TRANSFORMS=\"" + transforms + L"\"";
}

void MsiObjectBase::LogCommandLine(const std::wstring& shown) const
{
    OvBase::TraceLine(OvBase::TraceInfo, L"Package '%s' msi command line: \"%s\"", m_package->GetName().c_str(),
                      shown.c_str());
}

std::wstring MsiObjectBase::OptionCommandLine(const std::wstring& msiOption,
                                              const ResponseFileCommandLine& settings) const
{
    const std::wstring common = msiOption + L" CORRECTLAUNCH=1 REBOOT=ReallySuppress" + TransformPart();
    LogCommandLine(MaskPasswords(common) + settings.masked);
    return common + settings.text;
}

InstallResult MsiObjectBase::Install(std::shared_ptr<IExecContext>& context)
{
    OV_TRACE_FUNCTION();
    const std::wstring logPath = PrepareMsiLogFile(GetMsiLogFolder() + m_package->GetLogFileName());
    CPackageLogScope log(logPath);
    CExternalUiScope handler;
    const std::wstring commandLine = CommandLine(context);
    const std::vector<std::wstring> secrets = PasswordValues(commandLine);
    const bool fresh = m_package->GetAction() == MsiActionInstall && !IsAnyProductInstalled();
    UINT code = 0;
    {
        CHandlerSecretsScope masked(secrets);
        code = msi::Api().InstallProductW(PackagePath().c_str(), commandLine.c_str());
    }
    // Off before the scrub, so that nothing is written to the file behind it.
    log.End();
    ScrubLogFile(logPath, secrets);
    InstallResult result = MakeInstallResult(code, true);
    m_installedFresh = fresh && result.success;
    NoteRestartResult(code, m_package->GetFileName());
    if (!result.success)
        OV_TRACE(OvBase::TraceWarning,
                 L"[ovinst::MsiObjectBase::Install]  Install package '%s' FAILED with error: %d (%s), MsiError: %s",
                 m_package->GetFileName().c_str(), static_cast<int>(code), result.errorText.c_str(),
                 result.installerErrorText.c_str());
    return result;
}

bool MsiObjectBase::IsAnyProductInstalled() const
{
    wchar_t product[40] = {};
    return msi::Api().EnumRelatedProductsW(m_package->GetUpgradeCode().c_str(), 0, 0, product) == ERROR_SUCCESS;
}

InstallResult MsiObjectBase::Uninstall(bool addQuietSwitch)
{
    OV_TRACE_FUNCTION();
    const std::wstring upgradeCode = m_package->GetUpgradeCode();
    OV_TRACE(OvBase::TraceInfo, L"%s", upgradeCode.c_str());
    const std::wstring msiexec = OvBase::GetKnownFolder(OvBase::FolderSystem, L"msiexec.exe");
    wchar_t product[40] = {};
    for (DWORD index = 0; msi::Api().EnumRelatedProductsW(upgradeCode.c_str(), 0, index, product) == ERROR_SUCCESS;
         ++index)
    {
        const std::wstring logArgument =
            L"/L*V \"" + PrepareMsiLogFile(GetMsiLogFolder() + m_package->GetLogFileName()) + L"\"";
        const std::wstring properties = UninstallProperties();
        std::vector<wchar_t> arguments(1024);
        ::_snwprintf(arguments.data(), arguments.size() - 1,
                     addQuietSwitch ? L"/x %s /qn /quiet %s %s" : L"/x %s /qn %s %s", product, properties.c_str(),
                     logArgument.c_str());
        OV_TRACE(OvBase::TraceInfo, L"Running %s %s", L"msiexec.exe", MaskPasswords(arguments.data()).c_str());
        OvBase::CWin32Process process;
        if (process.Create(msiexec.c_str(), arguments.data(), false, 0, true, nullptr) == ERROR_SUCCESS)
            process.WaitFor(INFINITE);
        const DWORD exitCode = process.GetExitCode();
        OV_TRACE(OvBase::TraceInfo, L"0x%x", exitCode);
        const InstallResult removal = MakeInstallResult(exitCode, false);
        NoteRestartResult(exitCode, m_package->GetFileName());
        if (!removal.success)
            OV_TRACE(OvBase::TraceWarning,
                     L"[ovinst::MsiObjectBase::Uninstall] Msiexec.exe FAILED to uninstall '%s' with error: %d (%s)",
                     upgradeCode.c_str(), static_cast<int>(exitCode), removal.errorText.c_str());
    }
    return MakeInstallResult(ERROR_SUCCESS, false);
}
}

namespace ovinst
{
void MsiObjectBase::InstallOrAbort(std::shared_ptr<IExecContext>& context, INotifier& notifier, bool silent)
{
    msi::Api().SetInternalUI(silent ? INSTALLUILEVEL_NONE : INSTALLUILEVEL_FULL, nullptr);
    const InstallResult result = Install(context);
    notifier.ShowStatusWindow();
    if (!result.success)
        throw utils::AbortInstallException();
}

void MsiObjectBase::UninstallWithLine(INotifier& notifier, bool addQuietSwitch, bool guardLine)
{
    ActionErrorGuard guard(notifier, PackageId());
    if (!guardLine)
        guard.Disarm();
    notifier.ShowStatusWindow();
    notifier.ActionStartWithText(PackageId(), LineText(IDS_LINE_UNINSTALLING));
    Uninstall(addQuietSwitch);
    guard.Disarm();
    notifier.ActionEndWithText(PackageId(), LineText(IDS_LINE_UNINSTALLED));
}

void MsiObjectBase::UndoFreshInstall(INotifier& notifier, bool addQuietSwitch)
{
    OV_TRACE_FUNCTION();
    // After an update the previous build is gone already, and a product that was there
    // before the run is not this run's to remove.
    if (!m_installedFresh)
    {
        OV_TRACE(OvBase::TraceInfo, L"Package '%s' was not installed by this run, nothing to undo",
                 m_package->GetFileName().c_str());
        return;
    }
    notifier.ShowStatusWindow();
    notifier.ActionStartWithText(PackageId(), LineText(IDS_LINE_ROLLING_BACK));
    OV_TRACE(OvBase::TraceInfo, L"Performing rollback of '%s' install", m_package->GetFileName().c_str());
    Uninstall(addQuietSwitch);
    m_installedFresh = false;
    notifier.ActionEndWithText(PackageId(), LineText(IDS_LINE_ROLLED_BACK));
}
}
