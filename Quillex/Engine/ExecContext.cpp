#include "ExecContext.h"

#include "ExclusiveRegion.h"
#include "OvErrorObject.h"
#include "ResString.h"
#include "SharedRegionNames.h"
#include "Trace.h"
#include "Win32Objects.h"
#include "res/resource.h"

namespace ovinst
{
ExecContext::ExecContext(int32_t uiMode) : m_uiMode(uiMode)
{
}

ExecContext::~ExecContext() = default;

void ExecContext::CreateMappedFiles()
{
    OV_TRACE_FUNCTION();
    // The regions this context made stay as they are, with what the wizard wrote into them.
    if (!m_asRegion)
        m_asRegion = CreateExclusiveRegion(kAuthServerRegionName);
    if (!m_dbRegion)
        m_dbRegion = CreateExclusiveRegion(kDatabaseRegionName);
    if (!m_cpRegion)
        m_cpRegion = CreateExclusiveRegion(kConnectionPointsRegionName);
}

OvBase::CWin32MappedFile& ExecContext::GetDBMappedFile()
{
    if (!m_dbRegion)
        ThrowErrorText(utils::LoadResString(IDS_NO_DB_SETTINGS));
    return *m_dbRegion;
}

OvBase::CWin32MappedFile& ExecContext::GetASMappedFile()
{
    if (!m_asRegion)
        ThrowErrorText(utils::LoadResString(IDS_NO_AS_SETTINGS));
    return *m_asRegion;
}

OvBase::CWin32MappedFile& ExecContext::GetCPMappedFile()
{
    if (!m_cpRegion)
        ThrowErrorText(utils::LoadResString(IDS_NO_CP_SETTINGS));
    return *m_cpRegion;
}

bool ExecContext::GetUIMode()
{
    switch (m_uiMode)
    {
    case 0:
        return true;
    case 1:
        return false;
    default:
        ThrowErrorText(L"Not implemented!");
    }
}

void ExecContext::SetServerInstalled()
{
    m_serverInstalled = true;
}

bool ExecContext::IsServerInstalled()
{
    return m_serverInstalled;
}
}
