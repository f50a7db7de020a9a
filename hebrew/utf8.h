// UTF-8 and UTF-16, for files, command lines and paths off Windows.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace hebrew {

// Unpaired surrogates are written as U+FFFD.
std::string utf16ToUtf8(std::u16string_view text);

// nullopt when bytes is not valid UTF-8 (overlong forms, surrogates and
// code points above U+10FFFF count as invalid).
std::optional<std::u16string> utf8ToUtf16(std::string_view bytes);

}  // namespace hebrew
