// The style as a value: a font file, a generation flag and a font map give
// the style every conversion takes; the map is read without a settings file.
#include <gtest/gtest.h>

#include "hebrew/font_style.h"
#include "memory_profiles.h"
#include "test_util.h"

using namespace hebrew;
using testutil::MemoryProfiles;
using testutil::show;

namespace {

TEST(StyleFor, FontFileFlagAndMapGiveTheStyle) {
    const FontMap map = {{u"HEBKEY", u"DosEnglish"}, {u"hebkeyr", u"dosenglishr"}, {u"WinFont", u"WINDOWS"},
                         {u"ttlike", u"TrueType"},   {u"DRAVIKX", u"DosEnglish"},  {u"ODD", u"Hebrew"},
                         {u"foo.bar", u"Windows"}};
    const struct {
        std::u16string fontFile;
        long flag;
        StyleState expected;
    } cases[] = {
        {u"hebkey.shx", 0, {u"HEBKEY", DosEnglish, false}},
        {u"hebkey.shx", 2, {u"HEBKEY", DosEnglish, true}},
        {u"hebkey.shx", 4, {u"HEBKEY", DosEnglish, false}},
        {u"hebkey.shx", 6, {u"HEBKEY", DosEnglish, false}},
        {u"C:\\Fonts\\HebKeyR.SHX", 0, {u"C:\\FONTS\\HEBKEYR", DosEnglishR, false}},
        {u"D:/f/winfont", 2, {u"D:/F/WINFONT", WindowsHeb, true}},
        {u"ttlike.shx", 0, {u"TTLIKE", TrueType, false}},
        {u"arial.ttf", 0, {u"ARIAL", TrueType, false}},
        {u"C:\\X\\Hebkey.TTF", 0, {u"C:\\X\\HEBKEY", TrueType, false}},
        // The prefix is read from the whole name: a folder hides it, and it outranks the map.
        {u"dravikx.shx", 0, {u"DRAVIKX", WindowsHeb, false}},
        {u"Dravik", 0, {u"DRAVIK", WindowsHeb, false}},
        {u"C:\\dravik.shx", 0, {u"C:\\DRAVIK", DosHebrew, false}},
        {u"odd.shx", 0, {u"ODD", DosHebrew, false}},
        {u"missing.shx", 2, {u"MISSING", DosHebrew, true}},
        {u"iron2.shx", 0, {u"IRON2", DosHebrew, false}},
        {u"", 0, {u"", TrueType, false}},
        {u"C:\\Fonts\\", 0, {u"C:\\FONTS\\", TrueType, false}},
        {u"my.fonts\\hebkey", 0, {u"MY.FONTS\\HEBKEY", DosEnglish, false}},
        // The map's key is the name up to its last dot.
        {u"foo.bar.shx", 0, {u"FOO.BAR", WindowsHeb, false}},
    };
    for (const auto& c : cases) {
        const StyleState got = styleFor(c.fontFile, c.flag, map);
        EXPECT_EQ(show(got.font), show(c.expected.font)) << show(c.fontFile);
        EXPECT_EQ(got.type, c.expected.type) << show(c.fontFile);
        EXPECT_EQ(got.backwards, c.expected.backwards) << show(c.fontFile) << " flag " << c.flag;
        EXPECT_EQ(classifyFont(c.fontFile, map), c.expected.type) << show(c.fontFile);
    }
    EXPECT_EQ(styleFor(u"hebkey.shx", 0, {}).type, DosHebrew) << "an empty map";
}

TEST(LoadFontMap, ReadsTheFontsSectionSortedWithoutRegardToCase) {
    MemoryProfiles files;
    const std::u16string file = u"C:\\cfg\\HebFonts.txt";
    for (const char16_t* name : {u"zeta", u"Alpha", u"beta", u"ALEF"})
        files.set(file, u"Fonts", name, name[0] == u'b' ? u"DosEnglish" : u"Windows");
    files.set(file, u"SymbolFonts", u"iron", u"");
    const FontMap map = loadFontMap(files, file);
    std::vector<std::u16string> names;
    for (const FontMapRow& row : map) names.push_back(row.name);
    EXPECT_EQ(names, (std::vector<std::u16string>{u"ALEF", u"Alpha", u"beta", u"zeta"}));
    EXPECT_EQ(map[2].type, u"DosEnglish");
    EXPECT_EQ(classifyFont(u"BETA.shx", map), DosEnglish);
    EXPECT_TRUE(loadFontMap(files, u"C:\\cfg\\none.txt").empty());
    EXPECT_EQ(files.writes, 0);
}

}  // namespace
