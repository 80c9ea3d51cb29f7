// Faults in functions without a stack frame of their own, as the compiler makes small leaf
// functions at -O2: at the faulting instruction the stack is 8 bytes off a multiple of 16.
// Each is the faulting instruction and a return, whatever the build's optimisation, and is
// never inlined or specialised for a constant argument.
#pragma once

#include <cstdint>

#define OV_FRAMELESS_FAULT __attribute__((noipa, optimize("O2")))

namespace ovtest
{
OV_FRAMELESS_FAULT inline int ReadAt(uintptr_t address)
{
    return *reinterpret_cast<volatile int*>(address);
}

OV_FRAMELESS_FAULT inline void WriteAt(uintptr_t address)
{
    *reinterpret_cast<volatile int*>(address) = 1;
}

OV_FRAMELESS_FAULT inline int DivideBy(int value, int divisor)
{
    return value / divisor;
}
}
