// The line text editor's behaviour, driven as its window would drive it.
#include "editors/line_editor.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "hebrew/codepage.h"
#include "memory_profiles.h"

using namespace editors;
using hebrew::fntType;

namespace {

const std::u16string kShalomDos = hebrew::fromBytes("\x8D\x85\x8C\x99");  // as a DOS Hebrew font stores it
const std::u16string kShalom = u"\u05E9\u05DC\u05D5\u05DD";

struct FakeEntity : LineTextEntity {
    std::u16string text;
    std::vector<std::u16string> writes;
    int reads = 0, updates = 0;
    bool failWrites = false;
    std::u16string textString() override {
        ++reads;
        return text;
    }
    void setTextString(const std::u16string& t) override {
        if (failWrites) throw std::runtime_error("write refused");
        text = t;
        writes.push_back(t);
    }
    void update() override { ++updates; }
};

// The edit box: a change raises the change event as the control does.
struct FakeView : LineEditorView {
    LineEditor* editor = nullptr;
    std::u16string text, fontTypeName;
    std::vector<int> images;
    std::u16string editText() override { return text; }
    void setEditText(const std::u16string& t) override {
        text = t;
        if (editor) editor->Edit1Change();
    }
    void setFontTypeName(const std::u16string& n) override { fontTypeName = n; }
    void setLangImage(int image) override { images.push_back(image); }
    void type(const std::u16string& s) {
        for (char16_t c : s) setEditText(text + c);
    }
};

struct FakeTimer : EditorTimer {
    bool running = false;
    void start() override { running = true; }
    void stop() override { running = false; }
};

// GetAsyncKeyState: the high bit while down, the low bit once after a press.
struct FakeKeys : AsyncKeyState {
    bool down[256] = {};
    bool pressedSince[256] = {};
    std::vector<int> queries;
    void press(int vk) { down[vk] = pressedSince[vk] = true; }
    void release(int vk) { down[vk] = false; }
    short query(int vk) override {
        queries.push_back(vk);
        short r = static_cast<short>((down[vk] ? 0x8000 : 0) | (pressedSince[vk] ? 1 : 0));
        pressedSince[vk] = false;
        return r;
    }
};

struct FakeHook : LanguageHook {
    int installs = 0, removals = 0;
    bool installed = false;
    void install() override {
        if (installed) return;
        installed = true;
        ++installs;
    }
    void remove() override {
        installed = false;
        ++removals;
    }
};

class LineEditorTest : public ::testing::Test {
protected:
    testutil::MemoryProfiles files;
    std::unique_ptr<hebrew::DisplayOrderer> surface = hebrew::makeLeftToRightSurface();
    hebrew::TfrmFonts fonts{hebrew::FontServicePlatform{files, *surface, u"C:\\cfg\\", true}};
    FakeEntity entity;
    FakeView view;
    hebrew::RecordingKeyboard keyboard;
    FakeTimer timer;
    FakeKeys keys;
    FakeHook hook;
    LineEditor editor{LineEditorSeams{fonts, view, keyboard, timer, keys, hook}};

