// Steps of the installer: each can be executed and, once executed, undone.
#pragma once

#include "AbortInstallException.h"
#include "IExecContext.h"
#include "INotifier.h"

#include <memory>
#include <vector>

namespace ovinst
{
class IExecObject
{
public:
    virtual ~IExecObject() = default;
    virtual void Exec(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier) = 0;
    virtual void Undo(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier) = 0;
};

using ExecObjectPtr = std::shared_ptr<IExecObject>;
using ExecObjectList = std::vector<ExecObjectPtr>;

// Runs its steps in order; when one fails it undoes the completed ones, newest first,
// and passes the failure up unchanged.
class ExecSequence : public IExecObject
{
public:
    explicit ExecSequence(ExecObjectList steps);
    ~ExecSequence() override;
    void Exec(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier) override;
    void Undo(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier) override;

private:
    ExecObjectList m_steps;
    ExecObjectList m_done;
};

// A step whose failure is only logged; its undo's failure still propagates. A wrapped
// step that failed is not undone: it cleaned up after itself and never completed.
class NonCriticalObject : public IExecObject
{
public:
    explicit NonCriticalObject(ExecObjectPtr inner);
    ~NonCriticalObject() override;
    void Exec(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier) override;
    void Undo(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier) override;

private:
    ExecObjectPtr m_inner;
    bool m_innerDone = false;
};
}
