// File names and ASCII case as the font map sees them: the host's font file
// names are compared without regard to the case of ASCII letters only.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace hebrew {

char16_t upperAscii(char16_t c);
std::u16string upperCase(std::u16string_view s);
bool equalNoCase(std::u16string_view a, std::u16string_view b);
bool lessNoCase(std::u16string_view a, std::u16string_view b);

// The position after the last folder separator or drive colon.
std::size_t fileNameStart(std::u16string_view path);
// The path without the file name's extension; folders are kept.
std::u16string withoutExtension(std::u16string_view path);
// The file name's extension with its dot, or nothing.
std::u16string extensionOf(std::u16string_view path);
// The file name without folders and extension.
std::u16string baseName(std::u16string_view path);

}  // namespace hebrew
