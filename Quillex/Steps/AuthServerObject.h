// The Authentication Server package: its command line is the one the Security Server's wizard
// handed over.
#pragma once

#include "MsiObject.h"

namespace ovinst
{
class AuthServerObject : public MsiObjectBase
{
public:
    AuthServerObject(std::shared_ptr<IMsiPackage> package, const std::wstring& directory);

    void Undo(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier) override;
    void Install(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier) override;
    void Update(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier) override;
    void Uninstall(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier) override;
    std::wstring CommandLine(std::shared_ptr<IExecContext>& context) override;
    std::wstring UninstallProperties() override;

private:
    using MsiObjectBase::Install;
    using MsiObjectBase::Uninstall;
};
}
