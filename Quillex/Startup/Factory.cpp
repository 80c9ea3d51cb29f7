#include "Factory.h"

#include "Engine/ActionTable.h"
#include "Engine/ExecContext.h"
#include "Engine/InstallContext.h"
#include "Engine/InstallData.h"
#include "Engine/PackageTable.h"
#include "OvErrorObject.h"
#include "Steps/AnalizeObject.h"
#include "Steps/AuthServerObject.h"
#include "Steps/ConsoleObject.h"
#include "Steps/EnableUacObject.h"
#include "Steps/FdSyncObject.h"
#include "Steps/InstallDotNetObject.h"
#include "Steps/InstallRuntimeObject.h"
#include "Steps/MsiTransactionObject.h"
#include "Steps/RebootObject.h"
#include "Steps/SecurityServerCheckObject.h"
#include "Steps/SecurityServerObject.h"
#include "Steps/UpdateContextObject.h"
#include "Steps/WaitObject.h"
#include "Trace.h"
#include "Ui/IStatusCallback.h"
#include "Ui/Notifier.h"
#include "Ui/SilentNotifier.h"

using namespace ovinst;

namespace
{
bool AnyPackageToRemove(const IInstallData& installData)
{
    for (const auto& package : installData.GetPackages())
    {
        if (package->GetAction() == MsiActionUninstall)
            return true;
    }
    return false;
}
}

Factory::Factory(InstallerType type, bool silent) : m_type(type), m_silent(silent)
{
}

void Factory::CreateSequence(ExecObjectList steps, std::shared_ptr<ExecSequence>& result)
{
    result = std::make_shared<ExecSequence>(std::move(steps));
}

void Factory::CreateUpdateContext(const ExecObjectPtr& inner, ExecObjectPtr& result)
{
    result = std::make_shared<UpdateContextObject>(inner);
}

void Factory::CreateMsiTransaction(const ExecObjectPtr& inner, ExecObjectPtr& result)
{
    result = std::make_shared<MsiTransactionObject>(inner);
}

void Factory::CreateExecPackage(const std::shared_ptr<IInstallData>& installData,
                                const std::shared_ptr<IMsiPackage>& package, ExecObjectPtr& result)
{
    switch (package->GetId())
    {
    case SecurityServerId:
        result = std::make_shared<SecurityServerObject>(package, installData->GetDirectory(),
                                                        installData->GetMsiOption());
        return;
    case AuthServerId:
        result = std::make_shared<AuthServerObject>(package, installData->GetDirectory());
        return;
    case SyncServiceId:
        result = std::make_shared<FdSyncObject>(package, installData->GetDirectory());
        return;
    case ControlCenterId:
        result = std::make_shared<ConsoleObject>(package, installData->GetDirectory(), installData->GetMsiOption());
        return;
    default:
        break;
    }
    ThrowErrorText(L"Not implemented!");
}

void Factory::CreateExecContext(int32_t uiMode, std::shared_ptr<ExecContext>& result)
{
    result = std::make_shared<ExecContext>(uiMode);
}

void Factory::CreateInstallData(const std::wstring& folder, const std::wstring& msiOption,
                                std::shared_ptr<IInstallData>& result)
{
    OV_TRACE_FUNCTION();
    if (m_type == Server)
    {
        OV_TRACE(OvBase::TraceInfo, L"Creating Server Install Data object");
        const utils::CInstallContext& context = utils::CInstallContext::Instance();
        result = std::make_shared<InstallData>(ServerPackageRows(), folder, msiOption, m_silent,
                                               context.IsRemovalMode(), context.IsUpdate());
        return;
    }
    if (m_type == Console)
    {
        OV_TRACE(OvBase::TraceInfo, L"Creating Console Install Data object");
        result = std::make_shared<InstallData>(ConsolePackageRows(), folder, msiOption, m_silent, false);
        return;
    }
    ThrowErrorText(L"[Factory::CreateInstallData]Wrong installer type!");
}

void Factory::CreatePreInstallSequence(const std::shared_ptr<IInstallData>& installData, ExecObjectPtr& result)
{
    ExecObjectList steps;
    if (m_type == Console)
    {
        steps = {std::make_shared<AnalizeObject>(), std::make_shared<InstallRuntimeObject>(),
                 std::make_shared<InstallDotNetObject>()};
    }
    else if (m_type == Server)
    {
        if (utils::CInstallContext::Instance().IsRemovalMode())
        {
            // A removal never analyses the machine: that could switch User Account Control
            // off or install the runtime. With nothing to remove there is nothing to wait for.
            if (AnyPackageToRemove(*installData))
                steps = {std::make_shared<WaitObject>()};
        }
        else
        {
            steps = {std::make_shared<AnalizeObject>(), std::make_shared<SecurityServerCheckObject>(),
                     std::make_shared<InstallRuntimeObject>()};
        }
    }
    else
    {
        ThrowErrorText(L"[Factory::CreatePreInstallSequence]Wrong installer type!");
    }
    std::shared_ptr<ExecSequence> sequence;
    CreateSequence(std::move(steps), sequence);
    result = sequence;
}

