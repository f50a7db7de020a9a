// The attribute editor's behaviour: rows, their links to the attributes,
// conversions per style, direction, and what is written when.
#include <gtest/gtest.h>

#include <map>
#include <stdexcept>

#include "editors/attribute_grid.h"
#include "hebrew/codepage.h"
#include "memory_profiles.h"
#include "test_util.h"

using namespace editors;
using hebrew::kEnglishLanguage;
using hebrew::kHebrewLanguage;
using testutil::MemoryProfiles;
using testutil::show;

namespace {

const std::u16string kFolder = u"C:\\Users\\u\\AppData\\Roaming\\Sulmoro\\Vorn\\";
const std::u16string kShalom = u"\u05E9\u05DC\u05D5\u05DD";

std::u16string fromCodes(std::initializer_list<int> codes) {
    std::string b;
    for (int c : codes) b += static_cast<char>(c);
    return hebrew::fromBytes(b);
}

// The same word as each font type stores it.
const std::u16string kDosShalom = fromCodes({141, 133, 140, 153});
const std::u16string kWinShalom = fromCodes({237, 229, 236, 249});

struct Log {
    std::vector<std::string> calls;
};

class FakeAttribute : public GridAttribute {
public:
    FakeAttribute(Log& log, std::string id, std::u16string text, std::u16string style)
        : text(std::move(text)), style(std::move(style)), log_(log), id_(std::move(id)) {}
    std::u16string textstring() override {
        if (failRead) throw std::runtime_error("unreadable");
        return text;
    }
    std::u16string stylename() override {
        if (failStyle) throw std::runtime_error("unreadable style");
        return style;
    }
    void setTextString(const std::u16string& t) override {
        log_.calls.push_back("put " + id_);
        if (failWrite) throw std::runtime_error("write refused");
        text = t;
        writes.push_back(t);
    }

    std::u16string text, style;
    bool failRead = false, failStyle = false, failWrite = false;
    std::vector<std::u16string> writes;

private:
    Log& log_;
    std::string id_;
};

class FakeHost : public GridHost {
public:
    explicit FakeHost(Log& log) : log_(log) {}
    std::vector<std::shared_ptr<GridAttribute>> attributes() override {
        log_.calls.push_back("GetAttributes");
        return {list.begin(), list.end()};
    }
    std::u16string blockName() override {
        log_.calls.push_back("Name");
        return name;
    }
    void refreshDocument() override { log_.calls.push_back("ActiveDocument"); }
    GridTextStyle textStyle(const std::u16string& style) override {
        log_.calls.push_back("style " + testutil::utf8(style));
        auto found = styles.find(style);
        if (found == styles.end()) throw std::runtime_error("Key not found");
        return found->second;
    }
    void sendCommand(const std::u16string& text) override {
        log_.calls.push_back("SendCommand " + testutil::utf8(text));
        commands.push_back(text);
    }

    std::shared_ptr<FakeAttribute> add(std::u16string text, std::u16string style) {
        list.push_back(std::make_shared<FakeAttribute>(log_, std::to_string(list.size() + 1), std::move(text),
                                                      std::move(style)));
        return list.back();
    }

    std::u16string name = u"DOOR";
    std::map<std::u16string, GridTextStyle> styles = {
        {u"Dos", {u"hebsimp.shx", 0}},  {u"Keys", {u"hebkey.shx", 0}}, {u"KeysR", {u"C:\\F\\hebkeyr.shx", 0}},
        {u"Win", {u"dravik1.shx", 0}}, {u"DosBack", {u"hebsimp.shx", 2}},
    };
    std::vector<std::shared_ptr<FakeAttribute>> list;
    std::vector<std::u16string> commands;

private:
    Log& log_;
};

// Lays a line out backwards, so that a key shows whether it passed through.
class ReversingSurface : public hebrew::DisplayOrderer {
public:
    std::string displayOrder(std::string_view bytes) const override { return {bytes.rbegin(), bytes.rend()}; }
};

class AttributeGridTest : public ::testing::Test {
protected:
    MemoryProfiles files;
    std::unique_ptr<hebrew::DisplayOrderer> surface = hebrew::makeLeftToRightSurface();
    std::unique_ptr<hebrew::TfrmFonts> fonts;
    hebrew::RecordingKeyboard keyboard;
    Log log;
    FakeHost host{log};
    std::unique_ptr<AttributeGrid> grid;

