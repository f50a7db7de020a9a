// The multiline editor driven through its seams: loading and storing through
// a fake drawing, the placement of a new text, the language buttons and the
// language hook's state, the symbol codes, and import and export.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <stdexcept>

#include "editors/mtext_contents.h"
#include "editors/mtext_editor.h"
#include "memory_profiles.h"
#include "test_util.h"

using namespace editors;
using hebrew::kEnglishLanguage;
using hebrew::kHebrewLanguage;
using testutil::show;
using testutil::u16;
using testutil::utf8;

namespace {

using Log = std::vector<std::string>;

struct StyleData {
    std::u16string fontFile;
    long flag = 0;
    double height = 0;
};

class FakeStyle : public MtextTextStyle {
public:
    FakeStyle(std::u16string name, StyleData data, Log& log) : name_(std::move(name)), data_(data), log_(log) {}
    std::u16string name() override { return log_.push_back("Name"), name_; }
    std::u16string fontFile() override { return log_.push_back("FontFile"), data_.fontFile; }
    long textGenerationFlag() override { return log_.push_back("TextGenerationFlag"), data_.flag; }
    double height() override { return log_.push_back("Height"), data_.height; }

private:
    std::u16string name_;
    StyleData data_;
    Log& log_;
};

struct Cancelled : std::runtime_error {
    Cancelled() : std::runtime_error("User cancelled") {}
};

std::string str(const Point3& p) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%g,%g,%g", p.x, p.y, p.z);
    return buf;
}

// A drawing with one multiline text and its styles; answers from a queue.
class FakeHost : public MtextHost {
public:
    Log log;
    std::map<std::u16string, StyleData> styles{{u"Heb", {u"hebsimp.shx", 0, 2.5}}};
    std::u16string activeStyle = u"Heb";
    std::u16string entityStyle = u"Heb", text;
    std::vector<Point3> points;
    double distance = 1;
    int cancelAtPrompt = 0;  // 1 to 3: that prompt fails
    bool created = false;
    Point3 insertion;
    double width = -1, height = -1;
    int attachment = 0;

    std::u16string entityStyleName() override { return log.push_back("StyleName"), entityStyle; }
    std::u16string entityText() override { return log.push_back("TextString"), text; }
    void setEntityText(const std::u16string& t) override {
        log.push_back("TextString=" + utf8(t));
        text = t;
    }
    void setEntityStyleName(const std::u16string& name) override { log.push_back("StyleName=" + utf8(name)); }
    void setEntityHeight(double h) override {
        log.push_back("Height");
        height = h;
    }
    void setEntityAttachmentPoint(int point) override {
        log.push_back("AttachmentPoint=" + std::to_string(point));
        attachment = point;
    }
    std::unique_ptr<MtextTextStyle> textStyle(const std::u16string& name) override {
        log.push_back("Item(" + utf8(name) + ")");
        auto s = styles.find(name);
        if (s == styles.end()) throw std::runtime_error("Key not found");
        return std::make_unique<FakeStyle>(name, s->second, log);
    }
    std::unique_ptr<MtextTextStyle> activeTextStyle() override {
        log.push_back("ActiveTextStyle");
        return std::make_unique<FakeStyle>(activeStyle, styles.at(activeStyle), log);
    }
    Point3 getPoint(std::u16string_view prompt) override { return answer("GetPoint(" + utf8(std::u16string(prompt)) + ")"); }
    Point3 getCorner(const Point3& base, std::u16string_view prompt) override {
        return answer("GetCorner(" + str(base) + " " + utf8(std::u16string(prompt)) + ")");
    }
    double getDistance(const Point3& base, std::u16string_view prompt) override {
        log.push_back("GetDistance(" + str(base) + " " + utf8(std::u16string(prompt)) + ")");
        if (++prompts_ == cancelAtPrompt) throw Cancelled();
        return distance;
    }
    void sendCommand(std::u16string_view t) override { log.push_back("SendCommand[" + utf8(std::u16string(t)) + "]"); }
    void addMText(const Point3& at, double w, const std::u16string& t) override {
        log.push_back("AddMText(" + str(at) + " " + std::to_string(w) + " " + utf8(t) + ")");
        created = true;
        insertion = at;
        width = w;
        text = t;
    }

private:
    Point3 answer(std::string call) {
        log.push_back(std::move(call));
        if (++prompts_ == cancelAtPrompt) throw Cancelled();
        Point3 p = points.at(0);
        points.erase(points.begin());
        return p;
    }
    int prompts_ = 0;
};

