// The quiet end of a run: the user's abort, or a refusal already shown to the user.
#pragma once

#include <exception>

namespace utils
{
class AbortInstallException : public std::exception
{
};
}
