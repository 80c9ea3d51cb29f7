// Makes sure the C/C++ runtime (64-bit and 32-bit) is present.
#pragma once

#include <string>

#include "Engine/ExecObject.h"
#include "Runtime.h"

namespace ovinst
{
class InstallRuntimeObject : public IExecObject
{
public:
    InstallRuntimeObject();
    ~InstallRuntimeObject() override;
    void Exec(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier) override;
    void Undo(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier) override;

    // Whether the hotfix ("KB" + number) is listed by WMI; false when WMI cannot answer.
    bool CheckWindowsUpdate(const std::wstring& hotfix);
    // Whether the system meets the runtime's requirements (Windows 8.1 / 2012 R2 need KB2919355).
    bool CheckOsRequirements();

private:
    instutils::Runtime m_runtime;
};
}
