// The package set a run works on.
#pragma once

#include <cstdint>

namespace ovinst
{
enum InstallerType : int32_t
{
    Console = 0,
    Server = 1,
};
}
