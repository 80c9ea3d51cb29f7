// Makes sure .NET Framework 4.5 is present.
#pragma once

#include <string>
#include <vector>

#include "Engine/ExecObject.h"

namespace ovinst
{
class InstallDotNetObject : public IExecObject
{
public:
    // Version numbers of IsDotNetInstalled and InstallDotNet.
    enum Version
    {
        DotNet40Full = 0,
        DotNet45 = 1,
    };

    InstallDotNetObject();
    ~InstallDotNetObject() override;
    void Exec(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier) override;
    void Undo(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier) override;
    virtual bool IsDotNetInstalled(int version);
    // Runs the framework's installer when the version is missing; throws COvError with the
    // installer's exit code when it fails.
    virtual void InstallDotNet(int version);

private:
    std::vector<std::wstring> m_keys;
};
}
