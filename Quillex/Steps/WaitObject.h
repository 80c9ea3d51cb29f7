// Ten seconds in which the user can still cancel a removal.
#pragma once

#include "Engine/ExecObject.h"

namespace ovinst
{
class WaitObject : public IExecObject
{
public:
    WaitObject();
    ~WaitObject() override;
    void Exec(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier) override;
    void Undo(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier) override;
};
}