class FakeView : public MtextView {
public:
    EditBoxText box;
    bool hebDown = true, engDown = false, rtl = true;
    std::u16string status[3];
    int memoWrites = 0, memoEdits = 0;

    EditBoxText memo() const override { return box; }
    void setMemo(const EditBoxText& m) override {
        box = m;
        ++memoWrites;
    }
    void editMemo(const EditBoxText& m) override {
        box = m;
        ++memoEdits;
    }
    void showLanguageButtons(bool h, bool e) override { hebDown = h, engDown = e; }
    void showDirection(bool r) override { rtl = r; }
    void showStatus(const std::u16string& a, const std::u16string& b, const std::u16string& c) override {
        status[0] = a, status[1] = b, status[2] = c;
    }
};

class FakeTimer : public MtextTimer {
public:
    bool running = false;
    unsigned interval = 0;
    int starts = 0;
    void start(unsigned ms) override { running = true, interval = ms, ++starts; }
    void stop() override { running = false; }
};

// A keyboard whose switches report back at once, as a shell hook can.
class ReportingKeyboard : public hebrew::RecordingKeyboard {
public:
    std::function<void(std::uint16_t)> report;
    void activateLanguage(std::uint16_t language) override {
        RecordingKeyboard::activateLanguage(language);
        if (report) report(language);
    }
};

class MtextEditorTest : public ::testing::Test {
protected:
    testutil::MemoryProfiles files;
    std::unique_ptr<hebrew::DisplayOrderer> surface = hebrew::makeLeftToRightSurface();
    std::unique_ptr<hebrew::TfrmFonts> fonts;
    ReportingKeyboard keyboard;
    FakeView view;
    FakeTimer timer;
    FakeHost host;
    std::unique_ptr<MtextEditor> editor;

    MtextEditorTest() {
        const std::u16string folder = u"C:\\cfg\\";
        files.folders.insert(folder);
        fonts = std::make_unique<hebrew::TfrmFonts>(hebrew::FontServicePlatform{files, *surface, folder, true});
        newWindow();
    }
    void newWindow() {
        editor.reset();
        editor = std::make_unique<MtextEditor>(*fonts, keyboard, view, timer);
        editor->setHost(&host);
    }
    void type(const std::u16string& text) { view.box = {text, text.size(), text.size()}; }
    // The lines as stored in the style the editor has taken, or in style.
    std::u16string stored(const std::vector<std::u16string>& lines) { return stored(lines, editor->style()); }
    std::u16string stored(const std::vector<std::u16string>& lines, const hebrew::StyleState& style) {
        std::u16string s;
        for (const auto& l : lines) s += fonts->EditToacadWin(l, style) + u"\\P";
        return s;
    }
};

TEST_F(MtextEditorTest, FillMemoSetsTheFontStateAndLoadsEachParagraph) {
    const struct {
        const char* what;
        StyleData style;
        bool backwards;
    } cases[] = {
        {"flag 0", {u"C:\\Fonts\\hebsimp.shx", 0, 2.5}, false},
        {"flag 2", {u"hebsimp.shx", 2, 0.125}, true},
        {"flag 4", {u"hebsimp.shx", 4, 3}, false},
        {"flag 6", {u"arial.ttf", 6, 123456}, false},
    };
    const std::vector<std::u16string> lines = {u16("שלום"), u"", u16("abc אבג")};
    for (const auto& c : cases) {
        host.styles[u"Mine"] = c.style;
        host.entityStyle = u"Mine";
        // The stored form of the lines in this style.
        hebrew::StyleState style = fonts->styleOf(c.style.fontFile, 0);
        style.backwards = c.backwards;
        host.text = u"{\\fArial|b0;" + stored(lines, style) + u"}";
        host.log.clear();

        editor->FillMemo();
        EXPECT_EQ(editor->style().font, hebrew::styleFontName(c.style.fontFile)) << c.what;
        EXPECT_EQ(editor->style().backwards, c.backwards) << c.what;
        EXPECT_EQ(memoLines(view.box.text), lines) << c.what << show(view.box.text);
        EXPECT_EQ(view.status[0], u"Mine");
        EXPECT_EQ(view.status[1], c.style.fontFile);
        EXPECT_EQ(view.status[2], formatGeneral5(c.style.height)) << c.what;
        EXPECT_EQ(host.log, (Log{"StyleName", "Item(Mine)", "FontFile", "TextGenerationFlag", "TextString", "Name",
                                 "Height"}));
    }
}

