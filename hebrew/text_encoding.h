// Text encodings of files, command lines and the platform's strings: UTF-8,
// UTF-16 in both byte orders with and without byte order marks, and
// Windows-1255 (codepage.h holds its table and the 8-bit form). Every
// conversion between bytes and UTF-16 text in the server and its tools goes
// through here.
//
// Bytes that are not valid in their encoding are handled by one of three
// explicit policies, chosen by the caller:
//
//   strict         utf8ToUtf16: the whole text is refused (nullopt). For input
//                  whose encoding is only a guess (vornconv's lines, error
//                  texts), so that the caller can try another.
//   AsProfile      as the platform's profile functions read a settings file:
//                  one U+FFFD for each run of bytes that still looked like one
//                  sequence, a sequence cut off by the end of the input takes
//                  the rest with it, a last odd byte of UTF-16 is dropped;
//                  Windows-1255 is written one byte per UTF-16 unit.
//   AsTextFile     as an editor loads a damaged text file: one U+FFFD for
//                  each byte that starts no valid sequence (the next byte is
//                  looked at afresh), a last odd byte of UTF-16 is one U+FFFD;
//                  Windows-1255 is written one byte per character, so a
//                  surrogate pair is one "?".
//
// Writing UTF-8 has one rule for every caller: an unpaired surrogate is
// written as U+FFFD.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "hebrew/codepage.h"

namespace hebrew {

enum class TextEncoding { Ansi, Utf8, Utf16LE, Utf16BE };

enum class InvalidInput { AsProfile, AsTextFile };

// The byte order mark that starts a file in that encoding; none for Ansi.
std::string_view byteOrderMark(TextEncoding encoding);

// The encoding that the mark at the start of bytes names; Ansi without one.
TextEncoding encodingOfMark(std::string_view bytes);

// UTF-8. nullopt when bytes is not valid UTF-8 (overlong forms, surrogates
// and code points above U+10FFFF count as invalid).
std::optional<std::u16string> utf8ToUtf16(std::string_view bytes);
std::u16string decodeUtf8(std::string_view bytes, InvalidInput policy);
std::string utf16ToUtf8(std::u16string_view text);

// One well-formed UTF-8 sequence, for readers that walk a string themselves:
// the code point that starts at bytes[at] and its length in bytes; length 0
// when no well-formed sequence starts there.
struct Utf8Sequence {
    char32_t code;
    std::size_t length;
};
Utf8Sequence utf8SequenceAt(std::string_view bytes, std::size_t at);
// A code point as UTF-8; a surrogate is written as U+FFFD.
void appendUtf8(std::string& out, char32_t code);
// The same at out, which has room for four bytes; the bytes written.
std::size_t writeUtf8(char* out, char32_t code);

// UTF-16 bytes without a mark, in either byte order.
std::u16string decodeUtf16(std::string_view bytes, bool bigEndian, InvalidInput policy);
std::string encodeUtf16(std::u16string_view text, bool bigEndian);

// Windows-1255 one byte per character: a character that the code page lacks,
// a surrogate pair included, is one "?". (toBytes maps each UTF-16 unit.)
std::string encodeWindows1255(std::u16string_view text);

// The body of a file, after its mark, as text in that encoding, and back
// (without the mark).
std::u16string decodeText(std::string_view body, TextEncoding encoding, InvalidInput policy);
std::string encodeText(std::u16string_view text, TextEncoding encoding, InvalidInput policy);

// The platform's wide strings hold UTF-16 units on Windows: the same units
// under another character type. (Elsewhere each unit widens as it is.)
inline std::wstring toWide(std::u16string_view s) { return std::wstring(s.begin(), s.end()); }
inline std::u16string fromWide(std::wstring_view s) { return std::u16string(s.begin(), s.end()); }

}  // namespace hebrew
