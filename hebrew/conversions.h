// The conversions between a drawing's stored strings and the editors' text,
// as pure functions of the string and the style state.
//
// A stored string is Unicode as the host hands it; its 8-bit form carries the
// font's byte codes. Editor text is Unicode in reading order with Hebrew as
// U+05D0 to U+05EA. The forms with mirrorBrackets false serve the attribute
// editor.
#pragma once

#include <string>
#include <string_view>

#include "display_order.h"
#include "font_types.h"
#include "heblib.h"

namespace hebrew {

struct StyleState {
    std::u16string font;  // cStFont: the style's font file, as styleFontName (font_style.h) gives it
    fntType type = DosHebrew;  // cStType
    bool backwards = false;  // cStBack: the style draws its text backwards
};

inline bool operator==(const StyleState& a, const StyleState& b) {
    return a.font == b.font && a.type == b.type && a.backwards == b.backwards;
}
inline bool operator!=(const StyleState& a, const StyleState& b) { return !(a == b); }

// False when s holds a letter of the font type's own encoding.
bool isEnglishOnly(std::u16string_view s, fntType ft);
bool isEnglishOnlyBytes(std::string_view bytes, fntType ft);

// "(" and ")", "<" and ">" exchanged, in one pass.
std::u16string MirrorBrackets(std::u16string_view s);

// Fonts whose names begin with "iron" or "hebsymb" keep symbols at 155-161.
bool isSymbolFont(std::u16string_view font);

// Loading: symbol codes 155-161 of a symbol font become their "%%" code text.
std::u16string Symbtoedit(std::u16string_view s, std::u16string_view font);
// Storing: six sign characters of a symbol font become its symbol codes.
std::u16string Symbtoacad(std::u16string_view s, std::u16string_view font);
void symbtoacadInPlace(std::u16string& s, std::u16string_view font);

std::u16string ConvertLeftToRight(std::u16string_view s, const DisplayOrderer& surface);
std::u16string ConvertRightToLeft(std::u16string_view s, const DisplayOrderer& surface);

std::u16string acadToEdit(std::u16string_view stored, const StyleState& style, const DisplayOrderer& surface,
                          bool mirrorBrackets);
std::u16string editToAcad(std::u16string_view text, const StyleState& style, const DisplayOrderer& surface,
                          bool mirrorBrackets);

}  // namespace hebrew
