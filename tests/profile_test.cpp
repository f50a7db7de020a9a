// The portable profile files: reading, writing and erasing with the rules of
// the platform's profile functions, the encodings, and files that are broken
// or cannot be written.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "hebrew/profile_portable.h"
#include "hebrew/utf8.h"
#include "test_util.h"

namespace {

using namespace std::string_literals;
namespace fs = std::filesystem;
using hebrew::PortableProfileFiles;
using Keys = std::vector<std::u16string>;

// ---------------------------------------------------------------------------
// Helpers

void putBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::optional<std::string> bytesOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string utf16Bytes(std::u16string_view text, bool bigEndian) {
    std::string bytes;
    for (char16_t c : text) {
        char high = static_cast<char>(c >> 8), low = static_cast<char>(c & 0xFF);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

std::u16string ascii(const std::string& text) { return std::u16string(text.begin(), text.end()); }

std::string hex(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
        out += ' ';
    }
    return out;
}

std::string shown(const std::optional<std::string>& bytes) {
    return bytes ? hex(*bytes) : "(no file)";
}

class ProfileTest : public ::testing::Test {
protected:
    std::u16string fileWith(const std::string& bytes, const std::string& name = "test.ini") {
        putBytes(folder_.path(name), bytes);
        return folder_.name(name);
    }
    std::optional<std::string> bytesOfFile(const std::string& name = "test.ini") const {
        return bytesOf(folder_.path(name));
    }

    testutil::ScratchFolder folder_{"profile_test"};
    PortableProfileFiles profiles_;
};

// ---------------------------------------------------------------------------
// Reading values

const std::string kSettings =
    "; settings\r\n"
    "lead = before\r\n"
    "\r\n"
    "[Fonts]\r\n"
    "  Name = Arial \r\n"
    "size=12\r\n"
    "noequals\r\n"
    "quoted=\"  spaced  \"\r\n"
    "single='x'\r\n"
    "lonequote='\r\n"
    "mixed='x\"\r\n"
    "empty=\r\n"
    "tabbed\t=\tvalue\t\x1a\r\n"
    "equals=a=b\r\n"
    "name=second copy\r\n"
    "[ Spaced Section ] trailing text\r\n"
    "k=v\r\n"
    "[fonts]\r\n"
    "late=hidden by the first section\r\n"
    "[Odd]Name] tail\r\n"
    "k=odd\r\n"
    "[Last]\n"
    "lf=only\n"
    "[Broken=yes\n"
    "[CR]\rcr=only\r"
    "=orphan value\r\n";

struct ReadCase {
    const char* what;
    std::u16string section, key, def, expected;
};

TEST_F(ProfileTest, ReadsValuesByTheRulesOfTheProfileFunctions) {
    const ReadCase cases[] = {
        {"blanks around name and value dropped", u"Fonts", u"Name", u"d", u"Arial"},
        {"section and key without regard to case", u"FONTS", u"NAME", u"d", u"Arial"},
        {"blanks around the requested names dropped", u"  Fonts\t", u" Name ", u"d", u"Arial"},
        {"plain value", u"Fonts", u"size", u"d", u"12"},
        {"key without '=' gives the default", u"Fonts", u"noequals", u"d", u"d"},
        {"double quotes removed, inner blanks kept", u"Fonts", u"quoted", u"d", u"  spaced  "},
        {"single quotes removed", u"Fonts", u"single", u"d", u"x"},
        {"a lone quote stays", u"Fonts", u"lonequote", u"d", u"'"},
        {"quotes that differ stay", u"Fonts", u"mixed", u"d", u"'x\""},
        {"empty value is not the default", u"Fonts", u"empty", u"d", u""},
        {"tab and Ctrl-Z are blanks", u"Fonts", u"tabbed", u"d", u"value"},
        {"value runs on past a second '='", u"Fonts", u"equals", u"d", u"a=b"},
        {"first of two equal keys wins", u"Fonts", u"name", u"d", u"Arial"},
        {"header trimmed, text after ']' ignored", u"Spaced Section", u"k", u"d", u"v"},
        {"a later section of the same name is not searched", u"Fonts", u"late", u"none", u"none"},
        {"lines before the first section", u"", u"lead", u"d", u"before"},
        {"header ends at its last ']'", u"Odd]Name", u"k", u"d", u"odd"},
        {"LF line breaks", u"Last", u"lf", u"d", u"only"},
        {"'[' without ']' starts a key", u"Last", u"[Broken", u"d", u"yes"},
        {"CR line breaks", u"CR", u"cr", u"d", u"only"},
        {"empty key name", u"CR", u"", u"d", u"orphan value"},
        {"missing section", u"Nowhere", u"size", u"fallback", u"fallback"},
        {"missing key", u"Fonts", u"colour", u"fallback", u"fallback"},
        {"default loses trailing spaces, then quotes", u"Fonts", u"colour", u"'quoted'  ", u"quoted"},
        {"default of spaces keeps one", u"Fonts", u"colour", u"   ", u" "},
        {"default keeps leading blanks", u"Fonts", u"colour", u"  x", u"  x"},
        {"names end at a NUL", u"Fonts\0junk"s, u"Name\0junk"s, u"d", u"Arial"},
        {"default ends at a NUL", u"Fonts", u"colour", u"ab\0cd"s, u"ab"},
    };
    const std::u16string file = fileWith(kSettings);
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(profiles_.readString(file, c.section, c.key, c.def), c.expected);
    }
}

struct MissingFileCase {
    const char* what;
    std::string name;
    std::u16string def, expected;
};

// A missing file in an existing folder is an empty profile; a file that
// cannot be opened at all gives the default exactly as passed.
TEST_F(ProfileTest, ReadsTheDefaultFromFilesThatCannotBeRead) {
    fs::create_directories(folder_.path("folder.ini"));
    const MissingFileCase cases[] = {
        {"missing file", "missing.ini", u"'q'", u"q"},
        {"missing folder", "no/such.ini", u"'q'", u"'q'"},
        {"a folder instead of a file", "folder.ini", u"'q'", u"'q'"},
    };
    for (const MissingFileCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(profiles_.readString(folder_.name(c.name), u"A", u"k", c.def), c.expected);
        EXPECT_TRUE(profiles_.readKeys(folder_.name(c.name), u"A").empty());
    }
    EXPECT_EQ(profiles_.readString(u"", u"A", u"k", u"'q'"), u"'q'");
}

// ---------------------------------------------------------------------------
// Listing keys

const std::string kKeyLists =
    "lead=1\r\n"
    "[Keys]\r\n"
    "first=1\r\n"
    ";comment=2\r\n"
    "bare\r\n"
    "  Second = \"two\" \r\n"
    "first=again\r\n"
    "[Stop]\r\n"
    "a=1\r\n"
    "=nameless\r\n"
    "b=2\r\n"
    "[Bare]\r\n"
    "only bare keys\r\n";

struct KeysCase {
    const char* what;
    std::u16string section;
    Keys expected;
};

TEST_F(ProfileTest, ListsKeyNamesInFileOrder) {
    const KeysCase cases[] = {
        {"file order; comments and keys without '=' left out", u"Keys", {u"first", u"Second", u"first"}},
        {"section without regard to case", u"kEYS", {u"first", u"Second", u"first"}},
        {"section name as given, not trimmed", u" Keys ", {}},
        {"an empty name ends the list", u"Stop", {u"a"}},
        {"only keys without '='", u"Bare", {}},
        {"missing section", u"Nowhere", {}},
        {"lines before the first section", u"", {u"lead"}},
    };
    const std::u16string file = fileWith(kKeyLists);
    for (const KeysCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(profiles_.readKeys(file, c.section), c.expected);
        // Read at once, the section gives what its keys read one by one give.
        const auto whole = profiles_.readSection(file, c.section);
        const auto oneByOne = profiles_.ProfileFiles::readSection(file, c.section);
        ASSERT_EQ(whole.size(), oneByOne.size());
        for (std::size_t i = 0; i < whole.size(); ++i) {
            EXPECT_EQ(whole[i].key, oneByOne[i].key);
            EXPECT_EQ(whole[i].value, oneByOne[i].value) << i;
        }
    }
}

// ---------------------------------------------------------------------------
// Writing values

struct Write {
    std::u16string section, key, value;
};

struct WriteCase {
    const char* what;
    std::optional<std::string> start;  // none: no file yet
    std::vector<Write> writes;
    std::string expected;
};

TEST_F(ProfileTest, WritesInPlaceAtTheEndOfTheSectionOrInANewSection) {
    const std::string twoSections = "[A]\r\nx=1\r\ny=2\r\n[B]\r\nz=3\r\n";
    const WriteCase cases[] = {
        {"replaces in place", twoSections, {{u"A", u"x", u"9"}},
         "[A]\r\nx=9\r\ny=2\r\n[B]\r\nz=3\r\n"},
        {"keeps the stored spelling of the names", "[Fonts]\r\nName=1\r\n", {{u"FONTS", u"NAME", u"2"}},
         "[Fonts]\r\nName=2\r\n"},
        {"appends at the end of its section", twoSections, {{u"A", u"new", u"4"}},
         "[A]\r\nx=1\r\ny=2\r\nnew=4\r\n[B]\r\nz=3\r\n"},
        {"adds a section at the end of the file", twoSections, {{u"C", u"k", u"v"}},
         "[A]\r\nx=1\r\ny=2\r\n[B]\r\nz=3\r\n[C]\r\nk=v\r\n"},
        {"creates the file", std::nullopt, {{u"S", u"k", u"v"}}, "[S]\r\nk=v\r\n"},
        {"fills an empty file", "", {{u"S", u"k", u"v"}}, "[S]\r\nk=v\r\n"},
        {"drops blank lines and writes CR LF", "lead\n\n[A]\nx = 1\n\n\n; note\r[B]\ny=2\n",
         {{u"B", u"y", u"3"}}, "lead\r\n[A]\r\nx=1\r\n; note\r\n[B]\r\ny=3\r\n"},
        {"value loses leading blanks, keeps trailing ones", twoSections, {{u"B", u"z", u" \t v  "}},
         "[A]\r\nx=1\r\ny=2\r\n[B]\r\nz=v  \r\n"},
        {"new names lose leading blanks only", std::nullopt, {{u" New  ", u"\tk  ", u"v"}},
         "[New  ]\r\nk  =v\r\n"},
        {"blanks around names do not hide a match", twoSections, {{u" A ", u" y ", u"5"}},
         "[A]\r\nx=1\r\ny=5\r\n[B]\r\nz=3\r\n"},
        {"several writes", std::nullopt,
         {{u"S", u"a", u"1"}, {u"S", u"b", u"2"}, {u"T", u"c", u"3"}, {u"s", u"A", u"4"}},
         "[S]\r\na=4\r\nb=2\r\n[T]\r\nc=3\r\n"},
        {"lines before the first section", "lead=1\r\n[A]\r\n", {{u"", u"lead", u"2"}, {u"", u"more", u"3"}},
         "lead=2\r\nmore=3\r\n[A]\r\n"},
        {"an empty header is not written back", "[A]\r\nx=1\r\n[]\r\ny=2\r\n", {{u"A", u"x", u"9"}},
         "[A]\r\nx=9\r\ny=2\r\n"},
        {"a run of lines with empty names keeps the first", "[A]\r\n=1\r\n=2\r\nx=1\r\n",
         {{u"A", u"x", u"2"}}, "[A]\r\n=1\r\nx=2\r\n"},
        {"only the first section of a name is searched", "[A]\r\nx=1\r\n[a]\r\ny=2\r\n",
         {{u"A", u"y", u"3"}}, "[A]\r\nx=1\r\ny=3\r\n[a]\r\ny=2\r\n"},
        {"NULs end the arguments", std::nullopt, {{u"S\0T"s, u"k\0l"s, u"v\0w"s}}, "[S]\r\nk=v\r\n"},
    };
    int number = 0;
    for (const WriteCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string name = "write" + std::to_string(++number) + ".ini";
        if (c.start) putBytes(folder_.path(name), *c.start);
        for (const Write& w : c.writes)
            EXPECT_TRUE(profiles_.writeString(folder_.name(name), w.section, w.key, w.value));
        EXPECT_EQ(shown(bytesOfFile(name)), shown(c.expected));
    }
}

struct UnchangedCase {
    const char* what;
    std::u16string value;
    bool rewritten;
};

// A write that changes nothing leaves the file as it was, line breaks and
// blank lines included.
TEST_F(ProfileTest, LeavesTheFileAloneWhenTheValueIsUnchanged) {
    const std::string start = "[A]\nx=1\n\ny=\"2\"\n";
    const UnchangedCase cases[] = {
        {"same value", u"1", false},
        {"same after leading blanks are dropped", u"  1", false},
        {"trailing blank differs from the stored value", u"1 ", true},
        {"case differs", u"X", true},
    };
    for (const UnchangedCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::u16string file = fileWith(start);
        EXPECT_TRUE(profiles_.writeString(file, u"a", u"X", c.value));
        EXPECT_EQ(bytesOfFile() != start, c.rewritten);
    }
    const std::u16string file = fileWith(start);
    EXPECT_TRUE(profiles_.writeString(file, u"A", u"y", u"\"2\""));
    EXPECT_EQ(bytesOfFile(), start) << "the stored value keeps its quotes";
}

// ---------------------------------------------------------------------------
// Erasing sections

struct EraseCase {
    const char* what;
    std::optional<std::string> start;
    std::u16string section;
    std::optional<std::string> expected;
};

TEST_F(ProfileTest, ErasesTheFirstSectionOfTheNameWithAllItsEntries) {
    const std::string three = "[A]\r\na=1\r\n[B]\r\nb=1\r\nbare\r\n;note\r\n[C]\r\nc=1\r\n";
    const EraseCase cases[] = {
        {"middle section", three, u"B", "[A]\r\na=1\r\n[C]\r\nc=1\r\n"},
        {"without regard to case", three, u"b", "[A]\r\na=1\r\n[C]\r\nc=1\r\n"},
        {"last section", three, u"C", "[A]\r\na=1\r\n[B]\r\nb=1\r\nbare\r\n;note\r\n"},
        {"only the first of two", "[A]\r\n1=1\r\n[B]\r\n[a]\r\n2=2\r\n", u"A", "[B]\r\n[a]\r\n2=2\r\n"},
        {"missing section leaves the file alone", "[A]\nx=1\n\n", u"Z", "[A]\nx=1\n\n"},
        {"name as given, not trimmed", "[A]\nx=1\n", u" A ", "[A]\nx=1\n"},
        {"lines before the first section", "lead=1\r\n[A]\r\nx=1\r\n", u"", "[A]\r\nx=1\r\n"},
        {"every section", "[A]\r\nx=1\r\n", u"A", ""},
        {"missing file is not created", std::nullopt, u"A", std::nullopt},
    };
    int number = 0;
    for (const EraseCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string name = "erase" + std::to_string(++number) + ".ini";
        if (c.start) putBytes(folder_.path(name), *c.start);
        EXPECT_TRUE(profiles_.eraseSection(folder_.name(name), c.section));
        EXPECT_EQ(shown(bytesOfFile(name)), shown(c.expected));
    }
}

// ---------------------------------------------------------------------------
// Encodings

const std::u16string kHebrewFile = u"[גופן]\r\nשם=דוד\r\n";
const std::u16string kHebrewFileAfterWrite = u"[גופן]\r\nשם=דוד\r\nחדש=ערך\r\n";

struct BomCase {
    const char* what;
    std::string bom;
    std::string (*encode)(std::u16string_view);
};

std::string littleEndian(std::u16string_view text) { return utf16Bytes(text, false); }
std::string bigEndian(std::u16string_view text) { return utf16Bytes(text, true); }
std::string utf8(std::u16string_view text) { return hebrew::utf16ToUtf8(text); }

TEST_F(ProfileTest, HonoursByteOrderMarksAndWritesThemBack) {
    const BomCase cases[] = {
        {"UTF-16LE", "\xFF\xFE", littleEndian},
        {"UTF-16BE", "\xFE\xFF", bigEndian},
        {"UTF-8", "\xEF\xBB\xBF", utf8},
    };
    for (const BomCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::u16string file = fileWith(c.bom + c.encode(kHebrewFile));
        EXPECT_EQ(profiles_.readString(file, u"גופן", u"שם", u""), u"דוד");
        EXPECT_EQ(profiles_.readKeys(file, u"גופן"), Keys{u"שם"});
        EXPECT_TRUE(profiles_.writeString(file, u"גופן", u"חדש", u"ערך"));
        EXPECT_EQ(shown(bytesOfFile()), shown(c.bom + c.encode(kHebrewFileAfterWrite)));
        EXPECT_TRUE(profiles_.eraseSection(file, u"גופן"));
        EXPECT_EQ(shown(bytesOfFile()), shown(c.bom)) << "an emptied file keeps its mark";
    }
}

TEST_F(ProfileTest, ReadsHebrewLettersFromEightBitFiles) {
    std::string bytes = "[\xF9\xEC\xE5\xED]\r\n";  // [shalom]
    for (int i = 0; i < 27; ++i)
        bytes += "k" + std::to_string(i) + "=" + std::string(1, static_cast<char>(0xE0 + i)) + "\r\n";
    const std::u16string file = fileWith(bytes);
    for (int i = 0; i < 27; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(profiles_.readString(file, u"שלום", ascii("k" + std::to_string(i)), u""),
                  std::u16string(1, static_cast<char16_t>(0x05D0 + i)));
    }
}

struct EightBitCase {
    const char* what;
    std::u16string value;
    std::string bytes;
};

TEST_F(ProfileTest, WritesEightBitFilesInWindows1255) {
    const EightBitCase cases[] = {
        {"Hebrew letters", u"אבגדהוזחטיךכלםמןנסעףפץצקרשת",
         "\xE0\xE1\xE2\xE3\xE4\xE5\xE6\xE7\xE8\xE9\xEA\xEB\xEC\xED\xEE\xEF"
         "\xF0\xF1\xF2\xF3\xF4\xF5\xF6\xF7\xF8\xF9\xFA"},
        {"points, sheqel sign and direction marks", u"\u05B0\u05BC\u20AA\u200E\u200F", "\xC0\xCC\xA4\xFD\xFE"},
        {"characters the code page lacks", u"é\u0627\u05BA", "???"},
    };
    for (const EightBitCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::u16string file = fileWith("[A]\r\n");
        EXPECT_TRUE(profiles_.writeString(file, u"A", u"v", c.value));
        EXPECT_EQ(shown(bytesOfFile()), shown("[A]\r\nv=" + c.bytes + "\r\n"));
    }
}

struct DecodeCase {
    const char* what;
    std::string bytes;
    std::u16string value;
};

TEST_F(ProfileTest, DecodesEachEncodingWithoutFailing) {
    const DecodeCase cases[] = {
        {"UTF-8 without a mark is 8-bit", "[A]\r\nv=\xD7\x90\r\n", u"\u05F3\u0090"},
        {"bad UTF-8 becomes U+FFFD",
         "\xEF\xBB\xBF[A]\r\nv=\xC3\xA9\xE0\x80\xFF\xED\xA0\x80z\r\n", u"é\uFFFD\uFFFD\uFFFD\uFFFDz"},
        {"overlong UTF-8", "\xEF\xBB\xBF[A]\r\nv=\xE0\x9F\xBF\xF0\x8F\xBF\xBF\xC1\xBF", u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"UTF-8 beyond U+10FFFF", "\xEF\xBB\xBF[A]\r\nv=\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD"},
        {"UTF-8 cut off at the end", "\xEF\xBB\xBF[A]\r\nv=a\xE2\x82", u"a\uFFFD"},
        {"four-byte UTF-8", "\xEF\xBB\xBF[A]\r\nv=\xF0\x9F\x98\x80\xF0\x90\x80\x80", u"\U0001F600\U00010000"},
        {"odd UTF-16 loses its last byte", "\xFF\xFE[\0A\0]\0\n\0v\0=\0" "1\0" "2"s, u"1"},
        {"UTF-16BE", "\xFE\xFF\0[\0A\0]\0\n\0v\0=\x05\xD0"s, u"א"},
    };
    for (const DecodeCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(profiles_.readString(fileWith(c.bytes), u"A", u"v", u"d"), c.value);
    }
}

// Only ASCII letters match regardless of case.
TEST_F(ProfileTest, IgnoresTheCaseOfAsciiLettersOnly) {
    const ReadCase cases[] = {
        {"ASCII letters among others", u"éTé", u"àB", u"d", u"1"},
        {"Latin-1 letters must match exactly", u"ÉTÉ", u"àb", u"d", u"d"},
        {"Latin-1 key must match exactly", u"été", u"ÀB", u"d", u"d"},
        {"Greek must match exactly", u"σ", u"k", u"d", u"d"},
        {"Greek as written", u"Σ", u"k", u"d", u"2"},
        {"Hebrew as written", u"גופן", u"K", u"d", u"3"},
    };
    const std::u16string file =
        fileWith("\xEF\xBB\xBF" + utf8(u"[été]\r\nàb=1\r\n[Σ]\r\nk=2\r\n[גופן]\r\nk=3\r\n"));
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(profiles_.readString(file, c.section, c.key, c.def), c.expected);
    }
}

