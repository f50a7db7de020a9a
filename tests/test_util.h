// Small helpers shared by the tests.
#pragma once

#include <ostream>
#include <string>

#include "hebrew/codepage.h"
#include "hebrew/utf8.h"

namespace testutil {

// The 8-bit form of a UTF-8 literal, for readable test tables.
inline std::string bytes(const std::string& utf8) { return hebrew::toBytes(*hebrew::utf8ToUtf16(utf8)); }

inline std::u16string u16(const std::string& utf8) { return *hebrew::utf8ToUtf16(utf8); }

inline std::string utf8(const std::u16string& s) { return hebrew::utf16ToUtf8(s); }

// Shows byte strings as their numbers, so failures are readable.
inline std::string show(const std::string& b) {
    std::string out;
    for (unsigned char c : b) {
        if (!out.empty()) out += ' ';
        out += (c >= 0x20 && c < 0x7F) ? std::string(1, static_cast<char>(c)) : std::to_string(c);
    }
    return "[" + out + "]";
}

inline std::string show(const std::u16string& s) {
    std::string out;
    for (char16_t c : s) {
        if (!out.empty()) out += ' ';
        if (c >= 0x20 && c < 0x7F) out += static_cast<char>(c);
        else {
            char buf[12];
            std::snprintf(buf, sizeof buf, "U+%04X", static_cast<unsigned>(c));
            out += buf;
        }
    }
    return "[" + out + "]";
}

}  // namespace testutil
