// Puts User Account Control back at the end of a run, unless a step failed.
#pragma once

#include "Engine/ExecObject.h"

namespace ovinst
{
class EnableUacObject : public IExecObject
{
public:
    EnableUacObject();
    ~EnableUacObject() override;
    void Exec(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier) override;
    void Undo(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier) override;
};
}
