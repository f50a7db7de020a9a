#include "text_encoding.h"

namespace hebrew {
namespace {

constexpr char16_t kReplacement = 0xFFFD;
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LEMark = "\xFF\xFE";
constexpr std::string_view kUtf16BEMark = "\xFE\xFF";

bool startsWith(std::string_view bytes, std::string_view prefix) { return bytes.substr(0, prefix.size()) == prefix; }

bool isHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }
bool isSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

std::size_t encodeUtf8(char* out, char32_t c) {
    if (c < 0x80) {
        out[0] = static_cast<char>(c);
        return 1;
    }
    if (c < 0x800) {
        out[0] = static_cast<char>(0xC0 | (c >> 6));
        out[1] = static_cast<char>(0x80 | (c & 0x3F));
        return 2;
    }
    if (c < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (c >> 12));
        out[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (c & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (c >> 18));
    out[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (c & 0x3F));
    return 4;
}

void putUtf8(std::string& out, char32_t c) {
    char bytes[4];
    out.append(bytes, encodeUtf8(bytes, c));
}

void appendCodePoint(std::u16string& out, char32_t c) {
    if (c < 0x10000) {
        out += static_cast<char16_t>(c);
    } else {
        c -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (c >> 10));
        out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    }
}

// --- Well-formed UTF-8: the strict and the text file policies ---

struct Sequence {
    char32_t code;
    std::size_t length;  // 0: no valid sequence starts here
};

// The sequence whose lead byte is b[i] (0x80 or above).
Sequence sequenceAt(std::string_view b, std::size_t i) {
    const unsigned char lead = static_cast<unsigned char>(b[i]);
    const int more = lead >= 0xC2 && lead < 0xE0 ? 1 : lead >= 0xE0 && lead < 0xF0 ? 2
                   : lead >= 0xF0 && lead < 0xF5 ? 3 : -1;
    if (more < 0 || b.size() - i <= static_cast<std::size_t>(more)) return {0, 0};
    char32_t c = lead & (0x3F >> more);
    for (int k = 1; k <= more; ++k) {
        const unsigned char next = static_cast<unsigned char>(b[i + k]);
        if ((next & 0xC0) != 0x80) return {0, 0};
        c = (c << 6) | (next & 0x3F);
    }
    constexpr char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
    if (c < kSmallest[more] || c > 0x10FFFF || isSurrogate(c)) return {0, 0};
    return {c, static_cast<std::size_t>(more) + 1};
}

// Well-formed UTF-8 decoded into out; at each byte that starts no valid
// sequence, onInvalid(out) says whether to go on past that byte.
template <class OnInvalid>
bool decodeWellFormedUtf8(std::string_view b, std::u16string& out, OnInvalid onInvalid) {
    out.reserve(b.size());
    std::size_t i = 0;
    while (i < b.size()) {
        const unsigned char lead = static_cast<unsigned char>(b[i]);
        if (lead < 0x80) {
            out += static_cast<char16_t>(lead);
            ++i;
            continue;
        }
        const Sequence s = sequenceAt(b, i);
        if (s.length == 0) {
            if (!onInvalid(out)) return false;
            ++i;
            continue;
        }
        appendCodePoint(out, s.code);
        i += s.length;
    }
    return true;
}

// Each byte that starts no valid sequence is U+FFFD.
std::u16string decodeUtf8EachByte(std::string_view b) {
    std::u16string out;
    decodeWellFormedUtf8(b, out, [](std::u16string& text) {
        text += kReplacement;
        return true;
    });
    return out;
}

// --- UTF-8 as the platform's profile functions read it ---

constexpr char32_t kInvalid = 0xFFFFFFFF;

// Trailing bytes that follow a lead byte of 0x80 to 0xFF; 0 for a byte that
// cannot start a sequence.
unsigned trailCount(unsigned char lead) {
    if (lead >= 0xC2 && lead <= 0xDF) return 1;
    if (lead >= 0xE0 && lead <= 0xEF) return 2;
    if (lead >= 0xF0 && lead <= 0xF4) return 3;
    return 0;
}

bool takeTrail(std::string_view bytes, std::size_t at, char32_t& code) {
    unsigned bits = static_cast<unsigned char>(bytes[at]) ^ 0x80u;
    if (bits >= 0x40) return false;
    code = (code << 6) | bits;
    return true;
}

// One sequence whose lead byte is before pos. A bad sequence gives kInvalid
// and leaves pos after the bytes that still looked right; a sequence cut off
// by the end of the input swallows the rest.
char32_t runAt(unsigned char lead, std::string_view bytes, std::size_t& pos) {
    static const unsigned char kLeadMask[4] = {0x7F, 0x1F, 0x0F, 0x07};
    const unsigned count = trailCount(lead);
    char32_t code = lead & kLeadMask[count];
    if (count > bytes.size() - pos) {
        pos = bytes.size();
        return kInvalid;
    }
    const std::size_t end = pos + count;
    switch (count) {
        case 3:
            if (!takeTrail(bytes, end - 3, code)) break;
            ++pos;
            if (code < 0x10) break;  // overlong
            [[fallthrough]];
        case 2:
            if (!takeTrail(bytes, end - 2, code)) break;
            if (code >= (0x110000 >> 6)) break;  // beyond Unicode
            ++pos;
            if (code < 0x20) break;  // overlong
            if (code >= (0xD800 >> 6) && code <= (0xDFFF >> 6)) break;  // surrogate
            [[fallthrough]];
        case 1:
            if (!takeTrail(bytes, end - 1, code)) break;
            ++pos;
            if (code < 0x80) break;  // overlong
            return code;
    }
    return kInvalid;
}

std::u16string decodeUtf8Runs(std::string_view bytes) {
    std::u16string text;
    text.reserve(bytes.size());
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const unsigned char lead = static_cast<unsigned char>(bytes[pos++]);
        if (lead < 0x80) {
            text += static_cast<char16_t>(lead);
            continue;
        }
        const char32_t code = runAt(lead, bytes, pos);
        if (code == kInvalid)
            text += kReplacement;
        else
            appendCodePoint(text, code);
    }
    return text;
}

}  // namespace

