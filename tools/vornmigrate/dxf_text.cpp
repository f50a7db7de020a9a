#include "dxf_text.h"

#include <algorithm>
#include <cstring>

#include "hebrew/codepage.h"
#include "hebrew/heblib.h"
#include "hebrew/text_encoding.h"

namespace vornmigrate {

using namespace hebrew;

namespace {

// Windows-1252 differs from Latin-1 only at 0x80-0x9F; its five undefined
// bytes map to the control characters of the same number.
const char16_t k1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

bool equalNoCaseAscii(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A \U+XXXX escape at pos: its character, or 0 when there is none.
char16_t unicodeEscapeAt(std::string_view s, std::size_t pos) {
    if (pos + 7 > s.size() || s[pos] != '\\' || (s[pos + 1] != 'U' && s[pos + 1] != 'u') || s[pos + 2] != '+')
        return 0;
    unsigned v = 0;
    for (std::size_t i = pos + 3; i < pos + 7; ++i) {
        int h = hexValue(s[i]);
        if (h < 0) return 0;
        v = v * 16 + static_cast<unsigned>(h);
    }
    return v == 0 ? 0 : static_cast<char16_t>(v);
}

void appendUnicodeEscape(std::string& out, char16_t c) {
    static const char kHex[] = "0123456789ABCDEF";
    out += "\\U+";
    for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(c >> shift) & 0xF];
}

bool hasLetterCodes(fntType t) { return fontTypeRow(t).hasLetterCodes; }

// ---- MTEXT contents as codes and characters ----

constexpr char16_t kNoBreakSpace = 0x00A0;
constexpr unsigned char kNoBreakByte = 0xA0;

// Codes whose argument runs to the next ";".
bool takesArgument(char c) { return std::strchr("fFHWQTACcpS", c) != nullptr && c != '\0'; }

struct Item {
    enum Kind { Char, Code, Paragraph } kind;
    std::string_view raw;
    unsigned char fontByte = 0;
    char16_t unicode = 0;
};

// The next item of MTEXT contents at pos. False at invalid UTF-8.
bool nextItem(std::string_view s, std::size_t& pos, const StringRules& rules, Item& item) {
    const std::size_t start = pos;
    const char c = s[pos];
    auto code = [&](std::size_t length) {
        pos = std::min(s.size(), start + length);
        item = {Item::Code, s.substr(start, pos - start)};
        return true;
    };
    if (c == '{' || c == '}') return code(1);
    if (c == '^' && pos + 1 < s.size()) return code(2);
    if (c == '\\') {
        if (pos + 1 >= s.size()) return code(1);
        const char k = s[pos + 1];
        if (k == 'P') {
            pos += 2;
            item = {Item::Paragraph, s.substr(start, 2)};
            return true;
        }
        if (k == '~') {  // a non-breaking space: a blank of the text
            pos += 2;
            item = {Item::Char, s.substr(start, 2), kNoBreakByte, kNoBreakSpace};
            return true;
        }
        if (k == '\\' || k == '{' || k == '}') {
            pos += 2;
            item = {Item::Char, s.substr(start, 2), static_cast<unsigned char>(k), static_cast<char16_t>(k)};
            return true;
        }
        if ((k == 'U' || k == 'u') && unicodeEscapeAt(s, pos)) {
            const char16_t u = unicodeEscapeAt(s, pos);
            pos += 7;
            item = {Item::Char, s.substr(start, 7), codePageByte(rules.codePage, u), u};
            return true;
        }
        if (k == 'M' || k == 'm') return code(8);
        if (takesArgument(k)) {
            const std::size_t semi = s.find(';', pos + 2);
            return code(semi == std::string_view::npos ? s.size() - start : semi + 1 - start);
        }
        return code(2);
    }
    StoredChar sc;
    char16_t u;
    if (!readStoredChar(s, pos, rules, sc, u)) return false;
    item = {Item::Char, sc.raw, sc.fontByte, u};
    return true;
}

Status worse(Status a, Status b) {
    auto rank = [](Status s) { return s == Status::Review ? 2 : s == Status::Converted ? 1 : 0; };
    return rank(a) >= rank(b) ? a : b;
}

void appendRaw(std::string& out, std::u16string& text, const std::vector<Item>& items, std::size_t from,
               std::size_t to) {
    for (std::size_t i = from; i < to; ++i) {
        out.append(items[i].raw);
        if (items[i].kind == Item::Char)
            text += items[i].unicode;
        else
            for (char ch : items[i].raw) text += static_cast<char16_t>(static_cast<unsigned char>(ch));
    }
}

void appendNew(std::string& out, std::u16string& text, std::u16string_view converted, const StringRules& rules) {
    appendEncoded(out, converted, rules, true);
    text += converted;
}

// One paragraph items[from, to): converted into out, or copied when it
// stays as stored or its codes cannot keep their places.
Status migrateParagraph(const std::vector<Item>& items, std::size_t from, std::size_t to, const TextForm& form,
                        const StringRules& rules, const DisplayOrderer& surface, std::string& out,
                        std::u16string& text) {
    std::size_t first = to, last = from;
    for (std::size_t i = from; i < to; ++i) {
        if (items[i].kind != Item::Char) continue;
        if (first == to) first = i;
        last = i + 1;
    }
    if (first == to) {
        appendRaw(out, text, items, from, to);
        return Status::Same;
    }
    std::string plain;
    std::vector<std::string> segments(1);
    for (std::size_t i = first; i < last; ++i) {
        if (items[i].kind == Item::Char) {
            plain += static_cast<char>(items[i].fontByte);
            segments.back() += static_cast<char>(items[i].fontByte);
        } else if (!segments.back().empty()) {
            segments.emplace_back();
        }
    }
    if (staysAsStored(plain, form.style)) {
        appendRaw(out, text, items, from, to);
        return Status::Same;
    }
    const NewText whole = migrateText(plain, form, surface);
    if (segments.size() == 1) {
        appendRaw(out, text, items, from, first);
        appendNew(out, text, whole.text, rules);
        appendRaw(out, text, items, last, to);
        return whole.status;
    }
    // Codes inside the text keep their places only when each piece between
    // them converts to its own part of the whole, in the same order.
    std::vector<std::u16string> pieces;
    std::u16string joined;
    for (const std::string& segment : segments) {
        pieces.push_back(migrateText(segment, form, surface).text);
        joined += pieces.back();
    }
    if (joined != whole.text) {
        appendRaw(out, text, items, from, to);
        return Status::Review;
    }
    appendRaw(out, text, items, from, first);
    std::size_t piece = 0;
    bool inText = false;
    for (std::size_t i = first; i < last; ++i) {
        if (items[i].kind == Item::Char) {
            if (!inText) appendNew(out, text, pieces[piece++], rules);
            inText = true;
        } else {
            appendRaw(out, text, items, i, i + 1);
            inText = false;
        }
    }
    appendRaw(out, text, items, last, to);
    return whole.status;
}

// A "\F" code draws what follows in a shape font of its own, which keeps
// its legacy font after the migration.
bool namesShapeFont(const std::vector<Item>& items, std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i)
        if (items[i].kind == Item::Code && items[i].raw.size() > 2 && items[i].raw.substr(0, 2) == "\\F") return true;
    return false;
}

}  // namespace

