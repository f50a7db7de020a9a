// The line text editor's behaviour: what the window of one single-line text
// writes into the entity and when, the font type steps, and the keyboard
// language state with its hook and timer. The Win32 window only forwards its
// controls' events here and shows what this asks it to show.
#pragma once

#include <cstdint>
#include <string>

#include "editors/callback_guard.h"
#include "editors/edit_box.h"
#include "hebrew/fntdef.h"
#include "hebrew/keyboard.h"

namespace editors {

// The text entity being edited (its text string and its redraw); a failing
// call throws.
class LineTextEntity {
public:
    virtual ~LineTextEntity() = default;
    virtual std::u16string textString() = 0;
    virtual void setTextString(const std::u16string& text) = 0;
    virtual void update() = 0;
};

// The window's controls as the behaviour sees them.
class LineEditorView {
public:
    virtual ~LineEditorView() = default;
    virtual std::u16string editText() = 0;                            // Edit1
    virtual void setEditText(const std::u16string& text) = 0;        // Edit1, raising its change event
    virtual void setFontTypeName(const std::u16string& name) = 0;    // edt1
    virtual void setLangImage(int image) = 0;                        // btnLang: 0 Hebrew, 1 English
};

// A one-shot interval timer (tmr3): start, stop, and the window calls
// tmr3Timer when it fires.
class EditorTimer {
public:
    virtual ~EditorTimer() = default;
    virtual void start() = 0;
    virtual void stop() = 0;
};

// GetAsyncKeyState: non-zero while the key is down or when it was pressed
// since the last query, which clears that memory.
class AsyncKeyState {
public:
    virtual ~AsyncKeyState() = default;
    virtual short query(int virtualKey) = 0;
};

// The thread's shell hook that reports input-language changes.
class LanguageHook {
public:
    virtual ~LanguageHook() = default;
    virtual void install() = 0;  // does nothing when installed already
    virtual void remove() = 0;
};

constexpr int kVkShift = 0x10;
constexpr int kVkMenu = 0x12;  // Alt
constexpr int kHshellLanguage = 8;

// The four symbol buttons tb1 to tb4.
char16_t symbolOfButton(int button);

struct LineEditorSeams {
    hebrew::TfrmFonts& fonts;
    LineEditorView& view;
    hebrew::KeyboardSwitch& keyboard;
    EditorTimer& tmr3;
    AsyncKeyState& keys;
    LanguageHook& hook;
};

// How a command opens the box: on the text's stored string (Edit), or empty
// for a text just made (Newtext), where the change handler stays attached so
// that typing is written at once.
enum class Opening { StoredText, NewText };

class LineEditor {
public:
    explicit LineEditor(LineEditorSeams seams) : s_(seams) {}

    // Sets the entity and the style, fills the box and shows the font type.
    // StoredText reads the stored string once through the entity, fills the
    // box with it converted without writing anything, attaches the change
    // handler and returns the string read; NewText returns nothing.
    std::u16string open(LineTextEntity* ttx, const hebrew::StyleState& style, Opening how = Opening::StoredText);

    // The entity the window edits, and the style its conversions take: the
    // font type steps change the style's type.
    void setEntity(LineTextEntity* ttx) { ttx_ = ttx; }
    void setStyle(const hebrew::StyleState& style) { style_ = style; }
    const hebrew::StyleState& style() const { return style_; }

    // Window lifecycle and events.
    void FormCreate(int height);
    void ChangeEd();
    void Edit1Change();
    void setChangeHandlerAttached(bool attached) { changeAttached_ = attached; }
    bool changeHandlerAttached() const { return changeAttached_; }
    void btnLangClick();
    EditBoxText symbolClick(int button, const EditBoxText& box) const;
    void btn1DownClick();
    void btn1UpClick();
    void FormKeyDown();
    void FormKeyUp();
    void FormActivate();
    int btnOkClick();      // 1: the modal result
    int btnCanselClick();  // 2
    void FormClose();
    void tmr3Timer();
    void LangChanged(std::uint16_t language);
    // FormResize: the edit box width for a window width, and the height the
    // window is held at.
    int editWidthFor(int windowWidth, int editLeft) const { return windowWidth - 2 * editLeft - 20; }
    int FHeight() const { return fHeight_; }
    // The height the window is held at once it shows at another DPI.
    void setFHeight(int height) { fHeight_ = height; }

    void ApplyLang();

    int curLang = 0;
    bool langd = false;
    bool isLangChange = false;
    int langImage() const { return langImage_; }

private:
    void showLang(int image);
    void stepFontType(hebrew::fntType type);
    void showFontType();
    void fillDetached(const std::u16string& stored);

    LineEditorSeams s_;
    LineTextEntity* ttx_ = nullptr;
    hebrew::StyleState style_;
    bool changeAttached_ = true;
    int fHeight_ = 0;
    int langImage_ = 0;
};

// A shell report to the open line editor (none: nowhere to go): a language
// change carries the language in the low 16 bits.
inline void reportShellToLineEditor(LineEditor* editor, int code, std::uintptr_t lParam) {
    if (code == kHshellLanguage && editor) editor->LangChanged(static_cast<std::uint16_t>(lParam & 0xFFFF));
}

// The hook procedure's order: the next hook first, whatever the code, then
// the report; the next hook's result is returned.
template <typename CallNext>
long long languageHookProc(LineEditor* editor, int code, std::uintptr_t lParam, CallNext callNext) {
    return relayHook(callNext, [&] { reportShellToLineEditor(editor, code, lParam); });
}

}  // namespace editors
