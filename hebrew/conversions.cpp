#include "conversions.h"

#include <algorithm>

#include "codepage.h"

namespace hebrew {
namespace {

constexpr char16_t kFirstSymbolCode = 155;
constexpr char16_t kLastSymbolCode = 161;

bool inRange(unsigned char b, int first, int last) { return b >= first && b <= last; }

bool startsWithNoCase(std::u16string_view s, std::string_view prefix) {
    if (s.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char16_t c = s[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char16_t>(c - 'A' + 'a');
        if (c != static_cast<char16_t>(prefix[i])) return false;
    }
    return true;
}

// Symbtoedit on the 8-bit form. Of the code points 155 to 161 it looks for,
// the bytes give 156 to 161: byte 155 is U+203A.
bool isSymbolCodeByte(char c) {
    return byteToUnicode(static_cast<unsigned char>(c)) >= kFirstSymbolCode &&
           byteToUnicode(static_cast<unsigned char>(c)) <= kLastSymbolCode;
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
void loadDosHebrew(std::string& t, std::u16string_view font) {
    if (isEnglishOnlyBytes(t, DosHebrew)) return symbtoeditBytes(t, font);
    decodePercentCodesInPlace(t);
    symbtoeditBytes(t, font);
    dosToWinInPlace(t);
    reverseInPlace(t);
    reverseNonHebrewRunsInPlace(t);
}

void loadDosEnglish(std::string& t, bool readRightToLeft) {
    EnglishKeysToDos(t);
    dosToWinInPlace(t);
    if (!readRightToLeft) reverseInPlace(t);
    reverseNonHebrewRunsInPlace(t);
}

void loadWindows(std::string& t) {
    if (isEnglishOnlyBytes(t, WindowsHeb)) return;
    reverseNonHebrewRunsInPlace(t);
    reverseInPlace(t);
}

// The store steps; each returns the stored string.
std::u16string storeDosHebrew(std::u16string_view text, std::u16string_view font) {
    if (isEnglishOnly(text, WindowsHeb)) return Symbtoacad(text, font);
    std::string t = toBytes(text);
    reverseNonHebrewRunsInPlace(t);
    reverseInPlace(t);
    winToDosInPlace(t);
    std::u16string r = fromBytes(t);
    symbtoacadInPlace(r, font);
    return r;
}

std::u16string storeDosEnglish(std::u16string_view text, bool readRightToLeft) {
    std::string t = toBytes(text);
    reverseNonHebrewRunsInPlace(t);
    if (!readRightToLeft) reverseInPlace(t);
    winToDosInPlace(t);
    DosToEnglishKeys(t);
    return fromBytes(t);
}

std::u16string storeWindows(std::u16string_view text) {
    if (isEnglishOnly(text, WindowsHeb)) return std::u16string(text);
    std::string t = toBytes(text);
    reverseNonHebrewRunsInPlace(t);
    reverseInPlace(t);
    return fromBytes(t);
}

void reverseThroughBytes(std::u16string& s) {
    // Through the 8-bit form: characters outside the code page become "?".
    for (char16_t& c : s)
        if (!isRepresentable(c)) c = static_cast<char16_t>(kReplacementByte);
    std::reverse(s.begin(), s.end());
}

void mirrorInPlace(std::u16string& s) {
    for (char16_t& c : s) {
        switch (c) {
            case u'(': c = u')'; break;
            case u')': c = u'('; break;
            case u'<': c = u'>'; break;
            case u'>': c = u'<'; break;
            default: break;
        }
    }
}

}  // namespace

bool isEnglishOnlyBytes(std::string_view bytes, fntType ft) {
    int first, last;
    switch (ft) {
        case DosHebrew: first = 128; last = 154; break;
        case WindowsHeb:
        case TrueType: first = 224; last = 250; break;
        default: return true;
    }
    for (char c : bytes)
        if (inRange(static_cast<unsigned char>(c), first, last)) return false;
    return true;
}

bool isEnglishOnly(std::u16string_view s, fntType ft) {
    if (ft == DosEnglish || ft == DosEnglishR) return true;
    const int first = ft == DosHebrew ? 128 : 224, last = ft == DosHebrew ? 154 : 250;
    return std::none_of(s.begin(), s.end(), [&](char16_t c) { return inRange(unicodeToByte(c), first, last); });
}

std::u16string MirrorBrackets(std::u16string_view s) {
    std::u16string out(s);
    mirrorInPlace(out);
    return out;
}

bool isSymbolFont(std::u16string_view font) {
    return startsWithNoCase(font, "iron") || startsWithNoCase(font, "hebsymb");
}

std::u16string Symbtoedit(std::u16string_view s, std::u16string_view font) {
    if (!isSymbolFont(font)) return std::u16string(s);
    std::u16string out;
    out.reserve(s.size() + 8);
    for (char16_t c : s) {
        if (c >= kFirstSymbolCode && c <= kLastSymbolCode) {
            out += u"%%";
            out += static_cast<char16_t>(u'0' + c / 100);
            out += static_cast<char16_t>(u'0' + c / 10 % 10);
            out += static_cast<char16_t>(u'0' + c % 10);
        } else {
            out += c;
        }
    }
    return out;
}

std::u16string Symbtoacad(std::u16string_view s, std::u16string_view font) {
    std::u16string out(s);
    symbtoacadInPlace(out, font);
    return out;
}

void symbtoacadInPlace(std::u16string& out, std::u16string_view font) {
    if (!isSymbolFont(font)) return;
    for (char16_t& c : out) {
        switch (c) {
            case 0x00A6: c = 0x009F; break;  // broken bar
            case 0x00A8: c = 0x009D; break;  // diaeresis
            case 0x00AC: c = 0x009E; break;  // not sign
            case 0x00AD: c = 0x00A0; break;  // soft hyphen
            case 0x00AF: c = 0x009C; break;  // macron
            case 0x00B1: c = 0x203A; break;  // plus-minus sign
            default: break;
        }
    }
}

std::u16string ConvertLeftToRight(std::u16string_view s, const DisplayOrderer& surface) {
    if (s.empty()) return {};
    std::string t = DisplayOrder(surface, toBytes(s));
    reverseNonHebrewRunsInPlace(t);
    return fromBytes(t);
}

std::u16string ConvertRightToLeft(std::u16string_view s, const DisplayOrderer& surface) {
    if (s.empty()) return {};
    std::string t = toBytes(s);
    reverseNonHebrewRunsInPlace(t);
    return fromBytes(DisplayOrder(surface, t));
}

std::u16string acadToEdit(std::u16string_view stored, const StyleState& style, const DisplayOrderer& surface,
                          bool mirrorBrackets) {
    if (stored.empty()) return {};
    std::string t = toBytes(stored);
    if (style.backwards) reverseInPlace(t);
    switch (style.type) {
        case DosHebrew: loadDosHebrew(t, style.font); break;
        case DosEnglish: loadDosEnglish(t, false); break;
        case DosEnglishR: loadDosEnglish(t, true); break;
        case WindowsHeb: loadWindows(t); break;
        case TrueType: {
            // The platform's left-to-right layout, read back as a right-to-left line.
            t = DisplayOrder(surface, t);
            reverseNonHebrewRunsInPlace(t);
            reverseInPlace(t);
            return fromBytes(t);
        }
    }
    std::u16string text = fromBytes(t);
    if (mirrorBrackets) mirrorInPlace(text);
    return text;
}

std::u16string editToAcad(std::u16string_view text, const StyleState& style, const DisplayOrderer& surface,
                          bool mirrorBrackets) {
    if (text.empty()) return {};
    std::u16string r;
    switch (style.type) {
        case DosHebrew: r = storeDosHebrew(text, style.font); break;
        case DosEnglish: r = storeDosEnglish(text, false); break;
        case DosEnglishR: r = storeDosEnglish(text, true); break;
        case WindowsHeb: r = storeWindows(text); break;
        case TrueType: {
            std::string t = toBytes(text);
            reverseNonHebrewRunsInPlace(t);
            t = DisplayOrder(surface, t);
            reverseInPlace(t);
            r = fromBytes(t);
            break;
        }
    }
    // Loading undoes a backwards style for every type, True Type included,
    // so storing redoes it for every type.
    if (style.backwards) reverseThroughBytes(r);
    if (mirrorBrackets && style.type != TrueType) mirrorInPlace(r);
    return r;
}

}  // namespace hebrew
