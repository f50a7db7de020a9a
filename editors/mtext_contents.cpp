#include "editors/mtext_contents.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace editors {

std::u16string stripLeadingGroup(std::u16string_view s) {
    if (s.size() < 2 || s[0] != u'{' || s[1] != u'\\') return std::u16string(s);
    const std::size_t semicolon = s.find(u';');
    if (semicolon == std::u16string_view::npos) return std::u16string(s);
    s.remove_prefix(semicolon + 1);
    if (!s.empty() && s.back() == u'}') s.remove_suffix(1);
    if (s.size() >= 2 && s[s.size() - 2] == u'}') s.remove_suffix(2);
    return std::u16string(s);
}

std::vector<std::u16string> splitParagraphs(std::u16string_view contents) {
    std::vector<std::u16string> paragraphs;
    std::size_t start = 0;
    for (std::size_t mark; (mark = contents.find(kParagraphMark, start)) != std::u16string_view::npos;
         start = mark + kParagraphMark.size())
        paragraphs.emplace_back(contents.substr(start, mark - start));
    if (start < contents.size()) paragraphs.emplace_back(contents.substr(start));
    return paragraphs;
}

std::vector<std::u16string> loadContents(std::u16string_view contents, const ParagraphConversion& toEditor) {
    std::vector<std::u16string> lines = splitParagraphs(stripLeadingGroup(contents));
    for (std::u16string& line : lines) line = toEditor(line);
    return lines;
}

std::vector<std::u16string> memoLines(std::u16string_view text) {
    std::vector<std::u16string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != u'\r' && text[i] != u'\n') continue;
        lines.emplace_back(text.substr(start, i - start));
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) lines.emplace_back(text.substr(start));
    return lines;
}

std::u16string memoText(const std::vector<std::u16string>& lines) {
    std::u16string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i) text += u"\r\n";
        text += lines[i];
    }
    // An edit box counts no line after a final break: an empty last line
    // needs a break of its own.
    if (!lines.empty() && lines.back().empty()) text += u"\r\n";
    return text;
}

std::u16string storeContents(const std::vector<std::u16string>& lines, const ParagraphConversion& toDrawing) {
    std::u16string contents;
    for (const std::u16string& line : lines) contents.append(toDrawing(line)).append(kParagraphMark);
    return contents;
}

namespace {

std::u16string ascii(const std::string& s) { return std::u16string(s.begin(), s.end()); }

// "1.2300" -> "1.23", "5.0000" -> "5".
std::string trimFraction(std::string digits) {
    if (digits.find('.') == std::string::npos) return digits;
    while (digits.back() == '0') digits.pop_back();
    if (digits.back() == '.') digits.pop_back();
    return digits;
}

}  // namespace

std::u16string formatGeneral5(double value) {
    constexpr int kDigits = 5;
    if (std::isnan(value)) return u"NAN";
    if (std::isinf(value)) return value < 0 ? u"-INF" : u"INF";
    if (value == 0) return u"0";
    // Round to five significant digits first: the exponent is that of the
    // rounded value (99999.5 is 1E5, not 99999.5).
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*e", kDigits - 1, value);
    const char* e = std::strchr(buf, 'e');
    const int exponent = std::atoi(e + 1);
    const std::string sign = value < 0 ? "-" : "";
    if (exponent < kDigits && std::fabs(value) >= 0.00001) {
        std::snprintf(buf, sizeof buf, "%.*f", std::max(0, kDigits - 1 - exponent), std::fabs(value));
        return ascii(sign + trimFraction(buf));
    }
    const std::string mantissa = trimFraction(std::string(static_cast<const char*>(buf) + (value < 0 ? 1 : 0), e));
    return ascii(sign + mantissa + "E" + std::to_string(exponent));
}

}  // namespace editors
