// The multiline editor's behaviour, apart from its window: loading and
// storing a multiline text through the host, the placement of a new one, the
// language buttons and the language hook's state, the display direction, the
// symbol codes, and import and export. The window (edi.h) wires its controls
// to this class through MtextView and MtextTimer; the command wires the
// drawing through MtextHost.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "editors/edit_box.h"
#include "editors/text_file.h"
#include "hebrew/fntdef.h"
#include "hebrew/keyboard.h"

namespace editors {

// The multiline editor's language state, process-wide as the hook needs it.
extern std::uint16_t mtLang;
extern bool mtLangBusy;  // while set, language reports are ignored

constexpr unsigned kTimer2Interval = 100;  // milliseconds
constexpr int kShellLanguageCode = 8;      // HSHELL_LANGUAGE
constexpr int kAttachmentTopRight = 3;

constexpr std::u16string_view kCornerPrompt = u"Top right corner for block of text:";
constexpr std::u16string_view kOppositePrompt = u"Opposite corner of block of text:";
// Deliberate: the misspelled "Heihgt" is the prompt users see.
constexpr std::u16string_view kHeightPrompt = u"Heihgt each line of text:";
constexpr std::u16string_view kPrintLineBreak = u"(princ \"\\n\") ";
constexpr std::u16string_view kRedrawEdited = u"REDRAW";
// Deliberate: a created text is redrawn with a blank after the command, an edited one without.
constexpr std::u16string_view kRedrawCreated = u"REDRAW ";

struct Point3 {
    double x = 0, y = 0, z = 0;
};

// A text style of the drawing.
class MtextTextStyle {
public:
    virtual ~MtextTextStyle() = default;
    virtual std::u16string name() = 0;
    virtual std::u16string fontFile() = 0;
    virtual long textGenerationFlag() = 0;
    virtual double height() = 0;
};

// The drawing as the multiline editor's operations use it. Every call may
// throw; the operations let it propagate.
class MtextHost {
public:
    virtual ~MtextHost() = default;
    // The entity being edited or created (mttx).
    virtual std::u16string entityStyleName() = 0;
    virtual std::u16string entityText() = 0;
    virtual void setEntityText(const std::u16string& text) = 0;
    virtual void setEntityStyleName(const std::u16string& name) = 0;
    virtual void setEntityHeight(double height) = 0;
    virtual void setEntityAttachmentPoint(int point) = 0;
    // The drawing (doc): a style by name from its text styles, its active one.
    virtual std::unique_ptr<MtextTextStyle> textStyle(const std::u16string& name) = 0;
    virtual std::unique_ptr<MtextTextStyle> activeTextStyle() = 0;
    // The user's answers, each through a freshly fetched Utility.
    virtual Point3 getPoint(std::u16string_view prompt) = 0;
    virtual Point3 getCorner(const Point3& base, std::u16string_view prompt) = 0;
    virtual double getDistance(const Point3& base, std::u16string_view prompt) = 0;
    // A command string to the application's active document.
    virtual void sendCommand(std::u16string_view text) = 0;
    // A new multiline text in the active layout's block; it becomes mttx.
    virtual void addMText(const Point3& insertion, double width, const std::u16string& text) = 0;
};

// The window's controls as the editor sees them.
class MtextView {
public:
    virtual ~MtextView() = default;
    virtual EditBoxText memo() const = 0;
    // A new text for the memo (loading, clearing, import): nothing to undo.
    virtual void setMemo(const EditBoxText& memo) = 0;
    // An edit of the memo's text that the memo's Undo takes back.
    virtual void editMemo(const EditBoxText& memo) = 0;
    virtual void showLanguageButtons(bool hebrewDown, bool englishDown) = 0;
    virtual void showDirection(bool rightToLeft) = 0;
    virtual void showStatus(const std::u16string& style, const std::u16string& font,
                            const std::u16string& height) = 0;
};

class MtextTimer {
public:
    virtual ~MtextTimer() = default;
    virtual void start(unsigned milliseconds) = 0;
    virtual void stop() = 0;
};

// Which clipboard actions are enabled: copy and cut with a selection, paste
// while the clipboard holds text.
struct ClipboardActions {
    bool copy, cut, paste;
};
ClipboardActions clipboardActions(const EditBoxText& memo, bool clipboardHasText);

class MtextEditor {
public:
    // FormCreate: a new window starts with the language reports open, even if
    // an earlier window closed before its timer could clear the flag.
    MtextEditor(hebrew::TfrmFonts& fonts, hebrew::KeyboardSwitch& keyboard, MtextView& view, MtextTimer& timer);

    void setHost(MtextHost* host) { host_ = host; }

    // Moving contents between the drawing and the memo.
    void FillMemo();
    void EditMtext();
    void NewMtext();
    void CreateMtext();

    // The window's events.
    void FormShow();
    void FormClose();
    void btnHebClick();
    void btnEngClick();
    void btnRClick();
    void btnLClick();
    void ToolButton3Click() { insertCode(u"%%d"); }
    void ToolButton7Click() { insertCode(u"%%p"); }
    void ToolButton8Click() { insertCode(u"%%c"); }

    // Import replaces the memo with the file's text and remembers its
    // encoding; export writes the memo in that encoding. On failure: false,
    // the platform's message in `error`, the memo as it was.
    bool importFile(const std::u16string& path, std::u16string& error);
    bool exportFile(const std::u16string& path, std::u16string& error);

    // The language hook.
    void shellHook(int code, std::intptr_t lParam);
    void MtLangChanged(std::uint16_t language);
    void Timer2Timer();
    void MtApplyLang();

    bool hebrewDown() const { return hebDown_; }
    bool englishDown() const { return engDown_; }
    bool rightToLeft() const { return rightToLeft_; }
    TextEncoding memoEncoding() const { return encoding_; }
    // The style of the text being edited or made, as FillMemo or NewMtext set it.
    const hebrew::StyleState& style() const { return style_; }

    // The placement of a new text, as NewMtext leaves it.
    Point3 pp, vv;
    std::array<double, 2> ppt{}, vvt{};
    double xx = 0, ihh = 0;
    std::u16string cfont;

private:
    MtextHost& host() const;
    // Keeps the text style and classifies its font and backwards flag.
    void useStyle(std::unique_ptr<MtextTextStyle> style);
    std::u16string storedText() const;
    void insertCode(std::u16string_view code);
    void setLanguageButtons(bool hebrewDown, bool englishDown);

    hebrew::TfrmFonts& fonts_;
    hebrew::KeyboardSwitch& keyboard_;
    MtextView& view_;
    MtextTimer& timer_;
    MtextHost* host_ = nullptr;
    std::unique_ptr<MtextTextStyle> cstyle_;
    hebrew::StyleState style_;
    bool hebDown_ = true, engDown_ = false, rightToLeft_ = true;
    TextEncoding encoding_ = TextEncoding::Ansi;
};

}  // namespace editors
