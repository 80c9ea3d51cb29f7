#include "ExclusiveRegion.h"

#include <vector>

#include "LogFolderSecurity.h"
#include "OvErrorObject.h"
#include "ResString.h"
#include "SharedRegionNames.h"
#include "Trace.h"
#include "res/resource.h"

namespace ovinst
{
const wchar_t kRegionSddl[] = L"D:P(A;;GA;;;SY)(A;;GA;;;BA)";

void CreateExclusiveRegion(OvBase::CWin32MappedFile& region, const wchar_t* name)
{
    std::vector<BYTE> descriptor = OvBase::DescriptorFromSddl(kRegionSddl);
    if (descriptor.empty())
        ThrowErrorCode(OvBase::HResultFromWin32(GetLastError()));
    SECURITY_ATTRIBUTES security = {sizeof(security), descriptor.data(), FALSE};
    if (region.Map_Ex(PAGE_READWRITE, kSharedRegionSize, name, &security) != ERROR_ALREADY_EXISTS)
        return;
    region.Close();
    OvBase::TraceLine(OvBase::TraceWarning, L"Shared region %s exists already, made by another program: not used",
                      name);
    OvBase::COvError error(OvBase::HResultFromWin32(ERROR_ALREADY_EXISTS), OV_WFILE, __LINE__, OV_FUNCTION_NAME);
    error.SetValue(L"Description", utils::FormatResString(IDS_REGION_EXISTS, name));
    throw error;
}

std::unique_ptr<OvBase::CWin32MappedFile> CreateExclusiveRegion(const wchar_t* name)
{
    auto region = std::make_unique<OvBase::CWin32MappedFile>();
    CreateExclusiveRegion(*region, name);
    return region;
}
}
