#include "testhost/json.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace testhost::json {

namespace {

bool isHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

void appendEscape(std::string& out, unsigned code) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "\\u%04X", code);
    out += buf;
}

void appendUtf8(std::string& out, unsigned long code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// Control characters (C0, DEL and C1) and unpaired surrogates travel as
// escapes, so that every code unit of the drawing's string can be read back.
bool needsEscape(wchar_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

std::string join(const std::vector<std::string>& items, const char* open, const char* separator,
                 const char* close) {
    std::string out = open;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i) out += separator;
        out += items[i];
    }
    return out + close;
}

}  // namespace

std::string quote(const std::wstring& text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (c == L'"') out += "\\\"";
        else if (c == L'\\') out += "\\\\";
        else if (c == L'\n') out += "\\n";
        else if (c == L'\r') out += "\\r";
        else if (c == L'\t') out += "\\t";
        else if (needsEscape(c)) appendEscape(out, c);
        else if (isHighSurrogate(c) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
            appendUtf8(out, 0x10000 + ((c - 0xD800UL) << 10) + (text[i + 1] - 0xDC00UL));
            ++i;
        } else if (isHighSurrogate(c) || isLowSurrogate(c)) appendEscape(out, c);
        else appendUtf8(out, c);
    }
    return out + "\"";
}

std::string toUtf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, out.data(), bytes, nullptr, nullptr);
    return out;
}

std::string number(double value) {
    if (!std::isfinite(value)) return null();
    char buf[32];
    auto result = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, result.ptr);
}

std::string integer(long long value) { return std::to_string(value); }

std::string boolean(bool value) { return value ? "true" : "false"; }

std::string hresult(HRESULT hr) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "\"0x%08lX\"", static_cast<unsigned long>(hr));
    return buf;
}

std::string object(const std::vector<Field>& fields) {
    std::vector<std::string> members;
    for (const auto& [name, value] : fields) members.push_back(std::string("\"") + name + "\":" + value);
    return join(members, "{", ",", "}");
}

std::string array(const std::vector<std::string>& items) { return join(items, "[", ",", "]"); }

std::string arrayLines(const std::vector<std::string>& items) {
    if (items.empty()) return "[]";
    return join(items, "[\n  ", ",\n  ", "\n]");
}

}  // namespace testhost::json
