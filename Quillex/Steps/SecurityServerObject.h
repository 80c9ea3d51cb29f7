// The Security Server package: installs with the wizard's shared regions ready, and undoes a
// fresh installation with the database credentials the wizard handed over.
#pragma once

#include "MsiObject.h"
#include "ResponseFile.h"

namespace ovinst
{
class SecurityServerObject : public MsiObjectBase
{
public:
    SecurityServerObject(std::shared_ptr<IMsiPackage> package, const std::wstring& directory,
                         const std::wstring& msiOption);

    void Undo(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier) override;
    void Install(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier) override;
    void Update(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier) override;
    void Uninstall(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier) override;
    std::wstring CommandLine(std::shared_ptr<IExecContext>& context) override;
    std::wstring UninstallProperties() override;

    ResponseFileCommandLine GetRspFileCmdLine();

private:
    using MsiObjectBase::Install;
    using MsiObjectBase::Uninstall;

    std::wstring m_msiOption;
};
}
