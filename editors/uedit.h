// TfrmLtedit: the line text editor's Win32 window. Its controls are wired to
// LineEditor, which holds what the window does; this file only builds the
// controls, forwards their events and shows what LineEditor asks for.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>

#include "editors/line_editor.h"
#include "editors/modal_window.h"
#include "editors/shell_language_hook.h"
#include "hebrew/fntdef.h"

namespace editors {

class TfrmLtedit : public EditorWindow, LineEditorView, EditorTimer, AsyncKeyState {
public:
    // Creates the window hidden (FormCreate included).
    explicit TfrmLtedit(hebrew::TfrmFonts& fonts);
    ~TfrmLtedit() override;
    TfrmLtedit(const TfrmLtedit&) = delete;
    TfrmLtedit& operator=(const TfrmLtedit&) = delete;

    LineEditor& behaviour() { return editor_; }

    void setCaption(const std::wstring& caption);
    // Edit1.Text: the change event runs when the text differs.
    void setEditText(const std::u16string& text) override;
    std::u16string editText() override;

    // FormShow, the modal loop, then FormClose; 1 for OK, 2 for Cancel.
    int ShowModal();

private:
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void createControls();
    void createToolBar();
    void fillToolBar();
    void createFonts();
    void layout();
    void onCommand(int id, int code);
    void onNotify(const NMHDR& header, LRESULT& result);
    void onSize();
    void onActivate(bool active);
    void onTimer(UINT_PTR id);
    void onClose();
    void onGetMinMaxInfo(MINMAXINFO& info) const;
    void onContextMenu(HWND target, POINT screen);
    void onDpiChanged(DpiScale dpi, const RECT& suggested) override;
    HBITMAP imageBitmap(int image) const;
    static void appendMenuItem(HMENU menu, UINT id, const wchar_t* text, HBITMAP image);
    void FormShow();
    void symbolClick(int button);

    // LineEditorView
    void setFontTypeName(const std::u16string& name) override;
    void setLangImage(int image) override;
    // EditorTimer (tmr3)
    void start() override;
    void stop() override;
    // AsyncKeyState
    short query(int virtualKey) override;

    hebrew::TfrmFonts& fonts_;
    std::unique_ptr<hebrew::KeyboardSwitch> keyboard_;
    ShellLanguageHook langHook_;
    LineEditor editor_;
    HWND toolBar_ = nullptr, edit1_ = nullptr, edt1_ = nullptr, btn1_ = nullptr;
    HWND statusBar_ = nullptr, btnOk_ = nullptr, btnCansel_ = nullptr;
    HIMAGELIST images_ = nullptr;
    HFONT formFont_ = nullptr, editFont_ = nullptr;
    HWND lastFocus_ = nullptr;
    int langImage_ = 0;
};

// The open line text editor, for the language hook.
extern TfrmLtedit* frmLtedit;

}  // namespace editors