void Factory::CreatePostInstallSequence(ExecObjectPtr& result)
{
    ExecObjectList steps;
    if (m_type == Server)
        steps = {std::make_shared<NonCriticalObject>(std::make_shared<EnableUacObject>()),
                 std::make_shared<NonCriticalObject>(std::make_shared<RebootObject>())};
    else if (m_type == Console)
        steps = {std::make_shared<NonCriticalObject>(std::make_shared<RebootObject>())};
    else
        ThrowErrorText(L"[Factory::CreatePostInstallSequence]Wrong installer type!");
    std::shared_ptr<ExecSequence> sequence;
    CreateSequence(std::move(steps), sequence);
    // Nothing after the packages may fail the run.
    result = std::make_shared<NonCriticalObject>(sequence);
}

void Factory::CreateInstallSequence(const std::shared_ptr<IInstallData>& installData, ExecObjectPtr& result)
{
    ExecObjectList steps;
    AddUpdatePackages(steps, installData);
    AddInstallPackages(steps, installData);
    AddUninstallPackages(steps, installData);
    ExecObjectPtr post;
    CreatePostInstallSequence(post);
    steps.push_back(post);
    std::shared_ptr<ExecSequence> sequence;
    CreateSequence(std::move(steps), sequence);
    result = sequence;
}

void Factory::CreateNotifier(const std::shared_ptr<IStatusCallback>& window,
                             const std::shared_ptr<IActionTable>& actionTable, StopRequestCallback isStopRequested,
                             std::unique_ptr<INotifier>& result)
{
    if (m_silent)
        result = std::make_unique<SilentNotifier>();
    else
        result = std::make_unique<Notifier>(window, actionTable, std::move(isStopRequested));
}

void Factory::CreateActionTable(InstallerType type, const std::shared_ptr<IStatusCallback>& window,
                                std::shared_ptr<IActionTable>& result)
{
    if (m_silent)
    {
        result.reset();
        return;
    }
    if (type == Console)
        result = std::make_shared<ConsoleTable>(window->GetHwnd());
    else if (type == Server)
        result = std::make_shared<SecutityServerTable>(window->GetHwnd());
    else
        ThrowErrorText(L"Wrong InstallerType");
}

ExecObjectPtr Factory::CreateInstallPackage(const std::shared_ptr<IInstallData>& installData,
                                            const std::shared_ptr<IMsiPackage>& package)
{
    ExecObjectPtr step;
    CreateExecPackage(installData, package, step);
    if (!package->IsCritical())
        step = std::make_shared<NonCriticalObject>(step);
    return step;
}

void Factory::AddUpdatePackages(ExecObjectList& steps, const std::shared_ptr<IInstallData>& installData)
{
    OV_TRACE_FUNCTION();
    ExecObjectList group;
    for (const auto& package : installData->GetPackages())
    {
        if (package->GetAction() != MsiActionUpdate)
            continue;
        // An update is never optional: the group is one transaction.
        ExecObjectPtr step;
        CreateExecPackage(installData, package, step);
        group.push_back(step);
        OV_TRACE(OvBase::TraceInfo, L"Package '%s' added to update sequence", package->GetName().c_str());
    }
    if (group.empty())
        return;
    std::shared_ptr<ExecSequence> sequence;
    CreateSequence(std::move(group), sequence);
    ExecObjectPtr updates = sequence;
    if (installData->GetInstallerType() == Server)
    {
        ExecObjectPtr transaction;
        CreateMsiTransaction(updates, transaction);
        CreateUpdateContext(transaction, updates);
    }
    steps.push_back(updates);
}

void Factory::AddInstallPackages(ExecObjectList& steps, const std::shared_ptr<IInstallData>& installData)
{
    OV_TRACE_FUNCTION();
    ExecObjectList group;
    for (const auto& package : installData->GetPackages())
    {
        if (package->GetAction() != MsiActionInstall)
            continue;
        group.push_back(CreateInstallPackage(installData, package));
        OV_TRACE(OvBase::TraceInfo, L"Package '%s' added to install sequence", package->GetName().c_str());
    }
    if (group.empty())
        return;
    std::shared_ptr<ExecSequence> sequence;
    CreateSequence(std::move(group), sequence);
    steps.push_back(sequence);
}

void Factory::AddUninstallPackages(ExecObjectList& steps, const std::shared_ptr<IInstallData>& installData)
{
    OV_TRACE_FUNCTION();
    ExecObjectList group;
    const Packages& packages = installData->GetPackages();
    // Removed in the reverse order of installation; a failed removal does not stop the others.
    for (auto it = packages.rbegin(); it != packages.rend(); ++it)
    {
        if ((*it)->GetAction() != MsiActionUninstall)
            continue;
        ExecObjectPtr step;
        CreateExecPackage(installData, *it, step);
        group.push_back(std::make_shared<NonCriticalObject>(step));
        OV_TRACE(OvBase::TraceInfo, L"Package '%s' added to delete sequence", (*it)->GetName().c_str());
    }
    if (group.empty())
        return;
    std::shared_ptr<ExecSequence> sequence;
    CreateSequence(std::move(group), sequence);
    steps.push_back(sequence);
}