    AttributeGridTest() {
        files.folders.insert(kFolder);
        files.set(kFolder + u"HebFonts.txt", u"Fonts", u"HEBKEY", u"DosEnglish");
        files.set(kFolder + u"HebFonts.txt", u"Fonts", u"HEBKEYR", u"DosEnglishR");
    }

    AttributeGrid& open(int grmode = 0) {
        fonts = std::make_unique<hebrew::TfrmFonts>(hebrew::FontServicePlatform{files, *surface, kFolder, true});
        fonts->IniSettings.grmode = grmode;
        grid = std::make_unique<AttributeGrid>(*fonts, keyboard, host);
        grid->FormCreate();
        grid->EditBlock(*surface);
        grid->FormShow();
        return *grid;
    }

    std::vector<std::u16string> keys() const {
        std::vector<std::u16string> k;
        for (const GridRow& r : grid->rows()) k.push_back(r.key);
        return k;
    }
    std::vector<std::u16string> values() const {
        std::vector<std::u16string> v;
        for (const GridRow& r : grid->rows()) v.push_back(r.value);
        return v;
    }
};

TEST_F(AttributeGridTest, RowsAreKeyedByPositionInTheBlockReferencesOrder) {
    host.add(kDosShalom, u"Dos");
    host.add(u"abc", u"Dos");
    host.add(u"", u"Dos");
    AttributeGrid& g = open();
    EXPECT_EQ(g.caption(), u"VORN Attribut Editor : Block:   DOOR");
    EXPECT_EQ(keys(), (std::vector<std::u16string>{u"1", u"2", u"3"}));
    EXPECT_EQ(values(), (std::vector<std::u16string>{kShalom, u"abc", u""}));
    ASSERT_EQ(g.datr().size(), 3u);
    EXPECT_EQ(g.datr()[2].prompt, u"3");
    EXPECT_EQ(log.calls.front(), "GetAttributes");
    EXPECT_EQ(log.calls[1], "Name");
    EXPECT_EQ(log.calls[2], "ActiveDocument");
}

// Keys pass through the grid's surface and the key's own style's conversion.
TEST_F(AttributeGridTest, KeysAreShownAsTheirStylesConversionAndTheGridsSurfaceLayThemOut) {
    for (int i = 0; i < 12; ++i) host.add(u"x", i == 11 ? u"KeysR" : u"Dos");
    fonts = std::make_unique<hebrew::TfrmFonts>(hebrew::FontServicePlatform{files, *surface, kFolder, true});
    grid = std::make_unique<AttributeGrid>(*fonts, keyboard, host);
    grid->EditBlock(*surface);
    EXPECT_EQ(keys()[10], u"11");
    EXPECT_EQ(keys()[11], u"21") << "DosEnglishR reads right to left";

    AttributeGrid mirrored(*fonts, keyboard, host);
    ReversingSurface reversing;
    mirrored.EditBlock(reversing);
    EXPECT_EQ(mirrored.rows()[9].key, u"01");
    EXPECT_EQ(mirrored.rows()[11].key, u"12");
}

TEST_F(AttributeGridTest, EachAttributeIsConvertedWithItsOwnStyleBothWays) {
    const struct {
        const char16_t* style;
        std::u16string stored;
        bool backwards;
    } cases[] = {
        {u"Dos", kDosShalom, false},
        {u"Keys", u"ouka", false},
        {u"KeysR", u"akuo", false},
        {u"Win", kWinShalom, false},
        {u"DosBack", fromCodes({153, 140, 133, 141}), true},
    };
    for (const auto& c : cases) host.add(c.stored, c.style);
    AttributeGrid& g = open();
    ASSERT_EQ(g.rows().size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(g.rows()[i].value, kShalom) << testutil::utf8(cases[i].style);

    const std::u16string edited = kShalom + u" 12";
    for (std::size_t i = 0; i < std::size(cases); ++i) g.setValue(i, edited);
    g.update();
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& a = *host.list[i];
        ASSERT_EQ(a.writes.size(), 1u);
        const GridTextStyle& style = host.styles[cases[i].style];
        const hebrew::StyleState st = fonts->styleOf(style.fontFile, style.textGenerationFlag);
        EXPECT_EQ(st.backwards, cases[i].backwards);
        EXPECT_EQ(a.writes[0], fonts->EditToacadWinG(edited, st)) << testutil::utf8(cases[i].style);
    }
    EXPECT_NE(host.list[0]->writes[0], host.list[1]->writes[0]) << "the types store differently";
}

TEST_F(AttributeGridTest, UnchangedRowsWriteBackTheStoredStrings) {
    host.add(kDosShalom, u"Dos");
    host.add(u"ouka", u"Keys");
    host.add(kWinShalom, u"Win");
    open().update();
    EXPECT_EQ(host.list[0]->writes, std::vector<std::u16string>{kDosShalom});
    EXPECT_EQ(host.list[1]->writes, std::vector<std::u16string>{u"ouka"});
    EXPECT_EQ(host.list[2]->writes, std::vector<std::u16string>{kWinShalom});
    EXPECT_EQ(host.commands, std::vector<std::u16string>{u"REDRAW"});
}

TEST_F(AttributeGridTest, AttributesThatShareATagKeepTheirOwnRows) {
    host.add(u"a", u"Dos");  // the tags are never read: both could be "NO"
    host.add(u"a", u"Dos");
    AttributeGrid& g = open();
    g.setValue(1, u"b");
    g.update();
    EXPECT_EQ(host.list[0]->text, u"a");
    EXPECT_EQ(host.list[1]->text, u"b");
}

// Deleting, adding and renaming rows never moves one attribute's text into
// another.
TEST_F(AttributeGridTest, RowEditsChangeOnlyTheirOwnAttributes) {
    struct Case {
        const char* what;
        void (*edit)(AttributeGrid&);
        std::vector<std::u16string> texts;  // the attributes afterwards
        std::vector<std::size_t> writes;
    };
    const Case cases[] = {
        {"delete the second of three",
         [](AttributeGrid& g) { ASSERT_TRUE(g.deleteRow(1)); },
         {u"one", u"two", u"three"}, {1, 0, 1}},
        {"delete, then edit the row that moved up",
         [](AttributeGrid& g) {
             g.deleteRow(1);
             g.setValue(1, u"THREE");
         },
         {u"one", u"two", u"THREE"}, {1, 0, 1}},
        {"add a row with a value",
         [](AttributeGrid& g) {
             const std::size_t r = g.addRow();
             EXPECT_EQ(r, 3u);
             EXPECT_TRUE(g.setKey(r, u"new"));
             g.setValue(r, u"extra");
         },
         {u"one", u"two", u"three"}, {1, 1, 1}},
        {"rename a key",
         [](AttributeGrid& g) { EXPECT_TRUE(g.setKey(0, u"first")); },
         {u"one", u"two", u"three"}, {1, 1, 1}},
        {"delete all",
         [](AttributeGrid& g) {
             while (!g.rows().empty()) g.deleteRow(0);
         },
         {u"one", u"two", u"three"}, {0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        host.list.clear();
        host.add(u"one", u"Dos");
        host.add(u"two", u"Dos");
        host.add(u"three", u"Dos");
        AttributeGrid& g = open();
        c.edit(g);
        g.update();
        for (std::size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(host.list[i]->text, c.texts[i]) << i;
            EXPECT_EQ(host.list[i]->writes.size(), c.writes[i]) << i;
        }
        EXPECT_EQ(host.commands.back(), u"REDRAW");
    }
}

TEST_F(AttributeGridTest, KeysStayUnique) {
    host.add(u"one", u"Dos");
    host.add(u"two", u"Dos");
    AttributeGrid& g = open();
    EXPECT_FALSE(g.setKey(1, u"1"));
    EXPECT_EQ(g.rows()[1].key, u"2");
    EXPECT_TRUE(g.setKey(1, u"2")) << "a row keeps its own key";
    const std::size_t added = g.addRow();
    EXPECT_EQ(g.addRow(), added) << "one blank key at a time";
    EXPECT_EQ(g.rows().size(), 3u);
    EXPECT_FALSE(g.setKey(added, u"2"));
    EXPECT_TRUE(g.setKey(added, u"3"));
    EXPECT_EQ(g.addRow(), 3u);
    EXPECT_FALSE(g.setValue(9, u"x"));
    EXPECT_FALSE(g.setKey(9, u"x"));
    EXPECT_FALSE(g.deleteRow(9));
}

TEST_F(AttributeGridTest, ABlockWithNoAttributesShowsOneBlankRowThatTheFirstAddedRowFills) {
    AttributeGrid& g = open();
    ASSERT_EQ(g.rows().size(), 1u);
    EXPECT_FALSE(g.rows()[0].entry);
    EXPECT_EQ(g.addRow(), 0u);
    g.setValue(0, u"x");
    g.update();
    EXPECT_EQ(host.commands, std::vector<std::u16string>{u"REDRAW"});
}

TEST_F(AttributeGridTest, HowTheWindowClosesDecidesTheWriting) {
    struct Case {
        const char* what;
        int (*close)(AttributeGrid&);  // the modal result
        int result;
        std::size_t writes;
    };
    const Case cases[] = {
        {"Esc or Cancel", [](AttributeGrid& g) { const int r = g.BitBtn2Click(); g.FormClose(); return r; }, 2, 0},
        {"Enter or OK",
         [](AttributeGrid& g) {
             const int r = g.BitBtn1Click();
             g.FormClose();
             if (r == 1) g.update();  // the command writes once more
             return r;
         },
         1, 2},
        {"the close box", [](AttributeGrid& g) { g.FormClose(); return 2; }, 2, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        host.list.clear();
        host.commands.clear();
        host.add(u"one", u"Dos");
        host.add(u"two", u"Dos");
        AttributeGrid& g = open();
        g.setValue(0, u"ONE");
        keyboard.activated.clear();
        EXPECT_EQ(c.close(g), c.result);
        EXPECT_EQ(host.list[0]->writes.size(), c.writes);
        EXPECT_EQ(host.list[1]->writes.size(), c.writes);
        EXPECT_EQ(host.commands.size(), c.writes);
        if (c.writes) {
            EXPECT_EQ(host.list[0]->text, u"ONE");
        }
        ASSERT_FALSE(keyboard.activated.empty());
        EXPECT_EQ(keyboard.activated.back(), kEnglishLanguage);
    }
}

TEST_F(AttributeGridTest, DirectionFromTheSettingsAndTheToggle) {
    const struct {
        int grmode;
        bool rightToLeft;
        std::uint16_t language;
        const char16_t* caption;
    } cases[] = {{0, true, kHebrewLanguage, u"&English"}, {1, false, kEnglishLanguage, u"&Hebrew"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.grmode);
        keyboard.activated.clear();
        AttributeGrid& g = open(c.grmode);
        EXPECT_EQ(g.rightToLeft(), c.rightToLeft);
        EXPECT_EQ(g.directionCaption(), c.caption);
        EXPECT_EQ(keyboard.activated, std::vector<std::uint16_t>{c.language});

        g.btnHClick();
        EXPECT_EQ(g.rightToLeft(), !c.rightToLeft);
        EXPECT_NE(g.directionCaption(), c.caption);
        EXPECT_NE(keyboard.activated.back(), c.language);
        g.btnHClick();
        EXPECT_EQ(g.rightToLeft(), c.rightToLeft);
        EXPECT_EQ(g.directionCaption(), c.caption);
        EXPECT_EQ(keyboard.activated.back(), c.language);
        EXPECT_EQ(keyboard.activated.size(), 3u);
    }
}

// The settings hold the size as designed: a window closed at one scale opens
// as large, to the eye, at another; the position is the screen's.
TEST_F(AttributeGridTest, PlacementAndDirectionAreKeptInTheSettings) {
    const struct {
        int dpi;
        GridPlacement shown, closed;
        int storedWidth, storedHeight;
    } cases[] = {
        {96, {11, 22, 333, 444}, {5, 6, 700, 800}, 700, 800},
        {144, {11, 22, 500, 666}, {5, 6, 600, 450}, 400, 300},
        {120, {11, 22, 416, 555}, {5, 6, 501, 375}, 401, 300},
        {0, {11, 22, 333, 444}, {5, 6, 700, 800}, 700, 800},  // no DPI known: the design's
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dpi);
        fonts = std::make_unique<hebrew::TfrmFonts>(hebrew::FontServicePlatform{files, *surface, kFolder, true});
        fonts->IniSettings.grl = 11;
        fonts->IniSettings.grt = 22;
        fonts->IniSettings.grw = 333;
        fonts->IniSettings.grh = 444;
        fonts->IniSettings.grmode = 0;
        AttributeGrid g(*fonts, keyboard, host);
        const GridPlacement p = g.FormCreate(DpiScale(c.dpi));
        EXPECT_EQ(p.left, c.shown.left);
        EXPECT_EQ(p.top, c.shown.top);
        EXPECT_EQ(p.width, c.shown.width);
        EXPECT_EQ(p.height, c.shown.height);
        EXPECT_TRUE(g.rightToLeft());
        g.FormShow();
        g.btnHClick();
        g.FormDestroy(c.closed, DpiScale(c.dpi));
        EXPECT_EQ(fonts->IniSettings.grl, 5);
        EXPECT_EQ(fonts->IniSettings.grt, 6);
        EXPECT_EQ(fonts->IniSettings.grw, c.storedWidth);
        EXPECT_EQ(fonts->IniSettings.grh, c.storedHeight);
        EXPECT_EQ(fonts->IniSettings.grmode, 1);
        EXPECT_EQ(keyboard.activated.back(), kEnglishLanguage);
        fonts.reset();
        EXPECT_EQ(files.readString(kFolder + u"Hebrew.ini", u"Gredit", u"mode", u"?"), u"1");
        EXPECT_EQ(files.readString(kFolder + u"Hebrew.ini", u"Gredit", u"width", u"?"),
                  testutil::u16(std::to_string(c.storedWidth)));
    }
}

TEST_F(AttributeGridTest, AFailingWriteStopsAtItsRowAfterTheRowsBefore) {
    host.add(u"one", u"Dos");
    host.add(u"two", u"Dos");
    host.add(u"three", u"Dos");
    AttributeGrid& g = open();
    for (std::size_t i = 0; i < 3; ++i) g.setValue(i, u"new");
    host.list[1]->failWrite = true;
    EXPECT_THROW(g.FormClose(), std::runtime_error);
    EXPECT_EQ(host.list[0]->text, u"new");
    EXPECT_EQ(host.list[1]->text, u"two");
    EXPECT_TRUE(host.list[2]->writes.empty());
    EXPECT_TRUE(host.commands.empty()) << "no redraw after a failure";
}

TEST_F(AttributeGridTest, AnAttributeThatCannotBeReadIsLeftOut) {
    for (int failing : {0, 1}) {
        SCOPED_TRACE(failing);
        host.list.clear();
        host.add(u"one", u"Dos");
        auto bad = host.add(u"two", u"Dos");
        (failing ? bad->failStyle : bad->failRead) = true;
        host.add(u"three", u"Win");
        AttributeGrid& g = open();
        EXPECT_EQ(keys(), (std::vector<std::u16string>{u"1", u"3"}));
        EXPECT_EQ(values(), (std::vector<std::u16string>{u"one", u"three"}));
        g.update();
        EXPECT_TRUE(bad->writes.empty());
        EXPECT_EQ(host.list[2]->writes, std::vector<std::u16string>{u"three"});
    }
}

TEST_F(AttributeGridTest, AStyleThatCannotBeFoundEndsTheFill) {
    host.add(u"one", u"Dos");
    host.add(u"two", u"Missing");
    fonts = std::make_unique<hebrew::TfrmFonts>(hebrew::FontServicePlatform{files, *surface, kFolder, true});
    AttributeGrid g(*fonts, keyboard, host);
    EXPECT_THROW(g.EditBlock(*surface), std::runtime_error);
}

}  // namespace
