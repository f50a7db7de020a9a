// The style of a text as a value, and the font map that classifies fonts.
//
//   FontMap loadFontMap(ProfileFiles& files, const std::u16string& mapFile);
//       the [Fonts] section of a "HebFonts.txt"; a missing file gives an
//       empty map; nothing is written.
//   fntType classifyFont(std::u16string_view fontFile, const FontMap& map);
//       the font type of a style's font file (its name as the style holds it).
//   StyleState styleFor(std::u16string_view fontFile, long generationFlag, const FontMap& map);
//       the style every conversion takes: the font's type, the name its
//       symbol-font test reads, and whether the style draws backwards.
//
// All three are pure functions of their arguments apart from loadFontMap's
// reads; none needs a settings file.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "conversions.h"
#include "font_types.h"
#include "profile.h"

namespace hebrew {

struct FontMapRow {
    std::u16string name;  // base name of the CAD font file
    std::u16string type;  // type name as held in the file
};

// The rows in the order of their names without regard to case.
using FontMap = std::vector<FontMapRow>;

inline constexpr char16_t kFontMapFile[] = u"HebFonts.txt";
inline constexpr char16_t kFontsSection[] = u"Fonts";

// A text generation flag of 2 draws the text backwards.
inline constexpr long kBackwardsGeneration = 2;

FontMap loadFontMap(ProfileFiles& files, const std::u16string& mapFile);

// A "DRAVIK..." font (the full name, folders included) is Windows, a ".ttf"
// is True Type, an empty file name is True Type unless the map names it;
// otherwise the map's row for the base name, and DosHebrew when there is
// none or its type name is unknown.
fntType classifyFont(std::u16string_view fontFile, const FontMap& map);

// The type that the prefix, the extension or a row of the map gives the
// font; none where classifyFont falls back to its default.
std::optional<fntType> mappedFontType(std::u16string_view fontFile, const FontMap& map);

// The name under which the map holds a font: the base name, upper case,
// without its extension.
std::u16string fontMapKey(std::u16string_view fontFile);

// The name a style keeps of its font: upper case, folders kept, extension
// dropped.
std::u16string styleFontName(std::u16string_view fontFile);

StyleState styleFor(std::u16string_view fontFile, long generationFlag, const FontMap& map);

}  // namespace hebrew
