#include <gtest/gtest.h>

#include <random>

#include "hebrew/charclass.h"
#include "hebrew/codepage.h"
#include "hebrew/heblib.h"
#include "test_util.h"

using namespace hebrew;
using testutil::bytes;
using testutil::show;

namespace {

std::string b(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) s += static_cast<char>(v);
    return s;
}

const std::string kShalom = bytes("שלום");

TEST(ReverseNonHebrewRuns, Cases) {
    const struct { std::string in, out; } cases[] = {
        {"", ""},
        {"abc 123", "321 cba"},
        {kShalom + " 123", kShalom + "321 "},
        {"ab" + kShalom + "cd", "ba" + kShalom + "dc"},
        {bytes("א") + "1 2" + bytes("ב"), bytes("א") + "2 1" + bytes("ב")},
        // Maqaf and geresh are right-to-left; points are not.
        {bytes("א־ב") + "xy", bytes("א־ב") + "yx"},
        {bytes("ג׳") + "12", bytes("ג׳") + "21"},
        {bytes("ב\u05BCx"), bytes("ב") + "x" + bytes("\u05BC")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(show(ReverseNonHebrewRuns(c.in)), show(c.out)) << show(c.in);
        EXPECT_EQ(show(ReverseNonHebrewRuns(c.out)), show(c.in)) << "undoes itself";
    }
}

TEST(ReverseNonHebrewRuns, ReadingOrderToDisplayOrder) {
    // The blank stays with the digits: one run that is not Hebrew.
    EXPECT_EQ(show(ReverseText(ReverseNonHebrewRuns(kShalom + " 123"))), show(" 123" + bytes("םולש")));
    EXPECT_EQ(ReverseText(ReverseNonHebrewRuns("abc 123")), "abc 123");
}

TEST(ReverseNonHebrewRuns, CommutesWithReverseTextOnRandomStrings) {
    std::mt19937 rng(7);
    for (int i = 0; i < 2000; ++i) {
        std::string s(rng() % 20, '\0');
        for (char& c : s) c = static_cast<char>(rng() % 256);
        EXPECT_EQ(ReverseNonHebrewRuns(ReverseText(s)), ReverseText(ReverseNonHebrewRuns(s))) << show(s);
        EXPECT_EQ(ReverseNonHebrewRuns(ReverseNonHebrewRuns(s)), s);
    }
}

TEST(CharClass, RightToLeftBytesAreTheLettersAndHebrewPunctuation) {
    std::string rtl;
    for (int v = 0; v < 256; ++v)
        if (isRightToLeftByte(static_cast<unsigned char>(v))) rtl += static_cast<char>(v);
    EXPECT_EQ(show(rtl), show(b({206, 208, 211, 212, 213, 214, 215, 216}) + bytes("אבגדהוזחטיךכלםמןנסעףפץצקרשת") +
                             b({254})));
}

TEST(Letters, DosAndWindowsRanges) {
    EXPECT_EQ(show(DosToWinLetters(b({127, 128, 141, 154, 155, 224}))), show(b({127, 224, 237, 250, 155, 224})));
    EXPECT_EQ(show(WinToDosLetters(b({223, 224, 237, 250, 251, 128}))), show(b({223, 128, 141, 154, 251, 128})));
    std::string noDos = "abc" + b({155, 200, 224, 250, 255});
    EXPECT_EQ(DosToWinLetters(WinToDosLetters(noDos)), noDos);
    std::string noWin = "abc" + b({128, 154, 155, 200, 251});
    EXPECT_EQ(WinToDosLetters(DosToWinLetters(noWin)), noWin);
}

TEST(Keyboard, MapsEveryLetterKey) {
    std::string keys = "tcdsvuzjyhlfkonibxg;p.mera,";
    EnglishKeysToDos(keys);
    std::string dos;
    for (int v = 128; v <= 154; ++v) dos += static_cast<char>(v);
    EXPECT_EQ(show(keys), show(dos));
    DosToEnglishKeys(dos);
    EXPECT_EQ(dos, "tcdsvuzjyhlfkonibxg;p.mera,");
}

TEST(Keyboard, PunctuationKeysAndOthers) {
    const struct { std::string key, dos; } cases[] = {
        {"'", ","}, {"/", "."}, {"q", "/"}, {"w", "'"}, {"ABC 1!", "ABC 1!"}, {"", ""},
    };
    for (const auto& c : cases) {
        std::string s = c.key;
        EnglishKeysToDos(s);
        EXPECT_EQ(show(s), show(c.dos)) << c.key;
        DosToEnglishKeys(s);
        EXPECT_EQ(s, c.key) << "back again";
    }
    std::string everything;
    for (int v = 0; v < 256; ++v)
        if (v < 128 || v > 154) everything += static_cast<char>(v);
    std::string roundTrip = everything;
    EnglishKeysToDos(roundTrip);
    DosToEnglishKeys(roundTrip);
    EXPECT_EQ(show(roundTrip), show(everything));
}

TEST(DecodePercentCodes, Cases) {
    const struct { std::string in, out; } cases[] = {
        {"", ""},
        {"abc", "abc"},
        {"%%128%%129", b({128, 129})},
        {"%%1289", b({128}) + "9"},
        {"%%12", "%%12"},
        {"ab%%", "ab%%"},
        {"%%%128", "%%%128"},
        {"%% 99", "%% 99"},
        {"%%154", b({154})},
        {"%%155", "%%155"},
        {"%%127", "%%127"},
        {"%%065", "%%065"},
        {"%%d%%p%%c", "%%d%%p%%c"},
        {"%%+13", "%%+13"},
        {"%%$80", b({128})},
        {"%%x9a", b({154})},
        {"% %130", "% %130"},
        {"a%%130b%%131c", "a" + b({130}) + "b" + b({131}) + "c"},
        {"%%%%140", "%%" + b({140})},
        {"%%1 ", "%%1 "},
    };
    for (const auto& c : cases) EXPECT_EQ(show(DecodePercentCodes(c.in)), show(c.out)) << c.in;
}

}  // namespace
