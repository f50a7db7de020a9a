// The attribute editor's behaviour: one row per attribute of a block
// reference, each row linked to its own attribute, converted with the font
// type of its own text style both ways; the direction and keyboard state; and
// what is written back when. The Win32 window only forwards its grid's and
// buttons' events here and shows the rows and captions this gives it.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "editors/dpi_scale.h"
#include "hebrew/display_order.h"
#include "hebrew/fntdef.h"
#include "hebrew/keyboard.h"

namespace editors {

// One attribute reference, read and written by name through the host's late
// binding; a failing call throws.
class GridAttribute {
public:
    virtual ~GridAttribute() = default;
    virtual std::u16string textstring() = 0;
    virtual std::u16string stylename() = 0;
    virtual void setTextString(const std::u16string& text) = 0;  // "TextString"
};

struct GridTextStyle {
    std::u16string fontFile;
    long textGenerationFlag = 0;  // 2: the style draws backwards
};

// The block reference and the document, as the attribute editor reaches them;
// a failing call throws.
class GridHost {
public:
    virtual ~GridHost() = default;
    virtual std::vector<std::shared_ptr<GridAttribute>> attributes() = 0;  // GetAttributes, in order
    virtual std::u16string blockName() = 0;
    virtual void refreshDocument() = 0;  // the document becomes the host's active one
    // The style of that name in the document's text styles; throws when there is none.
    virtual GridTextStyle textStyle(const std::u16string& name) = 0;
    virtual void sendCommand(const std::u16string& text) = 0;  // to the host's active document
};

// One attribute as read from the block reference.
struct tat {
    std::u16string style;   // its text style's name
    std::u16string prompt;  // its 1-based position in the block reference's list
    std::u16string text;    // its text string as stored
    std::shared_ptr<GridAttribute> atr;
};

// A grid row. entry names the element of datr the row belongs to; a row the
// user added belongs to none and is never written.
struct GridRow {
    std::u16string key, value;
    std::optional<std::size_t> entry;
};

struct GridPlacement {
    int left = 0, top = 0, width = 0, height = 0;
};

// Deliberate: "Attribut" and the three closing blanks are what users and the host's macros see.
inline const char16_t* const kGridCaptionPrefix = u"VORN Attribut Editor : Block:   ";
inline const char16_t* const kRedrawCommand = u"REDRAW";
inline const char16_t* const kCaptionEnglish = u"&English";
inline const char16_t* const kCaptionHebrew = u"&Hebrew";

class AttributeGrid {
public:
    AttributeGrid(hebrew::TfrmFonts& fonts, hebrew::KeyboardSwitch& keyboard, GridHost& host)
        : fonts_(fonts), keyboard_(keyboard), host_(host) {}

    // Window lifecycle, in the order a use meets it.
    // The placement to show on a monitor of that DPI, and the direction, from
    // the settings. The settings hold the size as designed (at 96 DPI), so
    // that the window keeps its size on a monitor of another scale; the
    // position is the screen's, in pixels.
    GridPlacement FormCreate(DpiScale dpi = DpiScale());
    // Fills the rows; keys are laid out on the grid's own surface.
    void EditBlock(const hebrew::DisplayOrderer& gridSurface);
    void FormShow();
    void btnHClick();
    int BitBtn1Click();  // 1: the modal result
    int BitBtn2Click();  // 2
    // Writes the rows back unless cancelled; a host failure propagates.
    void FormClose();
    void FormDestroy(const GridPlacement& placement, DpiScale dpi = DpiScale());

    // Writes every row that belongs to an attribute into that attribute, then
    // asks for a redraw. Stops at the first failing host call, which propagates.
    void update();
    void ClearGrid();

    // The grid's own editing. Keys stay unique: a key another row has is
    // refused (false), as is a row index out of range.
    bool setValue(std::size_t row, const std::u16string& value);
    bool setKey(std::size_t row, const std::u16string& key);
    // Appends a row with a blank key and value, or gives the row that has
    // the blank key already; returns its index.
    std::size_t addRow();
    bool deleteRow(std::size_t row);

    const std::vector<GridRow>& rows() const { return rows_; }
    const std::vector<tat>& datr() const { return datr_; }
    const std::u16string& caption() const { return caption_; }
    const std::u16string& directionCaption() const { return btnHCaption_; }  // btnH
    bool rightToLeft() const { return rightToLeft_; }
    bool isCancel() const { return isCancel_; }

private:
    hebrew::StyleState styleNamed(const std::u16string& styleName) const;
    void appendRow(GridRow row);
    std::optional<std::size_t> rowWithKey(const std::u16string& key) const;
    std::u16string keyFor(const std::u16string& prompt, const hebrew::DisplayOrderer& surface,
                          const hebrew::StyleState& style) const;

    hebrew::TfrmFonts& fonts_;
    hebrew::KeyboardSwitch& keyboard_;
    GridHost& host_;
    std::vector<tat> datr_;
    std::vector<GridRow> rows_;
    bool blankRowPending_ = false;  // ClearGrid's blank row, filled by the first append
    std::u16string caption_ = u"Quillet Edit Attributes";
    std::u16string btnHCaption_ = kCaptionEnglish;
    bool rightToLeft_ = true;
    bool isCancel_ = false;
};

}  // namespace editors
