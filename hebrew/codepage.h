// The 8-bit form: one byte per character in Windows-1255, fixed whatever the
// system code page is, so that every conversion gives the same result on
// every machine.
//
// Each byte that Windows-1255 leaves undefined converts to and from the
// Unicode character of the same number (byte 129 is U+0081). A Unicode
// character that the code page lacks becomes "?". Every UTF-16 unit becomes
// exactly one byte and back, so positions carry over between the two forms.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace hebrew {

constexpr char kReplacementByte = '?';

char16_t byteToUnicode(unsigned char b);

// True when the code page has a byte for c (an undefined byte's own number
// counts).
bool isRepresentable(char16_t c);

// The byte for c, or kReplacementByte when the code page lacks c.
unsigned char unicodeToByte(char16_t c);

// Whether byte b is one that Windows-1255 leaves undefined.
bool isUndefinedByte(unsigned char b);

std::string toBytes(std::u16string_view text);
std::u16string fromBytes(std::string_view bytes);

}  // namespace hebrew
