// Reading an integer from text the way the settings and the "%%" codes are
// written: leading blanks, an optional sign, then decimal digits, or
// hexadecimal digits after "$", "x", "X" or "0x". The whole text must be used
// up and the value must fit in 32 bits.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace hebrew {

std::optional<std::int32_t> parseInteger(std::string_view text);
std::optional<std::int32_t> parseInteger(std::u16string_view text);

}  // namespace hebrew
