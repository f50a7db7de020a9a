// Character classes of the 8-bit form for the partial reversal.
//
// A byte is a right-to-left letter exactly when its Windows-1255 character
// has the bidirectional class R:
//   224-250  alef to tav
//   206      maqaf (U+05BE)
//   208      paseq (U+05C0)
//   211      sof pasuq (U+05C3)
//   212-214  Yiddish ligatures (U+05F0-U+05F2)
//   215, 216 geresh and gershayim (U+05F3, U+05F4)
//   254      right-to-left mark (U+200F)
// The points and other marks (192-205, 207, 209, 210: class NSM) and the
// left-to-right mark (253: class L) are not: they belong to the runs around
// them as every Latin letter, digit, blank and punctuation sign does.
//
// A fixed table rather than the platform's classification: that one depends
// on the screen font and some systems fill in no classes at all.
#pragma once

namespace hebrew {

bool isRightToLeftByte(unsigned char b);

}  // namespace hebrew