const char* statusName(Status s) {
    switch (s) {
        case Status::Same: return "same";
        case Status::Converted: return "converted";
        case Status::Review: return "review";
    }
    return "same";
}

bool isUtf8Version(std::string_view acadver) {
    // AC1021 is R2007; the versions compare as strings of one length.
    return acadver.size() == 6 && acadver.substr(0, 2) == "AC" && acadver >= "AC1021";
}

bool codePageNamed(std::string_view name, CodePage& out) {
    if (equalNoCaseAscii(name, "ANSI_1255")) { out = CodePage::Ansi1255; return true; }
    if (equalNoCaseAscii(name, "ANSI_1252")) { out = CodePage::Ansi1252; return true; }
    return false;
}

char16_t codePageChar(CodePage cp, unsigned char b) {
    if (cp == CodePage::Ansi1255) return byteToUnicode(b);
    return b >= 0x80 && b <= 0x9F ? k1252High[b - 0x80] : static_cast<char16_t>(b);
}

unsigned char codePageByte(CodePage cp, char16_t c) {
    if (cp == CodePage::Ansi1255) return unicodeToByte(c);
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<unsigned char>(c);
    for (int i = 0; i < 32; ++i)
        if (k1252High[i] == c) return static_cast<unsigned char>(0x80 + i);
    return static_cast<unsigned char>(kReplacementByte);
}

bool readStoredChar(std::string_view value, std::size_t& pos, const StringRules& rules, StoredChar& out,
                    char16_t& unicode) {
    const std::size_t start = pos;
    if (const char16_t u = unicodeEscapeAt(value, pos)) {
        pos += 7;
        out = {codePageByte(rules.codePage, u), value.substr(start, 7)};
        unicode = u;
        return true;
    }
    if (!rules.utf8) {
        const unsigned char b = static_cast<unsigned char>(value[pos++]);
        out = {b, value.substr(start, 1)};
        unicode = codePageChar(rules.codePage, b);
        return true;
    }
    const Utf8Sequence sequence = utf8SequenceAt(value, pos);
    const std::size_t n = sequence.length;
    const char32_t cp = sequence.code;
    if (n == 0) return false;
    pos += n;
    // Outside the basic plane nothing is a font byte; it stays a replacement.
    unicode = cp < 0x10000 ? static_cast<char16_t>(cp) : static_cast<char16_t>(0xFFFD);
    out = {codePageByte(rules.codePage, unicode), value.substr(start, n)};
    return true;
}