    void SetUp() override {
        view.editor = &editor;
        editor.setEntity(&entity);
    }
    // What the Edit command does before it shows the window.
    void openOn(const std::u16string& stored) {
        editor.FormCreate(89);
        entity.text = stored;
        editor.open(&entity, style);
        keyboard.activated.clear();
    }
    // The style Edit found for the text: a DOS Hebrew font.
    hebrew::StyleState style{u"HEBSIMP", hebrew::DosHebrew, false};
    std::u16string toDrawing(const std::u16string& text) const { return fonts.EditToacadWin(text, editor.style()); }
    std::uint16_t lastLayout() const { return keyboard.activated.empty() ? 0 : keyboard.activated.back(); }
};

TEST_F(LineEditorTest, OpeningReadsTheStoredStringOnceAndWritesNothing) {
    openOn(kShalomDos);
    EXPECT_EQ(view.text, kShalom);
    EXPECT_EQ(view.fontTypeName, u"Dos Hebrew");
    EXPECT_TRUE(entity.writes.empty());
    EXPECT_EQ(entity.reads, 1);
    EXPECT_TRUE(editor.changeHandlerAttached());
}

TEST_F(LineEditorTest, EveryTypedCharacterWritesTheWholeConvertedTextOnce) {
    openOn(u"");
    editor.setChangeHandlerAttached(true);  // the command attaches it even for an empty text
    view.type(u"\u05D0\u05D1a");
    ASSERT_EQ(entity.writes.size(), 3u);
    EXPECT_EQ(entity.updates, 3);
    EXPECT_EQ(entity.writes[0], toDrawing(u"\u05D0"));
    EXPECT_EQ(entity.writes[1], toDrawing(u"\u05D0\u05D1"));
    EXPECT_EQ(entity.writes[2], toDrawing(u"\u05D0\u05D1a"));
    // Under a DOS Hebrew font the letters go back to their DOS codes.
    view.setEditText(kShalom);
    EXPECT_EQ(entity.text, kShalomDos);
}

TEST_F(LineEditorTest, ChangeEdOnAnEmptyBoxShowsTheTypeOnly) {
    editor.FormCreate(89);
    entity.text = kShalomDos;
    editor.setChangeHandlerAttached(false);
    editor.setStyle({u"HEBSIMP", hebrew::WindowsHeb, false});
    editor.ChangeEd();
    EXPECT_EQ(view.fontTypeName, u"Windows");
    EXPECT_EQ(entity.reads, 0);
    EXPECT_FALSE(editor.changeHandlerAttached());  // left as it was
    view.type(u"x");
    EXPECT_TRUE(entity.writes.empty());
}

TEST_F(LineEditorTest, FontTypeStepsCycleBothWaysWithTheirNames) {
    struct Step {
        fntType from;
        bool down;
        fntType to;
        const char16_t* name;
    };
    const Step steps[] = {
        {hebrew::DosHebrew, true, hebrew::DosEnglish, u"Dos English"},
        {hebrew::DosEnglish, true, hebrew::DosEnglishR, u"Dos English Reversed"},
        {hebrew::DosEnglishR, true, hebrew::WindowsHeb, u"Windows"},
        {hebrew::WindowsHeb, true, hebrew::TrueType, u"True Type"},
        {hebrew::TrueType, true, hebrew::DosHebrew, u"Dos Hebrew"},
        {hebrew::DosHebrew, false, hebrew::TrueType, u"True Type"},
        {hebrew::TrueType, false, hebrew::WindowsHeb, u"Windows"},
        {hebrew::DosEnglish, false, hebrew::DosHebrew, u"Dos Hebrew"},
    };
    openOn(u"");
    for (const auto& s : steps) {
        SCOPED_TRACE(std::string(s.down ? "down from " : "up from ") + std::to_string(s.from));
        editor.setStyle({u"HEBSIMP", s.from, false});
        s.down ? editor.btn1DownClick() : editor.btn1UpClick();
        EXPECT_EQ(editor.style().type, s.to);
        EXPECT_EQ(editor.style().font, u"HEBSIMP") << "a step changes the type only";
        EXPECT_EQ(view.fontTypeName, s.name);
    }
}

TEST_F(LineEditorTest, AStepShowsTheStoredStringUnderTheNewTypeAndWritesNothing) {
    openOn(kShalomDos);
    editor.btn1UpClick();  // True Type: the same bytes read as Windows-1255 punctuation
    EXPECT_TRUE(entity.writes.empty());
    EXPECT_EQ(view.text, fonts.AcadToEditWin(kShalomDos, editor.style()));
    EXPECT_NE(view.text, kShalom);
    EXPECT_EQ(entity.reads, 2);
    // The next change writes under the new type.
    view.type(u"!");
    ASSERT_EQ(entity.writes.size(), 1u);
    EXPECT_EQ(entity.writes[0], toDrawing(view.text));
}

TEST_F(LineEditorTest, AFailingLiveWriteLeavesTheEditorUsable) {
    openOn(u"a");
    entity.failWrites = true;
    EXPECT_THROW(view.type(u"b"), std::runtime_error);
    entity.failWrites = false;
    view.type(u"c");
    ASSERT_EQ(entity.writes.size(), 1u);
    EXPECT_EQ(entity.writes[0], toDrawing(u"abc"));
}

TEST_F(LineEditorTest, FailingRefillKeepsTheChangeHandler) {
    struct Unreadable : FakeEntity {
        std::u16string textString() override { throw std::runtime_error("gone"); }
    } unreadable;
    openOn(u"a");
    editor.setEntity(&unreadable);
    EXPECT_THROW(editor.btn1DownClick(), std::runtime_error);
    EXPECT_TRUE(editor.changeHandlerAttached());
}

TEST_F(LineEditorTest, SymbolButtonsReplaceTheSelection) {
    const EditBoxText box{u"\u05D0\u05D1\u05D2", 1, 2};
    const char16_t symbols[] = {u'\u00B0', u'\u00B1', u'\u00AD', u'\u00AF'};
    for (int b = 1; b <= 4; ++b) {
        const EditBoxText after = editor.symbolClick(b, box);
        EXPECT_EQ(after.text, (std::u16string{u'\u05D0', symbols[b - 1], u'\u05D2'}));
        EXPECT_EQ(after.selStart, 2u);
    }
}

TEST_F(LineEditorTest, LanguageOverTheWindowsLife) {
    editor.FormCreate(89);
    EXPECT_EQ(lastLayout(), hebrew::kEnglishLanguage);
    EXPECT_EQ(hook.installs, 1);
    editor.FormActivate();
    EXPECT_EQ(lastLayout(), hebrew::kHebrewLanguage);
    EXPECT_EQ(editor.langImage(), 0);
    editor.btnLangClick();
    EXPECT_EQ(lastLayout(), hebrew::kEnglishLanguage);
    EXPECT_EQ(editor.langImage(), 1);
    EXPECT_EQ(editor.curLang, hebrew::kHebrewLanguage);  // the hook's report brings it into line
    editor.FormActivate();  // every activation goes back to Hebrew
    EXPECT_EQ(lastLayout(), hebrew::kHebrewLanguage);
    EXPECT_EQ(editor.btnOkClick(), 1);
    EXPECT_EQ(lastLayout(), hebrew::kEnglishLanguage);
    editor.FormActivate();
    EXPECT_EQ(editor.btnCanselClick(), 2);
    EXPECT_EQ(lastLayout(), hebrew::kEnglishLanguage);
    editor.FormClose();
    EXPECT_EQ(lastLayout(), hebrew::kEnglishLanguage);
    EXPECT_EQ(hook.removals, 1);
    EXPECT_FALSE(editor.langd);
}

TEST_F(LineEditorTest, AltShiftTogglesOnTheRightRelease) {
    editor.FormCreate(89);
    editor.FormActivate();  // Hebrew
    keyboard.activated.clear();

    // Alt held, Shift pressed: the release of either toggles once.
    keys.press(kVkMenu);
    editor.FormKeyDown();
    EXPECT_FALSE(editor.isLangChange);
    keys.press(kVkShift);
    editor.FormKeyDown();
    EXPECT_TRUE(editor.isLangChange);
    keys.release(kVkShift);
    editor.FormKeyUp();
    EXPECT_EQ(keyboard.activated, std::vector<std::uint16_t>{hebrew::kEnglishLanguage});
    keys.release(kVkMenu);
    editor.FormKeyUp();
    EXPECT_EQ(keyboard.activated.size(), 1u);

    // Another key while both are held: its release toggles, not Alt's or Shift's.
    keyboard.activated.clear();
    keys.press(kVkMenu);
    keys.press(kVkShift);
    editor.FormKeyDown();
    keys.press('A');
    editor.FormKeyDown();  // still both held
    keys.release('A');
    editor.FormKeyUp();
    keys.release(kVkShift);
    editor.FormKeyUp();
    keys.release(kVkMenu);
    editor.FormKeyUp();
    EXPECT_EQ(keyboard.activated.size(), 1u);

    // A key without both clears a pending toggle.
    keyboard.activated.clear();
    keys.press(kVkMenu);
    keys.press(kVkShift);
    editor.FormKeyDown();
    keys.release(kVkMenu);
    keys.release(kVkShift);
    keys.query(kVkMenu);  // their presses have been seen
    keys.query(kVkShift);
    keys.press('B');
    editor.FormKeyDown();
    editor.FormKeyUp();
    EXPECT_TRUE(keyboard.activated.empty());
}

TEST_F(LineEditorTest, AltShiftQueriesClearThePressedSinceState) {
    keys.press(kVkShift);
    keys.press(kVkMenu);
    keys.release(kVkShift);
    keys.release(kVkMenu);  // pressed and released between two key events
    editor.FormKeyDown();
    EXPECT_TRUE(editor.isLangChange);
    EXPECT_EQ(keys.queries, (std::vector<int>{kVkShift, kVkMenu, kVkShift, kVkMenu}));
    editor.FormKeyDown();  // the memory is gone: no toggle any more
    EXPECT_FALSE(editor.isLangChange);
    EXPECT_EQ(keys.queries.size(), 5u);  // Shift only: Alt is not asked when Shift is up
}

TEST_F(LineEditorTest, LanguageReports) {
    struct Report {
        const char* what;
        std::uint16_t language;
        int imageAtOnce;       // btnLang right after the report
        std::uint16_t layout;  // switched to after 100 ms
        bool switchedAtOnce;
    };
    const Report reports[] = {
        {"English", hebrew::kEnglishLanguage, 1, hebrew::kEnglishLanguage, false},
        {"Hebrew", hebrew::kHebrewLanguage, 0, hebrew::kHebrewLanguage, false},
        {"a third language", 0x0419, 0, hebrew::kHebrewLanguage, true},
    };
    for (const auto& r : reports) {
        SCOPED_TRACE(r.what);
        editor.FormCreate(89);
        editor.btnLangClick();  // show the other image first
        keyboard.activated.clear();
        editor.LangChanged(r.language);
        EXPECT_EQ(editor.langImage(), r.imageAtOnce);
        EXPECT_EQ(keyboard.activated.empty(), !r.switchedAtOnce);
        EXPECT_TRUE(timer.running);
        if (r.switchedAtOnce) {
            EXPECT_EQ(keyboard.activated, std::vector<std::uint16_t>{hebrew::kHebrewLanguage});
            EXPECT_FALSE(editor.langd);
        } else {
            // Reports inside the 100 ms are ignored.
            const std::uint16_t other = r.language == hebrew::kEnglishLanguage ? hebrew::kHebrewLanguage
                                                                               : hebrew::kEnglishLanguage;
            editor.LangChanged(other);
            EXPECT_EQ(editor.curLang, r.language);
            EXPECT_EQ(editor.langImage(), r.imageAtOnce);
        }
        keyboard.activated.clear();
        editor.tmr3Timer();
        EXPECT_FALSE(timer.running);
        EXPECT_FALSE(editor.langd);
        EXPECT_EQ(keyboard.activated, std::vector<std::uint16_t>{r.layout});
        EXPECT_EQ(editor.langImage(), r.imageAtOnce);
    }
}

TEST_F(LineEditorTest, HookPassesEveryCallOnFirst) {
    editor.FormCreate(89);
    std::vector<std::string> order;
    auto next = [&] {
        order.push_back("next");
        return 42LL;
    };
    EXPECT_EQ(languageHookProc(&editor, 5, hebrew::kHebrewLanguage, next), 42);
    EXPECT_EQ(editor.curLang, hebrew::kEnglishLanguage);  // code 5: nothing changes
    EXPECT_FALSE(timer.running);
    EXPECT_EQ(languageHookProc(&editor, kHshellLanguage, 0x0409040D, next), 42);
    EXPECT_EQ(editor.curLang, hebrew::kHebrewLanguage);  // low 16 bits
    EXPECT_TRUE(timer.running);
    EXPECT_EQ(order.size(), 2u);
    EXPECT_EQ(languageHookProc(nullptr, kHshellLanguage, hebrew::kHebrewLanguage, next), 42);
}

TEST_F(LineEditorTest, ResizeKeepsTheMarginAndTheHeight) {
    editor.FormCreate(120);
    EXPECT_EQ(editor.editWidthFor(741, 8), 741 - 16 - 20);
    EXPECT_EQ(editor.FHeight(), 120);
}

}  // namespace
