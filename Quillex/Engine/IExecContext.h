// What the steps of one install run share.
#pragma once

namespace OvBase
{
class CWin32MappedFile;
}

namespace ovinst
{
class IExecContext
{
public:
    virtual ~IExecContext() = default;
    // Creates (or opens) the three regions the Security Server's setup wizard fills.
    virtual void CreateMappedFiles() = 0;
    virtual OvBase::CWin32MappedFile& GetDBMappedFile() = 0;
    virtual OvBase::CWin32MappedFile& GetASMappedFile() = 0;
    virtual OvBase::CWin32MappedFile& GetCPMappedFile() = 0;
    // True when packages are to be installed without Windows Installer's own UI.
    virtual bool GetUIMode() = 0;
    virtual void SetServerInstalled() = 0;
    virtual bool IsServerInstalled() = 0;
};
}