Utf8Sequence utf8SequenceAt(std::string_view bytes, std::size_t at) {
    const unsigned char lead = static_cast<unsigned char>(bytes[at]);
    if (lead < 0x80) return {lead, 1};
    const Sequence s = sequenceAt(bytes, at);
    return {s.code, s.length};
}

std::size_t writeUtf8(char* out, char32_t code) { return encodeUtf8(out, isSurrogate(code) ? kReplacement : code); }

void appendUtf8(std::string& out, char32_t code) {
    char bytes[4];
    out.append(bytes, writeUtf8(bytes, code));
}

std::string_view byteOrderMark(TextEncoding encoding) {
    switch (encoding) {
        case TextEncoding::Utf8: return kUtf8Mark;
        case TextEncoding::Utf16LE: return kUtf16LEMark;
        case TextEncoding::Utf16BE: return kUtf16BEMark;
        case TextEncoding::Ansi: break;
    }
    return {};
}

TextEncoding encodingOfMark(std::string_view bytes) {
    if (startsWith(bytes, kUtf8Mark)) return TextEncoding::Utf8;
    if (startsWith(bytes, kUtf16LEMark)) return TextEncoding::Utf16LE;
    if (startsWith(bytes, kUtf16BEMark)) return TextEncoding::Utf16BE;
    return TextEncoding::Ansi;
}

std::optional<std::u16string> utf8ToUtf16(std::string_view bytes) {
    std::u16string out;
    if (!decodeWellFormedUtf8(bytes, out, [](std::u16string&) { return false; })) return std::nullopt;
    return out;
}

std::u16string decodeUtf8(std::string_view bytes, InvalidInput policy) {
    return policy == InvalidInput::AsProfile ? decodeUtf8Runs(bytes) : decodeUtf8EachByte(bytes);
}

std::string utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (isHighSurrogate(c) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (isSurrogate(c)) {
            c = kReplacement;
        }
        putUtf8(out, c);
    }
    return out;
}

std::u16string decodeUtf16(std::string_view bytes, bool bigEndian, InvalidInput policy) {
    std::u16string text(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned first = static_cast<unsigned char>(bytes[2 * i]);
        const unsigned second = static_cast<unsigned char>(bytes[2 * i + 1]);
        text[i] = static_cast<char16_t>(bigEndian ? (first << 8 | second) : (second << 8 | first));
    }
    if (bytes.size() % 2 && policy == InvalidInput::AsTextFile) text += kReplacement;  // a cut-off last unit
    return text;
}

std::string encodeUtf16(std::u16string_view text, bool bigEndian) {
    std::string bytes;
    bytes.reserve(text.size() * 2);
    for (char16_t c : text) {
        const char high = static_cast<char>(c >> 8), low = static_cast<char>(c & 0xFF);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

std::string encodeWindows1255(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        const bool pair = isHighSurrogate(c) && i + 1 < text.size() && isLowSurrogate(text[i + 1]);
        if (pair) ++i;
        out += pair ? kReplacementByte : static_cast<char>(unicodeToByte(c));
    }
    return out;
}

std::u16string decodeText(std::string_view body, TextEncoding encoding, InvalidInput policy) {
    switch (encoding) {
        case TextEncoding::Utf8: return decodeUtf8(body, policy);
        case TextEncoding::Utf16LE: return decodeUtf16(body, false, policy);
        case TextEncoding::Utf16BE: return decodeUtf16(body, true, policy);
        case TextEncoding::Ansi: break;
    }
    return fromBytes(body);
}

std::string encodeText(std::u16string_view text, TextEncoding encoding, InvalidInput policy) {
    switch (encoding) {
        case TextEncoding::Utf8: return utf16ToUtf8(text);
        case TextEncoding::Utf16LE: return encodeUtf16(text, false);
        case TextEncoding::Utf16BE: return encodeUtf16(text, true);
        case TextEncoding::Ansi: break;
    }
    return policy == InvalidInput::AsProfile ? toBytes(text) : encodeWindows1255(text);
}

}  // namespace hebrew
