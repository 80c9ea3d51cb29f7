// Marks a package's status line failed when a step is left by an exception.
#pragma once

#include "Engine/INotifier.h"

namespace ovinst
{
class ActionErrorGuard
{
public:
    ActionErrorGuard(INotifier& notifier, int packageId) : m_notifier(&notifier), m_packageId(packageId) {}
    ~ActionErrorGuard()
    {
        if (m_notifier)
            m_notifier->ActionError(m_packageId);
    }
    ActionErrorGuard(const ActionErrorGuard&) = delete;
    ActionErrorGuard& operator=(const ActionErrorGuard&) = delete;

    void Disarm() { m_notifier = nullptr; }

private:
    INotifier* m_notifier;
    int m_packageId;
};
}
