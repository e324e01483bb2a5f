#pragma once
// Code page 932 characters that ISO-2022-JP carries badly or not at all: the IBM extensions
// (replaced by their twins elsewhere in the code page), the user-defined characters and the
// machine-dependent ones. Pure functions on Shift_JIS text; any byte string is valid input.
#include <string>
#include <string_view>
#include <vector>

// A character of the user's own font (lead byte F0-F9): no receiver has it.
bool IsUserDefinedChar(unsigned char lead);

// The NEC special row (8740-879C) and the NEC-selected IBM extensions (ED40-EEFC): most mail
// readers show them, strict ISO-2022-JP decoders do not.
bool IsMachineDependentChar(unsigned char lead, unsigned char trail);

// Every IBM extension character (FA40-FC4B) becomes the same character's code in JIS X 0208,
// else in the NEC special row, else in the NEC-selected IBM extensions; every other byte stays.
// The text keeps its length.
std::string ReplaceIbmExtensions(std::string_view text);

// The first user-defined character of text (its two bytes), or the empty string.
std::string FindUserDefinedChar(std::string_view text);

// Appends each machine-dependent character of text (two bytes) that found does not hold yet, in
// the order of first appearance.
void CollectMachineDependentChars(std::string_view text, std::vector<std::string>& found);