// ---------------------------------------------------------------------------
// Broken files

std::string randomBytes(std::size_t size, std::uint32_t seed) {
    std::string bytes(size, '\0');
    for (char& b : bytes) {
        seed = seed * 1664525u + 1013904223u;
        b = static_cast<char>(seed >> 24);
    }
    return bytes;
}

struct BrokenCase {
    const char* what;
    std::string bytes;
};

// Whatever the file holds, a value written can be read back.
TEST_F(ProfileTest, SurvivesBrokenFiles) {
    const BrokenCase cases[] = {
        {"random bytes", randomBytes(65536, 1)},
        {"random bytes after a UTF-8 mark", "\xEF\xBB\xBF" + randomBytes(4096, 2)},
        {"random bytes after a UTF-16 mark", "\xFF\xFE" + randomBytes(4097, 3)},
        {"random bytes after a UTF-16BE mark", "\xFE\xFF" + randomBytes(4095, 4)},
        {"one byte", "\xFF"},
        {"UTF-16 mark only", "\xFF\xFE"},
        {"UTF-8 mark cut short", "\xEF\xBB"},
        {"NULs everywhere", std::string(1000, '\0')},
        {"one long line", std::string(1 << 21, 'x')},
        {"only line breaks", std::string(5000, '\n')},
        {"brackets only", "[\r\n]\r\n[]\r\n[[]]\r\n=\r\n==\r\n"},
    };
    for (const BrokenCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::u16string file = fileWith(c.bytes);
        EXPECT_EQ(profiles_.readString(file, u"Zq", u"k", u"none"), u"none");
        profiles_.readKeys(file, u"");
        EXPECT_TRUE(profiles_.writeString(file, u"Zq", u"k", u"written"));
        EXPECT_EQ(profiles_.readString(file, u"Zq", u"k", u"none"), u"written");
    }
}