TEST_F(MtextEditorTest, FillMemoKeepsAFinalPieceWithoutAMarkSoOkDoesNotDropIt) {
    const struct {
        const char16_t* contents;
        std::vector<std::u16string> lines;
    } cases[] = {
        {u"only one", {u"only one"}},
        {u"first\\Plast", {u"first", u"last"}},
        {u"{\\fArial;a\\Pb}", {u"a", u"b"}},
    };
    // TrueType: English stays as it is
    host.styles[u"Heb"] = {u"arial.ttf", 0, 1};
    for (const auto& c : cases) {
        host.text = c.contents;
        editor->FillMemo();
        EXPECT_EQ(memoLines(view.box.text), c.lines) << show(std::u16string(c.contents));
        editor->EditMtext();
        EXPECT_EQ(host.text, stored(c.lines)) << show(std::u16string(c.contents));
    }
}

TEST_F(MtextEditorTest, FillMemoOfAStyleTheDrawingLacksFails) {
    host.entityStyle = u"Gone";
    EXPECT_THROW(editor->FillMemo(), std::runtime_error);
    EXPECT_EQ(host.log, (Log{"StyleName", "Item(Gone)"}));
}

TEST_F(MtextEditorTest, OkWritesEachLineConvertedAndAsksForARedraw) {
    const struct {
        const char* what;
        std::u16string memo;
        std::vector<std::u16string> lines;  // what is stored; none: nothing is written
    } cases[] = {
        {"two lines", u16("שלום\r\nab"), {u16("שלום"), u"ab"}},
        {"empty last line not counted", u16("שלום\r\n"), {u16("שלום")}},
        {"one empty line kept before it", u"a\r\n\r\n", {u"a", u""}},
        {"symbol codes", u"%%d%%p%%c", {u"%%d%%p%%c"}},
        {"empty memo", u"", {}},
    };
    for (const auto& c : cases) {
        host.log.clear();
        host.text = u"before";
        type(c.memo);
        editor->EditMtext();
        if (c.lines.empty()) {
            EXPECT_TRUE(host.log.empty()) << c.what;
            EXPECT_EQ(host.text, u"before") << c.what;
            continue;
        }
        EXPECT_EQ(host.text, stored(c.lines)) << c.what;
        EXPECT_EQ(host.log, (Log{"TextString=" + utf8(stored(c.lines)), "SendCommand[REDRAW]"})) << c.what;
    }
}

TEST_F(MtextEditorTest, DisplayDirectionChangesNothingStored) {
    type(u16("שלום 12\r\n(abc)"));
    editor->EditMtext();
    const std::u16string right = host.text;
    editor->btnLClick();
    EXPECT_FALSE(view.rtl);
    EXPECT_FALSE(editor->rightToLeft());
    editor->EditMtext();
    EXPECT_EQ(host.text, right);
    editor->btnRClick();
    EXPECT_TRUE(view.rtl);
}

