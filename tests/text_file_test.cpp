// Import and export files: byte order marks, the ANSI code page, line breaks,
// and files that cannot be read or written.
#include <gtest/gtest.h>

#include <filesystem>

#include "editors/text_file.h"
#include "test_util.h"

using namespace editors;
using testutil::show;
using testutil::u16;

namespace {

const char* name(TextEncoding e) {
    switch (e) {
        case TextEncoding::Ansi: return "ANSI";
        case TextEncoding::Utf8: return "UTF-8";
        case TextEncoding::Utf16LE: return "UTF-16LE";
        case TextEncoding::Utf16BE: return "UTF-16BE";
    }
    return "?";
}

TEST(TextFile, DecodeFollowsTheMarkAndNormalisesLineBreaks) {
    using std::string_literals::operator""s;
    const struct {
        std::string bytes;
        std::u16string text;
        TextEncoding encoding;
    } cases[] = {
        // "שלום" in each encoding (the UTF-8 and UTF-16 bytes written out by hand).
        {"\xEF\xBB\xBF\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D\nab", u16("שלום\r\nab"), TextEncoding::Utf8},
        {"\xFF\xFE\xE9\x05\xDC\x05\xD5\x05\xDD\x05\r\0\n\0x\0"s, u16("שלום\r\nx"), TextEncoding::Utf16LE},
        {"\xFE\xFF\x05\xE9\x05\xDC\x05\xD5\x05\xDD\0\r\0\n\0x"s, u16("שלום\r\nx"), TextEncoding::Utf16BE},
        {"\xF9\xEC\xE5\xED\r\nab", u16("שלום\r\nab"), TextEncoding::Ansi},
        // A UTF-8 file without a mark is read in the code page: D7 A9 are two letters there.
        {"\xD7\xA9", u"\u05F3\u00A9", TextEncoding::Ansi},
        {"\xA4 \x80", u"\u20AA \u20AC", TextEncoding::Ansi},
        // Every kind of break, and breaks in a row.
        {"a\r\nb\nc\rd\r\n", u"a\r\nb\r\nc\r\nd\r\n", TextEncoding::Ansi},
        {"\n\r", u"\r\n\r\n", TextEncoding::Ansi},
        {"\r\r\n\n", u"\r\n\r\n\r\n", TextEncoding::Ansi},
        {"\xFF\xFE" "a\0\n\0b\0\r\0"s, u"a\r\nb\r\n", TextEncoding::Utf16LE},
        // Empty files, marks only.
        {"", u"", TextEncoding::Ansi},
        {"\xEF\xBB\xBF", u"", TextEncoding::Utf8},
        {"\xFE\xFF", u"", TextEncoding::Utf16BE},
        // Damage: a cut-off unit, bytes that are no UTF-8, a pair kept whole.
        {"\xFF\xFE" "a\0b"s, u"a\uFFFD", TextEncoding::Utf16LE},
        {"\xEF\xBB\xBF" "a\xC3(\xE2\x82", u"a\uFFFD(\uFFFD\uFFFD", TextEncoding::Utf8},
        {"\xEF\xBB\xBF\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD", TextEncoding::Utf8},
        {"\xEF\xBB\xBF\xF0\x9F\x98\x80", u"\U0001F600", TextEncoding::Utf8},
        {"\xFF\xFE\x3D\xD8\x00\xDE"s, u"\U0001F600", TextEncoding::Utf16LE},
    };
    for (const auto& c : cases) {
        const DecodedText d = decodeTextFile(c.bytes);
        EXPECT_EQ(d.text, c.text) << show(c.bytes) << " gave " << show(d.text);
        EXPECT_EQ(d.encoding, c.encoding) << show(c.bytes) << " gave " << name(d.encoding);
    }
}

TEST(TextFile, EncodeWritesTheMarkAndCrLfWithNoBreakAtTheEnd) {
    using std::string_literals::operator""s;
    const struct {
        std::u16string text;
        TextEncoding encoding;
        std::string bytes;
    } cases[] = {
        {u16("שלום\r\nab"), TextEncoding::Ansi, "\xF9\xEC\xE5\xED\r\nab"},
        {u16("שלום\r\nab"), TextEncoding::Utf8, "\xEF\xBB\xBF\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D\r\nab"},
        {u16("שלום\r\nx"), TextEncoding::Utf16LE, "\xFF\xFE\xE9\x05\xDC\x05\xD5\x05\xDD\x05\r\0\n\0x\0"s},
        {u16("שלום\r\nx"), TextEncoding::Utf16BE, "\xFE\xFF\x05\xE9\x05\xDC\x05\xD5\x05\xDD\0\r\0\n\0x"s},
        // A last line followed by an empty one ends in a break; no other does.
        {u"a\r\n", TextEncoding::Ansi, "a\r\n"},
        {u"a\nb\rc", TextEncoding::Ansi, "a\r\nb\r\nc"},
        {u"", TextEncoding::Ansi, ""},
        {u"", TextEncoding::Utf8, "\xEF\xBB\xBF"},
        // What the code page lacks: one "?" a character.
        {u"\u0416\U0001F600x", TextEncoding::Ansi, "??x"},
        {u"\u20AA", TextEncoding::Ansi, "\xA4"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(encodeTextFile(c.text, c.encoding), c.bytes) << show(c.text) << " in " << name(c.encoding);
}

TEST(TextFile, EveryEncodingGivesBackWhatItWrote) {
    const std::u16string text = u16("שורה ראשונה\r\nsecond line, 2nd\r\n\r\nסוף ₪");
    for (TextEncoding e : {TextEncoding::Ansi, TextEncoding::Utf8, TextEncoding::Utf16LE, TextEncoding::Utf16BE}) {
        const DecodedText d = decodeTextFile(encodeTextFile(text, e));
        EXPECT_EQ(d.text, text) << name(e);
        EXPECT_EQ(d.encoding, e) << name(e);
    }
}

class TextFileOnDisk : public ::testing::Test {
protected:
    testutil::ScratchFolder scratch{"text_file"};
    std::filesystem::path folder = scratch.path();
    std::u16string path(const std::string& file) const { return (folder / file).u16string(); }
};

TEST_F(TextFileOnDisk, WrittenBytesAreReadBackAndAnExistingFileIsOverwritten) {
    std::u16string error;
    const std::string first = std::string("\xFF\xFE" "a\0", 4), second = "b\r\nc";
    ASSERT_TRUE(writeFileBytes(path("x.txt"), first, error)) << testutil::utf8(error);
    ASSERT_TRUE(writeFileBytes(path("x.txt"), second, error)) << testutil::utf8(error);
    std::string bytes;
    ASSERT_TRUE(readFileBytes(path("x.txt"), bytes, error)) << testutil::utf8(error);
    EXPECT_EQ(bytes, second);
    EXPECT_TRUE(std::filesystem::exists(folder / "x.txt"));
    EXPECT_FALSE(std::filesystem::exists(folder / "x.txt.txt"));
}

TEST_F(TextFileOnDisk, FailuresReportAMessageAndLeaveTheBufferAlone) {
    const struct {
        const char* what;
        bool write;
        std::string file;
    } cases[] = {
        {"missing file", false, "none.txt"},
        {"missing folder", false, "nowhere/none.txt"},
        {"a folder read as a file", false, "sub"},
        {"into a missing folder", true, "nowhere/new.txt"},
        {"over a folder", true, "sub"},
    };
    std::filesystem::create_directories(folder / "sub");
    for (const auto& c : cases) {
        std::u16string error;
        std::string bytes = "kept";
        const bool ok = c.write ? writeFileBytes(path(c.file), "data", error) : readFileBytes(path(c.file), bytes, error);
        EXPECT_FALSE(ok) << c.what;
        EXPECT_FALSE(error.empty()) << c.what;
        EXPECT_EQ(bytes, "kept") << c.what;
    }
}

}  // namespace
