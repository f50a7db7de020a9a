// Tfrmmtext: the multiline editor's Win32 window. What the window does lives
// in MtextEditor; this file builds the controls, forwards their events and
// shows what MtextEditor asks for.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>

#include "editors/modal_window.h"
#include "editors/mtext_editor.h"
#include "editors/shell_language_hook.h"
#include "hebrew/fntdef.h"

namespace editors {

class Tfrmmtext : public EditorWindow, MtextView, MtextTimer {
public:
    // Creates the window hidden and installs the language hook (FormCreate).
    explicit Tfrmmtext(hebrew::TfrmFonts& fonts);
    // Removes the language hook (FormDestroy) and destroys the window.
    ~Tfrmmtext() override;
    Tfrmmtext(const Tfrmmtext&) = delete;
    Tfrmmtext& operator=(const Tfrmmtext&) = delete;

    MtextEditor& behaviour() { return editor_; }

    // FormShow, the modal loop, then FormClose; 1 for OK, 2 for Cancel.
    int ShowModal();

private:
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void createControls();
    void createToolBar();
    void fillToolBar();
    void createFonts();
    void createMemo(bool rightToLeft);
    void layout();
    void onCommand(int id);
    void onNotify(const NMHDR& header);
    void onTimer(UINT_PTR id);
    void onDpiChanged(DpiScale dpi, const RECT& suggested) override;
    bool previewKey(const MSG& msg);
    void updateActions();
    void FormShow();
    void btnOPenClick();
    void btnSaveClick();
    void memoRequest(UINT message);
    // A failure in an event handler, and a file that cannot be read or
    // written: a plain message box with the window's caption.
    void showError(const std::wstring& text) override;

    // MtextView
    EditBoxText memo() const override;
    void setMemo(const EditBoxText& memo) override;
    void editMemo(const EditBoxText& memo) override;
    void showLanguageButtons(bool hebrewDown, bool englishDown) override;
    void showDirection(bool rightToLeft) override;
    void showStatus(const std::u16string& style, const std::u16string& font, const std::u16string& height) override;
    // MtextTimer (Timer2)
    void start(unsigned milliseconds) override;
    void stop() override;

    std::unique_ptr<hebrew::KeyboardSwitch> keyboard_;
    ShellLanguageHook langHook_;
    HWND toolBar1_ = nullptr, memo1_ = nullptr, statusBar1_ = nullptr, bitBtn1_ = nullptr, bitBtn3_ = nullptr;
    HIMAGELIST imageList1_ = nullptr;
    HFONT formFont_ = nullptr, memoFont_ = nullptr;
    bool memoRightToLeft_ = true;
    MtextEditor editor_;  // last: its constructor may already call the view
};

// The open multiline editor, for the language hook.
extern Tfrmmtext* frmmtext;

}  // namespace editors