TEST_F(MtextEditorTest, NewMtextAsksThreeTimesAndCreateMtextPlacesTheText) {
    const struct {
        Point3 first, second;
        double width;
    } cases[] = {
        {{10, 0, 0}, {4, 99, 0}, 6},
        {{4, 7, 1.5}, {10, -3, 0}, 6},
        {{5, 1, 0}, {5, 7, 0}, 0},
        {{-3, 0, 0}, {2, 0, 0}, 5},
    };
    host.styles[u"Active"] = {u"hebsimp.shx", 2, 9.5};
    host.activeStyle = u"Active";
    for (const auto& c : cases) {
        host = FakeHost{};
        host.styles[u"Active"] = {u"hebsimp.shx", 2, 9.5};
        host.activeStyle = u"Active";
        host.points = {c.first, c.second};
        host.distance = 1.75;
        editor->setHost(&host);
        editor->NewMtext();
        EXPECT_EQ(host.log, (Log{"ActiveTextStyle", "FontFile", "TextGenerationFlag",
                                 "GetPoint(Top right corner for block of text:)",
                                 "GetCorner(" + str(c.first) + " Opposite corner of block of text:)",
                                 "GetDistance(" + str(c.second) + " Heihgt each line of text:)",
                                 "SendCommand[(princ \"\\n\") ]", "Name"}));
        EXPECT_TRUE(editor->style().backwards);
        EXPECT_EQ(view.box.text, u"");
        EXPECT_EQ(view.status[0], u"Active");
        EXPECT_EQ(view.status[2], u"1.75");

        type(u16("שורה\r\nline"));
        host.log.clear();
        editor->CreateMtext();
        ASSERT_TRUE(host.created);
        EXPECT_EQ(host.width, c.width) << str(c.first) << " to " << str(c.second);
        EXPECT_EQ(str(host.insertion), str(c.first));
        EXPECT_EQ(host.text, stored({u16("שורה"), u"line"}));
        EXPECT_EQ(host.height, 1.75);  // the answer, not the style's 9.5
        EXPECT_EQ(host.attachment, 3);
        ASSERT_EQ(host.log.size(), 6u);
        EXPECT_EQ(host.log[1], "Name");
        EXPECT_EQ(host.log[2], "StyleName=Active");
        EXPECT_EQ(host.log[5], "SendCommand[REDRAW ]");
    }
}

TEST_F(MtextEditorTest, CreateWithAnEmptyMemoCreatesAndSendsNothing) {
    host.points = {{1, 1, 0}, {0, 0, 0}};
    editor->NewMtext();
    for (const char16_t* memo : {u"", u"\r\n"}) {
        type(memo);
        host.log.clear();
        editor->CreateMtext();
        if (memo[0]) {
            EXPECT_TRUE(host.created);  // one empty line is a line
            continue;
        }
        EXPECT_FALSE(host.created);
        EXPECT_TRUE(host.log.empty());
    }
}

TEST_F(MtextEditorTest, ACancelledPromptEndsNewMtextBeforeAnythingIsSent) {
    for (int at = 1; at <= 3; ++at) {
        host = FakeHost{};
        host.points = {{1, 1, 0}, {0, 0, 0}};
        host.cancelAtPrompt = at;
        editor->setHost(&host);
        EXPECT_THROW(editor->NewMtext(), Cancelled) << at;
        for (const std::string& call : host.log) EXPECT_EQ(call.find("SendCommand"), std::string::npos) << at;
    }
}

TEST_F(MtextEditorTest, LanguageButtonsToggleAndAlwaysSwitch) {
    const struct {
        const char* clicks;  // h: btnHeb, e: btnEng
        bool heb, eng;
        std::vector<std::uint16_t> switched;
    } cases[] = {
        {"h", false, false, {kHebrewLanguage}},
        {"hh", true, false, {kHebrewLanguage, kHebrewLanguage}},
        {"e", false, true, {kEnglishLanguage}},
        {"ee", false, false, {kEnglishLanguage, kEnglishLanguage}},
        {"eh", true, false, {kEnglishLanguage, kHebrewLanguage}},
        {"hhe", false, true, {kHebrewLanguage, kHebrewLanguage, kEnglishLanguage}},
    };
    for (const auto& c : cases) {
        newWindow();
        keyboard.activated.clear();
        for (const char* k = c.clicks; *k; ++k) *k == 'h' ? editor->btnHebClick() : editor->btnEngClick();
        EXPECT_EQ(view.hebDown, c.heb) << c.clicks;
        EXPECT_EQ(view.engDown, c.eng) << c.clicks;
        EXPECT_EQ(editor->hebrewDown(), c.heb) << c.clicks;
        EXPECT_EQ(keyboard.activated, c.switched) << c.clicks;
    }
}

TEST_F(MtextEditorTest, ShowSwitchesToHebrewAndCloseToEnglish) {
    editor->FormShow();
    editor->FormClose();
    EXPECT_EQ(keyboard.activated, (std::vector<std::uint16_t>{kHebrewLanguage, kEnglishLanguage}));
}

