// The font types: how a CAD font stores Hebrew. Everything that depends on
// the type lives in one row of kFontTypes: its name in the font map, its name
// in the line editor, its letter codes, and its load and store steps.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace hebrew {

class DisplayOrderer;

// The font type of a CAD font.
enum fntType : std::uint8_t {
    DosHebrew = 0,    // DOS letter codes 128-154, display order read left to right
    DosEnglish = 1,   // Latin keys of the Hebrew keyboard, display order left to right
    DosEnglishR = 2,  // as DosEnglish, display order read right to left
    WindowsHeb = 3,   // Windows-1255 letters 224-250, display order left to right
    TrueType = 4,     // laid out by the platform's bidirectional algorithm
};

struct FontTypeRow {
    fntType type;
    const char16_t* mapName;      // in "HebFonts.txt"; read in any case
    const char16_t* displayName;  // in the line editor's type box
    // The type's own Hebrew letter codes in the 8-bit form; none for the
    // keyboard types, whose letters are Latin keys.
    bool hasLetterCodes;
    unsigned char firstLetter, lastLetter;
    bool mirrorsBrackets;  // whether the mirroring forms mirror this type
    // Loading, on the 8-bit form with a backwards style already undone.
    void (*load)(std::string& bytes, std::u16string_view font, const DisplayOrderer& surface);
    // Storing, before a backwards style is redone.
    std::u16string (*store)(std::u16string_view text, std::u16string_view font, const DisplayOrderer& surface);
};

// In the enum's order, which is also the order the line editor steps through.
inline constexpr int kFontTypeCount = 5;
extern const FontTypeRow kFontTypes[kFontTypeCount];

// The row of a type; an out-of-range value gives DosHebrew's.
const FontTypeRow& fontTypeRow(fntType type);
// The type of a map name, in any ASCII case.
std::optional<fntType> fontTypeNamed(std::u16string_view mapName);
// The line editor's steps through the table, wrapping at either end.
fntType nextFontType(fntType type);      // down arrow
fntType previousFontType(fntType type);  // up arrow

}  // namespace hebrew
