#include "editors/attribute_grid.h"

#include "hebrew/codepage.h"
#include "hebrew/file_names.h"

namespace editors {

namespace {

std::u16string decimal(std::size_t n) {
    const std::string digits = std::to_string(n);
    return std::u16string(digits.begin(), digits.end());
}

}  // namespace

GridPlacement AttributeGrid::FormCreate(DpiScale dpi) {
    const hebrew::Rinistr& s = fonts_.IniSettings;
    rightToLeft_ = s.grmode == 0;
    return {s.grl, s.grt, dpi(s.grw), dpi(s.grh)};
}

// Looked up in the drawing for every row each time it is converted, as the
// host sees it: a style changed meanwhile is used as it is now.
hebrew::StyleState AttributeGrid::styleNamed(const std::u16string& styleName) const {
    const GridTextStyle style = host_.textStyle(styleName);
    return fonts_.styleOf(style.fontFile, style.textGenerationFlag);
}

std::u16string AttributeGrid::keyFor(const std::u16string& prompt, const hebrew::DisplayOrderer& surface,
                                     const hebrew::StyleState& style) const {
    const std::u16string shown = hebrew::fromBytes(surface.displayOrder(hebrew::toBytes(prompt)));
    return fonts_.AcadToEditWinG(shown, style);
}

// An attribute that cannot be read is left out: a row with a half-read entry
// would write its blank text over the attribute's own.
void AttributeGrid::EditBlock(const hebrew::DisplayOrderer& gridSurface) {
    const std::vector<std::shared_ptr<GridAttribute>> attributes = host_.attributes();
    caption_ = kGridCaptionPrefix + host_.blockName();
    ClearGrid();
    datr_.clear();
    datr_.reserve(attributes.size());
    for (std::size_t i = 0; i < attributes.size(); ++i) {
        tat entry{{}, decimal(i + 1), {}, attributes[i]};
        try {
            entry.text = entry.atr->textstring();
            entry.style = entry.atr->stylename();
        } catch (const std::exception&) {
            continue;
        }
        datr_.push_back(std::move(entry));
    }
    host_.refreshDocument();
    for (std::size_t k = 0; k < datr_.size(); ++k) {
        const hebrew::StyleState style = styleNamed(datr_[k].style);
        appendRow({keyFor(datr_[k].prompt, gridSurface, style), fonts_.AcadToEditWinG(datr_[k].text, style), k});
    }
}

void AttributeGrid::FormShow() {
    if (rightToLeft_) {
        hebrew::SelectHebrewKeyboard(keyboard_);
        btnHCaption_ = kCaptionEnglish;
    } else {
        hebrew::SelectEnglishKeyboard(keyboard_);
        btnHCaption_ = kCaptionHebrew;
    }
}

// The caption names the side a click switches to.
void AttributeGrid::btnHClick() {
    if (hebrew::upperCase(btnHCaption_) == u"&ENGLISH") {
        rightToLeft_ = false;
        btnHCaption_ = kCaptionHebrew;
        hebrew::SelectEnglishKeyboard(keyboard_);
    } else {
        rightToLeft_ = true;
        btnHCaption_ = kCaptionEnglish;
        hebrew::SelectHebrewKeyboard(keyboard_);
    }
}

int AttributeGrid::BitBtn1Click() {
    isCancel_ = false;
    hebrew::SelectEnglishKeyboard(keyboard_);
    return 1;
}

int AttributeGrid::BitBtn2Click() {
    isCancel_ = true;
    hebrew::SelectEnglishKeyboard(keyboard_);
    return 2;
}

void AttributeGrid::FormClose() {
    // Deliberate: OK writes every row here, and the command writes them all once more.
    if (!isCancel_) update();
    hebrew::SelectEnglishKeyboard(keyboard_);
}

void AttributeGrid::FormDestroy(const GridPlacement& placement, DpiScale dpi) {
    hebrew::Rinistr& s = fonts_.IniSettings;
    s.grl = placement.left;
    s.grt = placement.top;
    s.grw = dpi.toDesign(placement.width);
    s.grh = dpi.toDesign(placement.height);
    s.grmode = rightToLeft_ ? 0 : 1;
    hebrew::SelectEnglishKeyboard(keyboard_);
}

void AttributeGrid::update() {
    for (const GridRow& row : rows_) {
        if (!row.entry) continue;
        const tat& entry = datr_[*row.entry];
        entry.atr->setTextString(fonts_.EditToacadWinG(row.value, styleNamed(entry.style)));
    }
    host_.sendCommand(kRedrawCommand);
}

// The blanked row shows no attribute's text any more, so it writes none.
void AttributeGrid::ClearGrid() {
    if (rows_.empty()) rows_.emplace_back();
    rows_.front() = GridRow{};
    blankRowPending_ = true;
}

void AttributeGrid::appendRow(GridRow row) {
    if (blankRowPending_ && !rows_.empty()) {
        rows_.front() = std::move(row);
        blankRowPending_ = false;
        return;
    }
    rows_.push_back(std::move(row));
}

std::optional<std::size_t> AttributeGrid::rowWithKey(const std::u16string& key) const {
    for (std::size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].key == key) return i;
    return std::nullopt;
}

bool AttributeGrid::setValue(std::size_t row, const std::u16string& value) {
    if (row >= rows_.size()) return false;
    rows_[row].value = value;
    if (row == 0) blankRowPending_ = false;
    return true;
}

bool AttributeGrid::setKey(std::size_t row, const std::u16string& key) {
    if (row >= rows_.size()) return false;
    const std::optional<std::size_t> holder = rowWithKey(key);
    if (holder && *holder != row) return false;
    rows_[row].key = key;
    if (row == 0) blankRowPending_ = false;
    return true;
}

std::size_t AttributeGrid::addRow() {
    if (const std::optional<std::size_t> blank = rowWithKey(u"")) return *blank;
    rows_.emplace_back();
    return rows_.size() - 1;
}

bool AttributeGrid::deleteRow(std::size_t row) {
    if (row >= rows_.size()) return false;
    rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(row));
    if (row == 0) blankRowPending_ = false;
    return true;
}

}  // namespace editors
