// The error a call throws, for tests that look at its code and description.
#pragma once

#include <gtest/gtest.h>

#include <optional>

#include "OvErrorObject.h"

namespace testsupport
{
// Empty (and a failed expectation) when the call throws nothing.
template <class Call>
std::optional<OvBase::COvError> CatchOvError(Call&& call)
{
    try
    {
        call();
    }
    catch (const OvBase::COvError& error)
    {
        return error;
    }
    ADD_FAILURE() << "no COvError thrown";
    return std::nullopt;
}
}
