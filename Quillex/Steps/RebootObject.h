// Ends a run that needs a restart: the countdown, then the restart when the program exits.
#pragma once

#include "Engine/ExecObject.h"

namespace ovinst
{
class RebootObject : public IExecObject
{
public:
    RebootObject();
    ~RebootObject() override;
    void Exec(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier) override;
    void Undo(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier) override;

private:
    short m_countdownSeconds;
};
}
