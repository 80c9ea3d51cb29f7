// A failure that a step has already told the user about: the installer thread ends the run
// with its code without showing it a second time.
#pragma once

#include "OvErrorObject.h"

namespace ovinst
{
inline constexpr wchar_t kShownToUserKey[] = L"ShownToUser";

inline void MarkShownToUser(OvBase::COvError& error)
{
    error.SetValue(kShownToUserKey, L"1");
}

inline bool WasShownToUser(const OvBase::COvError& error)
{
    return error.GetProperties().count(kShownToUserKey) != 0;
}
}
