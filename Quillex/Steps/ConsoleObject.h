// The Control Center package; its removal runs the package again (the package decides).
#pragma once

#include "MsiObject.h"
#include "ResponseFile.h"

namespace ovinst
{
class ConsoleObject : public MsiObjectBase
{
public:
    ConsoleObject(std::shared_ptr<IMsiPackage> package, const std::wstring& directory,
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
