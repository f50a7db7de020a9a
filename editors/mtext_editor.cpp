#include "editors/mtext_editor.h"

#include <cmath>
#include <stdexcept>

#include "editors/mtext_contents.h"

namespace editors {

std::uint16_t mtLang = 0;
bool mtLangBusy = false;

ClipboardActions clipboardActions(const EditBoxText& memo, bool clipboardHasText) {
    const bool selected = memo.selStart != memo.selEnd;
    return {selected, selected, clipboardHasText};
}

MtextEditor::MtextEditor(hebrew::TfrmFonts& fonts, hebrew::KeyboardSwitch& keyboard, MtextView& view,
                         MtextTimer& timer)
    : fonts_(fonts), keyboard_(keyboard), view_(view), timer_(timer) {
    mtLangBusy = false;
}

MtextHost& MtextEditor::host() const {
    if (!host_) throw std::logic_error("The multiline editor has no drawing");
    return *host_;
}

void MtextEditor::useStyle(std::unique_ptr<MtextTextStyle> style) {
    cstyle_ = std::move(style);
    cfont = cstyle_->fontFile();
    style_ = fonts_.styleOf(cfont, cstyle_->textGenerationFlag());
}

void MtextEditor::FillMemo() {
    MtextHost& h = host();
    useStyle(h.textStyle(h.entityStyleName()));
    view_.setMemo({});
    const std::u16string contents = h.entityText();
    const auto toEditor = [this](std::u16string_view p) { return fonts_.AcadToEditWin(p, style_); };
    view_.setMemo({memoText(loadContents(contents, toEditor)), 0, 0});
    const std::u16string style = cstyle_->name();
    view_.showStatus(style, cfont, formatGeneral5(cstyle_->height()));
}

std::u16string MtextEditor::storedText() const {
    const auto toDrawing = [this](std::u16string_view line) { return fonts_.EditToacadWin(line, style_); };
    return storeContents(memoLines(view_.memo().text), toDrawing);
}

void MtextEditor::EditMtext() {
    const std::u16string text = storedText();
    if (text.empty()) return;
    MtextHost& h = host();
    h.setEntityText(text);
    h.sendCommand(kRedrawEdited);
}

void MtextEditor::NewMtext() {
    MtextHost& h = host();
    useStyle(h.activeTextStyle());
    pp = h.getPoint(kCornerPrompt);
    ppt = {pp.x, pp.y};
    vv = h.getCorner(pp, kOppositePrompt);
    vvt = {vv.x, vv.y};
    ihh = h.getDistance(vv, kHeightPrompt);
    h.sendCommand(kPrintLineBreak);
    view_.setMemo({});
    view_.showStatus(cstyle_->name(), cfont, formatGeneral5(ihh));
}

void MtextEditor::CreateMtext() {
    const std::u16string text = storedText();
    if (text.empty()) return;
    MtextHost& h = host();
    xx = std::fabs(ppt[0] - vvt[0]);
    h.addMText(pp, xx, text);
    h.setEntityStyleName(cstyle_->name());
    h.setEntityHeight(ihh);
    h.setEntityAttachmentPoint(kAttachmentTopRight);
    h.sendCommand(kRedrawCreated);
}

void MtextEditor::FormShow() { hebrew::SelectHebrewKeyboard(keyboard_); }

void MtextEditor::FormClose() { hebrew::SelectEnglishKeyboard(keyboard_); }

void MtextEditor::setLanguageButtons(bool hebrewDown, bool englishDown) {
    hebDown_ = hebrewDown;
    engDown_ = englishDown;
    view_.showLanguageButtons(hebDown_, engDown_);
}

// The two are a group in which both may be up: a click toggles its own
// button, and putting one down lets the other up.
void MtextEditor::btnHebClick() {
    setLanguageButtons(!hebDown_, hebDown_ ? engDown_ : false);
    hebrew::SelectHebrewKeyboard(keyboard_);
}

void MtextEditor::btnEngClick() {
    setLanguageButtons(engDown_ ? hebDown_ : false, !engDown_);
    hebrew::SelectEnglishKeyboard(keyboard_);
}

void MtextEditor::btnRClick() {
    rightToLeft_ = true;
    view_.showDirection(true);
}

void MtextEditor::btnLClick() {
    rightToLeft_ = false;
    view_.showDirection(false);
}

void MtextEditor::insertCode(std::u16string_view code) { view_.editMemo(replaceSelection(view_.memo(), code)); }

bool MtextEditor::importFile(const std::u16string& path, std::u16string& error) {
    std::string bytes;
    if (!readFileBytes(path, bytes, error)) return false;
    DecodedText decoded = decodeTextFile(bytes);
    view_.setMemo({std::move(decoded.text), 0, 0});
    encoding_ = decoded.encoding;
    return true;
}

bool MtextEditor::exportFile(const std::u16string& path, std::u16string& error) {
    return writeFileBytes(path, encodeTextFile(view_.memo().text, encoding_), error);
}

void MtextEditor::shellHook(int code, std::intptr_t lParam) {
    if (code == kShellLanguageCode) MtLangChanged(static_cast<std::uint16_t>(lParam & 0xFFFF));
}

void MtextEditor::MtLangChanged(std::uint16_t language) {
    if (mtLangBusy) return;
    mtLangBusy = true;
    if (language == hebrew::kEnglishLanguage || language == hebrew::kHebrewLanguage)
        mtLang = language;
    else  // a third language: the opposite of the one shown
        mtLang = hebDown_ ? hebrew::kEnglishLanguage : hebrew::kHebrewLanguage;
    timer_.start(kTimer2Interval);
}

void MtextEditor::Timer2Timer() {
    MtApplyLang();
    timer_.stop();
}

void MtextEditor::MtApplyLang() {
    mtLangBusy = true;
    if (mtLang == hebrew::kEnglishLanguage) {
        setLanguageButtons(false, true);
        hebrew::SelectEnglishKeyboard(keyboard_);
    } else if (mtLang == hebrew::kHebrewLanguage) {
        setLanguageButtons(true, false);
        hebrew::SelectHebrewKeyboard(keyboard_);
    }
    mtLangBusy = false;
}

}  // namespace editors
