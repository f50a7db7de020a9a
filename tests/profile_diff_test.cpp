// The portable profile files against the platform's own functions: the same
// reads, writes and erasures on two copies of the same file must give the
// same results and leave the same bytes.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "hebrew/profile_portable.h"
#include "hebrew/profile_win32.h"
#include "hebrew/utf8.h"
#include "test_util.h"

namespace {

using namespace std::string_literals;
namespace fs = std::filesystem;
using hebrew::PortableProfileFiles;
using hebrew::ProfileFiles;
using hebrew::Win32ProfileFiles;

// ---------------------------------------------------------------------------
// Helpers


void putBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

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

// The file's bytes in hex, for messages that show where two files differ.
std::string shownBytesOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "(no file)";
    return hex(std::string{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()});
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

std::string utf16le(std::u16string_view text) { return "\xFF\xFE" + utf16Bytes(text, false); }
std::string utf16be(std::u16string_view text) { return "\xFE\xFF" + utf16Bytes(text, true); }
std::string utf8(std::u16string_view text) { return "\xEF\xBB\xBF" + hebrew::utf16ToUtf8(text); }

// ---------------------------------------------------------------------------
// Steps

enum class Action { Read, Keys, Write, Erase };

struct Step {
    Action action;
    std::u16string section, key, text;  // text: the default of a read, the value of a write
};

Step read(std::u16string section, std::u16string key, std::u16string def = u"(default)") {
    return {Action::Read, std::move(section), std::move(key), std::move(def)};
}
Step keys(std::u16string section) { return {Action::Keys, std::move(section), {}, {}}; }
Step write(std::u16string section, std::u16string key, std::u16string value) {
    return {Action::Write, std::move(section), std::move(key), std::move(value)};
}
Step erase(std::u16string section) { return {Action::Erase, std::move(section), {}, {}}; }

// What one step gave, written out for comparison.
std::string outcome(ProfileFiles& profiles, const std::u16string& file, const Step& step) {
    switch (step.action) {
        case Action::Read:
            return hebrew::utf16ToUtf8(profiles.readString(file, step.section, step.key, step.text));
        case Action::Keys: {
            std::string list;
            for (const std::u16string& key : profiles.readKeys(file, step.section))
                list += "<" + hebrew::utf16ToUtf8(key) + ">";
            return list;
        }
        case Action::Write:
            return profiles.writeString(file, step.section, step.key, step.text) ? "true" : "false";
        case Action::Erase:
            return profiles.eraseSection(file, step.section) ? "true" : "false";
    }
    return {};
}

std::string entries(const std::vector<hebrew::ProfileEntry>& list) {
    std::string shown;
    for (const auto& e : list) shown += "<" + hebrew::utf16ToUtf8(e.key) + "=" + hebrew::utf16ToUtf8(e.value) + ">";
    return shown;
}

std::string described(const Step& step) {
    static const char* const names[] = {"read", "keys", "write", "erase"};
    return std::string(names[static_cast<int>(step.action)]) + " [" +
           hebrew::utf16ToUtf8(step.section) + "] <" + hebrew::utf16ToUtf8(step.key) + "> <" +
           hebrew::utf16ToUtf8(step.text) + ">";
}

struct Scenario {
    const char* what;
    std::optional<std::string> start;  // none: no file at first
    std::vector<Step> steps;
    bool missingFolder = false;
};

// ---------------------------------------------------------------------------
// Starting files

const std::string kEightBit =
    "; a comment before everything\r\n"
    "text before the first section\r\n"
    "lead = 1\r\n"
    "\r\n"
    "[Fonts]\r\n"
    "  Name = Arial  \r\n"
    "bare key\r\n"
    "; comment=1\r\n"
    "\r\n"
    "\r\n"
    "Size=12\n"
    "[Keys]\r"
    "Alt=\xE0\xE1\r\n"
    "=nameless\r\n"
    "=second nameless\r\n"
    "after=1\r\n"
    "[Fonts]\r\n"
    "late=1\r\n";

const std::u16string kHebrewText =
    u"[גופנים]\r\n"
    u"שם = דוד \r\n"
    u"גודל=12\r\n"
    u"\r\n"
    u"[Keys]\r\n"
    u"k=v\r\n";

const std::string kThreeSections =
    "[A]\r\na=1\r\n\r\n[B]\r\nb=1\r\nbare\r\n; note\r\n[C]\r\nc=1\r\n[b]\r\nb=2\r\n";

// Bytes the platform's table reads otherwise: 0xCA as U+05BA and the rest as
// private-use characters, where the fixed table keeps each byte's own number.
bool readOtherwiseByThePlatform(int b) {
    return b == 0xCA || (b >= 0xD9 && b <= 0xDF) || b == 0xFB || b == 0xFC || b == 0xFF;
}

std::string everyHighByte() {
    std::string bytes = "[High]\r\n";
    for (int b = 0x80; b < 0x100; ++b)
        bytes += "k" + std::to_string(b) + "=" + std::string(1, static_cast<char>(b)) + "\r\n";
    return bytes;
}

std::vector<Step> readsOfEveryHighByte() {
    std::vector<Step> steps;
    for (int b = 0x80; b < 0x100; ++b) {
        if (readOtherwiseByThePlatform(b)) continue;
        std::string key = "k" + std::to_string(b);
        steps.push_back(read(u"High", std::u16string(key.begin(), key.end())));
    }
    steps.push_back(write(u"High", u"k128", u"\u20AC"));
    return steps;
}

// Values and key lists about as long as the platform's first buffer, quoted
// and not, and one far longer.
std::vector<Step> stepsAroundBufferSizes() {
    std::vector<Step> steps;
    for (std::size_t length = 250; length <= 260; ++length) {
        const std::u16string plain(length, u'ש');
        const std::u16string quoted = u"'" + std::u16string(length - 2, u'ק') + u"'";
        const std::u16string name = u"v" + std::u16string(1, static_cast<char16_t>(u'a' + length - 250));
        steps.push_back(write(u"Long", name, plain));
        steps.push_back(read(u"Long", name));
        steps.push_back(write(u"Long", name + u"q", quoted));
        steps.push_back(read(u"Long", name + u"q"));
    }
    steps.push_back(keys(u"Long"));
    for (int i = 0; i < 120; ++i) {
        std::string key = "key" + std::to_string(i);
        steps.push_back(write(u"Many", std::u16string(key.begin(), key.end()), u"1"));
    }
    steps.push_back(keys(u"Many"));
    return steps;
}

std::vector<Scenario> scenarios() {
    return {
        {"fresh file",
         std::nullopt,
         {read(u"Fonts", u"Name"), keys(u"Fonts"), write(u"Fonts", u"Name", u"Arial"),
          write(u"Fonts", u"Size", u"12"), write(u"Keys", u"Alt", u"1"),
          write(u"fonts", u"NAME", u"David"), read(u"FONTS", u"name"), keys(u"fonts"),
          erase(u"Fonts"), keys(u"Fonts"), read(u"Keys", u"alt"), erase(u"keys")}},
        {"8-bit file with comments, blank lines and bare keys",
         kEightBit,
         {write(u"Fonts", u"Name", u"Arial"), read(u"", u"lead"), read(u"Fonts", u"Name"),
          read(u"Fonts", u"bare key"), read(u"Fonts", u"late"), keys(u"Fonts"), keys(u""),
          keys(u"Keys"), read(u"Keys", u""), read(u"Keys", u"alt"), write(u"Fonts", u"New", u"1"),
          write(u"Keys", u"Alt", u"\u05D2"), write(u"", u"lead", u"2"), erase(u"Fonts"),
          read(u"Fonts", u"late"), keys(u"fonts")}},
        {"UTF-16LE file",
         utf16le(kHebrewText),
         {read(u"גופנים", u"שם"), keys(u"גופנים"), write(u"גופנים", u"חדש", u"ערך"),
          write(u"חדשה", u"k", u"א"), write(u"Keys", u"k", u"v"), erase(u"Keys"),
          read(u"חדשה", u"k"), keys(u"גופנים")}},
        {"UTF-16BE file",
         utf16be(kHebrewText),
         {read(u"גופנים", u"גודל"), write(u"גופנים", u"גודל", u"14"), write(u"New", u"k", u"ש"),
          keys(u"גופנים")}},
        {"UTF-8 file with bad sequences",
         utf8(u"[גופנים]\r\nשם=דוד\r\n") + "bad=\xC3\xA9\xE0\x80\xFF\xED\xA0\x80z\r\n" +
             "long=\xE0\x9F\xBF\xF0\x8F\xBF\xBF\xC1\xBF\xF4\x90\x80\x80\xF0\x9F\x98\x80\r\ncut=\xE2\x82",
         {read(u"גופנים", u"שם"), read(u"גופנים", u"bad"), read(u"גופנים", u"long"), read(u"גופנים", u"cut"),
          write(u"גופנים", u"חדש", u"ערך"), write(u"New", u"smile", u"\U0001F600"),
          read(u"new", u"SMILE"), keys(u"גופנים")}},
        {"names that differ in case",
         utf8(u"[Été]\r\nÀB=1\r\n[Fonts]\r\nName=1\r\n[x×]\r\nk=1\r\n[ΣΙΓΜΑ]\r\nκ=1\r\n[Шрифт]\r\nи=1\r\n"),
         {read(u"éTÉ", u"àb"), read(u"ÉTé", u"Àb"), read(u"FONTS", u"NAME"), read(u"X÷", u"k"), read(u"σιγμα", u"Κ"),
          read(u"ΣΙΓΜΑ", u"κ"), read(u"шрифт", u"И"), write(u"ÉTÉ", u"àB", u"2"),
          write(u"fONTS", u"nAME", u"2"), write(u"σιγμα", u"κ", u"2"), keys(u"ÉTÉ"),
          write(u"ÉTé", u"Àb", u"3"), erase(u"fonts"), erase(u"шрифт"), erase(u"Été")}},
        {"erasing sections",
         kThreeSections,
         {erase(u"b"), keys(u"B"), read(u"B", u"b"), erase(u"Z"), erase(u" A "), erase(u""),
          read(u"C", u"c"), erase(u"A"), erase(u"C"), erase(u"B")}},
        {"erasing in a missing file", std::nullopt, {erase(u"A"), keys(u"A")}},
        {"values with surrounding blanks",
         std::nullopt,
         {write(u"S", u"  padded key  ", u"  padded value  "), read(u"S", u"padded key"),
          read(u"S", u" padded key ", u"d"), write(u"S", u"q", u"\"quoted\""), read(u"S", u"q"),
          write(u"S", u"q2", u"'  in quotes  '"), read(u"S", u"q2"), write(u"S", u"lone", u"'"),
          read(u"S", u"lone"), read(u"S", u"missing", u"  'def'   "), read(u"S", u"missing", u"   "),
          read(u"S", u"missing", u"\"x'"), write(u" Sec ", u"k", u"v"), read(u"Sec", u"k"),
          keys(u" Sec "), keys(u"Sec"), write(u"S", u"tab\t", u"\tv\t"), read(u"S", u"tab"),
          write(u"S", u"eq", u"a=b;c"), read(u"S", u"eq"), keys(u"S")}},
        {"Hebrew values in an 8-bit file",
         "[\xF9\xEC\xE5\xED]\r\n\xF9\xED=\xE3\xE5\xE3\r\n",
         {read(u"שלום", u"שם"), write(u"שלום", u"אותיות", u"אבגדהוזחטיךכלםמןנסעףפץצקרשת"),
          write(u"שלום", u"ניקוד", u"\u05B0\u05B1\u05B2\u05B3\u05B4\u05B5\u05B6\u05B7\u05B8\u05B9"
                                   u"\u05BB\u05BC\u05BD\u05BE\u05BF\u05C0\u05C1\u05C2\u05C3"),
          write(u"שלום", u"סימנים", u"\u20AA\u200E\u200F\u05F0\u05F1\u05F2\u05F3\u05F4"),
          read(u"שלום", u"אותיות"), read(u"שלום", u"ניקוד"), keys(u"שלום")}},
        {"every high byte of an 8-bit file", everyHighByte(), readsOfEveryHighByte()},
        {"empty file", ""s, {read(u"A", u"k"), keys(u"A"), write(u"A", u"k", u"v"), read(u"a", u"K")}},
        {"file with NULs and control characters",
         "[A]\r\nx=ab\0cd\r\nk\0ey=2\r\n\x1a\r\n\t\x0b\x0c\r\n[B\0C]\r\nb=1\r\n"s,
         {read(u"A", u"x"), read(u"A", u"k"), read(u"B", u"b"), keys(u"A"), write(u"A", u"x", u"new"),
          write(u"B", u"b", u"2"), keys(u"A")}},
        {"missing folder",
         std::nullopt,
         {read(u"A", u"k", u"'q'"), keys(u"A"), write(u"A", u"k", u"v"), erase(u"A")},
         true},
        {"odd names",
         "lead=1\r\n[]\r\nhidden=1\r\n[A] tail\r\n=x\r\n[B\r\nk=1\r\n"s,
         {read(u"", u"hidden"), read(u"", u"lead"), read(u"A", u""), read(u"A", u"[B"),
          write(u"", u"new", u"1"), write(u"A", u"", u"e"), keys(u""), keys(u"A")}},
        {"unchanged values leave the file alone",
         "[A]\nx=1\n\ny=\"2\"\n",
         {write(u"A", u"x", u"1"), write(u"a", u"X", u"  1"), write(u"A", u"y", u"\"2\""),
          write(u"A", u"x", u"1 "), read(u"A", u"x")}},
        {"long values and key lists", std::nullopt, stepsAroundBufferSizes()},
        {"huge value",
         std::nullopt,
         {write(u"A", u"huge", std::u16string(300000, u'ת')), read(u"A", u"huge"),
          write(u"A", u"after", u"1"), read(u"a", u"HUGE")}},
        {"values with line breaks",
         std::nullopt,
         {write(u"A", u"x", u"1\r\n[B]\r\ny=2"), read(u"B", u"y"), read(u"A", u"x"), keys(u"B")}},
    };
}

// ---------------------------------------------------------------------------

TEST(ProfileDiffTest, BothImplementationsAgreeStepByStep) {
    testutil::ScratchFolder folder{"profile_diff"};
    PortableProfileFiles portable;
    Win32ProfileFiles platform;
    int number = 0;
    for (const Scenario& scenario : scenarios()) {
        SCOPED_TRACE(scenario.what);
        const std::string prefix = (scenario.missingFolder ? "missing/" : "") + std::to_string(++number);
        const fs::path portablePath = folder.path(prefix + "p.ini");
        const fs::path platformPath = folder.path(prefix + "w.ini");
        if (scenario.start) {
            putBytes(portablePath, *scenario.start);
            putBytes(platformPath, *scenario.start);
        }
        for (const Step& step : scenario.steps) {
            SCOPED_TRACE(described(step));
            EXPECT_EQ(outcome(portable, portablePath.u16string(), step),
                      outcome(platform, platformPath.u16string(), step));
            EXPECT_EQ(shownBytesOf(portablePath), shownBytesOf(platformPath));
            // A section read at once is what its keys read one by one give.
            if (step.action == Action::Keys) {
                const auto whole = entries(platform.readSection(platformPath.u16string(), step.section));
                EXPECT_EQ(whole, entries(platform.ProfileFiles::readSection(platformPath.u16string(), step.section)));
                EXPECT_EQ(whole, entries(portable.readSection(portablePath.u16string(), step.section)));
            }
        }
    }
}

struct FolderCase {
    const char* what;
    std::string name;
};

TEST(ProfileDiffTest, BothImplementationsSeeAndCreateFoldersAlike) {
    testutil::ScratchFolder folder{"profile_diff"};
    PortableProfileFiles portable;
    Win32ProfileFiles platform;
    const FolderCase cases[] = {
        {"file", "file.ini"},
        {"missing", "missing"},
        {"below a file", "file.ini\\x"},
        {"one level", "one"},
        {"levels with backslashes", "two\\levels\\deep"},
        {"levels with slashes", "three/levels/deep"},
        {"mixed separators", "four\\mixed/deep\\"},
    };
    for (const FolderCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::u16string forPortable = folder.name("p_" + c.name);
        const std::u16string forPlatform = folder.name("w_" + c.name);
        if (c.name.rfind("file.ini", 0) == 0) {
            putBytes(folder.path("p_file.ini"), "[A]\r\n");
            putBytes(folder.path("w_file.ini"), "[A]\r\n");
        }
        EXPECT_EQ(portable.fileExists(forPortable), platform.fileExists(forPlatform));
        EXPECT_EQ(portable.folderExists(forPortable), platform.folderExists(forPlatform));
        EXPECT_EQ(portable.createFolder(forPortable), platform.createFolder(forPlatform));
        EXPECT_EQ(portable.folderExists(forPortable), platform.folderExists(forPlatform));
        EXPECT_EQ(platform.folderExists(forPortable), portable.folderExists(forPlatform));
    }
    EXPECT_EQ(portable.createFolder(u""), platform.createFolder(u""));
}

}  // namespace
