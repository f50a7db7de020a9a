#include "dxf_text.h"

#include <algorithm>
#include <cstring>

#include "hebrew/codepage.h"
#include "hebrew/heblib.h"
#include "hebrew/text_encoding.h"

namespace vornmigrate {

using namespace hebrew;

namespace {

#include "code_pages.inc"

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

// Appends contents[from, to) as it stands.
void appendRaw(std::string& out, std::string_view contents, std::size_t from, std::size_t to) {
    out.append(contents.substr(from, to - from));
}

void appendNew(std::string& out, std::u16string_view converted, const StringRules& rules) {
    appendEncoded(out, converted, rules, true);
}

// One paragraph of MTEXT contents, read once: the font bytes of its
// characters, and the codes that stand between them (most paragraphs have
// none). Memory follows the text, whatever its length.
struct Paragraph {
    struct Code {
        std::size_t at, length;  // in the contents
    };
    std::size_t begin = 0, end = 0;                        // without the paragraph mark
    std::size_t firstChar = std::string_view::npos, lastCharEnd = 0;
    std::string plain;                                     // every character's font byte
    std::vector<Code> inner;                               // codes between characters
    std::vector<std::size_t> runEnds;                      // where in plain each run of characters ends
    bool shapeFont = false;                                // a "\F" code draws in a shape font of its own

    bool hasText() const { return firstChar != std::string_view::npos; }
};

// Reads the paragraph at pos, and past its mark; false at invalid UTF-8.
bool readParagraph(std::string_view contents, std::size_t& pos, const StringRules& rules, Paragraph& p, bool& more) {
    p = Paragraph{};
    p.begin = pos;
    more = false;
    std::vector<Paragraph::Code> pending;  // codes since the last character
    while (pos < contents.size()) {
        const std::size_t start = pos;
        Item item{Item::Char, {}};
        if (!nextItem(contents, pos, rules, item)) return false;
        if (item.kind == Item::Paragraph) {
            p.end = start;
            more = true;
            return true;
        }
        if (item.kind == Item::Code) {
            pending.push_back({start, pos - start});
            if (item.raw.size() > 2 && item.raw.substr(0, 2) == "\\F") p.shapeFont = true;
            continue;
        }
        if (!p.hasText()) {
            p.firstChar = start;
        } else if (!pending.empty()) {
            p.inner.insert(p.inner.end(), pending.begin(), pending.end());
            p.runEnds.push_back(p.plain.size());
        }
        pending.clear();
        p.plain += static_cast<char>(item.fontByte);
        p.lastCharEnd = pos;
    }
    p.end = pos;
    return true;
}

// One paragraph: converted into out, or copied when it stays as stored or
// its codes cannot keep their places.
Status migrateParagraph(std::string_view contents, const Paragraph& p, const TextForm& form, const StringRules& rules,
                        const DisplayOrderer& surface, std::string& out) {
    if (!p.hasText() || staysAsStored(p.plain, form.style)) {
        appendRaw(out, contents, p.begin, p.end);
        return Status::Same;
    }
    if (p.plain.size() > kLongestConvertedText) {
        appendRaw(out, contents, p.begin, p.end);
        return Status::Review;
    }
    const NewText whole = migrateText(p.plain, form, surface);
    if (p.inner.empty()) {
        appendRaw(out, contents, p.begin, p.firstChar);
        appendNew(out, whole.text, rules);
        appendRaw(out, contents, p.lastCharEnd, p.end);
        return whole.status;
    }
    // Codes inside the text keep their places only when each run between
    // them converts to its own part of the whole, in the same order.
    std::vector<std::u16string> pieces;
    std::u16string joined;
    std::size_t runStart = 0;
    std::vector<std::size_t> ends = p.runEnds;
    ends.push_back(p.plain.size());
    for (std::size_t end : ends) {
        pieces.push_back(migrateText(std::string_view(p.plain).substr(runStart, end - runStart), form, surface).text);
        joined += pieces.back();
        runStart = end;
    }
    if (joined != whole.text) {
        appendRaw(out, contents, p.begin, p.end);
        return Status::Review;
    }
    appendRaw(out, contents, p.begin, p.firstChar);
    std::size_t piece = 0, pos = p.firstChar;
    for (const Paragraph::Code& code : p.inner) {
        if (pos < code.at) appendNew(out, pieces[piece++], rules);
        appendRaw(out, contents, code.at, code.at + code.length);
        pos = code.at + code.length;
    }
    if (pos < p.lastCharEnd) appendNew(out, pieces[piece++], rules);
    appendRaw(out, contents, p.lastCharEnd, p.end);
    return whole.status;
}

}  // namespace

Status worse(Status a, Status b) {
    auto rank = [](Status s) { return s == Status::Review ? 2 : s == Status::Converted ? 1 : 0; };
    return rank(a) >= rank(b) ? a : b;
}

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
    // Programs that know no code page write ASCII or UNDEFINED: their
    // drawings are read as CAD programs read them.
    for (std::string_view western : {"ANSI_1252", "ASCII", "UNDEFINED"})
        if (equalNoCaseAscii(name, western)) { out = CodePage::Ansi1252; return true; }
    for (std::size_t i = 0; i < std::size(kCodePageTables); ++i)
        if (equalNoCaseAscii(name, kCodePageTables[i].name)) {
            out = static_cast<CodePage>(static_cast<std::size_t>(CodePage::FirstTable) + i);
            return true;
        }
    return false;
}

