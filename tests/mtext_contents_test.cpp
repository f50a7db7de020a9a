// Multiline text contents: the leading group, the split at "\P", the memo's
// lines, the stored form, and the height shown in the status bar.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>

#include "editors/mtext_contents.h"
#include "editors/text_file.h"
#include "hebrew/fntdef.h"
#include "memory_profiles.h"
#include "test_util.h"

using namespace editors;
using testutil::show;
using testutil::u16;
using Lines = std::vector<std::u16string>;

namespace {

// Marks each call, so that the tests see where one paragraph ends and
// that "\P" never reaches a conversion.
std::u16string bracket(std::u16string_view p) { return u"[" + std::u16string(p) + u"]"; }
std::u16string same(std::u16string_view p) { return std::u16string(p); }

std::string showLines(const Lines& lines) {
    std::string out;
    for (const auto& l : lines) out += show(l);
    return out;
}

TEST(MtextContents, LoadSplitsAtParagraphMarksAndConvertsEachPiece) {
    const struct {
        const char16_t* contents;
        Lines lines;
    } cases[] = {
        // A leading group: its codes up to ";" and its closing brace go.
        {u"{\\fArial|b0|i0;Line1\\PLine2\\P}", {u"[Line1]", u"[Line2]"}},
        // No ";": the group stays, the brace after the last mark is a line.
        {u"{\\fArial Line1\\PLine2\\P}", {u"[{\\fArial Line1]", u"[Line2]", u"[}]"}},
        // Not at the very beginning: nothing is removed.
        {u"\\A1;{\\fArial;Line1\\P}", {u"[\\A1;{\\fArial;Line1]", u"[}]"}},
        {u" {\\fArial;Line1\\P}", {u"[ {\\fArial;Line1]", u"[}]"}},
        // A brace before the last character takes the last two with it.
        {u"{\\C1;Red\\P}x", {u"[Red]"}},
        {u"{\\C1;Red\\P}}", {u"[Red]", u"[}]"}},
        {u"{\\f;a}}}", {u"[a]"}},
        {u"{x;abc}", {u"[{x;abc}]"}},
        {u"{\\f;;x\\P}", {u"[;x]"}},
        // Empty paragraphs give empty lines.
        {u"A\\P\\PB\\P", {u"[A]", u"[]", u"[B]"}},
        {u"\\P", {u"[]"}},
        {u"\\P\\P", {u"[]", u"[]"}},
        // A final piece without a mark is a line too.
        {u"Single", {u"[Single]"}},
        {u"One\\PTwo", {u"[One]", u"[Two]"}},
        {u"{\\fArial;One\\PTwo}", {u"[One]", u"[Two]"}},
        // Other codes are paragraph text; a lower-case p is no break.
        {u"a\\pb\\Lc\\l\\P", {u"[a\\pb\\Lc\\l]"}},
        {u"tail\\", {u"[tail\\]"}},
        {u"{\\", {u"[{\\]"}},
        {u"{\\C1;", {}},
        {u"", {}},
    };
    for (const auto& c : cases) {
        const Lines got = loadContents(c.contents, bracket);
        EXPECT_EQ(got, c.lines) << show(std::u16string(c.contents)) << " gave " << showLines(got);
    }
}

TEST(MtextContents, StoreConvertsEachLineAndEndsEveryOneWithAMark) {
    const struct {
        Lines lines;
        const char16_t* contents;
    } cases[] = {
        {{}, u""},
        {{u""}, u"[]\\P"},
        {{u"a", u"b"}, u"[a]\\P[b]\\P"},
        {{u"a", u"", u"b"}, u"[a]\\P[]\\P[b]\\P"},
    };
    for (const auto& c : cases) EXPECT_EQ(storeContents(c.lines, bracket), c.contents) << showLines(c.lines);
}

TEST(MtextContents, TypedBackslashPComesBackAsTwoLines) {
    const std::u16string stored = storeContents({u"a\\Pb"}, same);
    EXPECT_EQ(stored, u"a\\Pb\\P");
    EXPECT_EQ(loadContents(stored, same), (Lines{u"a", u"b"}));
}

TEST(MtextContents, MemoLinesCountAsAnEditBoxDoes) {
    const struct {
        const char16_t* text;
        Lines lines;
    } cases[] = {
        {u"", {}},
        {u"a", {u"a"}},
        {u"a\r\n", {u"a"}},
        {u"a\r\n\r\n", {u"a", u""}},
        {u"\r\n", {u""}},
        {u"a\nb\rc\r\nd", {u"a", u"b", u"c", u"d"}},
        {u"a\n\rb", {u"a", u"", u"b"}},
        {u"a\r\r\nb", {u"a", u"", u"b"}},
    };
    for (const auto& c : cases) EXPECT_EQ(memoLines(c.text), c.lines) << show(std::u16string(c.text));
}

TEST(MtextContents, MemoTextGivesBackTheSameLines) {
    const Lines cases[] = {{}, {u""}, {u"", u""}, {u"a"}, {u"a", u""}, {u"", u"a"}, {u"a", u"", u"b"}};
    for (const Lines& lines : cases) EXPECT_EQ(memoLines(memoText(lines)), lines) << showLines(lines);
    EXPECT_EQ(memoText({u"a", u"b"}), u"a\r\nb");
}

// With the real conversions, each paragraph on its own: in a backwards style
// a conversion of the whole string would turn every "\P" round.
TEST(MtextContents, HebrewLinesSurviveAStoreAndALoad) {
    testutil::MemoryProfiles files;
    const std::u16string folder = u"C:\\cfg\\";
    files.folders.insert(folder);
    auto surface = hebrew::makeLeftToRightSurface();
    hebrew::TfrmFonts fonts(hebrew::FontServicePlatform{files, *surface, folder, true});
    hebrew::StyleState style;
    const auto toDrawing = [&](std::u16string_view l) { return fonts.EditToacadWin(l, style); };
    const auto toEditor = [&](std::u16string_view p) { return fonts.AcadToEditWin(p, style); };
    const Lines lines = {u16("שלום עולם"), u"", u16("abc אבג 12"), u16("סוף.")};
    for (const char16_t* font : {u"hebsimp.shx", u"arial.ttf", u"DRAVIK1.shx"})
        for (bool backwards : {false, true}) {
            style = fonts.styleOf(font, backwards ? hebrew::kBackwardsGeneration : 0);
            const std::u16string stored = storeContents(lines, toDrawing);
            EXPECT_EQ(stored.substr(stored.size() - 2), u"\\P");
            EXPECT_EQ(loadContents(stored, toEditor), lines) << show(stored);
        }
}

TEST(MtextContents, HeightInGeneralFormatWithFiveDigits) {
    const struct {
        double value;
        const char16_t* text;
    } cases[] = {
        {0, u"0"},          {2.5, u"2.5"},           {3, u"3"},
        {0.125, u"0.125"},  {1.23456, u"1.2346"},    {12345.6, u"12346"},
        {99999.4, u"99999"}, {99999.5, u"1E5"},      {123456, u"1.2346E5"},
        {0.0001, u"0.0001"}, {0.00001, u"0.00001"}, {0.000001234, u"1.234E-6"},
        {-2.5, u"-2.5"},    {1e20, u"1E20"},         {9.99996, u"10"},
    };
    for (const auto& c : cases) EXPECT_EQ(formatGeneral5(c.value), c.text) << c.value;
}

// Whole multiline texts go through these on every load and OK: a text 64
// times longer must not cost anything near 4096 times as much, as a
// quadratic step would; the bound leaves room for caches and allocation.
TEST(MtextContents, CostGrowsLinearlyWithTheLength) {
    const auto seconds = [](const std::u16string& contents) {
        double best = 1e9;
        for (int round = 0; round < 5; ++round) {
            const auto start = std::chrono::steady_clock::now();
            const auto lines = loadContents(contents, same);
            const std::u16string text = memoText(lines);
            const std::string file = encodeTextFile(text, TextEncoding::Utf16LE);
            const auto back = storeContents(memoLines(decodeTextFile(file).text), same);
            best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
            EXPECT_EQ(back.size(), contents.size());
        }
        return best;
    };
    std::u16string small;
    while (small.size() < 16384) small += u"\u05E9\u05DC\u05D5\u05DD abc\\P\\P";
    std::u16string large;
    for (int i = 0; i < 64; ++i) large += small;
    EXPECT_LE(seconds(large) / seconds(small), 1200.0);
}

}  // namespace