TEST_F(MtextEditorTest, ALanguageReportIsShownAndAppliedWhenTheTimerFires) {
    const struct {
        const char* what;
        bool hebrewShown;
        std::intptr_t lParam;
        bool heb, eng;
        std::uint16_t switched;
    } cases[] = {
        {"English", true, 0x0409, false, true, kEnglishLanguage},
        {"Hebrew", false, 0x040D, true, false, kHebrewLanguage},
        {"layout handle bits", true, 0x04090409, false, true, kEnglishLanguage},
        {"third language, Hebrew shown", true, 0x0419, false, true, kEnglishLanguage},
        {"third language, English shown", false, 0x0407, true, false, kHebrewLanguage},
        {"third language, nothing down", false, 0x0411, true, false, kHebrewLanguage},
    };
    for (const auto& c : cases) {
        newWindow();
        if (!c.hebrewShown) {
            editor->btnHebClick();  // lets it up
            if (std::string(c.what).find("English") != std::string::npos) editor->btnEngClick();
        }
        const bool hebBefore = view.hebDown, engBefore = view.engDown;
        keyboard.activated.clear();
        editor->shellHook(kShellLanguageCode, c.lParam);
        // Nothing shows before the timer.
        EXPECT_TRUE(timer.running) << c.what;
        EXPECT_EQ(timer.interval, 100u) << c.what;
        EXPECT_EQ(view.hebDown, hebBefore) << c.what;
        EXPECT_EQ(view.engDown, engBefore) << c.what;
        EXPECT_TRUE(keyboard.activated.empty()) << c.what;
        editor->Timer2Timer();
        EXPECT_EQ(view.hebDown, c.heb) << c.what;
        EXPECT_EQ(view.engDown, c.eng) << c.what;
        EXPECT_EQ(keyboard.activated, std::vector<std::uint16_t>{c.switched}) << c.what;
        EXPECT_FALSE(timer.running) << c.what;
        EXPECT_FALSE(mtLangBusy) << c.what;
    }
}

TEST_F(MtextEditorTest, ReportsBeforeTheTimerAndDuringTheSwitchAreIgnored) {
    editor->shellHook(kShellLanguageCode, 0x0409);
    editor->shellHook(kShellLanguageCode, 0x040D);
    editor->shellHook(kShellLanguageCode, 0x0419);
    EXPECT_EQ(timer.starts, 1);
    EXPECT_EQ(mtLang, kEnglishLanguage);
    // The switch itself reports; that report must not start the timer again.
    keyboard.report = [&](std::uint16_t language) { editor->shellHook(kShellLanguageCode, language); };
    editor->Timer2Timer();
    EXPECT_EQ(timer.starts, 1);
    EXPECT_FALSE(timer.running);
    EXPECT_TRUE(view.engDown);
    keyboard.report = nullptr;
    // Afterwards reports are handled again.
    editor->shellHook(kShellLanguageCode, 0x040D);
    EXPECT_EQ(timer.starts, 2);
}

TEST_F(MtextEditorTest, OtherHookCodesChangeNothing) {
    for (int code : {0, 1, 4, 7, 9, 32772}) editor->shellHook(code, 0x0409);
    EXPECT_EQ(timer.starts, 0);
    EXPECT_FALSE(mtLangBusy);
    EXPECT_TRUE(view.hebDown);
}

TEST_F(MtextEditorTest, ANewWindowStartsWithTheReportsOpen) {
    // A report just before the window goes: its timer never fires.
    editor->FormClose();
    editor->shellHook(kShellLanguageCode, 0x0409);
    ASSERT_TRUE(mtLangBusy);
    newWindow();
    EXPECT_FALSE(mtLangBusy);
    timer = FakeTimer{};
    editor->shellHook(kShellLanguageCode, 0x0409);
    EXPECT_EQ(timer.starts, 1);
    editor->Timer2Timer();
    EXPECT_TRUE(view.engDown);
}

TEST_F(MtextEditorTest, SymbolButtonsReplaceTheSelection) {
    const struct {
        const char16_t* text;
        std::size_t start, end;
        int button;
        const char16_t* after;
        std::size_t caret;
    } cases[] = {
        {u"", 0, 0, 3, u"%%d", 3},
        {u"ab", 1, 1, 7, u"a%%pb", 4},
        {u"abcd", 1, 3, 8, u"a%%cd", 4},
        {u"abcd", 3, 1, 3, u"a%%dd", 4},
        {u"ab", 0, 2, 7, u"%%p", 3},
        {u"ab", 2, 2, 8, u"ab%%c", 5},
    };
    for (const auto& c : cases) {
        view.box = {c.text, c.start, c.end};
        c.button == 3 ? editor->ToolButton3Click() : c.button == 7 ? editor->ToolButton7Click()
                                                                    : editor->ToolButton8Click();
        EXPECT_EQ(view.box.text, c.after) << show(std::u16string(c.text));
        EXPECT_EQ(view.box.selStart, c.caret);
        EXPECT_EQ(view.box.selEnd, c.caret);
    }
    EXPECT_EQ(view.memoEdits, static_cast<int>(std::size(cases))) << "each insertion can be undone";
}

