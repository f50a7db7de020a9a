// The conversions between stored strings and editor text, per font type.
#include <gtest/gtest.h>

#include "hebrew/codepage.h"
#include "hebrew/conversions.h"
#include "test_util.h"

using namespace hebrew;
using testutil::show;
using testutil::u16;

namespace {

std::u16string fromCodes(std::initializer_list<int> codes) {
    std::string b;
    for (int c : codes) b += static_cast<char>(c);
    return fromBytes(b);
}

const std::u16string kShalom = u"\u05E9\u05DC\u05D5\u05DD";  // shin lamed vav final-mem, as read

struct Row {
    const char* what;
    fntType type;
    bool backwards;
    std::u16string font;
    std::u16string stored;
    std::u16string edited;  // AcadToEditWin of stored
    std::u16string editedG;  // AcadToEditWinG of stored
};

class Conversions : public ::testing::Test {
protected:
    std::unique_ptr<DisplayOrderer> surface = makeLeftToRightSurface();
    std::u16string load(const Row& r, bool mirror) {
        return acadToEdit(r.stored, {r.font, r.type, r.backwards}, *surface, mirror);
    }
};

TEST_F(Conversions, Loading) {
    const Row rows[] = {
        {"dos word", DosHebrew, false, u"HEBSIMP", fromCodes({141, 133, 140, 153}), kShalom, kShalom},
        {"dos digits stay with blank", DosHebrew, false, u"HEBSIMP", fromCodes({'1', '2', '3', ' ', 141, 133, 140, 153}),
         kShalom + u"123 ", kShalom + u"123 "},
        {"dos percent codes only: English", DosHebrew, false, u"HEBSIMP", u"%%153%%140", u"%%153%%140", u"%%153%%140"},
        {"dos percent codes decoded with a letter", DosHebrew, false, u"HEBSIMP",
         u"%%141" + fromCodes({133, 140}) + u"%%153", kShalom, kShalom},
        {"dos english brackets", DosHebrew, false, u"HEBSIMP", u"f(x) < y", u"f)x( > y", u"f(x) < y"},
        {"dos english square brackets stay", DosHebrew, false, u"HEBSIMP", u"[a]{b}", u"[a]{b}", u"[a]{b}"},
        {"dos backwards", DosHebrew, true, u"HEBSIMP", fromCodes({153, 140, 133, 141}), kShalom, kShalom},
        {"dos english backwards", DosHebrew, true, u"HEBSIMP", u"abc", u"cba", u"cba"},
        {"dos hebrew brackets", DosHebrew, false, u"HEBSIMP", fromCodes({')', 129, 128, '('}),
         u")\u05D0\u05D1(", u"(\u05D0\u05D1)"},
        {"english keys", DosEnglish, false, u"HEBKEY", u"ouka", kShalom, kShalom},
        {"english keys, right to left", DosEnglishR, false, u"HEBKEY", u"akuo", kShalom, kShalom},
        {"english keys are never English only", DosEnglish, false, u"HEBKEY", u"t", u"\u05D0", u"\u05D0"},
        {"english keys backwards", DosEnglish, true, u"HEBKEY", u"akuo", kShalom, kShalom},
        {"english keys, capitals and digits", DosEnglishR, false, u"HEBKEY", u"AB 12", u"21 BA", u"21 BA"},
        {"windows word", WindowsHeb, false, u"DRAVIK1", fromCodes({237, 229, 236, 249}), kShalom, kShalom},
        {"windows english", WindowsHeb, false, u"DRAVIK1", u"f(x) < y", u"f)x( > y", u"f(x) < y"},
        {"windows english backwards", WindowsHeb, true, u"DRAVIK1", u"abc", u"cba", u"cba"},
        {"windows mixed", WindowsHeb, false, u"DRAVIK1", u"123 " + fromCodes({237, 229, 236, 249}), kShalom + u"123 ",
         kShalom + u"123 "},
        {"truetype english", TrueType, false, u"ARIAL", u"f(x) < y", u"f(x) < y", u"f(x) < y"},
        {"truetype hebrew in reading order", TrueType, false, u"ARIAL", kShalom, kShalom, kShalom},
        {"truetype hebrew, words", TrueType, false, u"ARIAL", kShalom + u" " + kShalom, kShalom + u" " + kShalom,
         kShalom + u" " + kShalom},
        {"truetype backwards", TrueType, true, u"ARIAL", u"abc", u"cba", u"cba"},
        {"symbol font codes", DosHebrew, false, u"IRON2", fromCodes({65, 156, 66}), u"A%%156B", u"A%%156B"},
        {"symbol font 155 stays", DosHebrew, false, u"IRON2", fromCodes({65, 155}), fromCodes({65, 155}),
         fromCodes({65, 155})},
        {"symbol font 161", DosHebrew, false, u"HEBSYMB", fromCodes({161}), u"%%161", u"%%161"},
        {"symbol font with letters", DosHebrew, false, u"IRON", fromCodes({160, ' ', 128}),
         u"\u05D0%%160 ", u"\u05D0%%160 "},
        {"not a symbol font", DosHebrew, false, u"MYIRON", fromCodes({65, 156, 66}), fromCodes({65, 156, 66}),
         fromCodes({65, 156, 66})},
        {"symbol font behind a folder", DosHebrew, false, u"C:\\FONTS\\IRON", fromCodes({65, 156}),
         fromCodes({65, 156}), fromCodes({65, 156})},
        {"outside the code page", WindowsHeb, false, u"DRAVIK1", u"a\u0627b", u"a?b", u"a?b"},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(show(load(r, true)), show(r.edited)) << r.what;
        EXPECT_EQ(show(load(r, false)), show(r.editedG)) << r.what << " (attribute form)";
    }
}

TEST_F(Conversions, EmptyStaysEmptyForEveryState) {
    for (int t = DosHebrew; t <= TrueType; ++t) {
        for (bool back : {false, true}) {
            StyleState st{u"IRON", static_cast<fntType>(t), back};
            for (bool mirror : {false, true}) {
                EXPECT_EQ(acadToEdit(u"", st, *surface, mirror), u"");
                EXPECT_EQ(editToAcad(u"", st, *surface, mirror), u"");
            }
        }
    }
}

struct StoreRow {
    const char* what;
    fntType type;
    bool backwards;
    std::u16string font;
    std::u16string text;
    std::u16string stored;
    std::u16string storedG;
};

TEST_F(Conversions, Storing) {
    const StoreRow rows[] = {
        {"dos word", DosHebrew, false, u"HEBSIMP", kShalom, fromCodes({141, 133, 140, 153}),
         fromCodes({141, 133, 140, 153})},
        {"dos backwards", DosHebrew, true, u"HEBSIMP", kShalom, fromCodes({153, 140, 133, 141}),
         fromCodes({153, 140, 133, 141})},
        {"dos english brackets", DosHebrew, false, u"HEBSIMP", u"f)x(", u"f(x)", u"f)x("},
        {"dos with a character outside the code page", DosHebrew, false, u"HEBSIMP", u"\u05D0\u0627",
         fromCodes({'?', 128}), fromCodes({'?', 128})},
        {"english keys", DosEnglish, false, u"HEBKEY", kShalom, u"ouka", u"ouka"},
        {"english keys, right to left", DosEnglishR, false, u"HEBKEY", kShalom, u"akuo", u"akuo"},
        {"english keys, punctuation", DosEnglishR, false, u"HEBKEY", u"\u05D0'/,.", u"t/'qw", u"t/'qw"},
        {"windows word", WindowsHeb, false, u"DRAVIK1", kShalom, fromCodes({237, 229, 236, 249}),
         fromCodes({237, 229, 236, 249})},
        {"windows english outside the code page kept", WindowsHeb, false, u"DRAVIK1", u"a\u0627b", u"a\u0627b",
         u"a\u0627b"},
        {"windows english backwards", WindowsHeb, true, u"DRAVIK1", u"abc", u"cba", u"cba"},
        {"truetype english", TrueType, false, u"ARIAL", u"f(x)", u"f(x)", u"f(x)"},
        {"truetype hebrew", TrueType, false, u"ARIAL", kShalom, kShalom, kShalom},
        {"truetype backwards", TrueType, true, u"ARIAL", u"abc", u"cba", u"cba"},
        {"symbol signs", DosHebrew, false, u"IRON2", u"\u00B1x\u00AF\u00B0", u"\u203Ax\u009C\u00B0",
         u"\u203Ax\u009C\u00B0"},
        {"all six signs", DosHebrew, false, u"hebsymb", u"\u00A6\u00A8\u00AC\u00AD\u00AF\u00B1",
         u"\u009F\u009D\u009E\u00A0\u009C\u203A", u"\u009F\u009D\u009E\u00A0\u009C\u203A"},
        {"signs with hebrew", DosHebrew, false, u"IRON2", u"\u05D0\u00B1", fromCodes({155, 128}),
         fromCodes({155, 128})},
        {"signs outside a symbol font", DosHebrew, false, u"HEBSIMP", u"\u00B1\u00AF", u"\u00B1\u00AF",
         u"\u00B1\u00AF"},
    };
    for (const StoreRow& r : rows) {
        StyleState st{r.font, r.type, r.backwards};
        EXPECT_EQ(show(editToAcad(r.text, st, *surface, true)), show(r.stored)) << r.what;
        EXPECT_EQ(show(editToAcad(r.text, st, *surface, false)), show(r.storedG)) << r.what << " (attribute form)";
    }
}

TEST(EnglishOnly, PerFontType) {
    const struct { std::u16string s; fntType ft; bool englishOnly; } cases[] = {
        {u"", DosHebrew, true},
        {u"abc", DosHebrew, true},
        {fromCodes({'a', 128}), DosHebrew, false},
        {fromCodes({154}), DosHebrew, false},
        {fromCodes({155, 224}), DosHebrew, true},
        {u"\u05D0", WindowsHeb, false},
        {u"\u05EA", TrueType, false},
        {fromCodes({128, 251}), WindowsHeb, true},
        {u"\u05D0", DosEnglish, true},
        {fromCodes({128}), DosEnglishR, true},
    };
    for (const auto& c : cases) EXPECT_EQ(isEnglishOnly(c.s, c.ft), c.englishOnly) << show(c.s) << " " << int(c.ft);
}

TEST(SymbolFont, Names) {
    const struct { std::u16string font; bool symbol; } cases[] = {
        {u"IRON2", true}, {u"HEBSYMB", true}, {u"HebSymb.shx", true}, {u"iron", true},
        {u"MYIRON", false}, {u"C:\\FONTS\\IRON", false}, {u"IRO", false}, {u"", false}, {u"HEBSYM", false},
    };
    for (const auto& c : cases) EXPECT_EQ(isSymbolFont(c.font), c.symbol) << show(c.font);
}

TEST(MirrorBrackets, OnePass) {
    EXPECT_EQ(MirrorBrackets(u"()<>[]{}"), u")(><[]{}");
    EXPECT_EQ(MirrorBrackets(u"(("), u"))");
    EXPECT_EQ(MirrorBrackets(u""), u"");
}

}  // namespace
