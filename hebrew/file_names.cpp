#include "file_names.h"

#include <algorithm>

namespace hebrew {
namespace {

bool isSeparator(char16_t c) { return c == u'\\' || c == u'/' || c == u':'; }

// Position of the extension's dot in the file name part, or npos.
std::size_t extensionStart(std::u16string_view path) {
    std::size_t dot = path.rfind(u'.');
    return (dot == std::u16string_view::npos || dot < fileNameStart(path)) ? std::u16string_view::npos : dot;
}

}  // namespace

char16_t upperAscii(char16_t c) { return (c >= 'a' && c <= 'z') ? static_cast<char16_t>(c - 'a' + 'A') : c; }

std::u16string upperCase(std::u16string_view s) {
    std::u16string out(s);
    for (char16_t& c : out) c = upperAscii(c);
    return out;
}

bool equalNoCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (upperAscii(a[i]) != upperAscii(b[i])) return false;
    return true;
}

bool lessNoCase(std::u16string_view a, std::u16string_view b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char16_t x, char16_t y) { return upperAscii(x) < upperAscii(y); });
}

std::size_t fileNameStart(std::u16string_view path) {
    for (std::size_t i = path.size(); i > 0; --i)
        if (isSeparator(path[i - 1])) return i;
    return 0;
}

std::u16string withoutExtension(std::u16string_view path) {
    return std::u16string(path.substr(0, extensionStart(path)));
}

std::u16string extensionOf(std::u16string_view path) {
    std::size_t dot = extensionStart(path);
    return dot == std::u16string_view::npos ? std::u16string() : std::u16string(path.substr(dot));
}

std::u16string baseName(std::u16string_view path) { return withoutExtension(path.substr(fileNameStart(path))); }

}  // namespace hebrew
