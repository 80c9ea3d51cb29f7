// Runs a step inside an update context: the Security Server package reports its update's
// temporary folder through a shared region; afterwards the folder goes, the moved-aside
// modules come back and, after a failure, the user is advised to restart.
#pragma once

#include "Engine/ExecObject.h"

namespace ovinst
{
class UpdateContextObject : public IExecObject
{
public:
    explicit UpdateContextObject(std::shared_ptr<IExecObject> inner);
    ~UpdateContextObject() override;

    void Exec(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier) override;
    void Undo(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier) override;

private:
    std::shared_ptr<IExecObject> m_inner;
};
}
