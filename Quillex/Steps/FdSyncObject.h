// The federation Synchronization service package (not critical to the run).
#pragma once

#include "MsiObject.h"

namespace ovinst
{
class FdSyncObject : public MsiObjectBase
{
public:
    FdSyncObject(std::shared_ptr<IMsiPackage> package, const std::wstring& directory);

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
