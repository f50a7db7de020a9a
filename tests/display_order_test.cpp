// The display order of the font service's surface: FriBidi natively, the
// platform's character placement under Wine. Both must give these results.
#include <gtest/gtest.h>

#include <algorithm>

#include "hebrew/heblib.h"
#include "test_util.h"

using namespace hebrew;
using testutil::bytes;
using testutil::show;

namespace {

struct Case {
    const char* logical;
    const char* visual;  // from left to right on a left-to-right surface
};

const Case kCorpus[] = {
    {"", ""},
    {"abc", "abc"},
    {"abc 123, def!", "abc 123, def!"},
    {"שלום", "םולש"},
    {"שלום עולם", "םלוע םולש"},
    {"שלום 123", "123 םולש"},
    {"123 שלום", "123 םולש"},
    {"abc שלום def", "abc םולש def"},
    {"hello שלום!", "hello םולש!"},
    {"שלום, abc.", "םולש, abc."},
    {"דף 12 מתוך 30", "30 ךותמ 12 ףד"},
    {"abc 12 שלום", "abc 12 םולש"},
    {"א-ב", "ב-א"},
    {"3.5 מ\"מ", "3.5 מ\"מ"},
    {"  שלום  ", "  םולש  "},
    {"א1ב2ג", "ג2ב1א"},
    {"x=שלום+1", "x=1+םולש"},
};

TEST(DisplayOrder, LeftToRightSurfaceCorpus) {
    auto surface = makeLeftToRightSurface();
    for (const Case& c : kCorpus) {
        EXPECT_EQ(show(DisplayOrder(*surface, bytes(c.logical))), show(bytes(c.visual))) << c.logical;
    }
}

TEST(DisplayOrder, KeepsEveryByte) {
    auto surface = makeLeftToRightSurface();
    std::string all;
    for (int i = 1; i < 256; ++i) all += static_cast<char>(i);
    std::string out = DisplayOrder(*surface, all);
    ASSERT_EQ(out.size(), all.size());
    std::string sortedOut = out, sortedIn = all;
    std::sort(sortedOut.begin(), sortedOut.end());
    std::sort(sortedIn.begin(), sortedIn.end());
    EXPECT_EQ(sortedOut, sortedIn);
}

}  // namespace

#ifndef _WIN32
#include <random>

#include "hebrew/codepage.h"
#include "hebrew/display_order_portable.h"

namespace {

// The portable algorithm against FriBidi's own reordering, on random lines of
// every character of the code page but the boundary neutrals (controls, the
// soft hyphen and the undefined bytes), whose levels FriBidi sets by rules
// of its own; the separators tab, CR, LF and 28-31 included.
TEST(DisplayOrder, PortableAgreesWithFriBidi) {
    auto portable = makePortableSurface();
    auto reference = makeFriBidiSurface();
    std::string alphabet = "\t\n\r\x1C\x1D\x1E\x1F";
    for (int b = 0x20; b < 256; ++b)
        if (b != 0x7F && b != 0xAD && !isUndefinedByte(static_cast<unsigned char>(b))) alphabet += static_cast<char>(b);
    const std::string hebrewHeavy = alphabet + std::string(40, '\xE0') + std::string(20, ' ') + "0123456789";
    std::mt19937 rng(42);
    for (int i = 0; i < 20000; ++i) {
        std::string s(rng() % 30, ' ');
        for (char& c : s) c = hebrewHeavy[rng() % hebrewHeavy.size()];
        ASSERT_EQ(show(portable->displayOrder(s)), show(reference->displayOrder(s))) << show(s);
    }
}

}  // namespace
#endif
