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
