// The text encoding module's policies for input that its encoding cannot
// carry: each caller gets the one it asks for, and the three never mix.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "hebrew/text_encoding.h"

using namespace std::string_literals;
using hebrew::InvalidInput;

namespace {

struct Utf8Case {
    const char* what;
    std::string bytes;
    std::optional<std::u16string> strict;
    std::u16string asProfile, asTextFile;
};

const Utf8Case kUtf8Cases[] = {
    {"valid four-byte sequence", "\xF0\x9F\x98\x80", u"\U0001F600", u"\U0001F600", u"\U0001F600"},
    {"a U+FFFD in the text is text", "\xEF\xBF\xBD", u"\uFFFD", u"\uFFFD", u"\uFFFD"},
    {"lone trailing byte", "a\x80z", std::nullopt, u"a\uFFFDz", u"a\uFFFDz"},
    {"lead byte before a non-trailing one", "a\xC3(", std::nullopt, u"a\uFFFD(", u"a\uFFFD("},
    {"overlong two-byte form", "\xC0\xAF", std::nullopt, u"\uFFFD\uFFFD", u"\uFFFD\uFFFD"},
    {"lead byte beyond Unicode", "\xF5\x80", std::nullopt, u"\uFFFD\uFFFD", u"\uFFFD\uFFFD"},
    // The profile functions take the bytes that still looked right as one
    // run; the text file policy looks at each following byte afresh.
    {"surrogate", "\xED\xA0\x80", std::nullopt, u"\uFFFD\uFFFD", u"\uFFFD\uFFFD\uFFFD"},
    {"beyond U+10FFFF", "\xF4\x90\x80\x80", std::nullopt, u"\uFFFD\uFFFD\uFFFD", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
    {"sequence broken in the middle", "\xE2\x82" "A", std::nullopt, u"\uFFFDA", u"\uFFFD\uFFFDA"},
    // Cut off by the end: one U+FFFD for the rest, or one for each byte.
    {"sequence cut off at the end", "a\xF0\x9F\x98", std::nullopt, u"a\uFFFD", u"a\uFFFD\uFFFD\uFFFD"},
};

TEST(TextEncoding, InvalidUtf8FollowsTheCallersPolicy) {
    for (const Utf8Case& c : kUtf8Cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(hebrew::utf8ToUtf16(c.bytes), c.strict);
        EXPECT_EQ(hebrew::decodeUtf8(c.bytes, InvalidInput::AsProfile), c.asProfile);
        EXPECT_EQ(hebrew::decodeUtf8(c.bytes, InvalidInput::AsTextFile), c.asTextFile);
    }
}

struct BodyCase {
    const char* what;
    std::string body;
    hebrew::TextEncoding encoding;
    std::u16string asProfile, asTextFile;
};

const BodyCase kBodyCases[] = {
    {"odd UTF-16LE", "a\0b"s, hebrew::TextEncoding::Utf16LE, u"a", u"a\uFFFD"},
    {"odd UTF-16BE", "\0a\x05"s, hebrew::TextEncoding::Utf16BE, u"a", u"a\uFFFD"},
    {"Windows-1255 has no invalid byte", "\xE0\xCA\xFF", hebrew::TextEncoding::Ansi, u"\u05D0\u00CA\u00FF",
     u"\u05D0\u00CA\u00FF"},
};

TEST(TextEncoding, DamagedBodiesFollowTheCallersPolicy) {
    for (const BodyCase& c : kBodyCases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(hebrew::decodeText(c.body, c.encoding, InvalidInput::AsProfile), c.asProfile);
        EXPECT_EQ(hebrew::decodeText(c.body, c.encoding, InvalidInput::AsTextFile), c.asTextFile);
    }
}

struct WriteCase {
    const char* what;
    std::u16string text;
    hebrew::TextEncoding encoding;
    std::string asProfile, asTextFile;
};

const WriteCase kWriteCases[] = {
    {"a pair in Windows-1255", u"\U0001F600", hebrew::TextEncoding::Ansi, "??", "?"},
    {"a lone surrogate in Windows-1255", u"a\xD800", hebrew::TextEncoding::Ansi, "a?", "a?"},
    {"a lone surrogate in UTF-8", u"a\xDC00", hebrew::TextEncoding::Utf8, "a\xEF\xBF\xBD", "a\xEF\xBF\xBD"},
    {"a lone surrogate in UTF-16 stays", u"\xD800", hebrew::TextEncoding::Utf16BE, "\xD8\0"s, "\xD8\0"s},
};

TEST(TextEncoding, WritingWhatTheEncodingLacksFollowsTheCallersPolicy) {
    for (const WriteCase& c : kWriteCases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(hebrew::encodeText(c.text, c.encoding, InvalidInput::AsProfile), c.asProfile);
        EXPECT_EQ(hebrew::encodeText(c.text, c.encoding, InvalidInput::AsTextFile), c.asTextFile);
    }
}

TEST(TextEncoding, OnlyAWholeMarkNamesAnEncoding) {
    const std::pair<std::string, hebrew::TextEncoding> cases[] = {
        {"\xEF\xBB\xBFx", hebrew::TextEncoding::Utf8},  {"\xEF\xBB", hebrew::TextEncoding::Ansi},
        {"\xFF\xFE", hebrew::TextEncoding::Utf16LE},     {"\xFE\xFF\0a"s, hebrew::TextEncoding::Utf16BE},
        {"\xFF", hebrew::TextEncoding::Ansi},            {"", hebrew::TextEncoding::Ansi},
    };
    for (const auto& [bytes, encoding] : cases) {
        EXPECT_EQ(hebrew::encodingOfMark(bytes), encoding);
        EXPECT_EQ(hebrew::encodingOfMark(std::string(hebrew::byteOrderMark(encoding)) + bytes), encoding)
            << "a mark in front decides";
    }
}

}  // namespace
