#include "UpdateContextObject.h"

#include <string>

#include "Engine/ExclusiveRegion.h"
#include "Engine/SharedRegionNames.h"
#include "FileHelpers.h"
#include "OvErrorObject.h"
#include "ProductRegistry.h"
#include "ResString.h"
#include "SharedRegionText.h"
#include "Trace.h"
#include "Win32Objects.h"
#include "res/resource.h"

namespace ovinst
{
namespace
{
std::wstring ReadServerInstallFolder()
{
    std::wstring folder;
    OvBase::CRegistryKey key(OvBase::CRegistryKey::RootLocalMachine);
    if (key.Open(instutils::kSecurityServerKeyPath, false, KEY_READ | KEY_WRITE) == ERROR_SUCCESS)
        key.GetString(instutils::kSecurityServerInstallDirValue, folder, L"");
    return folder;
}

class CUpdateContext : public OvBase::CWin32MappedFile
{
public:
    explicit CUpdateContext(INotifier& notifier) : m_notifier(notifier)
    {
        CreateExclusiveRegion(*this, kUpdateContextRegionName);
    }

    ~CUpdateContext() override
    {
        OvBase::CFuncTraceContext ovFuncTrace(L"`anonymous-namespace'::CUpdateContext::~CUpdateContext", OV_WFILE,
                                              __LINE__);
        try
        {
            ClearTempDirectory();
            if (!m_succeeded)
                m_notifier.ShowMessage(utils::LoadResString(IDS_RESTART_TO_RECOVER));
            const std::wstring folder = ReadServerInstallFolder();
            CRenameBeforeDelete modules(folder.c_str());
            modules.RenameBack();
        }
        catch (OvBase::COvError& error)
        {
            OV_TRACE(OvBase::TraceWarning, L"[`anonymous-namespace'::CUpdateContext::~CUpdateContext]  Exception: %s",
                     error.GetDescription());
        }
        catch (...)
        {
            OV_TRACE(OvBase::TraceWarning,
                     L"[`anonymous-namespace'::CUpdateContext::~CUpdateContext]  UNHANDLED EXCEPTION");
        }
        Close();
    }

    CUpdateContext(const CUpdateContext&) = delete;
    CUpdateContext& operator=(const CUpdateContext&) = delete;

    void SetFailed() { m_succeeded = false; }

    void ClearTempDirectory()
    {
        OvBase::CFuncTraceContext ovFuncTrace(L"`anonymous-namespace'::CUpdateContext::ClearTempDirectory", OV_WFILE,
                                              __LINE__);
        const void* view = GetPointer_Ex(FILE_MAP_ALL_ACCESS, 0, kSharedRegionSize);
        // Text without its NUL inside the section reads empty: nothing is deleted on a guess.
        std::wstring folder = ReadTerminatedText(view, kSharedRegionSize, 4);
        OV_TRACE(OvBase::TraceInfo, L"[`anonymous-namespace'::CUpdateContext::ClearTempDirectory]  Temp directory from "
                                    L"context: %s ",
                 folder.c_str());
        if (folder.empty())
            return;
        folder += L"\\";
        OV_TRACE(OvBase::TraceInfo, L"[`anonymous-namespace'::CUpdateContext::ClearTempDirectory] Temp directory: %s ",
                 folder.c_str());
        DeleteFilesInFolder(folder.c_str());
        if (!RemoveDirectoryW(folder.c_str()) && !MoveFileW(folder.c_str(), nullptr))
            MoveFileExW(folder.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    }

private:
    INotifier& m_notifier;
    bool m_succeeded = true;
};
}

UpdateContextObject::UpdateContextObject(std::shared_ptr<IExecObject> inner) : m_inner(std::move(inner))
{
    OvBase::TraceLine(OvBase::TraceInfo, L"UpdateContextObject created");
}

UpdateContextObject::~UpdateContextObject() = default;

void UpdateContextObject::Exec(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier)
{
    OV_TRACE_FUNCTION();
    CUpdateContext updateContext(*notifier);
    try
    {
        m_inner->Exec(context, notifier);
    }
    catch (...)
    {
        updateContext.SetFailed();
        throw;
    }
}

void UpdateContextObject::Undo(std::shared_ptr<IExecContext>& context, std::unique_ptr<INotifier>& notifier)
{
    OV_TRACE_FUNCTION();
    m_inner->Undo(context, notifier);
}
}
