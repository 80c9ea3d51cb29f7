// System analysis: administrator rights, the family's language mark, free disk space.
#pragma once

#include "Engine/ExecObject.h"

namespace ovinst
{
class AnalizeObject : public IExecObject
{
public:
    AnalizeObject();
    ~AnalizeObject() override;
    void Exec(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier) override;
    // Nothing to undo: the step only checks (and writes a missing language mark).
    void Undo(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier) override;

    // Each refusal is shown to the user and ends the run with AbortInstallException.
    void Check(std::unique_ptr<INotifier>& notifier);
    void CheckLocale(std::unique_ptr<INotifier>& notifier);
};
}