bool decodeValue(std::string_view value, const StringRules& rules, std::string& fontBytes, std::u16string& unicode) {
    fontBytes.clear();
    unicode.clear();
    std::size_t pos = 0;
    while (pos < value.size()) {
        StoredChar sc;
        char16_t u;
        if (!readStoredChar(value, pos, rules, sc, u)) return false;
        fontBytes += static_cast<char>(sc.fontByte);
        unicode += u;
    }
    return true;
}

void appendEncoded(std::string& out, std::u16string_view text, const StringRules& rules, bool mtextEscapes) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (mtextEscapes && c == kNoBreakSpace) {
            out += "\\~";
        } else if (mtextEscapes && (c == u'\\' || c == u'{' || c == u'}')) {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (!rules.utf8) {
            appendUnicodeEscape(out, c);
        } else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
                   text[i + 1] <= 0xDFFF) {
            appendUtf8(out, 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else {
            appendUtf8(out, c);
        }
    }
}

bool staysAsStored(std::string_view fontBytes, const StyleState& style) {
    if (style.backwards || !hasLetterCodes(style.type)) return false;
    std::string bytes(fontBytes);
    if (style.type == DosHebrew) decodePercentCodesInPlace(bytes);
    return isEnglishOnlyBytes(bytes, style.type);
}

NewText migrateText(std::string_view fontBytes, const TextForm& form, const DisplayOrderer& surface) {
    std::string bytes(fontBytes);
    // A DOS font draws "%%128" to "%%154" as its letters, which a True Type
    // font would not: they are read as the letters they draw.
    if (form.style.type == DosHebrew) decodePercentCodesInPlace(bytes);
    const std::u16string stored = fromBytes(bytes);
    const std::u16string lineText = acadToEdit(stored, form.style, surface, true);
    if (form.target == Target::Host) {
        const StyleState trueType{u"", TrueType, false};
        const bool mirror = !form.attribute;
        const std::u16string editorText = mirror ? lineText : acadToEdit(stored, form.style, surface, false);
        NewText result{editToAcad(editorText, trueType, surface, mirror), Status::Converted};
        if (acadToEdit(result.text, trueType, surface, mirror) != editorText) result.status = Status::Review;
        return result;
    }
    // What the drawing showed from left to right: the Windows type's stored
    // form of the editor's text, its brackets as the font drew them (a
    // backwards style draws them mirrored).
    const StyleState visualOrder{form.style.font, WindowsHeb, false};
    std::u16string shown = editToAcad(lineText, visualOrder, surface, !form.style.backwards);
    if (form.target == Target::Visual) return {std::move(shown), Status::Converted};
    if (isEnglishOnly(shown, WindowsHeb)) return {std::move(shown), Status::Converted};
    return {acadToEdit(shown, visualOrder, surface, true), Status::Converted};
}

bool migrateMtext(std::string_view contents, const TextForm& form, const StringRules& rules,
                  const DisplayOrderer& surface, MtextResult& out) {
    out.contents.clear();
    out.newText.clear();
    out.status = Status::Same;
    // One paragraph's items at a time: memory follows the longest paragraph,
    // not the whole text.
    std::vector<Item> items;
    std::size_t pos = 0;
    for (bool more = true; more;) {
        items.clear();
        more = false;
        while (pos < contents.size()) {
            Item item{Item::Char, {}};
            if (!nextItem(contents, pos, rules, item)) return false;
            if (item.kind == Item::Paragraph) {
                more = true;
                break;
            }
            items.push_back(item);
        }
        Status paragraph = migrateParagraph(items, 0, items.size(), form, rules, surface, out.contents, out.newText);
        if (paragraph != Status::Same && namesShapeFont(items, 0, items.size())) paragraph = Status::Review;
        out.status = worse(out.status, paragraph);
        if (more) {
            out.contents += "\\P";
            out.newText += u"\\P";
        }
    }
    if (out.status != Status::Review && out.contents == contents) out.status = Status::Same;
    return true;
}

std::vector<std::string_view> cutMtextChunks(std::string_view contents, std::size_t maxBytes) {
    std::vector<std::string_view> chunks;
    const StringRules atoms{true, CodePage::Ansi1252};  // only the boundaries matter
    std::size_t chunkStart = 0, pos = 0;
    while (pos < contents.size()) {
        std::size_t next = pos;
        Item item{Item::Char, {}};
        if (!nextItem(contents, next, atoms, item)) next = pos + 1;  // a stray byte is an atom of its own
        if (next - chunkStart > maxBytes && pos > chunkStart) {
            chunks.push_back(contents.substr(chunkStart, pos - chunkStart));
            chunkStart = pos;
        }
        // An atom longer than a chunk (no real code is) is cut where it must be.
        while (next - chunkStart > maxBytes) {
            chunks.push_back(contents.substr(chunkStart, maxBytes));
            chunkStart += maxBytes;
        }
        pos = next;
    }
    if (chunkStart < contents.size() || chunks.empty()) chunks.push_back(contents.substr(chunkStart));
    return chunks;
}

}  // namespace vornmigrate
