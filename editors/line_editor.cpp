#include "editors/line_editor.h"

namespace editors {

namespace {

// Detaches the change handler while the box is refilled; attaches it again
// even when the refill fails half way.
class DetachedChange {
public:
    explicit DetachedChange(LineEditor& editor) : editor_(editor) { editor_.setChangeHandlerAttached(false); }
    ~DetachedChange() { editor_.setChangeHandlerAttached(true); }

private:
    LineEditor& editor_;
};

}  // namespace

char16_t symbolOfButton(int button) {
    switch (button) {
        case 1: return u'\u00B0';  // degree
        case 2: return u'\u00B1';  // plus-minus
        case 3: return u'\u00AD';  // soft hyphen
        case 4: return u'\u00AF';  // macron
    }
    return 0;
}

void LineEditor::FormCreate(int height) {
    fHeight_ = height;
    curLang = hebrew::kEnglishLanguage;
    ApplyLang();
    s_.hook.install();
}

std::u16string LineEditor::open(LineTextEntity* ttx, const hebrew::StyleState& style, Opening how) {
    ttx_ = ttx;
    style_ = style;
    if (how == Opening::NewText) {
        // The handler stays attached: typing writes at once.
        s_.view.setEditText(u"");
        ChangeEd();
        return {};
    }
    setChangeHandlerAttached(false);
    const std::u16string stored = ttx_->textString();
    // ChangeEd's refill would show the same string again: it is filled once.
    fillDetached(stored);
    showFontType();
    return stored;
}

void LineEditor::showFontType() { s_.view.setFontTypeName(hebrew::fontTypeRow(style_.type).displayName); }

void LineEditor::fillDetached(const std::u16string& stored) {
    DetachedChange detached(*this);
    s_.view.setEditText(s_.fonts.AcadToEditWin(stored, style_));
}

void LineEditor::ChangeEd() {
    showFontType();
    if (s_.view.editText().empty()) return;
    fillDetached(ttx_->textString());
}

void LineEditor::Edit1Change() {
    if (!changeAttached_ || !ttx_) return;
    ttx_->setTextString(s_.fonts.EditToacadWin(s_.view.editText(), style_));
    ttx_->update();
}

void LineEditor::showLang(int image) {
    langImage_ = image;
    s_.view.setLangImage(image);
}

void LineEditor::ApplyLang() {
    langd = true;
    if (curLang == hebrew::kEnglishLanguage) {
        showLang(1);
        hebrew::SelectEnglishKeyboard(s_.keyboard);
    } else if (curLang == hebrew::kHebrewLanguage) {
        showLang(0);
        hebrew::SelectHebrewKeyboard(s_.keyboard);
    }
    langd = false;
}

void LineEditor::btnLangClick() {
    if (langImage_ == 0) {
        showLang(1);
        hebrew::SelectEnglishKeyboard(s_.keyboard);
    } else {
        showLang(0);
        hebrew::SelectHebrewKeyboard(s_.keyboard);
    }
}

EditBoxText LineEditor::symbolClick(int button, const EditBoxText& box) const {
    const char16_t symbol = symbolOfButton(button);
    return symbol ? replaceSelection(box, std::u16string_view(&symbol, 1)) : box;
}

void LineEditor::stepFontType(hebrew::fntType type) {
    style_.type = type;
    ChangeEd();
}

void LineEditor::btn1DownClick() { stepFontType(hebrew::nextFontType(style_.type)); }
void LineEditor::btn1UpClick() { stepFontType(hebrew::previousFontType(style_.type)); }

void LineEditor::FormKeyDown() {
    // Alt is only asked about while Shift is held, as the condition reads.
    if (s_.keys.query(kVkShift) != 0 && s_.keys.query(kVkMenu) != 0) {
        // Asked once more to forget that they were pressed since the last query.
        s_.keys.query(kVkShift);
        s_.keys.query(kVkMenu);
        isLangChange = true;
    } else {
        isLangChange = false;
    }
}

void LineEditor::FormKeyUp() {
    if (!isLangChange) return;
    isLangChange = false;
    if (curLang == hebrew::kHebrewLanguage)
        hebrew::SelectEnglishKeyboard(s_.keyboard);
    else
        hebrew::SelectHebrewKeyboard(s_.keyboard);
}

void LineEditor::FormActivate() {
    curLang = hebrew::kHebrewLanguage;
    ApplyLang();
}

int LineEditor::btnOkClick() {
    curLang = hebrew::kEnglishLanguage;
    ApplyLang();
    return 1;
}

int LineEditor::btnCanselClick() {
    curLang = hebrew::kEnglishLanguage;
    ApplyLang();
    return 2;
}

void LineEditor::FormClose() {
    curLang = hebrew::kEnglishLanguage;
    ApplyLang();
    s_.hook.remove();
}

void LineEditor::tmr3Timer() {
    ApplyLang();
    s_.tmr3.stop();
}

void LineEditor::LangChanged(std::uint16_t language) {
    if (langd) return;
    langd = true;
    if (language == hebrew::kEnglishLanguage || language == hebrew::kHebrewLanguage) {
        curLang = language;
        showLang(language == hebrew::kHebrewLanguage ? 0 : 1);
    } else {
        curLang = hebrew::kHebrewLanguage;
        ApplyLang();
    }
    s_.tmr3.start();
}

}  // namespace editors
