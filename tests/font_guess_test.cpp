// Fonts read from their texts: held-out text made into styles of each
// legacy type, and English styles, guessed as a font no map names is.
#include <gtest/gtest.h>

#include "guess_samples.h"
#include "hebrew/display_order.h"

using namespace hebrew;

namespace {

const guess_samples::Corpus& corpus() {
    static const guess_samples::Corpus c = guess_samples::loadCorpus(VORN_TEST_DATA);
    return c;
}

TEST(FontGuess, HebrewStylesAreReadRightAndNeverWrong) {
    const auto surface = makeLeftToRightSurface();
    ASSERT_GT(corpus().hebrewWords.size(), 500u);
    for (fntType type : {DosHebrew, DosEnglish, DosEnglishR, WindowsHeb}) {
        for (bool backwards : {false, true}) {
            for (int texts : {1, 3, 10}) {
                const auto t = guess_samples::measure(corpus(), type, backwards, texts, 300, 77u + texts, *surface);
                const std::string what = std::to_string(type) + (backwards ? " backwards, " : ", ") +
                                         std::to_string(texts) + " texts";
                EXPECT_EQ(t.wrong, 0) << what;
                if (texts >= 3) {
                    EXPECT_GE(t.right, 297) << what;  // 99 %
                }
                if (texts >= 10) {
                    EXPECT_EQ(t.right, 300) << what;
                }
            }
        }
    }
}

TEST(FontGuess, EnglishStylesAreNeverMigrated) {
    const auto surface = makeLeftToRightSurface();
    for (int texts : {1, 3}) {
        const auto t = guess_samples::measure(corpus(), kNoLegacyHebrew, false, texts, 1000, 99u + texts, *surface);
        EXPECT_EQ(t.wrong, 0) << texts << " texts";
    }
}

TEST(FontGuess, WordEndsTellTheReadingOrder) {
    // Final letters end words: a word read backwards starts with one.
    EXPECT_LT(textCostBits(u"שלום עולם"), textCostBits(u"םולש םלוע"));
    EXPECT_LT(textCostBits(u"room"), textCostBits(u"moor") + 8);  // English words either way round
    EXPECT_LT(textCostBits(u"Section A-A"), textCostBits(u"ףקבאןםמ A-A"));
}

TEST(FontGuess, StandardLatinFontsByTheirBaseName) {
    for (const char16_t* font : {u"txt", u"ROMANS.SHX", u"C:\\Fonts\\isocp.shx", u"ltypeshp.shx", u"simplex"})
        EXPECT_TRUE(isStandardLatinFont(font)) << static_cast<int>(font[0]);
    for (const char16_t* font : {u"hebsimp.shx", u"txt2.shx", u"", u"romans.ttf.shx"})
        EXPECT_FALSE(isStandardLatinFont(font)) << static_cast<int>(font[0]);
}

}  // namespace
