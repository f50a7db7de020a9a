#include "editors/uedit.h"

#include <commctrl.h>

#include "editors/dpi.h"
#include "editors/editor_resources.h"
#include "editors/modal_window.h"
#include "hebrew/keyboard_win32.h"

namespace editors {

TfrmLtedit* frmLtedit = nullptr;

namespace {

const wchar_t* const kClassName = L"TfrmLtedit";
const wchar_t* const kDesignCaption = L"Quillet Line Text Editor";
const wchar_t* const kStatusText = L"Windows Screen Editor";
// Deliberate: the hint is spelled as users have always read it.
const wchar_t* const kLangHint = L"Hebre/English tuggle";
const wchar_t* const kFontTypeHint = L"Font Type";

// The layout, in pixels at 96 DPI.
constexpr int kClientWidth = 725, kClientHeight = 89, kLeft = 389, kTop = 217;
constexpr int kToolBarHeight = 29;
constexpr int kEditLeft = 8, kEditTop = 31, kEditWidth = 706, kEditHeight = 27;
constexpr int kPanelHeight = 25, kPanel2Width = 110;
constexpr int kStatusPart1 = 170, kStatusPart2 = 50;
constexpr int kFontTypeWidth = 200, kSpinWidth = 28, kSpinHeight = 22, kSeparatorWidth = 18;
constexpr int kButtonWidth = 27, kCancelWidth = 40, kButtonHeight = 16, kButtonGap = 8, kPanel2Left = 16;
constexpr int kImageSize = 16, kFormFontHeight = 10, kEditFontHeight = 19;
constexpr UINT_PTR kTmr3 = 3;
constexpr UINT kTmr3Interval = 100;

// Control identifiers.
enum : int {
    idToolBar = 100,
    idEdit1,
    idEdt1,
    idBtn1,
    idStatusBar,
    idBtnLang = 200,
    idTb1,
    idTb2,
    idTb3,
    idTb4,
    idFontTypeSlot,  // the tool bar's room for edt1
    idSpinSlot,      // and for btn1
    idMenuHebrew = 300,
    idMenuEnglish,
};

constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_THICKFRAME | WS_CLIPCHILDREN;  // no title-bar buttons

// The language reports go to the open line editor.
void reportLanguage(int code, std::intptr_t lParam) {
    reportShellToLineEditor(frmLtedit ? &frmLtedit->behaviour() : nullptr, code, static_cast<std::uintptr_t>(lParam));
}

HFONT editBoxFont(int height) {
    if (fontExists(L"HNarkisim")) return createFont(L"HNarkisim", height);
    return createFont(L"Arial", height, HEBREW_CHARSET);  // a face the system maps to one with Hebrew
}

}  // namespace

TfrmLtedit::TfrmLtedit(hebrew::TfrmFonts& fonts)
    : fonts_(fonts),
      keyboard_(std::make_unique<hebrew::Win32Keyboard>()),
      langHook_(reportLanguage),
      editor_(LineEditorSeams{fonts, *this, *keyboard_, *this, *this, langHook_}) {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES | ICC_UPDOWN_CLASS | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    const SIZE designed = outerSize(kClientWidth, kClientHeight, kStyle, 0, dpi_);
    create(kClassName, kDesignCaption, 0, kStyle, kLeft, kTop, designed.cx, designed.cy);
    // Made where it shows, it is sized for the DPI found there.
    dpi_ = windowDpi(window_);
    const SIZE outer = outerSize(px(kClientWidth), px(kClientHeight), kStyle, 0, dpi_);
    SetWindowPos(window_, nullptr, px(kLeft), px(kTop), outer.cx, outer.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    createControls();
    fitCaption(window_, dpi_);
    RECT made;
    GetWindowRect(window_, &made);
    editor_.FormCreate(made.bottom - made.top);
}

TfrmLtedit::~TfrmLtedit() {
    langHook_.remove();  // a window destroyed before it was shown
    destroy();
    if (images_) ImageList_Destroy(images_);
    if (formFont_) DeleteObject(formFont_);
    if (editFont_) DeleteObject(editFont_);
}

void TfrmLtedit::createControls() {
    HINSTANCE instance = thisModule();
    createToolBar();
    edit1_ = CreateWindowExW(WS_EX_CLIENTEDGE | WS_EX_RTLREADING | WS_EX_RIGHT, L"EDIT", L"",
                             WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL | ES_RIGHT, px(kEditLeft),
                             px(kEditTop), px(kEditWidth), px(kEditHeight), window_,
                             reinterpret_cast<HMENU>(idEdit1), instance, nullptr);
    SendMessageW(edit1_, EM_SETLIMITTEXT, 0, 0);  // no length limit (the control's own is 30,000)
    statusBar_ = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | CCS_NOPARENTALIGN | CCS_NORESIZE,
                                 0, 0, 0, 0, window_, reinterpret_cast<HMENU>(idStatusBar), instance, nullptr);
    btnOk_ = CreateWindowExW(0, L"BUTTON", L"OK", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 0,
                             px(kButtonWidth), px(kButtonHeight), window_, reinterpret_cast<HMENU>(IDOK), instance,
                             nullptr);
    // Deliberate: the field keeps the control's old name, btnCansel.
    btnCansel_ = CreateWindowExW(0, L"BUTTON", L"Cancel", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 0,
                                 px(kCancelWidth), px(kButtonHeight), window_, reinterpret_cast<HMENU>(IDCANCEL),
                                 instance, nullptr);
    createFonts();
    layout();
}

// The fonts at the window's DPI, given to the controls; the old ones go once
// no control uses them.
void TfrmLtedit::createFonts() {
    HFONT oldForm = formFont_, oldEdit = editFont_;
    formFont_ = createFont(L"MS Sans Serif", px(kFormFontHeight));
    editFont_ = editBoxFont(px(kEditFontHeight));
    SendMessageW(edit1_, WM_SETFONT, reinterpret_cast<WPARAM>(editFont_), TRUE);
    for (HWND control : {toolBar_, statusBar_, btnOk_, btnCansel_, edt1_})
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(formFont_), TRUE);
    const int parts[] = {px(kStatusPart1), px(kStatusPart1 + kStatusPart2)};
    SendMessageW(statusBar_, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));
    if (oldForm) DeleteObject(oldForm);
    if (oldEdit) DeleteObject(oldEdit);
}

