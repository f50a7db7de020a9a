#include "editors/text_file.h"

#include <algorithm>

#include "hebrew/codepage.h"
#include "hebrew/utf8.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <cstdio>
#include <cstring>
#endif

namespace editors {

namespace {

constexpr char16_t kReplacement = 0xFFFD;
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LEMark = "\xFF\xFE";
constexpr std::string_view kUtf16BEMark = "\xFE\xFF";

bool startsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

void appendCodePoint(std::u16string& out, char32_t c) {
    if (c < 0x10000) {
        out += static_cast<char16_t>(c);
    } else {
        c -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (c >> 10));
        out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    }
}

// UTF-8 that forgives: each byte that starts no valid sequence is U+FFFD.
std::u16string decodeUtf8(std::string_view b) {
    std::u16string out;
    out.reserve(b.size());
    std::size_t i = 0;
    while (i < b.size()) {
        const unsigned char lead = static_cast<unsigned char>(b[i]);
        if (lead < 0x80) {
            out += static_cast<char16_t>(lead);
            ++i;
            continue;
        }
        const int more = lead >= 0xC2 && lead < 0xE0 ? 1 : lead >= 0xE0 && lead < 0xF0 ? 2
                       : lead >= 0xF0 && lead < 0xF5 ? 3 : -1;
        if (more < 0 || i + more >= b.size()) {
            out += kReplacement;
            ++i;
            continue;
        }
        char32_t c = lead & (0x3F >> more);
        bool valid = true;
        for (int k = 1; k <= more && valid; ++k) {
            const unsigned char next = static_cast<unsigned char>(b[i + k]);
            valid = (next & 0xC0) == 0x80;
            c = (c << 6) | (next & 0x3F);
        }
        const char32_t smallest[] = {0, 0x80, 0x800, 0x10000};
        valid = valid && c >= smallest[more] && c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF);
        if (!valid) {
            out += kReplacement;
            ++i;
            continue;
        }
        appendCodePoint(out, c);
        i += more + 1;
    }
    return out;
}

std::u16string decodeUtf16(std::string_view b, bool littleEndian) {
    std::u16string out;
    out.reserve(b.size() / 2 + 1);
    for (std::size_t i = 0; i + 1 < b.size(); i += 2) {
        const unsigned lo = static_cast<unsigned char>(b[i + (littleEndian ? 0 : 1)]);
        const unsigned hi = static_cast<unsigned char>(b[i + (littleEndian ? 1 : 0)]);
        out += static_cast<char16_t>(hi << 8 | lo);
    }
    if (b.size() % 2) out += kReplacement;  // a cut-off last unit
    return out;
}

void appendUtf16(std::string& out, std::u16string_view text, bool littleEndian) {
    for (char16_t c : text) {
        const char lo = static_cast<char>(c & 0xFF), hi = static_cast<char>(c >> 8);
        out += littleEndian ? lo : hi;
        out += littleEndian ? hi : lo;
    }
}

// Windows-1255 as the code page converter writes it: a surrogate pair is
// one character the code page lacks, so one "?".
std::string encodeAnsi(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        const bool pair = c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
                          text[i + 1] < 0xE000;
        if (pair) ++i;
        out += pair ? hebrew::kReplacementByte : static_cast<char>(hebrew::unicodeToByte(c));
    }
    return out;
}

bool failed(std::u16string& error, std::u16string message) {
    error = std::move(message);
    return false;
}

}  // namespace

std::u16string normalizeLineBreaks(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size() + text.size() / 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c == u'\r' || c == u'\n') {
            out += u"\r\n";
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
        } else {
            out += c;
        }
    }
    return out;
}

