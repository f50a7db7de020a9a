// Bad and oversized input for the pure parts: the conversions, the multiline
// contents, the text file reader and the settings files, each within its
// time budget and without losing what follows a NUL or a broken character.
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "editors/mtext_contents.h"
#include "editors/text_file.h"
#include "hebrew/conversions.h"
#include "hebrew/fntdef.h"
#include "hebrew/profile_portable.h"
#include "test_util.h"

#ifdef _WIN32
#include <windows.h>
#endif

using namespace hebrew;
using testutil::show;

namespace {

namespace fs = std::filesystem;

const fntType kTypes[] = {DosHebrew, DosEnglish, DosEnglishR, WindowsHeb, TrueType};

// The processor time the work takes on this thread: the budgets are the
// work's own, whatever else the machine is running at the same time.
double threadSeconds() {
#ifdef _WIN32
    FILETIME created, exited, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    auto seconds = [](const FILETIME& t) {
        return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) * 1e-7;
    };
    return seconds(kernel) + seconds(user);
#else
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
#endif
}

double secondsFor(const std::function<void()>& work) {
    const double start = threadSeconds();
    work();
    return threadSeconds() - start;
}

// Hebrew words, digits, Latin and brackets, as long as asked.
std::u16string mixedText(std::size_t length) {
    const std::u16string piece = u"\u05E9\u05DC\u05D5\u05DD (abc) 123 \u05E2\u05D5\u05DC\u05DD, ";
    std::u16string text;
    text.reserve(length + piece.size());
    while (text.size() < length) text += piece;
    text.resize(length);
    return text;
}

std::u16string hebrewOnly(std::size_t length) {
    const std::u16string piece = u"\u05E9\u05DC\u05D5\u05DD 12 ";
    std::u16string text;
    while (text.size() < length) text += piece;
    text.resize(length);
    return text;
}

class Conversions : public ::testing::TestWithParam<fntType> {
protected:
    std::unique_ptr<DisplayOrderer> surface = makeLeftToRightSurface();
};

TEST_P(Conversions, HundredThousandCharactersWellUnderASecondEachWay) {
    for (bool backwards : {false, true}) {
        const StyleState style{u"HEBSIMP", GetParam(), backwards};
        const std::u16string text = mixedText(100000);
        std::u16string stored, edited;
        const double store = secondsFor([&] { stored = editToAcad(text, style, *surface, true); });
        const double load = secondsFor([&] { edited = acadToEdit(stored, style, *surface, true); });
        EXPECT_LT(store, 0.5) << "to the drawing, backwards " << backwards;
        EXPECT_LT(load, 0.5) << "to the editor, backwards " << backwards;
        EXPECT_GE(stored.size(), text.size() / 2);
        EXPECT_FALSE(edited.empty());
    }
}

TEST_P(Conversions, LongHebrewTextComesBackAsItWent) {
    const std::u16string text = hebrewOnly(100000);
    for (bool backwards : {false, true}) {
        const StyleState style{u"HEBSIMP", GetParam(), backwards};
        const std::u16string back = acadToEdit(editToAcad(text, style, *surface, true), style, *surface, true);
        ASSERT_EQ(back.size(), text.size()) << "backwards " << backwards;
        EXPECT_TRUE(back == text) << "backwards " << backwards << ": first difference at "
                                  << std::mismatch(back.begin(), back.end(), text.begin()).first - back.begin();
    }
}

