// The execution context of an install run, with the wizard's shared-memory regions.
#pragma once

#include "IExecContext.h"

#include <cstdint>
#include <memory>

namespace ovinst
{
class ExecContext : public IExecContext
{
public:
    // uiMode: 1 interactive run, 0 silent run.
    explicit ExecContext(int32_t uiMode);
    ~ExecContext() override;

    void CreateMappedFiles() override;
    OvBase::CWin32MappedFile& GetDBMappedFile() override;
    OvBase::CWin32MappedFile& GetASMappedFile() override;
    OvBase::CWin32MappedFile& GetCPMappedFile() override;
    bool GetUIMode() override;
    void SetServerInstalled() override;
    bool IsServerInstalled() override;

private:
    std::unique_ptr<OvBase::CWin32MappedFile> m_asRegion;
    std::unique_ptr<OvBase::CWin32MappedFile> m_dbRegion;
    std::unique_ptr<OvBase::CWin32MappedFile> m_cpRegion;
    int32_t m_uiMode;
    bool m_serverInstalled = false;
};
}