DecodedText decodeTextFile(std::string_view bytes) {
    DecodedText d;
    if (startsWith(bytes, kUtf8Mark)) {
        d.encoding = TextEncoding::Utf8;
        d.text = decodeUtf8(bytes.substr(kUtf8Mark.size()));
    } else if (startsWith(bytes, kUtf16LEMark)) {
        d.encoding = TextEncoding::Utf16LE;
        d.text = decodeUtf16(bytes.substr(kUtf16LEMark.size()), true);
    } else if (startsWith(bytes, kUtf16BEMark)) {
        d.encoding = TextEncoding::Utf16BE;
        d.text = decodeUtf16(bytes.substr(kUtf16BEMark.size()), false);
    } else {
        d.encoding = TextEncoding::Ansi;
        d.text = hebrew::fromBytes(bytes);
    }
    d.text = normalizeLineBreaks(d.text);
    return d;
}

std::string encodeTextFile(std::u16string_view text, TextEncoding encoding) {
    const std::u16string crlf = normalizeLineBreaks(text);
    switch (encoding) {
        case TextEncoding::Utf8: return std::string(kUtf8Mark) + hebrew::utf16ToUtf8(crlf);
        case TextEncoding::Utf16LE: {
            std::string out(kUtf16LEMark);
            appendUtf16(out, crlf, true);
            return out;
        }
        case TextEncoding::Utf16BE: {
            std::string out(kUtf16BEMark);
            appendUtf16(out, crlf, false);
            return out;
        }
        case TextEncoding::Ansi: break;
    }
    return encodeAnsi(crlf);
}

#ifdef _WIN32

namespace {

std::u16string lastErrorMessage() {
    const DWORD code = GetLastError();
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::u16string message = n ? std::u16string(text, text + n) : u"Error " + [&] {
        std::string s = std::to_string(code);
        return std::u16string(s.begin(), s.end());
    }();
    if (text) LocalFree(text);
    while (!message.empty() && (message.back() == u'\r' || message.back() == u'\n' || message.back() == u' '))
        message.pop_back();
    return message;
}

const wchar_t* wide(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

struct Handle {
    HANDLE h;
    ~Handle() {
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
};

}  // namespace

bool readFileBytes(const std::u16string& path, std::string& bytes, std::u16string& error) {
    Handle file{CreateFileW(wide(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (file.h == INVALID_HANDLE_VALUE) return failed(error, lastErrorMessage());
    std::string read;
    char buffer[65536];
    DWORD got = 0;
    for (;;) {
        if (!ReadFile(file.h, buffer, sizeof buffer, &got, nullptr)) return failed(error, lastErrorMessage());
        if (got == 0) break;
        read.append(buffer, got);
    }
    bytes = std::move(read);
    return true;
}

bool writeFileBytes(const std::u16string& path, std::string_view bytes, std::u16string& error) {
    Handle file{CreateFileW(wide(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (file.h == INVALID_HANDLE_VALUE) return failed(error, lastErrorMessage());
    while (!bytes.empty()) {
        DWORD put = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
        if (!WriteFile(file.h, bytes.data(), chunk, &put, nullptr)) return failed(error, lastErrorMessage());
        bytes.remove_prefix(put);
    }
    return true;
}

#else

namespace {

std::u16string errnoMessage() {
    const std::string text = std::strerror(errno);
    return std::u16string(text.begin(), text.end());
}

struct File {
    std::FILE* f;
    ~File() {
        if (f) std::fclose(f);
    }
};

}  // namespace

bool readFileBytes(const std::u16string& path, std::string& bytes, std::u16string& error) {
    File file{std::fopen(hebrew::utf16ToUtf8(path).c_str(), "rb")};
    if (!file.f) return failed(error, errnoMessage());
    std::string read;
    char buffer[65536];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file.f)) > 0) read.append(buffer, got);
    if (std::ferror(file.f)) return failed(error, errnoMessage());
    bytes = std::move(read);
    return true;
}

bool writeFileBytes(const std::u16string& path, std::string_view bytes, std::u16string& error) {
    File file{std::fopen(hebrew::utf16ToUtf8(path).c_str(), "wb")};
    if (!file.f) return failed(error, errnoMessage());
    if (std::fwrite(bytes.data(), 1, bytes.size(), file.f) != bytes.size()) return failed(error, errnoMessage());
    const int closed = std::fclose(file.f);
    file.f = nullptr;
    if (closed != 0) return failed(error, errnoMessage());
    return true;
}

#endif

}  // namespace editors