// What the host may hand over: NULs, unpaired surrogates and characters the
// 8-bit form cannot hold never stop a conversion, and nothing after them is
// lost.
TEST_P(Conversions, NulSurrogatesAndForeignCharactersKeepWhatFollows) {
    const struct {
        const char* what;
        std::u16string text;
    } cases[] = {
        {"NUL", std::u16string(u"\u05D0\u05D1", 2) + u'\0' + u"xyz 42"},
        {"high surrogate alone", u"\u05D0\xD800xyz 42"},
        {"low surrogate alone", u"\xDC00\u05D0xyz 42"},
        {"surrogates reversed", u"\xDC00\xD800xyz 42"},
        {"outside the code page", u"\u4E2D\u6587\U0001F600\u05D0xyz 42"},
        {"controls", u"\x01\x1B\x7F\x85\u2028xyz 42"},
    };
    for (const auto& c : cases) {
        for (bool backwards : {false, true}) {
            const StyleState style{u"HEBSIMP", GetParam(), backwards};
            const std::u16string stored = editToAcad(c.text, style, *surface, true);
            const std::u16string edited = acadToEdit(c.text, style, *surface, true);
            for (const std::u16string& out : {stored, edited}) {
                const bool digitsKept = out.find(u"42") != std::u16string::npos || out.find(u"24") != std::u16string::npos;
                EXPECT_TRUE(digitsKept) << c.what << ", backwards " << backwards << ": " << show(out);
            }
            EXPECT_GE(stored.size(), 6u) << c.what;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryFontType, Conversions, ::testing::ValuesIn(kTypes));

// --- Multiline contents --------------------------------------------------------

TEST(MultilineContents, TenThousandParagraphsLoadAndStoreWellUnderASecond) {
    auto surface = makeLeftToRightSurface();
    const StyleState style{u"HEBSIMP", WindowsHeb, false};
    std::u16string contents;
    for (int i = 0; i < 10000; ++i) contents += u"\u05E9\u05D5\u05E8\u05D4 " + std::u16string(1, u'0' + i % 10) + u"\\P";
    const editors::ParagraphConversion toEditor = [&](std::u16string_view p) {
        return acadToEdit(p, style, *surface, true);
    };
    const editors::ParagraphConversion toDrawing = [&](std::u16string_view p) {
        return editToAcad(p, style, *surface, true);
    };
    std::vector<std::u16string> lines;
    std::u16string stored;
    const double load = secondsFor([&] { lines = editors::loadContents(contents, toEditor); });
    const double store = secondsFor([&] {
        stored = editors::storeContents(editors::memoLines(editors::memoText(lines)), toDrawing);
    });
    EXPECT_EQ(lines.size(), 10000u);
    EXPECT_LT(load, 1.0);
    EXPECT_LT(store, 1.0);
    EXPECT_TRUE(stored == contents) << "the contents come back as they were";
}

// --- Text files for import -----------------------------------------------------

TEST(ImportFiles, DamagedFilesStillLoad) {
    const struct {
        const char* what;
        std::string bytes;
        editors::TextEncoding encoding;
        std::u16string expected;  // empty: only checked not to throw and to keep the tail
    } cases[] = {
        {"empty", "", editors::TextEncoding::Ansi, u""},
        {"UTF-16 cut inside a unit", std::string("\xFF\xFE" "a\0b", 5), editors::TextEncoding::Utf16LE, u"a\uFFFD"},
        {"UTF-16 big-endian cut", std::string("\xFE\xFF\0a\0", 5), editors::TextEncoding::Utf16BE, u"a\uFFFD"},
        {"UTF-16 with a lone surrogate", std::string("\xFF\xFE\x00\xD8z\0", 6), editors::TextEncoding::Utf16LE,
         u"\xD800z"},
        {"UTF-8 cut inside a character", "\xEF\xBB\xBFz\xD7", editors::TextEncoding::Utf8, u"z\uFFFD"},
        {"a NUL in the middle", std::string("a\0b", 3), editors::TextEncoding::Ansi, std::u16string(u"a\0b", 3)},
    };
    for (const auto& c : cases) {
        const editors::DecodedText decoded = editors::decodeTextFile(c.bytes);
        EXPECT_EQ(decoded.encoding, c.encoding) << c.what;
        EXPECT_TRUE(decoded.text == c.expected) << c.what << ": " << show(decoded.text);
    }
}

TEST(ImportFiles, BinaryBytesDecodeOneCharacterEach) {
    std::string bytes;
    for (int i = 0; i < 256 * 64; ++i) bytes += static_cast<char>((i * 7 + 3) % 256);
    bytes[0] = 'x';  // no byte order mark
    const editors::DecodedText decoded = editors::decodeTextFile(bytes);
    EXPECT_EQ(decoded.encoding, editors::TextEncoding::Ansi);
    // Each byte is one character, except that CR LF pairs stay two and lone
    // CRs and LFs become CR LF: never fewer characters than bytes.
    EXPECT_GE(decoded.text.size(), bytes.size());
    EXPECT_EQ(decoded.text.front(), u'x');
}

TEST(ImportFiles, FiftyMegabytesWithinTheBudget) {
    std::string line = "\xF9\xEC\xE5\xED abc 123\r\n";  // Windows-1255 Hebrew
    std::string bytes;
    bytes.reserve(50u << 20);
    while (bytes.size() + line.size() <= (50u << 20)) bytes += line;
    editors::DecodedText decoded;
    const double seconds = secondsFor([&] { decoded = editors::decodeTextFile(bytes); });
    EXPECT_LT(seconds, 5.0);
    EXPECT_EQ(decoded.text.size(), bytes.size());
    EXPECT_EQ(editors::memoLines(decoded.text).size(), bytes.size() / line.size());
}

// --- Settings files of garbage -------------------------------------------------

class GarbageSettings : public ::testing::Test {
protected:
    testutil::ScratchFolder scratch{"hardening"};
    fs::path folder = scratch.path();
    PortableProfileFiles files;
    std::unique_ptr<DisplayOrderer> surface = makeLeftToRightSurface();

    std::u16string dir() const {
        const std::string s = folder.string();
        std::u16string wide(s.begin(), s.end());
        return wide + static_cast<char16_t>(fs::path::preferred_separator);
    }
    void write(const char* name, const std::string& bytes) {
        std::ofstream(folder / name, std::ios::binary) << bytes;
    }
    std::unique_ptr<TfrmFonts> load() {
        return std::make_unique<TfrmFonts>(FontServicePlatform{files, *surface, dir(), true});
    }
};

TEST_F(GarbageSettings, ValuesThatAreNoIntegersReadAsTheirDefaults) {
    const struct {
        const char* value;
        std::int32_t expected;
    } cases[] = {
        {"99999999999999999999", 400}, {"2147483648", 400}, {"-", 400},        {"", 400},
        {"12abc", 400},                {"0x10", 16},        {" 250 ", 250},    {"-2147483648", INT32_MIN},
        {"\xFF\xFE", 400},             {"2147483647", INT32_MAX},
    };
    for (const auto& c : cases) {
        write("Hebrew.ini", std::string("[Textedit]\r\nWidth=") + c.value + "\r\n");
        EXPECT_EQ(load()->IniSettings.txthw, c.expected) << "Width=" << c.value;
    }
}

TEST_F(GarbageSettings, BinaryFilesGiveTheDefaultsAndAnEmptyMap) {
    std::string binary;
    for (int i = 0; i < 1 << 16; ++i) binary += static_cast<char>((i * 31 + 7) % 251 == 91 ? 'x' : (i * 31 + 7) % 251);
    const std::string cases[] = {
        binary,
        std::string(1 << 20, 'A'),                              // one line of a megabyte
        std::string("\xFF\xFE[\0F\0o\0n\0t\0s\0]\0\r\0\n\0\x00\xD8=\0", 22),  // UTF-16 with a lone surrogate key
        "[Fonts\r\nHEBSIMP=Windows\r\n[\r\n]\r\n==\r\n=Windows\r\n",  // headers that never close
    };
    for (const std::string& garbage : cases) {
        for (const char* name : {"Hebrew.ini", "HebFonts.txt", "editdef.txt"}) write(name, garbage);
        auto fonts = load();
        const Rinistr defaults;
        EXPECT_EQ(fonts->IniSettings.txthw, defaults.txthw);
        EXPECT_EQ(fonts->IniSettings.grmode, defaults.grmode);
        EXPECT_EQ(fonts->IniSettings.charmap, defaults.charmap);
        EXPECT_EQ(fonts->styleOf(u"hebsimp.shx", 0).type, DosHebrew) << "no map row survives the garbage";
        for (const auto& key : fonts->fkeys) EXPECT_TRUE(key.empty());
    }
}

// The settings are written back on every unload: a thousand loads leave the
// file as the first one left it, not longer.
TEST_F(GarbageSettings, AThousandLoadsLeaveTheSettingsFileAsTheFirstDid) {
    write("Hebrew.ini", "junk line\r\n[Gredit]\r\nleft=17\r\n[Textedit]\r\nWidth=x\r\n");
    load().reset();
    const auto size = fs::file_size(folder / "Hebrew.ini");
    for (int i = 0; i < 1000; ++i) load().reset();
    EXPECT_EQ(fs::file_size(folder / "Hebrew.ini"), size);
    EXPECT_EQ(load()->IniSettings.grl, 17);
}

// A user whose folders carry Hebrew names and blanks keeps working settings.
TEST(SettingsFolder, HebrewNamesAndBlanksInThePath) {
    const std::u16string name = u"\u05D4\u05D2\u05D3\u05E8\u05D5\u05EA vorn";
    const testutil::ScratchFolder scratch("hardening");
#ifdef _WIN32
    const fs::path folder = scratch.path() / std::wstring(name.begin(), name.end());
    const std::wstring native = folder.wstring();
    std::u16string dir(native.begin(), native.end());
#else
    const fs::path folder = scratch.path() / testutil::utf8(name);
    std::u16string dir = testutil::u16(folder.string());
#endif
    dir += static_cast<char16_t>(fs::path::preferred_separator);
    PortableProfileFiles files;
    auto surface = makeLeftToRightSurface();
    {
        TfrmFonts fonts(FontServicePlatform{files, *surface, dir, true});
        fonts.changefnt(u"D:\\Fonts\\hebsimp.shx", DosEnglishR);
    }
    EXPECT_TRUE(fs::is_regular_file(folder / "Hebrew.ini")) << "the folder is created and the settings written";
    EXPECT_TRUE(fs::is_regular_file(folder / "HebFonts.txt"));
    TfrmFonts again(FontServicePlatform{files, *surface, dir, true});
    EXPECT_EQ(again.styleOf(u"hebsimp.shx", 0).type, DosEnglishR);
}

}  // namespace