TEST(MtextClipboard, ActionsFollowTheSelectionAndTheClipboard) {
    const struct {
        std::size_t start, end;
        bool clipboard;
        bool copy, cut, paste;
    } cases[] = {
        {0, 0, false, false, false, false}, {2, 2, true, false, false, true},
        {1, 3, false, true, true, false},   {3, 1, true, true, true, true},
    };
    for (const auto& c : cases) {
        const ClipboardActions a = clipboardActions({u"abcd", c.start, c.end}, c.clipboard);
        EXPECT_EQ(a.copy, c.copy);
        EXPECT_EQ(a.cut, c.cut);
        EXPECT_EQ(a.paste, c.paste);
    }
}

class MtextEditorFiles : public MtextEditorTest {
protected:
    testutil::ScratchFolder scratch{"mtext_editor"};
    std::filesystem::path folder = scratch.path();
    std::u16string path(const char* name) const { return (folder / name).u16string(); }
    void put(const char* name, const std::string& bytes) {
        std::u16string error;
        ASSERT_TRUE(writeFileBytes(path(name), bytes, error));
    }
    std::string get(const char* name) {
        std::string bytes;
        std::u16string error;
        EXPECT_TRUE(readFileBytes(path(name), bytes, error)) << utf8(error);
        return bytes;
    }
};

TEST_F(MtextEditorFiles, ExportUsesTheEncodingOfTheLastImport) {
    using std::string_literals::operator""s;
    const struct {
        const char* what;
        std::string imported;
        std::u16string memo;
        std::string exported;  // after the memo's text has been typed over
    } cases[] = {
        {"UTF-16LE", "\xFF\xFE" "a\0\n\0"s, u"a\r\n", "\xFF\xFE" "b\0"s},
        {"UTF-16BE", "\xFE\xFF\0a\0\r"s, u"a\r\n", "\xFE\xFF\0b"s},
        {"UTF-8", "\xEF\xBB\xBFz", u"z", "\xEF\xBB\xBF" "b"},
        {"ANSI", "\xF9\ra", u16("ש\r\na"), "b"},
    };
    for (const auto& c : cases) {
        newWindow();
        put("in.txt", c.imported);
        std::u16string error;
        ASSERT_TRUE(editor->importFile(path("in.txt"), error)) << c.what;
        EXPECT_EQ(view.box.text, c.memo) << c.what;
        type(u"b");
        ASSERT_TRUE(editor->exportFile(path("out.txt"), error)) << c.what;
        EXPECT_EQ(get("out.txt"), c.exported) << c.what << " " << show(get("out.txt"));
    }
}

TEST_F(MtextEditorFiles, WithoutAnImportExportIsAnsiWithoutAMark) {
    type(u16("שלום\r\nab\r\n"));
    std::u16string error;
    ASSERT_TRUE(editor->exportFile(path("out.txt"), error));
    EXPECT_EQ(get("out.txt"), "\xF9\xEC\xE5\xED\r\nab\r\n");
}

TEST_F(MtextEditorFiles, AFileThatCannotBeOpenedLeavesTheMemoAndTheEncoding) {
    put("in.txt", "\xFF\xFE" "a");
    std::u16string error;
    ASSERT_TRUE(editor->importFile(path("in.txt"), error));
    view.box = {u"kept", 1, 2};
    const int writes = view.memoWrites;
    EXPECT_FALSE(editor->importFile(path("missing.txt"), error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(view.box.text, u"kept");
    EXPECT_EQ(view.memoWrites, writes);
    EXPECT_EQ(editor->memoEncoding(), TextEncoding::Utf16LE);
    error.clear();
    EXPECT_FALSE(editor->exportFile(path("no/such/folder.txt"), error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(view.box.text, u"kept");
}

}  // namespace