TEST_F(ProfileTest, ReadsWhatSurroundsEmbeddedNuls) {
    const ReadCase cases[] = {
        {"value ends at a NUL", u"A", u"x", u"d", u"ab"},
        {"key name ends at a NUL", u"A", u"ke", u"d", u"2"},
        {"section name ends at a NUL", u"Se", u"s", u"d", u"3"},
    };
    const std::u16string file = fileWith("[A]\r\nx=ab\0cd\r\nke\0y=2\r\n[Se\0c]\r\ns=3\r\n"s);
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(profiles_.readString(file, c.section, c.key, c.def), c.expected);
    }
}

TEST_F(ProfileTest, KeepsHugeValuesWhole) {
    const std::u16string huge(1 << 20, u'ש');
    const std::u16string file = fileWith("[A]\r\nv=" + std::string(1 << 20, '\xF9') + "\r\n");
    EXPECT_EQ(profiles_.readString(file, u"A", u"v", u""), huge);
    const std::u16string longer = huge + u"ת";
    EXPECT_TRUE(profiles_.writeString(file, u"A", u"v", longer));
    EXPECT_EQ(profiles_.readString(file, u"A", u"v", u""), longer);
}

// Lone surrogates cannot be stored as they are; they come back as U+FFFD in
// UTF-8 and as '?' in 8-bit files.
TEST_F(ProfileTest, ReplacesLoneSurrogates) {
    const std::u16string lone(1, static_cast<char16_t>(0xD800));
    const std::u16string utf8File = fileWith("\xEF\xBB\xBF[A]\r\n", "utf8.ini");
    EXPECT_TRUE(profiles_.writeString(utf8File, u"A", u"v", u"a" + lone));
    EXPECT_EQ(profiles_.readString(utf8File, u"A", u"v", u""), u"a\uFFFD");
    const std::u16string ansiFile = fileWith("[A]\r\n", "ansi.ini");
    EXPECT_TRUE(profiles_.writeString(ansiFile, u"A", u"v", u"a" + lone));
    EXPECT_EQ(profiles_.readString(ansiFile, u"A", u"v", u""), u"a?");
}

