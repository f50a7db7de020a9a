#include "conversions.h"

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

// A Unicode operation applied to the 8-bit form.
std::string symbtoeditBytes(const std::string& t, std::u16string_view font) {
    return toBytes(Symbtoedit(fromBytes(t), font));
}

std::string loadDosHebrew(std::string t, std::u16string_view font) {
    if (isEnglishOnlyBytes(t, DosHebrew)) return symbtoeditBytes(t, font);
    t = DecodePercentCodes(t);
    t = symbtoeditBytes(t, font);
    t = DosToWinLetters(t);
    t = ReverseText(t);
    return ReverseNonHebrewRuns(t);
}

std::string loadDosEnglish(std::string t, bool readRightToLeft) {
    EnglishKeysToDos(t);
    t = DosToWinLetters(t);
    if (!readRightToLeft) t = ReverseText(t);
    return ReverseNonHebrewRuns(t);
}

std::string loadWindows(std::string t) {
    if (isEnglishOnlyBytes(t, WindowsHeb)) return t;
    t = ReverseNonHebrewRuns(t);
    return ReverseText(t);
}

std::u16string storeDosHebrew(std::u16string_view text, std::u16string_view font) {
    if (isEnglishOnly(text, WindowsHeb)) return Symbtoacad(text, font);
    std::string t = toBytes(text);
    t = ReverseNonHebrewRuns(t);
    t = ReverseText(t);
    t = WinToDosLetters(t);
    return Symbtoacad(fromBytes(t), font);
}

std::u16string storeDosEnglish(std::u16string_view text, bool readRightToLeft) {
    std::string t = ReverseNonHebrewRuns(toBytes(text));
    if (!readRightToLeft) t = ReverseText(t);
    t = WinToDosLetters(t);
    DosToEnglishKeys(t);
    return fromBytes(t);
}

std::u16string storeWindows(std::u16string_view text) {
    if (isEnglishOnly(text, WindowsHeb)) return std::u16string(text);
    return fromBytes(ReverseText(ReverseNonHebrewRuns(toBytes(text))));
}

std::u16string reverseThroughBytes(std::u16string_view s) { return fromBytes(ReverseText(toBytes(s))); }

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

bool isEnglishOnly(std::u16string_view s, fntType ft) { return isEnglishOnlyBytes(toBytes(s), ft); }

std::u16string MirrorBrackets(std::u16string_view s) {
    std::u16string out(s);
    for (char16_t& c : out) {
        switch (c) {
            case u'(': c = u')'; break;
            case u')': c = u'('; break;
            case u'<': c = u'>'; break;
            case u'>': c = u'<'; break;
            default: break;
        }
    }
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
    if (!isSymbolFont(font)) return out;
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
    return out;
}

std::u16string ConvertLeftToRight(std::u16string_view s, const DisplayOrderer& surface) {
    if (s.empty()) return {};
    return fromBytes(ReverseNonHebrewRuns(DisplayOrder(surface, toBytes(s))));
}

std::u16string ConvertRightToLeft(std::u16string_view s, const DisplayOrderer& surface) {
    if (s.empty()) return {};
    return fromBytes(DisplayOrder(surface, ReverseNonHebrewRuns(toBytes(s))));
}

std::u16string acadToEdit(std::u16string_view stored, const StyleState& style, const DisplayOrderer& surface,
                          bool mirrorBrackets) {
    if (stored.empty()) return {};
    std::string t = toBytes(stored);
    if (style.backwards) t = ReverseText(t);
    switch (style.type) {
        case DosHebrew: t = loadDosHebrew(std::move(t), style.font); break;
        case DosEnglish: t = loadDosEnglish(std::move(t), false); break;
        case DosEnglishR: t = loadDosEnglish(std::move(t), true); break;
        case WindowsHeb: t = loadWindows(std::move(t)); break;
        case TrueType: return reverseThroughBytes(ConvertLeftToRight(fromBytes(t), surface));
    }
    std::u16string text = fromBytes(t);
    return mirrorBrackets ? MirrorBrackets(text) : text;
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
        case TrueType: r = reverseThroughBytes(ConvertRightToLeft(text, surface)); break;
    }
    // Loading undoes a backwards style for every type, True Type included,
    // so storing redoes it for every type.
    if (style.backwards) r = reverseThroughBytes(r);
    if (mirrorBrackets && style.type != TrueType) r = MirrorBrackets(r);
    return r;
}

}  // namespace hebrew
