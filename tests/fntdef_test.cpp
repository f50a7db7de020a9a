// The font service: settings, font map, key tables and classification.
#include <gtest/gtest.h>

#include "hebrew/fntdef.h"
#include "memory_profiles.h"
#include "test_util.h"

using namespace hebrew;
using testutil::MemoryProfiles;
using testutil::show;

namespace {

const std::u16string kFolder = u"C:\\Users\\u\\AppData\\Roaming\\Sulmoro\\Vorn\\";
const std::u16string kIni = kFolder + u"Hebrew.ini";
const std::u16string kFonts = kFolder + u"HebFonts.txt";
const std::u16string kEditdef = kFolder + u"editdef.txt";

class FontService : public ::testing::Test {
protected:
    MemoryProfiles files;
    std::unique_ptr<DisplayOrderer> surface = makeLeftToRightSurface();

    FontService() { files.folders.insert(kFolder); }

    std::unique_ptr<TfrmFonts> create(const std::u16string& folder = kFolder, bool real = true) {
        return std::make_unique<TfrmFonts>(FontServicePlatform{files, *surface, folder, real});
    }
};

TEST_F(FontService, MissingFilesGiveDefaultsAndTheFirstRunWritesThemAll) {
    create().reset();
    const struct { const char16_t *section, *key, *value; } expected[] = {
        {u"Textedit", u"Width", u"400"}, {u"Textedit", u"Left", u"100"}, {u"Textedit", u"MapNew", u"1"},
        {u"Textedit", u"Mapedit", u"0"}, {u"Textedit", u"Top", u"400"}, {u"Textedit", u"charmap", u"2"},
        {u"Gredit", u"left", u"300"},    {u"Gredit", u"Top", u"300"},   {u"Gredit", u"width", u"400"},
        {u"Gredit", u"height", u"300"},  {u"Gredit", u"mode", u"0"},    {u"Lib", u"Left", u"300"},
        {u"Lib", u"Top", u"300"},        {u"Lib", u"Width", u"600"},    {u"Lib", u"height", u"400"},
        {u"Lib", u"Standard", u""},
    };
    const auto& file = files.files[kIni];
    ASSERT_EQ(file.size(), 3u);
    std::size_t i = 0;
    for (const auto& section : file)
        for (const auto& [key, value] : section.entries) {
            ASSERT_LT(i, std::size(expected));
            EXPECT_EQ(section.name, expected[i].section);
            EXPECT_EQ(key, expected[i].key);
            EXPECT_EQ(value, expected[i].value) << show(key);
            ++i;
        }
    EXPECT_EQ(i, std::size(expected));
}

TEST_F(FontService, SettingsAreReadAndKeptAsTheyWere) {
    const struct { const char16_t *section, *key, *value; std::int32_t Rinistr::*field; std::int32_t expected; } cases[] = {
        {u"Gredit", u"LEFT", u"17", &Rinistr::grl, 17},
        {u"Gredit", u"mode", u"1", &Rinistr::grmode, 1},
        {u"Gredit", u"Top", u"12abc", &Rinistr::grt, 300},
        {u"Gredit", u"width", u"99999999999", &Rinistr::grw, 400},
        {u"Gredit", u"height", u"$20", &Rinistr::grh, 32},
        {u"Textedit", u"Width", u"-5", &Rinistr::txthw, -5},
        {u"Textedit", u"Top", u"", &Rinistr::txtt, 400},
        {u"Lib", u"Width", u"2147483647", &Rinistr::expw, 2147483647},
    };
    for (const auto& c : cases) files.set(kIni, c.section, c.key, c.value);
    files.set(kIni, u"Lib", u"Standard", u"std.dwg");
    auto fonts = create();
    for (const auto& c : cases) EXPECT_EQ(fonts->IniSettings.*c.field, c.expected) << show(std::u16string(c.key));
    EXPECT_EQ(fonts->IniSettings.stFile, u"std.dwg");
    fonts->IniSettings.grmode = 0;
    fonts.reset();
    MemoryProfiles& f = files;
    EXPECT_EQ(f.readString(kIni, u"Gredit", u"mode", u"?"), u"0");
    EXPECT_EQ(f.readString(kIni, u"Gredit", u"Top", u"?"), u"300");
    EXPECT_EQ(f.readString(kIni, u"Lib", u"Standard", u"?"), u"std.dwg");
}

TEST_F(FontService, StyleOfClassifies) {
    files.set(kFonts, u"Fonts", u"hebsimp", u"DosHebrew");
    files.set(kFonts, u"Fonts", u"HEBKEY", u"DosEnglish");
    files.set(kFonts, u"Fonts", u"hebkeyr", u"dosenglishr");
    files.set(kFonts, u"Fonts", u"WINFONT", u"windows");
    files.set(kFonts, u"Fonts", u"TTLIKE", u"TrueType");
    files.set(kFonts, u"Fonts", u"DRAVIK1", u"DosEnglish");
    files.set(kFonts, u"Fonts", u"ARIAL", u"DosEnglish");
    files.set(kFonts, u"Fonts", u"EMPTY", u"");
    files.set(kFonts, u"Fonts", u"ODD", u"Hebrew");
    auto fonts = create();
    const struct { std::u16string name; fntType type; std::u16string font; } cases[] = {
        {u"", TrueType, u""},
        {u"hebsimp.shx", DosHebrew, u"HEBSIMP"},
        {u"D:\\A\\hebsimp.shx", DosHebrew, u"D:\\A\\HEBSIMP"},
        {u"HEBSIMP", DosHebrew, u"HEBSIMP"},
        {u"hebkey.shx", DosEnglish, u"HEBKEY"},
        {u"C:/fonts/hebkeyr.shx", DosEnglishR, u"C:/FONTS/HEBKEYR"},
        {u"winfont.shx", WindowsHeb, u"WINFONT"},
        {u"ttlike.shx", TrueType, u"TTLIKE"},
        {u"dravik1.shx", WindowsHeb, u"DRAVIK1"},
        {u"C:\\FONTS\\DRAVIK1.SHX", DosEnglish, u"C:\\FONTS\\DRAVIK1"},
        {u"DravikNew", WindowsHeb, u"DRAVIKNEW"},
        {u"arial.ttf", TrueType, u"ARIAL"},
        {u"C:\\X\\ARIAL.TTF", TrueType, u"C:\\X\\ARIAL"},
        {u"empty.shx", DosHebrew, u"EMPTY"},
        {u"odd.shx", DosHebrew, u"ODD"},
        {u"unknown.shx", DosHebrew, u"UNKNOWN"},
        {u"C:\\FONTS\\", TrueType, u"C:\\FONTS\\"},
        {u"my.fonts\\iron", DosHebrew, u"MY.FONTS\\IRON"},
    };
    for (const auto& c : cases) {
        const StyleState style = fonts->styleOf(c.name, 0);
        EXPECT_EQ(style.type, c.type) << show(c.name);
        EXPECT_EQ(show(style.font), show(c.font)) << show(c.name);
    }
}

TEST_F(FontService, FontListIsSortedWithoutRegardToCase) {
    for (const char16_t* name : {u"zeta", u"Alpha", u"beta", u"ALEF"}) files.set(kFonts, u"Fonts", name, u"Windows");
    auto fonts = create();
    std::vector<std::u16string> names;
    for (const auto& row : fonts->fontmaps) names.push_back(row.name);
    EXPECT_EQ(names, (std::vector<std::u16string>{u"ALEF", u"Alpha", u"beta", u"zeta"}));
}

TEST_F(FontService, ChangefntUpdatesOrAppendsAndRewritesTheSection) {
    files.set(kFonts, u"Fonts", u"hebsimp", u"DosHebrew");
    files.set(kFonts, u"Fonts", u"other", u"Windows");
    files.set(kFonts, u"SymbolFonts", u"iron", u"");
    auto fonts = create();
    fonts->changefnt(u"C:\\F\\HebSimp.shx", DosEnglishR);
    fonts->changefnt(u"new.shx", TrueType);
    auto keys = files.readKeys(kFonts, u"Fonts");
    EXPECT_EQ(keys, (std::vector<std::u16string>{u"hebsimp", u"other", u"NEW"}));
    EXPECT_EQ(files.readString(kFonts, u"Fonts", u"HEBSIMP", u""), u"DosEnglishR");
    EXPECT_EQ(files.readString(kFonts, u"Fonts", u"new", u""), u"TrueType");
    EXPECT_EQ(files.readKeys(kFonts, u"SymbolFonts").size(), 1u) << "other sections stay";
    // The recorded type is read back as it was chosen.
    EXPECT_EQ(fonts->styleOf(u"new.shx", 0).type, TrueType);
    EXPECT_EQ(fonts->styleOf(u"hebsimp.shx", 0).type, DosEnglishR);
}

TEST_F(FontService, ChangefntOnAnEmptyMapTakesTheBlankRow) {
    auto fonts = create();
    ASSERT_EQ(fonts->fontmaps.size(), 1u);
    fonts->changefnt(u"abc.shx", WindowsHeb);
    ASSERT_EQ(fonts->fontmaps.size(), 1u);
    EXPECT_EQ(fonts->fontmaps[0].name, u"ABC");
    EXPECT_EQ(files.readKeys(kFonts, u"Fonts"), (std::vector<std::u16string>{u"ABC"}));
}

TEST_F(FontService, WritesCreateAMissingConfigFolder) {
    files.folders.clear();
    auto fonts = create();
    EXPECT_NO_THROW(fonts->changefnt(u"abc.shx", WindowsHeb));
    EXPECT_TRUE(files.folderExists(kFolder));
    EXPECT_EQ(files.readString(kFonts, u"Fonts", u"ABC", u""), u"Windows");
}

TEST_F(FontService, FailedWritesReportTheFileAndUnloadStillSucceeds) {
    files.readOnlyFiles = {kFonts, kIni};
    auto fonts = create();
    try {
        fonts->changefnt(u"abc.shx", WindowsHeb);
        FAIL() << "no failure";
    } catch (const WriteError& e) {
        EXPECT_EQ(e.text(), u"Unable to write to " + kFonts);
    }
    EXPECT_EQ(fonts->fontmaps[0].type, u"Windows") << "the map in memory has changed";
    EXPECT_NO_THROW(fonts.reset());
}

TEST_F(FontService, TheBareFallbackFolderIsNeverCreated) {
    const std::u16string bare = u"\\Sulmoro\\Vorn\\";
    auto fonts = create(bare, false);
    EXPECT_THROW(fonts->changefnt(u"abc.shx", WindowsHeb), WriteError);
    EXPECT_FALSE(files.folderExists(bare));
    EXPECT_NO_THROW(fonts.reset());
}

TEST_F(FontService, SymbolFontRecords) {
    files.set(kFonts, u"SymbolFonts", u"iron", u"");
    files.set(kFonts, u"SymbolFonts", u"hebsymb", u"x");
    files.set(kFonts, u"iron", u"b1", u"65");
    files.set(kFonts, u"iron", u"B8", u"65535");
    files.set(kFonts, u"iron", u"b2", u"junk");
    auto fonts = create();
    ASSERT_EQ(fonts->fontsyms.size(), 2u);
    EXPECT_EQ(fonts->fontsyms[0].first, u"iron");
    EXPECT_EQ(fonts->fontsyms[0].second, (tsymb{65, 0, 0, 0, 0, 0, 0, 65535}));
    EXPECT_EQ(fonts->fontsyms[1].second, tsymb{});
}

TEST_F(FontService, KeyTablesFromEditdef) {
    const struct { const char16_t *section, *key, *value; } lines[] = {
        {u"FKeys", u"f5", u"five"}, {u"FKeys", u"F12", u"twelve"}, {u"FKeys", u"F0", u"x"},
        {u"FKeys", u"F13", u"x"},   {u"FKeys", u"Fx", u"x"},       {u"FKeys", u"G1", u"x"},
        {u"Alt", u"7abc", u"seven"}, {u"Alt", u"x1", u"x"},         {u"Alt", u"3", u"three"},
        {u"Alt", u"3b", u"later"},  {u"Ctrl", u"0", u"zero"},
    };
    for (const auto& l : lines) files.set(kEditdef, l.section, l.key, l.value);
    auto fonts = create();
    EXPECT_EQ(fonts->fkeys[5], u"five");
    EXPECT_EQ(fonts->fkeys[12], u"twelve");
    for (int n : {0, 1, 2, 3, 4, 6, 7, 8, 9, 10, 11}) EXPECT_EQ(fonts->fkeys[n], u"") << n;
    EXPECT_EQ(fonts->alts[7], u"seven");
    EXPECT_EQ(fonts->alts[3], u"later") << "a later key with the same digit wins";
    EXPECT_EQ(fonts->alts[1], u"");
    EXPECT_EQ(fonts->ctrls[0], u"zero");
}

TEST_F(FontService, ConversionsReadTheStyleState) {
    auto fonts = create();
    StyleState style = fonts->styleOf(u"iron2.shx", 0);
    std::u16string stored = fromBytes(std::string("A\x9C" "B"));
    EXPECT_EQ(fonts->AcadToEditWin(stored, style), u"A%%156B");
    EXPECT_EQ(fonts->EditToacadWin(u"\u00B1", style), u"\u203A");
    style.type = WindowsHeb;
    style.backwards = true;
    EXPECT_EQ(fonts->AcadToEditWin(u"(ab", style), u"ba)");
    EXPECT_EQ(fonts->AcadToEditWinG(u"(ab", style), u"ba(");
    EXPECT_EQ(fonts->EditToacadWin(u"ba)", style), u"(ab");
    EXPECT_EQ(fonts->EditToacadWinG(u"ba(", style), u"(ab");
}

}  // namespace