// ---------------------------------------------------------------------------
// Files and folders

struct ExistsCase {
    const char* what;
    std::string name;
    bool file, folder;
};

TEST_F(ProfileTest, TellsFilesFromFolders) {
    putBytes(folder_.path("file.ini"), "[A]\r\n");
    fs::create_directories(folder_.path("sub"));
    const ExistsCase cases[] = {
        {"file", "file.ini", true, false},
        {"folder", "sub", false, true},
        {"missing", "missing.ini", false, false},
        {"below a file", "file.ini/x", false, false},
    };
    for (const ExistsCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(profiles_.fileExists(folder_.name(c.name)), c.file);
        EXPECT_EQ(profiles_.folderExists(folder_.name(c.name)), c.folder);
    }
    EXPECT_FALSE(profiles_.fileExists(u""));
    EXPECT_FALSE(profiles_.folderExists(u""));
}

struct CreateFolderCase {
    const char* what;
    std::string name;
    bool created;
};

TEST_F(ProfileTest, CreatesFoldersWithEveryMissingLevel) {
    putBytes(folder_.path("file.ini"), "");
    fs::create_directories(folder_.path("old"));
    const CreateFolderCase cases[] = {
        {"one level", "one", true},
        {"three levels", "a/b/c", true},
        {"existing folder", "old", true},
        {"below an existing folder", "old/new", true},
        {"below a file", "file.ini/x", false},
    };
    for (const CreateFolderCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(profiles_.createFolder(folder_.name(c.name)), c.created);
        EXPECT_EQ(profiles_.folderExists(folder_.name(c.name)), c.created);
    }
    EXPECT_FALSE(profiles_.createFolder(u""));
}

