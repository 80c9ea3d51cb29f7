// Masks a secret value where it stands whole, never inside a longer word: a short password
// also occurs in the ordinary text of a log.
#pragma once

#include <string>
#include <vector>

namespace ovinst
{
// Replaces each occurrence of a secret by "***" where neither neighbour is a letter, a digit
// or '_' (as in "NAME=value", "NAME = value", "'value'", "for value."). True when anything
// was replaced; empty secrets are skipped.
bool MaskWholeValues(std::wstring& text, const std::vector<std::wstring>& secrets);
// The same for the bytes of a text in a single- or multi-byte code page.
bool MaskWholeValues(std::string& bytes, const std::vector<std::string>& secrets);
}
