// The wizard's regions carry the database administrator's password: a region of that name that
// another program made first (with an access list of its choosing) is never used.
#pragma once

#include <memory>

#include "Win32Objects.h"

namespace ovinst
{
// SYSTEM and Administrators only: the wizard runs in the installing process's context.
extern const wchar_t kRegionSddl[];

// Creates the named region in `region` for SYSTEM and Administrators only. When a region of
// that name exists already it logs the name and throws 0x800700B7 with the user's text, before
// anything is written into it.
void CreateExclusiveRegion(OvBase::CWin32MappedFile& region, const wchar_t* name);
std::unique_ptr<OvBase::CWin32MappedFile> CreateExclusiveRegion(const wchar_t* name);
}
