#include "delphi_int.h"

namespace hebrew {
namespace {

int digitValue(char32_t c) {
    if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
    if (c >= 'a' && c <= 'f') return static_cast<int>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F') return static_cast<int>(c - 'A' + 10);
    return 99;
}

template <typename Char>
std::optional<std::int32_t> parse(std::basic_string_view<Char> s) {
    std::size_t i = 0;
    while (i < s.size() && s[i] == ' ') ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    int base = 10;
    if (i < s.size() && (s[i] == '$' || s[i] == 'x' || s[i] == 'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i == s.size()) return std::nullopt;
    std::int64_t value = 0;
    const std::int64_t limit = negative ? 0x80000000LL : 0x7FFFFFFFLL;
    // Hexadecimal text may spell any 32-bit pattern, as $FFFFFFFF for -1.
    const std::int64_t hexLimit = 0xFFFFFFFFLL;
    for (; i < s.size(); ++i) {
        int d = digitValue(static_cast<char32_t>(s[i]));
        if (d >= base) return std::nullopt;
        value = value * base + d;
        if (value > (base == 16 ? hexLimit : limit)) return std::nullopt;
    }
    if (base == 16 && value > 0x7FFFFFFFLL) value -= 0x100000000LL;
    return static_cast<std::int32_t>(negative ? -value : value);
}

}  // namespace

std::optional<std::int32_t> parseInteger(std::string_view text) { return parse(text); }
std::optional<std::int32_t> parseInteger(std::u16string_view text) { return parse(text); }

}  // namespace hebrew