struct UnwritableCase {
    const char* what;
    std::string name;
};

TEST_F(ProfileTest, FailsWithoutCreatingAnythingWhereNoFileCanBe) {
    putBytes(folder_.path("file.ini"), "[A]\r\nx=1\r\n");
    fs::create_directories(folder_.path("folder.ini"));
    const UnwritableCase cases[] = {
        {"missing folder", "missing/deeper/p.ini"},
        {"below a file", "file.ini/p.ini"},
        {"a folder instead of a file", "folder.ini"},
    };
    for (const UnwritableCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(profiles_.writeString(folder_.name(c.name), u"A", u"x", u"2"));
        EXPECT_FALSE(profiles_.eraseSection(folder_.name(c.name), u"A"));
        EXPECT_FALSE(profiles_.fileExists(folder_.name(c.name)));
    }
    EXPECT_FALSE(profiles_.folderExists(folder_.name("missing")));
    EXPECT_EQ(bytesOfFile("file.ini"), "[A]\r\nx=1\r\n");
    EXPECT_FALSE(profiles_.writeString(u"", u"A", u"x", u"2"));
}

TEST_F(ProfileTest, LeavesReadOnlyFilesAsTheyAre) {
    const std::string start = "[A]\r\nx=1\r\n";
    const std::u16string file = fileWith(start);
    fs::permissions(folder_.path("test.ini"), fs::perms::owner_read | fs::perms::group_read |
                                                  fs::perms::others_read);
    if (std::ofstream(folder_.path("test.ini"), std::ios::app))
        GTEST_SKIP() << "this user may write to read-only files";
    EXPECT_FALSE(profiles_.writeString(file, u"A", u"x", u"2"));
    EXPECT_FALSE(profiles_.eraseSection(file, u"A"));
    EXPECT_FALSE(profiles_.writeString(file, u"A", u"x", u"1")) << "even when nothing would change";
    EXPECT_FALSE(profiles_.eraseSection(file, u"Missing")) << "even when nothing would change";
    EXPECT_EQ(bytesOfFile(), start);
    EXPECT_EQ(profiles_.readString(file, u"A", u"x", u""), u"1");
}

}  // namespace
