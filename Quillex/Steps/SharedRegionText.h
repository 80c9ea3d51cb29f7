// Reading the texts that another process wrote into a shared-memory region. The writer is
// not trusted to stay inside the region: nothing here reads past its end.
#pragma once

#include <cstddef>
#include <string>

namespace ovinst
{
// A 32-bit byte count at `offset` and that many bytes of UTF-16 text, ending early at a NUL.
// Advances `offset` past the field. A count or text that would reach past the region gives
// an empty text and moves `offset` to the end, so later fields read empty too.
std::wstring ReadCountedText(const void* region, size_t regionSize, size_t& offset, unsigned long* count = nullptr);
// UTF-16 text from `offset` up to its NUL; empty when no NUL lies inside the region.
std::wstring ReadTerminatedText(const void* region, size_t regionSize, size_t offset);
}