void TfrmLtedit::createToolBar() {
    HINSTANCE instance = thisModule();
    toolBar_ = CreateWindowExW(0, TOOLBARCLASSNAMEW, L"",
                               WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_NORESIZE | CCS_NODIVIDER, 0,
                               0, px(kClientWidth), px(kToolBarHeight), window_, reinterpret_cast<HMENU>(idToolBar),
                               instance, nullptr);
    SendMessageW(toolBar_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    // edt1 and btn1 sit in the tool bar's two wide gaps, as children of the
    // window so that their notifications come here.
    edt1_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_READONLY, 0, 0, 0, 0, window_,
                            reinterpret_cast<HMENU>(idEdt1), instance, nullptr);
    btn1_ = CreateWindowExW(0, UPDOWN_CLASSW, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, window_,
                            reinterpret_cast<HMENU>(idBtn1), instance, nullptr);
    // The position never reaches an end: every click is a step.
    SendMessageW(btn1_, UDM_SETRANGE32, 0, 100);
    SendMessageW(btn1_, UDM_SETPOS32, 0, 50);
    fillToolBar();

    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = window_;
    tool.uId = reinterpret_cast<UINT_PTR>(edt1_);
    tool.lpszText = const_cast<wchar_t*>(kFontTypeHint);
    if (HWND tips = reinterpret_cast<HWND>(SendMessageW(toolBar_, TB_GETTOOLTIPS, 0, 0)))
        SendMessageW(tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

// The buttons and their images at the window's DPI, and edt1 and btn1 in
// their gaps; called again when the DPI changes.
void TfrmLtedit::fillToolBar() {
    while (SendMessageW(toolBar_, TB_DELETEBUTTON, 0, 0)) {
    }
    HIMAGELIST oldImages = images_;
    if (HBITMAP strip = static_cast<HBITMAP>(LoadImageW(thisModule(), MAKEINTRESOURCEW(kToolBarImages), IMAGE_BITMAP,
                                                         0, 0, LR_CREATEDIBSECTION))) {
        BITMAP info{};
        GetObjectW(strip, sizeof info, &info);
        images_ = scaledImageList(strip, info.bmWidth / kImageSize, kImageSize, RGB(255, 0, 255), dpi_);
        DeleteObject(strip);
    }
    SendMessageW(toolBar_, TB_SETBITMAPSIZE, 0, MAKELPARAM(px(kImageSize), px(kImageSize)));
    SendMessageW(toolBar_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images_));
    if (oldImages) ImageList_Destroy(oldImages);
    const BYTE button = BTNS_BUTTON, state = TBSTATE_ENABLED;
    TBBUTTON buttons[] = {
        {langImage_, idBtnLang, state, button, {}, 0, 0},
        {px(kSeparatorWidth), 0, state, BTNS_SEP, {}, 0, 0},
        {10, idTb1, state, button, {}, 0, 0},
        {12, idTb2, state, button, {}, 0, 0},
        {13, idTb3, state, button, {}, 0, 0},
        {11, idTb4, state, button, {}, 0, 0},
        {px(kFontTypeWidth), idFontTypeSlot, state, BTNS_SEP, {}, 0, 0},
        {px(kSpinWidth), idSpinSlot, state, BTNS_SEP, {}, 0, 0},
    };
    SendMessageW(toolBar_, TB_ADDBUTTONSW, ARRAYSIZE(buttons), reinterpret_cast<LPARAM>(buttons));
    SendMessageW(toolBar_, TB_AUTOSIZE, 0, 0);

    RECT slot{};
    SendMessageW(toolBar_, TB_GETITEMRECT, 6, reinterpret_cast<LPARAM>(&slot));
    SetWindowPos(edt1_, HWND_TOP, slot.left, slot.top + 1, px(kFontTypeWidth), slot.bottom - slot.top - 2,
                 SWP_NOACTIVATE);
    SendMessageW(toolBar_, TB_GETITEMRECT, 7, reinterpret_cast<LPARAM>(&slot));
    SetWindowPos(btn1_, HWND_TOP, slot.left, slot.top, px(kSpinWidth), px(kSpinHeight), SWP_NOACTIVATE);
}

void TfrmLtedit::layout() {
    RECT client;
    GetClientRect(window_, &client);
    const int width = client.right, bottom = client.bottom;
    MoveWindow(toolBar_, 0, 0, width, px(kToolBarHeight), TRUE);
    const int panelTop = bottom - px(kPanelHeight), panel2 = width - px(kPanel2Width);
    MoveWindow(statusBar_, 0, panelTop, panel2, px(kPanelHeight), TRUE);
    const int buttonTop = panelTop + px((kPanelHeight - kButtonHeight) / 2);
    const int okLeft = panel2 + px(kPanel2Left), cancelLeft = okLeft + px(kButtonWidth + kButtonGap);
    MoveWindow(btnOk_, okLeft, buttonTop, px(kButtonWidth), px(kButtonHeight), TRUE);
    MoveWindow(btnCansel_, cancelLeft, buttonTop, px(kCancelWidth), px(kButtonHeight), TRUE);
}

void TfrmLtedit::setCaption(const std::wstring& caption) {
    SetWindowTextW(window_, caption.c_str());
    fitCaption(window_, dpi_);
}

std::u16string TfrmLtedit::editText() { return fromWide(windowText(edit1_)); }

void TfrmLtedit::setEditText(const std::u16string& text) {
    if (editText() == text) return;  // an unchanged text raises no change event
    SetWindowTextW(edit1_, toWide(text).c_str());
}

void TfrmLtedit::setFontTypeName(const std::u16string& name) { SetWindowTextW(edt1_, toWide(name).c_str()); }

void TfrmLtedit::setLangImage(int image) {
    langImage_ = image;
    TBBUTTONINFOW info{};
    info.cbSize = sizeof info;
    info.dwMask = TBIF_IMAGE;
    info.iImage = image;
    SendMessageW(toolBar_, TB_SETBUTTONINFOW, idBtnLang, reinterpret_cast<LPARAM>(&info));
}

void TfrmLtedit::start() { SetTimer(window_, kTmr3, kTmr3Interval, nullptr); }
void TfrmLtedit::stop() { KillTimer(window_, kTmr3); }

short TfrmLtedit::query(int virtualKey) { return GetAsyncKeyState(virtualKey); }

int TfrmLtedit::ShowModal() {
    modalResult_ = 0;
    FormShow();
    const int result = ModalLoop::run(window_, modalResult_, [this](const MSG& msg) {
        if (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) guarded([&] { editor_.FormKeyDown(); });
        if (msg.message == WM_KEYUP || msg.message == WM_SYSKEYUP) guarded([&] { editor_.FormKeyUp(); });
        return false;  // the key goes on to the control
    });
    guarded([&] { editor_.FormClose(); });
    return result;
}

void TfrmLtedit::FormShow() {
    ShowWindow(edit1_, SW_SHOW);
    SendMessageW(statusBar_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(kStatusText));
    RECT r;
    GetWindowRect(window_, &r);
    ShowWindow(window_, SW_SHOW);
    if (IsWindowVisible(window_)) {
        SetFocus(edit1_);
        const int end = GetWindowTextLengthW(edit1_);  // the caret where typing goes on
        SendMessageW(edit1_, EM_SETSEL, end, end);
    }
    SetWindowPos(window_, HWND_TOPMOST, r.left, r.top, r.right - r.left, r.bottom - r.top, 0);
}

void TfrmLtedit::symbolClick(int button) {
    DWORD start = 0, end = 0;
    SendMessageW(edit1_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    const EditBoxText after = editor_.symbolClick(button, {editText(), start, end});
    setEditText(after.text);  // the change handler writes it
    SendMessageW(edit1_, EM_SETSEL, after.selStart, after.selEnd);
    SetFocus(edit1_);
}

void TfrmLtedit::onCommand(int id, int code) {
    switch (id) {
        case idEdit1:
            if (code == EN_CHANGE) guarded([&] { editor_.Edit1Change(); });
            break;
        case IDOK: guarded([&] { endModal(editor_.btnOkClick()); }); break;
        case IDCANCEL: guarded([&] { endModal(editor_.btnCanselClick()); }); break;
        case idBtnLang: guarded([&] { editor_.btnLangClick(); }); break;
        case idTb1:
        case idTb2:
        case idTb3:
        case idTb4: guarded([&] { symbolClick(id - idTb1 + 1); }); break;
        default: break;
    }
}

void TfrmLtedit::onNotify(const NMHDR& header, LRESULT& result) {
    if (header.code == UDN_DELTAPOS && header.idFrom == idBtn1) {
        const auto& change = reinterpret_cast<const NMUPDOWN&>(header);
        guarded([&] { change.iDelta > 0 ? editor_.btn1UpClick() : editor_.btn1DownClick(); });
        result = TRUE;  // the position stays where it is
    } else if (header.code == TTN_GETDISPINFOW) {
        auto& tip = const_cast<NMTTDISPINFOW&>(reinterpret_cast<const NMTTDISPINFOW&>(header));
        if (header.idFrom == idBtnLang) tip.lpszText = const_cast<wchar_t*>(kLangHint);
    }
}

void TfrmLtedit::onSize() {
    layout();
    RECT r;
    GetWindowRect(window_, &r);
    const int width = r.right - r.left;
    SetWindowPos(edit1_, nullptr, 0, 0, px(editor_.editWidthFor(dpi_.toDesign(width), kEditLeft)), px(kEditHeight),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (editor_.FHeight() && r.bottom - r.top != editor_.FHeight())
        SetWindowPos(window_, nullptr, 0, 0, width, editor_.FHeight(), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// As a dialog box does, the focus goes back to the control that had it (a
// message box or another window may have taken it in between).
void TfrmLtedit::onActivate(bool active) {
    if (!active) {
        HWND focus = GetFocus();
        if (focus && IsChild(window_, focus)) lastFocus_ = focus;
        return;
    }
    SetFocus(lastFocus_ && IsWindow(lastFocus_) ? lastFocus_ : edit1_);
    if (IsWindowVisible(window_)) guarded([&] { editor_.FormActivate(); });
}

void TfrmLtedit::onGetMinMaxInfo(MINMAXINFO& info) const {
    if (!editor_.FHeight()) return;
    info.ptMinTrackSize.y = info.ptMaxTrackSize.y = editor_.FHeight();
}

// The window moved to a monitor of another DPI: the system's rectangle for
// it, the window's fixed height at the new DPI, and everything scaled again.
void TfrmLtedit::onDpiChanged(DpiScale dpi, const RECT& suggested) {
    dpi_ = dpi;
    const int width = suggested.right - suggested.left;
    if (!edit1_) {  // moved while being made: the controls are made at this DPI
        SetWindowPos(window_, nullptr, suggested.left, suggested.top, width, suggested.bottom - suggested.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        return;
    }
    createFonts();
    fillToolBar();
    // Not held while the frame takes the new DPI; then held at the designed
    // client height within that frame.
    editor_.setFHeight(0);
    SetWindowPos(window_, nullptr, suggested.left, suggested.top, width, suggested.bottom - suggested.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    RECT outer, client;
    GetWindowRect(window_, &outer);
    GetClientRect(window_, &client);
    editor_.setFHeight(px(kClientHeight) + (outer.bottom - outer.top) - client.bottom);
    SetWindowPos(window_, nullptr, 0, 0, width, editor_.FHeight(), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    fitCaption(window_, dpi_);
}

// One image of the tool bar's list as a bitmap for a menu item.
HBITMAP TfrmLtedit::imageBitmap(int image) const {
    const int size = px(kImageSize);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, size, size);
    HGDIOBJ old = SelectObject(memory, bitmap);
    RECT r{0, 0, size, size};
    FillRect(memory, &r, GetSysColorBrush(COLOR_MENU));
    ImageList_Draw(images_, image, memory, 0, 0, ILD_TRANSPARENT);
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return bitmap;
}

void TfrmLtedit::appendMenuItem(HMENU menu, UINT id, const wchar_t* text, HBITMAP image) {
    MENUITEMINFOW item{};
    item.cbSize = sizeof item;
    item.fMask = MIIM_ID | MIIM_STRING | MIIM_BITMAP;
    item.wID = id;
    item.dwTypeData = const_cast<wchar_t*>(text);
    item.hbmpItem = image;
    InsertMenuItemW(menu, GetMenuItemCount(menu), TRUE, &item);
}

// PopupMenu2: the two languages with their images.
// Deliberate: choosing one does nothing; the menu only shows the images.
void TfrmLtedit::onContextMenu(HWND target, POINT screen) {
    if (target != toolBar_) return;
    POINT p = screen;
    ScreenToClient(toolBar_, &p);
    if (SendMessageW(toolBar_, TB_HITTEST, 0, reinterpret_cast<LPARAM>(&p)) != 0) return;  // not btnLang
    HMENU menu = CreatePopupMenu();
    HBITMAP hebrew = imageBitmap(0), english = imageBitmap(1);
    appendMenuItem(menu, idMenuHebrew, L"Hebrew", hebrew);
    appendMenuItem(menu, idMenuEnglish, L"English", english);
    TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY, screen.x, screen.y, 0, window_, nullptr);
    DestroyMenu(menu);
    DeleteObject(hebrew);
    DeleteObject(english);
}

void TfrmLtedit::onTimer(UINT_PTR id) {
    if (id == kTmr3) guarded([&] { editor_.tmr3Timer(); });
}

// Alt+F4: as Cancel.
void TfrmLtedit::onClose() {
    guarded([&] { endModal(editor_.btnCanselClick()); });
}

LRESULT TfrmLtedit::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND: onCommand(LOWORD(wParam), HIWORD(wParam)); return 0;
        case WM_NOTIFY: {
            LRESULT result = 0;
            onNotify(*reinterpret_cast<const NMHDR*>(lParam), result);
            return result;
        }
        case WM_ACTIVATE: onActivate(LOWORD(wParam) != WA_INACTIVE); return 0;
        case WM_TIMER: onTimer(wParam); return 0;
        case WM_SIZE:
            if (edit1_) onSize();
            return 0;
        case WM_GETMINMAXINFO: onGetMinMaxInfo(*reinterpret_cast<MINMAXINFO*>(lParam)); return 0;
        case WM_CONTEXTMENU:
            onContextMenu(reinterpret_cast<HWND>(wParam), {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
            return 0;
        case WM_CLOSE: onClose(); return 0;
        case DM_GETDEFID: return MAKELRESULT(IDOK, DC_HASDEFID);
        default: break;
    }
    return defaultHandling(message, wParam, lParam);
}

}  // namespace editors
