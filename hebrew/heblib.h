// HebLib: the primitives from which the conversions are composed. Every
// string here is in the 8-bit form (codepage.h) unless said otherwise.
#pragma once

#include <string>
#include <string_view>

#include "display_order.h"

namespace hebrew {

std::string ReverseText(std::string_view s);

// Each run of characters that are not right-to-left letters reversed in
// place; right-to-left runs kept. Undoes itself and commutes with
// ReverseText; the two together turn a right-to-left line in reading order
// into its display order and back.
std::string ReverseNonHebrewRuns(std::string_view s);

std::string DisplayOrder(const DisplayOrderer& surface, std::string_view s);

// Bytes 128-154 raised by 96 (to 224-250) and back.
std::string DosToWinLetters(std::string_view s);
std::string WinToDosLetters(std::string_view s);

// The Hebrew keyboard map, in place: Latin key to DOS code and back.
void EnglishKeysToDos(std::string& s);
void DosToEnglishKeys(std::string& s);

// In-place forms of the reorderings and letter moves, for the conversions:
// one buffer serves every step of a long text.
void reverseInPlace(std::string& s);
void reverseNonHebrewRunsInPlace(std::string& s);
void dosToWinInPlace(std::string& s);
void winToDosInPlace(std::string& s);

// "%%128" to "%%154" replaced by the single byte of that value; every other
// "%%" code stays as it is.
std::string DecodePercentCodes(std::string_view s);
void decodePercentCodesInPlace(std::string& s);

}  // namespace hebrew