namespace {
const CodePageTable& tableOf(CodePage cp) {
    return kCodePageTables[static_cast<std::size_t>(cp) - static_cast<std::size_t>(CodePage::FirstTable)];
}
}  // namespace

char16_t codePageChar(CodePage cp, unsigned char b) {
    if (cp == CodePage::Ansi1255) return byteToUnicode(b);
    if (cp == CodePage::Ansi1252) return b >= 0x80 && b <= 0x9F ? k1252High[b - 0x80] : static_cast<char16_t>(b);
    return b < 0x80 ? static_cast<char16_t>(b) : tableOf(cp).high[b - 0x80];
}

std::u16string codePageText(CodePage cp, std::string_view bytes) {
    std::u16string text(bytes.size(), u'\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) text[i] = codePageChar(cp, static_cast<unsigned char>(bytes[i]));
    return text;
}

unsigned char codePageByte(CodePage cp, char16_t c) {
    if (cp == CodePage::Ansi1255) return unicodeToByte(c);
    if (c < 0x80) return static_cast<unsigned char>(c);
    if (cp == CodePage::Ansi1252) {
        if (c >= 0xA0 && c <= 0xFF) return static_cast<unsigned char>(c);
        for (int i = 0; i < 32; ++i)
            if (k1252High[i] == c) return static_cast<unsigned char>(0x80 + i);
        return static_cast<unsigned char>(kReplacementByte);
    }
    const CodePageTable& table = tableOf(cp);
    for (int i = 0; i < 128; ++i)
        if (table.high[i] == c) return static_cast<unsigned char>(0x80 + i);
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
    // Before R2007 a value without escapes is its font bytes, each one
    // character of the code page.
    if (!rules.utf8 && value.find('\\') == std::string_view::npos) {
        fontBytes.assign(value);
        unicode = codePageText(rules.codePage, value);
        return true;
    }
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

// The bytes appendEncoded gives for text: a long text's room is taken once,
// not by doubling, which would hold up to three times its size.
std::size_t encodedSize(std::u16string_view text, const StringRules& rules, bool mtextEscapes) {
    std::size_t size = 0;
    for (const char16_t c : text) {
        if (mtextEscapes && (c == kNoBreakSpace || c == u'\\' || c == u'{' || c == u'}')) size += 2;
        else if (c < 0x80) size += 1;
        else if (!rules.utf8) size += 7;
        else size += c < 0x800 ? 2 : 3;  // a surrogate pair: 4 bytes for two units
    }
    return size;
}

void appendEncoded(std::string& out, std::u16string_view text, const StringRules& rules, bool mtextEscapes) {
    static const char kHex[] = "0123456789ABCDEF";
    const std::size_t from = out.size(), needed = from + encodedSize(text, rules, mtextEscapes);
    if (needed > out.capacity()) out.reserve(std::max(needed, 2 * out.capacity()));
    out.resize(needed);
    char* p = out.data() + from;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (mtextEscapes && c == kNoBreakSpace) {
            *p++ = '\\';
            *p++ = '~';
        } else if (mtextEscapes && (c == u'\\' || c == u'{' || c == u'}')) {
            *p++ = '\\';
            *p++ = static_cast<char>(c);
        } else if (c < 0x80) {
            *p++ = static_cast<char>(c);
        } else if (!rules.utf8) {
            *p++ = '\\';
            *p++ = 'U';
            *p++ = '+';
            for (int shift = 12; shift >= 0; shift -= 4) *p++ = kHex[(c >> shift) & 0xF];
        } else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
                   text[i + 1] <= 0xDFFF) {
            p += writeUtf8(p, 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else {
            p += writeUtf8(p, c);
        }
    }
    out.resize(static_cast<std::size_t>(p - out.data()));  // a surrogate pair takes less than its room
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
        // The line editor's own text is the mirrored one; a long text is not copied for it.
        std::u16string attributeText;
        if (!mirror) attributeText = acadToEdit(stored, form.style, surface, false);
        const std::u16string& editorText = mirror ? lineText : attributeText;
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

bool migrateMtextPieces(std::string_view contents, const TextForm& form, const StringRules& rules,
                        const DisplayOrderer& surface, MtextPieces& out,
                        const std::function<void(std::string_view)>& each) {
    out = MtextPieces{};
    Paragraph paragraph;
    std::string piece;
    std::size_t pos = 0;
    for (bool more = true; more;) {
        const std::size_t start = pos;
        if (!readParagraph(contents, pos, rules, paragraph, more)) return false;
        piece.clear();
        out.tooLong = out.tooLong || paragraph.plain.size() > kLongestConvertedText;
        Status status = migrateParagraph(contents, paragraph, form, rules, surface, piece);
        if (status != Status::Same && paragraph.shapeFont) status = Status::Review;
        out.status = worse(out.status, status);
        if (more) piece += "\\P";
        // The paragraph and its mark stood at [start, pos).
        out.changed = out.changed || piece != contents.substr(start, pos - start);
        if (each) each(piece);
    }
    if (out.status != Status::Review && !out.changed) out.status = Status::Same;
    return true;
}

bool mtextParagraphs(std::string_view contents, const StringRules& rules,
                     const std::function<void(std::string_view)>& each) {
    Paragraph paragraph;
    std::size_t pos = 0;
    for (bool more = true; more;) {
        if (!readParagraph(contents, pos, rules, paragraph, more)) return false;
        if (paragraph.hasText()) each(paragraph.plain);
    }
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
