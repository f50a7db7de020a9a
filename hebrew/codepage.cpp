#include "codepage.h"

#include <array>

namespace hebrew {
namespace {

// Bytes 128 to 255; 0 marks a byte that the code page leaves undefined.
constexpr std::array<char16_t, 128> kHighHalf = {
    // 0x80
    0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0, 0x2039, 0, 0, 0, 0,
    // 0x90
    0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0, 0x203A, 0, 0, 0, 0,
    // 0xA0
    0x00A0, 0x00A1, 0x00A2, 0x00A3, 0x20AA, 0x00A5, 0x00A6, 0x00A7,
    0x00A8, 0x00A9, 0x00D7, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x00AF,
    // 0xB0
    0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x00B4, 0x00B5, 0x00B6, 0x00B7,
    0x00B8, 0x00B9, 0x00F7, 0x00BB, 0x00BC, 0x00BD, 0x00BE, 0x00BF,
    // 0xC0: points; 0xCA is undefined
    0x05B0, 0x05B1, 0x05B2, 0x05B3, 0x05B4, 0x05B5, 0x05B6, 0x05B7,
    0x05B8, 0x05B9, 0, 0x05BB, 0x05BC, 0x05BD, 0x05BE, 0x05BF,
    // 0xD0: points, punctuation, Yiddish ligatures, geresh, gershayim
    0x05C0, 0x05C1, 0x05C2, 0x05C3, 0x05F0, 0x05F1, 0x05F2, 0x05F3,
    0x05F4, 0, 0, 0, 0, 0, 0, 0,
    // 0xE0: alef to tav
    0x05D0, 0x05D1, 0x05D2, 0x05D3, 0x05D4, 0x05D5, 0x05D6, 0x05D7,
    0x05D8, 0x05D9, 0x05DA, 0x05DB, 0x05DC, 0x05DD, 0x05DE, 0x05DF,
    // 0xF0
    0x05E0, 0x05E1, 0x05E2, 0x05E3, 0x05E4, 0x05E5, 0x05E6, 0x05E7,
    0x05E8, 0x05E9, 0x05EA, 0, 0, 0x200E, 0x200F, 0,
};

struct ReverseTable {
    // 0 = not in the code page; otherwise the byte plus one, so that U+0000
    // maps to byte 0.
    std::array<std::uint16_t, 0x10000> byteOf{};

    ReverseTable() {
        for (int b = 0; b < 256; ++b)
            byteOf[byteToUnicode(static_cast<unsigned char>(b))] = static_cast<std::uint16_t>(b + 1);
    }
};

const ReverseTable& reverseTable() {
    static const ReverseTable table;
    return table;
}

}  // namespace

bool isUndefinedByte(unsigned char b) { return b >= 0x80 && kHighHalf[b - 0x80] == 0; }

char16_t byteToUnicode(unsigned char b) {
    if (b < 0x80 || isUndefinedByte(b)) return b;
    return kHighHalf[b - 0x80];
}

bool isRepresentable(char16_t c) { return reverseTable().byteOf[c] != 0; }

unsigned char unicodeToByte(char16_t c) {
    std::uint16_t entry = reverseTable().byteOf[c];
    return entry ? static_cast<unsigned char>(entry - 1) : kReplacementByte;
}

std::string toBytes(std::u16string_view text) {
    const auto& table = reverseTable();
    std::string bytes(text.size(), '\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint16_t entry = table.byteOf[text[i]];
        bytes[i] = entry ? static_cast<char>(entry - 1) : kReplacementByte;
    }
    return bytes;
}

std::u16string fromBytes(std::string_view bytes) {
    // Every text is read through it: each byte's character, looked up once.
    static const std::array<char16_t, 256> characters = [] {
        std::array<char16_t, 256> table{};
        for (int b = 0; b < 256; ++b) table[b] = byteToUnicode(static_cast<unsigned char>(b));
        return table;
    }();
    std::u16string text(bytes.size(), u'\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) text[i] = characters[static_cast<unsigned char>(bytes[i])];
    return text;
}

}  // namespace hebrew
