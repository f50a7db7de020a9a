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
    const FontTypeRow& row = fontTypeRow(ft);
    if (!row.hasLetterCodes) return true;
    return std::none_of(bytes.begin(), bytes.end(), [&](char c) {
        return inRange(static_cast<unsigned char>(c), row.firstLetter, row.lastLetter);
    });
}

bool isEnglishOnly(std::u16string_view s, fntType ft) {
    const FontTypeRow& row = fontTypeRow(ft);
    if (!row.hasLetterCodes) return true;
    return std::none_of(s.begin(), s.end(),
                        [&](char16_t c) { return inRange(unicodeToByte(c), row.firstLetter, row.lastLetter); });
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
    const FontTypeRow& row = fontTypeRow(style.type);
    std::string t = toBytes(stored);
    if (style.backwards) reverseInPlace(t);
    row.load(t, style.font, surface);
    std::u16string text = fromBytes(t);
    if (mirrorBrackets && row.mirrorsBrackets) mirrorInPlace(text);
    return text;
}

std::u16string editToAcad(std::u16string_view text, const StyleState& style, const DisplayOrderer& surface,
                          bool mirrorBrackets) {
    if (text.empty()) return {};
    const FontTypeRow& row = fontTypeRow(style.type);
    std::u16string r = row.store(text, style.font, surface);
    // Loading undoes a backwards style for every type, True Type included,
    // so storing redoes it for every type.
    if (style.backwards) reverseThroughBytes(r);
    if (mirrorBrackets && row.mirrorsBrackets) mirrorInPlace(r);
    return r;
}

}  // namespace hebrew
