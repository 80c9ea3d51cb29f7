#include "ExecContext.h"

#include "OvErrorObject.h"
#include "ResString.h"
#include "SharedRegionNames.h"
#include "Trace.h"
#include "Win32Objects.h"
#include "res/resource.h"

namespace ovinst
{
namespace
{
std::unique_ptr<OvBase::CWin32MappedFile> CreateRegion(const wchar_t* name)
{
    auto region = std::make_unique<OvBase::CWin32MappedFile>();
    // An existing section of that name is opened: what was written into it stays.
    if (region->Map_Ex(PAGE_READWRITE, kSharedRegionSize, name, nullptr) == ERROR_ALREADY_EXISTS)
        OvBase::TraceLine(OvBase::TraceInfo, L"Shared region %s already exists, opened", name);
    return region;
}
}

ExecContext::ExecContext(int32_t uiMode) : m_uiMode(uiMode)
{
}

ExecContext::~ExecContext() = default;

void ExecContext::CreateMappedFiles()
{
    OV_TRACE_FUNCTION();
    m_asRegion = CreateRegion(kAuthServerRegionName);
    m_dbRegion = CreateRegion(kDatabaseRegionName);
    m_cpRegion = CreateRegion(kConnectionPointsRegionName);
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
