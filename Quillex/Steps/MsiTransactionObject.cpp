#include "MsiTransactionObject.h"

#include <string>

#include "MsiApi.h"
#include "OvErrorObject.h"
#include "Trace.h"

namespace ovinst
{
namespace
{
void SleepWait(DWORD milliseconds)
{
    ::Sleep(milliseconds);
}

TransactionWaitFunction& CurrentWait()
{
    static TransactionWaitFunction function = &SleepWait;
    return function;
}

#define OV_ANON_TRACE(name) OvBase::CFuncTraceContext ovFuncTrace(L"`anonymous-namespace'::" name, OV_WFILE, __LINE__)

class CMsiTransaction
{
public:
    CMsiTransaction(const std::wstring& name, INotifier& notifier) : m_name(name), m_notifier(notifier) { Start(); }

    ~CMsiTransaction()
    {
        OV_ANON_TRACE(L"CMsiTransaction::~CMsiTransaction");
        try
        {
            RollBack();
        }
        catch (OvBase::COvError& error)
        {
            OV_TRACE(OvBase::TraceWarning, L"[`anonymous-namespace'::CMsiTransaction::~CMsiTransaction]  Exception: %s",
                     error.GetDescription());
        }
        catch (...)
        {
            OV_TRACE(OvBase::TraceWarning,
                     L"[`anonymous-namespace'::CMsiTransaction::~CMsiTransaction]  UNHANDLED EXCEPTION");
        }
        CloseHandles();
    }

    CMsiTransaction(const CMsiTransaction&) = delete;
    CMsiTransaction& operator=(const CMsiTransaction&) = delete;

    void Commit()
    {
        OV_ANON_TRACE(L"CMsiTransaction::Commit");
        if (!m_open)
            return;
        const UINT result = msi::Api().EndTransaction(MSITRANSACTIONSTATE_COMMIT);
        if (result != ERROR_SUCCESS)
        {
            OV_TRACE(OvBase::TraceWarning,
                     L"[`anonymous-namespace'::CMsiTransaction::Commit]  Can't commit MSI transaction with name '%s'. "
                     L"Error: 0x%X",
                     m_name.c_str(), result);
            ThrowErrorCode(OvBase::HResultFromWin32(result));
        }
        m_open = false;
        CloseHandles();
    }

    void RollBack()
    {
        OV_ANON_TRACE(L"CMsiTransaction::RollBack");
        if (!m_open)
            return;
        OV_TRACE(OvBase::TraceWarning, L"[`anonymous-namespace'::CMsiTransaction::RollBack]  Performing rollback...");
        m_notifier.EnableCancel(false);
        const UINT result = msi::Api().EndTransaction(MSITRANSACTIONSTATE_ROLLBACK);
        m_notifier.EnableCancel(true);
        // Ended either way: a failed rollback is not tried again.
        m_open = false;
        CloseHandles();
        OV_TRACE(OvBase::TraceWarning, L"[`anonymous-namespace'::CMsiTransaction::RollBack]  Rollback finished");
        if (result != ERROR_SUCCESS)
        {
            OV_TRACE(OvBase::TraceWarning,
                     L"[`anonymous-namespace'::CMsiTransaction::RollBack]  Rollback MSI transaction with name '%s' "
                     L"finished with error: 0x%X",
                     m_name.c_str(), result);
            ThrowErrorCode(OvBase::HResultFromWin32(result));
        }
    }

private:
    void Start()
    {
        OV_ANON_TRACE(L"CMsiTransaction::Start");
        UINT result = ERROR_SUCCESS;
        for (int attempt = 0; attempt < 4; ++attempt)
        {
            result = msi::Api().BeginTransactionW(m_name.c_str(), 0, &m_transaction, &m_changeOfOwner);
            if (result != ERROR_INSTALL_ALREADY_RUNNING)
                break;
            CurrentWait()(30000);
        }
        if (result != ERROR_SUCCESS)
        {
            m_transaction = 0;
            m_changeOfOwner = nullptr;
            OV_TRACE(OvBase::TraceWarning,
                     L"[`anonymous-namespace'::CMsiTransaction::Start]  Can't start MSI transaction with name '%s'. "
                     L"Error: 0x%X",
                     m_name.c_str(), result);
            ThrowErrorCode(OvBase::HResultFromWin32(result));
        }
        m_open = true;
    }

    // The caller owns both: the transaction's handle and its change-of-owner event.
    void CloseHandles()
    {
        if (m_transaction != 0)
            msi::Api().CloseHandle(m_transaction);
        m_transaction = 0;
        if (m_changeOfOwner)
            ::CloseHandle(m_changeOfOwner);
        m_changeOfOwner = nullptr;
    }

    std::wstring m_name;
    INotifier& m_notifier;
    MSIHANDLE m_transaction = 0;
    HANDLE m_changeOfOwner = nullptr;
    bool m_open = false;
};
}

MsiTransactionObject::MsiTransactionObject(std::shared_ptr<IExecObject> inner) : m_inner(std::move(inner))
{
    OvBase::TraceLine(OvBase::TraceInfo, L"MsiTransactionObject created");
}

MsiTransactionObject::~MsiTransactionObject() = default;

void MsiTransactionObject::Exec(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier)
{
    OV_TRACE_FUNCTION();
    CMsiTransaction transaction(L"SecurityServerInstallation", *notifier);
    m_inner->Exec(context, notifier);
    transaction.Commit();
}

void MsiTransactionObject::Undo(std::shared_ptr<IExecContext>&, std::unique_ptr<INotifier>&)
{
}

CTransactionWaitOverride::CTransactionWaitOverride(TransactionWaitFunction replacement) : m_previous(CurrentWait())
{
    CurrentWait() = replacement;
}

CTransactionWaitOverride::~CTransactionWaitOverride()
{
    CurrentWait() = m_previous;
}
}
