#include "font_types.h"

#include <algorithm>

#include "codepage.h"
#include "conversions.h"
#include "file_names.h"
#include "heblib.h"

namespace hebrew {
namespace {

constexpr unsigned kFirstSymbolCode = 155;
constexpr unsigned kLastSymbolCode = 161;

// Symbtoedit on the 8-bit form. Of the code points 155 to 161 it looks for,
// the bytes give 156 to 161: byte 155 is U+203A.
bool isSymbolCodeByte(char c) {
    const unsigned code = byteToUnicode(static_cast<unsigned char>(c));
    return code >= kFirstSymbolCode && code <= kLastSymbolCode;
}

void symbtoeditBytes(std::string& t, std::u16string_view font) {
    if (!isSymbolFont(font) || std::none_of(t.begin(), t.end(), isSymbolCodeByte)) return;
    std::string out;
    out.reserve(t.size() + 16);
    for (char c : t) {
        if (!isSymbolCodeByte(c)) {
            out += c;
            continue;
        }
        const unsigned n = byteToUnicode(static_cast<unsigned char>(c));
        out += "%%";
        out += static_cast<char>('0' + n / 100);
        out += static_cast<char>('0' + n / 10 % 10);
        out += static_cast<char>('0' + n % 10);
    }
    t = std::move(out);
}

// The load steps of each font type, on the 8-bit form, in place.
void loadDosHebrew(std::string& t, std::u16string_view font, const DisplayOrderer&) {
    if (isEnglishOnlyBytes(t, DosHebrew)) return symbtoeditBytes(t, font);
    decodePercentCodesInPlace(t);
    symbtoeditBytes(t, font);
    dosToWinInPlace(t);
    reverseInPlace(t);
    reverseNonHebrewRunsInPlace(t);
}

void loadDosEnglishKeys(std::string& t, bool readRightToLeft) {
    EnglishKeysToDos(t);
    dosToWinInPlace(t);
    if (!readRightToLeft) reverseInPlace(t);
    reverseNonHebrewRunsInPlace(t);
}
void loadDosEnglish(std::string& t, std::u16string_view, const DisplayOrderer&) { loadDosEnglishKeys(t, false); }
void loadDosEnglishR(std::string& t, std::u16string_view, const DisplayOrderer&) { loadDosEnglishKeys(t, true); }

void loadWindows(std::string& t, std::u16string_view, const DisplayOrderer&) {
    if (isEnglishOnlyBytes(t, WindowsHeb)) return;
    reverseNonHebrewRunsInPlace(t);
    reverseInPlace(t);
}

// The platform's left-to-right layout, read back as a right-to-left line.
void loadTrueType(std::string& t, std::u16string_view, const DisplayOrderer& surface) {
    t = DisplayOrder(surface, t);
    reverseNonHebrewRunsInPlace(t);
    reverseInPlace(t);
}

// The store steps; each returns the stored string.
std::u16string storeDosHebrew(std::u16string_view text, std::u16string_view font, const DisplayOrderer&) {
    if (isEnglishOnly(text, WindowsHeb)) return Symbtoacad(text, font);
    std::string t = toBytes(text);
    reverseNonHebrewRunsInPlace(t);
    reverseInPlace(t);
    winToDosInPlace(t);
    std::u16string r = fromBytes(t);
    symbtoacadInPlace(r, font);
    return r;
}

std::u16string storeDosEnglishKeys(std::u16string_view text, bool readRightToLeft) {
    std::string t = toBytes(text);
    reverseNonHebrewRunsInPlace(t);
    if (!readRightToLeft) reverseInPlace(t);
    winToDosInPlace(t);
    DosToEnglishKeys(t);
    return fromBytes(t);
}
std::u16string storeDosEnglish(std::u16string_view text, std::u16string_view, const DisplayOrderer&) {
    return storeDosEnglishKeys(text, false);
}
std::u16string storeDosEnglishR(std::u16string_view text, std::u16string_view, const DisplayOrderer&) {
    return storeDosEnglishKeys(text, true);
}

std::u16string storeWindows(std::u16string_view text, std::u16string_view, const DisplayOrderer&) {
    if (isEnglishOnly(text, WindowsHeb)) return std::u16string(text);
    std::string t = toBytes(text);
    reverseNonHebrewRunsInPlace(t);
    reverseInPlace(t);
    return fromBytes(t);
}

std::u16string storeTrueType(std::u16string_view text, std::u16string_view, const DisplayOrderer& surface) {
    std::string t = toBytes(text);
    reverseNonHebrewRunsInPlace(t);
    t = DisplayOrder(surface, t);
    reverseInPlace(t);
    return fromBytes(t);
}

int indexOf(fntType type) { return type < kFontTypeCount ? static_cast<int>(type) : 0; }

}  // namespace

// Row i holds type i. True Type is the platform's own layout: no mirroring.
const FontTypeRow kFontTypes[kFontTypeCount] = {
    {DosHebrew, u"DosHebrew", u"Dos Hebrew", true, 128, 154, true, loadDosHebrew, storeDosHebrew},
    {DosEnglish, u"DosEnglish", u"Dos English", false, 0, 0, true, loadDosEnglish, storeDosEnglish},
    {DosEnglishR, u"DosEnglishR", u"Dos English Reversed", false, 0, 0, true, loadDosEnglishR, storeDosEnglishR},
    {WindowsHeb, u"Windows", u"Windows", true, 224, 250, true, loadWindows, storeWindows},
    {TrueType, u"TrueType", u"True Type", true, 224, 250, false, loadTrueType, storeTrueType},
};

const FontTypeRow& fontTypeRow(fntType type) { return kFontTypes[indexOf(type)]; }

std::optional<fntType> fontTypeNamed(std::u16string_view mapName) {
    for (const FontTypeRow& row : kFontTypes)
        if (equalNoCase(mapName, row.mapName)) return row.type;
    return std::nullopt;
}

fntType nextFontType(fntType type) { return kFontTypes[(indexOf(type) + 1) % kFontTypeCount].type; }

fntType previousFontType(fntType type) {
    return kFontTypes[(indexOf(type) + kFontTypeCount - 1) % kFontTypeCount].type;
}

}  // namespace hebrew
