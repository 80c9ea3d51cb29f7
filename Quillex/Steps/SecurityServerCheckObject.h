// Whether the Security Server may be installed on this system at all.
#pragma once

#include "Engine/ExecObject.h"
#include "UacManager.h"

namespace ovinst
{
class SecurityServerCheckObject : public IExecObject
{
public:
    SecurityServerCheckObject();
    ~SecurityServerCheckObject() override;
    void Exec(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier) override;
    void Undo(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier) override;

    // Server edition, version, SHA-2 support, older generation, UAC; each refusal is shown
    // and ends the run with AbortInstallException.
    void SpecialCheck(std::unique_ptr<INotifier>& notifier);

private:
    CUacManager m_uac;
};
}
