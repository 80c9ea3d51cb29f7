// Runs a step inside one Windows Installer transaction: the packages it updates are
// committed together or rolled back together.
#pragma once

#include <windows.h>

#include "Engine/ExecObject.h"

namespace ovinst
{
class MsiTransactionObject : public IExecObject
{
public:
    explicit MsiTransactionObject(std::shared_ptr<IExecObject> inner);
    ~MsiTransactionObject() override;

    void Exec(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier) override;
    void Undo(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier) override;

private:
    std::shared_ptr<IExecObject> m_inner;
};

using TransactionWaitFunction = void (*)(DWORD milliseconds);

// The wait between two attempts to start a transaction while another installation runs
// goes through this function; a test replaces it for one scope.
class CTransactionWaitOverride
{
public:
    explicit CTransactionWaitOverride(TransactionWaitFunction replacement);
    ~CTransactionWaitOverride();
    CTransactionWaitOverride(const CTransactionWaitOverride&) = delete;
    CTransactionWaitOverride& operator=(const CTransactionWaitOverride&) = delete;

private:
    TransactionWaitFunction m_previous;
};
}
