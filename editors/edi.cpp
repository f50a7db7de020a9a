#include "editors/edi.h"

#include <commdlg.h>

#include <algorithm>
#include <iterator>
#include <vector>

#include "editors/dpi.h"
#include "editors/modal_window.h"
#include "hebrew/keyboard_win32.h"

namespace editors {

Tfrmmtext* frmmtext = nullptr;

namespace {

const wchar_t* const kClassName = L"Tfrmmtext";
const wchar_t* const kCaption = L"Quillet Multiline Editor";
// Filter "Text files(*.txt)|*.txt|All files|*.*" in the dialogs' own form.
const wchar_t kFileFilter[] = L"Text files(*.txt)\0*.txt\0All files\0*.*\0";  // Deliberate: no blank before "("

// The layout, in pixels at 96 DPI.
constexpr int kClientWidth = 603, kClientHeight = 344;
constexpr int kToolBarHeight = 33, kButtonSize = 24, kImageSize = 16;
constexpr int kPanelHeight = 32, kPanel2Width = 246, kBitBtnWidth = 60, kBitBtnHeight = 31;
constexpr int kBitBtnLeft = 48, kBitBtnGap = 24, kSeparatorWidth = 8;
constexpr int kStatusParts[] = {120, 240, 290};
constexpr int kFormFontHeight = 14;
constexpr UINT_PTR kTimer2 = 2, kActionUpdate = 9;
constexpr UINT kActionUpdateInterval = 200;  // how often the actions follow the memo

constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MAXIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kMemoStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_HSCROLL | WS_VSCROLL | ES_MULTILINE |
                             ES_WANTRETURN | ES_AUTOHSCROLL | ES_AUTOVSCROLL | ES_NOHIDESEL;

enum : int {
    idToolBar1 = 100,
    idMemo1,
    idStatusBar1,
    idBtnHeb = 200,
    idBtnEng,
    idBtnCopy,
    idBtnCut,
    idBtnPaste,
    idBtnUndo,
    idBtnR,
    idBtnL,
    idBtnOPen,
    idBtnSave,
    idToolButton3,
    idToolButton7,
    idToolButton8,
};

// The images of ImageList1, one per button, in the order of the ids above.
enum Picture { picHebrew, picEnglish, picCopy, picCut, picPaste, picUndo, picRight, picLeft, picOpen, picSave,
               picDegree, picPlusMinus, picDiameter, picCount };

struct ButtonDef {
    int id;
    Picture picture;
    BYTE style;
    const wchar_t* hint;
};

constexpr ButtonDef kButtons[] = {
    {idBtnHeb, picHebrew, BTNS_CHECK, L"Hebrew"},
    {idBtnEng, picEnglish, BTNS_CHECK, L"English"},
    {0, picCount, BTNS_SEP, nullptr},
    {idBtnCopy, picCopy, BTNS_BUTTON, L"Copy"},
    {idBtnCut, picCut, BTNS_BUTTON, L"Cut"},
    {idBtnPaste, picPaste, BTNS_BUTTON, L"Paste"},
    {0, picCount, BTNS_SEP, nullptr},
    {idBtnUndo, picUndo, BTNS_BUTTON, L"Undo"},
    {0, picCount, BTNS_SEP, nullptr},
    {idBtnR, picRight, BTNS_CHECK, L"Align Right"},
    {idBtnL, picLeft, BTNS_CHECK, L"Align Left"},
    {0, picCount, BTNS_SEP, nullptr},
    {idBtnOPen, picOpen, BTNS_BUTTON, L"Import from file"},
    {idBtnSave, picSave, BTNS_BUTTON, L"Export to file"},
    {0, picCount, BTNS_SEP, nullptr},
    {idToolButton3, picDegree, BTNS_BUTTON, nullptr},
    {idToolButton7, picPlusMinus, BTNS_BUTTON, nullptr},
    {idToolButton8, picDiameter, BTNS_BUTTON, nullptr},
};

// --- The tool bar's pictures, drawn once per window ---

void line(HDC dc, int x0, int y0, int x1, int y1) {
    MoveToEx(dc, x0, y0, nullptr);
    LineTo(dc, x1, y1);
}

void glyph(HDC dc, RECT cell, const wchar_t* text, COLORREF colour) {
    // Without smoothing: blended edges would take on the transparent colour.
    LOGFONTW lf{};
    lf.lfHeight = -15;
    lf.lfWeight = FW_BOLD;
    lf.lfQuality = NONANTIALIASED_QUALITY;
    lstrcpynW(lf.lfFaceName, L"Arial", LF_FACESIZE);
    HFONT font = CreateFontIndirectW(&lf);
    HGDIOBJ old = SelectObject(dc, font);
    SetTextColor(dc, colour);
    SetBkMode(dc, TRANSPARENT);
    DrawTextW(dc, text, -1, &cell, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old);
    DeleteObject(font);
}

void filled(HDC dc, COLORREF colour, const std::vector<POINT>& points) {
    HBRUSH brush = CreateSolidBrush(colour);
    HGDIOBJ old = SelectObject(dc, brush);
    Polygon(dc, points.data(), static_cast<int>(points.size()));
    SelectObject(dc, old);
    DeleteObject(brush);
}

void box(HDC dc, COLORREF colour, int l, int t, int r, int b) {
    filled(dc, colour, {{l, t}, {r, t}, {r, b}, {l, b}});
}

// Rows of lines for the two directions: ragged on the side text starts from.
void alignedLines(HDC dc, int x, bool right) {
    const int lengths[] = {12, 8, 11, 6};
    for (int i = 0; i < 4; ++i) {
        const int top = 3 + 3 * i;
        right ? line(dc, x + 14 - lengths[i], top, x + 14, top) : line(dc, x + 2, top, x + 2 + lengths[i], top);
    }
}

void drawPicture(HDC dc, Picture p, int x) {
    const RECT cell{x, 0, x + kImageSize, kImageSize};
    const COLORREF white = RGB(255, 255, 255);
    switch (p) {
        case picHebrew: glyph(dc, cell, L"\u05D0", RGB(0, 0, 160)); break;
        case picEnglish: glyph(dc, cell, L"E", RGB(160, 0, 0)); break;
        case picCopy:
            box(dc, white, x + 1, 1, x + 9, 11);
            box(dc, white, x + 6, 5, x + 14, 15);
            break;
        case picCut:
            line(dc, x + 4, 10, x + 11, 1);
            line(dc, x + 11, 10, x + 4, 1);
            Ellipse(dc, x + 1, 9, x + 7, 15);
            Ellipse(dc, x + 9, 9, x + 15, 15);
            break;
        case picPaste:
            box(dc, RGB(160, 110, 40), x + 1, 2, x + 12, 15);
            box(dc, RGB(200, 200, 200), x + 4, 1, x + 9, 4);
            box(dc, white, x + 6, 6, x + 15, 15);
            break;
        case picUndo:
            line(dc, x + 5, 6, x + 10, 6);
            line(dc, x + 10, 6, x + 13, 9);
            line(dc, x + 13, 9, x + 13, 13);
            filled(dc, RGB(0, 0, 0), {{x + 1, 6}, {x + 6, 2}, {x + 6, 10}});
            break;
        case picRight: alignedLines(dc, x, true); break;
        case picLeft: alignedLines(dc, x, false); break;
        case picOpen: filled(dc, RGB(230, 200, 60), {{x + 1, 4}, {x + 6, 4}, {x + 7, 5}, {x + 14, 5}, {x + 14, 14}, {x + 1, 14}}); break;
        case picSave:
            box(dc, RGB(40, 70, 160), x + 1, 1, x + 15, 15);
            box(dc, white, x + 4, 2, x + 12, 7);
            box(dc, RGB(60, 60, 60), x + 5, 10, x + 11, 15);
            break;
        case picDegree: glyph(dc, cell, L"\u00B0", RGB(0, 0, 0)); break;
        case picPlusMinus: glyph(dc, cell, L"\u00B1", RGB(0, 0, 0)); break;
        case picDiameter: glyph(dc, cell, L"\u00D8", RGB(0, 0, 0)); break;
        case picCount: break;
    }
}

// Drawn at the designed size and stretched to the window's DPI.
HIMAGELIST makeImageList(DpiScale dpi) {
    constexpr COLORREF kClear = RGB(255, 0, 255);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP strip = CreateCompatibleBitmap(screen, kImageSize * picCount, kImageSize);
    ReleaseDC(nullptr, screen);
    HGDIOBJ oldBitmap = SelectObject(dc, strip);
    HBRUSH clear = CreateSolidBrush(kClear);
    const RECT all{0, 0, kImageSize * picCount, kImageSize};
    FillRect(dc, &all, clear);
    DeleteObject(clear);
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    for (int i = 0; i < picCount; ++i) drawPicture(dc, static_cast<Picture>(i), i * kImageSize);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(pen);
    SelectObject(dc, oldBitmap);
    DeleteDC(dc);
    HIMAGELIST list = scaledImageList(strip, picCount, kImageSize, kClear, dpi);
    DeleteObject(strip);
    return list;
}

// The language reports go to the open multiline editor.
void reportLanguage(int code, std::intptr_t lParam) {
    if (frmmtext) frmmtext->behaviour().shellHook(code, lParam);
}

// The memo's selection alone: the actions' enabling needs no text.
EditBoxText memoSelection(HWND memo) {
    DWORD start = 0, end = 0;
    SendMessageW(memo, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return {{}, start, end};
}

bool ctrlDown() { return (GetKeyState(VK_CONTROL) & 0x8000) != 0; }

}  // namespace

Tfrmmtext::Tfrmmtext(hebrew::TfrmFonts& fonts)
    : keyboard_(std::make_unique<hebrew::Win32Keyboard>()),
      langHook_(reportLanguage),
      editor_(fonts, *keyboard_, *this, *this) {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    const SIZE designed = outerSize(kClientWidth, kClientHeight, kStyle, 0, dpi_);
    create(kClassName, kCaption, 0, kStyle, 0, 0, designed.cx, designed.cy);
    dpi_ = windowDpi(window_);
    const SIZE outer = outerSize(px(kClientWidth), px(kClientHeight), kStyle, 0, dpi_);
    const int left = (GetSystemMetrics(SM_CXSCREEN) - outer.cx) / 2;
    const int top = (GetSystemMetrics(SM_CYSCREEN) - outer.cy) / 2;
    SetWindowPos(window_, nullptr, left, top, outer.cx, outer.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    createControls();
    fitCaption(window_, dpi_);
    langHook_.install();  // FormCreate
}

Tfrmmtext::~Tfrmmtext() {
    langHook_.remove();  // FormDestroy
    destroy();
    if (imageList1_) ImageList_Destroy(imageList1_);
    if (formFont_) DeleteObject(formFont_);
    if (memoFont_) DeleteObject(memoFont_);
}

void Tfrmmtext::createControls() {
    HINSTANCE instance = thisModule();
    createToolBar();
    createMemo(true);
    statusBar1_ = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | CCS_NOPARENTALIGN | CCS_NORESIZE,
                                  0, 0, 0, 0, window_, reinterpret_cast<HMENU>(idStatusBar1), instance, nullptr);
    bitBtn1_ = CreateWindowExW(0, L"BUTTON", L"&OK", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 0,
                               px(kBitBtnWidth), px(kBitBtnHeight), window_, reinterpret_cast<HMENU>(IDOK), instance,
                               nullptr);
    bitBtn3_ = CreateWindowExW(0, L"BUTTON", L"&Cancel", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 0,
                               px(kBitBtnWidth), px(kBitBtnHeight), window_, reinterpret_cast<HMENU>(IDCANCEL),
                               instance, nullptr);
    createFonts();
    showLanguageButtons(true, false);
    showDirection(true);
    layout();
}

void Tfrmmtext::createToolBar() {
    toolBar1_ = CreateWindowExW(0, TOOLBARCLASSNAMEW, L"",
                                WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_NORESIZE | CCS_NODIVIDER,
                                0, 0, px(kClientWidth), px(kToolBarHeight), window_,
                                reinterpret_cast<HMENU>(idToolBar1), thisModule(), nullptr);
    SendMessageW(toolBar1_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    fillToolBar();
}

// The buttons and their images at the window's DPI; called again when the DPI
// changes, after which the caller shows the buttons' states again.
void Tfrmmtext::fillToolBar() {
    while (SendMessageW(toolBar1_, TB_DELETEBUTTON, 0, 0)) {
    }
    HIMAGELIST old = imageList1_;
    imageList1_ = makeImageList(dpi_);
    SendMessageW(toolBar1_, TB_SETBITMAPSIZE, 0, MAKELPARAM(px(kImageSize), px(kImageSize)));
    SendMessageW(toolBar1_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(imageList1_));
    if (old) ImageList_Destroy(old);
    std::vector<TBBUTTON> buttons;
    for (const ButtonDef& b : kButtons)
        buttons.push_back({b.style == BTNS_SEP ? px(kSeparatorWidth) : static_cast<int>(b.picture), b.id,
                           TBSTATE_ENABLED, b.style, {}, 0, 0});
    SendMessageW(toolBar1_, TB_ADDBUTTONSW, buttons.size(), reinterpret_cast<LPARAM>(buttons.data()));
    SendMessageW(toolBar1_, TB_SETBUTTONSIZE, 0, MAKELPARAM(px(kButtonSize), px(kButtonSize)));
}

// The fonts at the window's DPI, given to the controls; the old ones go once
// no control uses them.
void Tfrmmtext::createFonts() {
    HFONT oldForm = formFont_, oldMemo = memoFont_;
    formFont_ = createFont(L"MS Sans Serif", px(kFormFontHeight));
    // The form's font, asked for with Hebrew so that the system picks a face that has it.
    memoFont_ = createFont(L"MS Sans Serif", px(kFormFontHeight), HEBREW_CHARSET);
    for (HWND control : {toolBar1_, statusBar1_, bitBtn1_, bitBtn3_})
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(formFont_), TRUE);
    if (memo1_) SendMessageW(memo1_, WM_SETFONT, reinterpret_cast<WPARAM>(memoFont_), TRUE);
    int parts[std::size(kStatusParts)];
    std::transform(std::begin(kStatusParts), std::end(kStatusParts), parts, [this](int part) { return px(part); });
    SendMessageW(statusBar1_, SB_SETPARTS, std::size(parts), reinterpret_cast<LPARAM>(parts));
    if (oldForm) DeleteObject(oldForm);
    if (oldMemo) DeleteObject(oldMemo);
}

void Tfrmmtext::layout() {
    RECT client;
    GetClientRect(window_, &client);
    const int width = client.right, bottom = client.bottom;
    const int toolBar = px(kToolBarHeight), panelTop = bottom - px(kPanelHeight);
    MoveWindow(toolBar1_, 0, 0, width, toolBar, TRUE);
    MoveWindow(memo1_, 0, toolBar, width, std::max(0, panelTop - toolBar), TRUE);
    const int cancelLeft = px(kBitBtnLeft + kBitBtnWidth + kBitBtnGap);
    MoveWindow(bitBtn1_, px(kBitBtnLeft), panelTop, px(kBitBtnWidth), px(kBitBtnHeight), TRUE);
    MoveWindow(bitBtn3_, cancelLeft, panelTop, px(kBitBtnWidth), px(kBitBtnHeight), TRUE);
    MoveWindow(statusBar1_, px(kPanel2Width), panelTop, std::max(0, width - px(kPanel2Width)), px(kPanelHeight), TRUE);
}

// --- MtextView ---

EditBoxText Tfrmmtext::memo() const {
    const int length = GetWindowTextLengthW(memo1_);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(memo1_, text.data(), length + 1)));
    DWORD start = 0, end = 0;
    SendMessageW(memo1_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return {fromWide(text), start, end};
}

void Tfrmmtext::setMemo(const EditBoxText& m) {
    SetWindowTextW(memo1_, toWide(m.text).c_str());
    SendMessageW(memo1_, EM_SETSEL, m.selStart, m.selEnd);
    SendMessageW(memo1_, EM_SCROLLCARET, 0, 0);
}

void Tfrmmtext::editMemo(const EditBoxText& m) {
    // A replacement of the whole text, so that Undo can take it back.
    const std::wstring text = toWide(m.text);
    SendMessageW(memo1_, EM_SETSEL, 0, -1);
    SendMessageW(memo1_, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
    SendMessageW(memo1_, EM_SETSEL, m.selStart, m.selEnd);
    SendMessageW(memo1_, EM_SCROLLCARET, 0, 0);
}

void Tfrmmtext::showLanguageButtons(bool hebrewDown, bool englishDown) {
    SendMessageW(toolBar1_, TB_CHECKBUTTON, idBtnHeb, MAKELPARAM(hebrewDown, 0));
    SendMessageW(toolBar1_, TB_CHECKBUTTON, idBtnEng, MAKELPARAM(englishDown, 0));
}

// The edit box takes its alignment and reading order only when it is
// created, so a change of direction makes a new one with the same text.
void Tfrmmtext::showDirection(bool rightToLeft) {
    SendMessageW(toolBar1_, TB_CHECKBUTTON, idBtnR, MAKELPARAM(rightToLeft, 0));
    SendMessageW(toolBar1_, TB_CHECKBUTTON, idBtnL, MAKELPARAM(!rightToLeft, 0));
    if (rightToLeft == memoRightToLeft_) return;
    const EditBoxText kept = memo();
    const bool focused = GetFocus() == memo1_;
    DestroyWindow(memo1_);
    createMemo(rightToLeft);
    setMemo(kept);
    layout();
    if (focused) SetFocus(memo1_);
}

void Tfrmmtext::createMemo(bool rightToLeft) {
    const DWORD ex = WS_EX_CLIENTEDGE | (rightToLeft ? WS_EX_RTLREADING | WS_EX_RIGHT | WS_EX_LEFTSCROLLBAR : 0);
    memo1_ = CreateWindowExW(ex, L"EDIT", L"", kMemoStyle | (rightToLeft ? ES_RIGHT : ES_LEFT), 0, 0, 0, 0, window_,
                             reinterpret_cast<HMENU>(idMemo1), thisModule(), nullptr);
    SendMessageW(memo1_, EM_SETLIMITTEXT, 0, 0);  // no 32K limit: as much as the system allows
    SendMessageW(memo1_, WM_SETFONT, reinterpret_cast<WPARAM>(memoFont_), TRUE);
    memoRightToLeft_ = rightToLeft;
}

void Tfrmmtext::showStatus(const std::u16string& style, const std::u16string& font, const std::u16string& height) {
    const std::u16string* texts[] = {&style, &font, &height};
    for (int i = 0; i < 3; ++i) {
        const std::wstring text = toWide(*texts[i]);
        SendMessageW(statusBar1_, SB_SETTEXTW, i, reinterpret_cast<LPARAM>(text.c_str()));
    }
}

void Tfrmmtext::start(unsigned milliseconds) { SetTimer(window_, kTimer2, milliseconds, nullptr); }
void Tfrmmtext::stop() { KillTimer(window_, kTimer2); }

// --- Showing and closing ---

int Tfrmmtext::ShowModal() {
    modalResult_ = 0;
    FormShow();
    SetTimer(window_, kActionUpdate, kActionUpdateInterval, nullptr);
    const int result = ModalLoop::run(window_, modalResult_, [this](const MSG& msg) { return previewKey(msg); });
    KillTimer(window_, kActionUpdate);
    guarded([&] { editor_.FormClose(); });
    return result;
}

void Tfrmmtext::FormShow() {
    updateActions();
    ShowWindow(window_, SW_SHOW);
    // Deliberate: brought to the front as a hot key would, over the host.
    SendMessageW(window_, WM_SYSCOMMAND, SC_HOTKEY, reinterpret_cast<LPARAM>(window_));
    guarded([&] { editor_.FormShow(); });
    SetFocus(memo1_);
}

// Deliberate: Escape does not close the window (it has no cancel key).
// Ctrl+C, Ctrl+X and Ctrl+V run the actions.
bool Tfrmmtext::previewKey(const MSG& msg) {
    const bool keyMessage = msg.message == WM_KEYDOWN || msg.message == WM_KEYUP || msg.message == WM_CHAR;
    if (keyMessage && (msg.wParam == VK_ESCAPE)) return true;
    if (msg.message != WM_KEYDOWN || !ctrlDown()) return false;
    switch (msg.wParam) {
        case 'C': onCommand(idBtnCopy); return true;
        case 'X': onCommand(idBtnCut); return true;
        case 'V': onCommand(idBtnPaste); return true;
        default: return false;
    }
}

void Tfrmmtext::updateActions() {
    const bool hasText = IsClipboardFormatAvailable(CF_UNICODETEXT) || IsClipboardFormatAvailable(CF_TEXT);
    const ClipboardActions a = clipboardActions(memoSelection(memo1_), hasText);
    SendMessageW(toolBar1_, TB_ENABLEBUTTON, idBtnCopy, MAKELPARAM(a.copy, 0));
    SendMessageW(toolBar1_, TB_ENABLEBUTTON, idBtnCut, MAKELPARAM(a.cut, 0));
    SendMessageW(toolBar1_, TB_ENABLEBUTTON, idBtnPaste, MAKELPARAM(a.paste, 0));
}

void Tfrmmtext::memoRequest(UINT message) {
    SendMessageW(memo1_, message, 0, 0);
    SetFocus(memo1_);
}

void Tfrmmtext::showError(const std::wstring& text) {
    MessageBoxW(window_, text.c_str(), kCaption, MB_OK | MB_ICONERROR);
}

// --- Import and export ---

namespace {

// OpenDialog1 and SaveDialog1: no default extension, and an existing file
// is overwritten without a question. Empty when the user cancels.
std::u16string askFileName(HWND owner, bool save) {
    wchar_t file[MAX_PATH] = L"";
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = kFileFilter;
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH;
    ofn.Flags = OFN_HIDEREADONLY | OFN_EXPLORER;
    const BOOL chosen = save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
    return chosen ? fromWide(file) : std::u16string();
}

}  // namespace

void Tfrmmtext::btnOPenClick() {
    const std::u16string file = askFileName(window_, false);
    std::u16string error;
    if (!file.empty() && !editor_.importFile(file, error)) showError(toWide(error));
}

void Tfrmmtext::btnSaveClick() {
    const std::u16string file = askFileName(window_, true);
    std::u16string error;
    if (!file.empty() && !editor_.exportFile(file, error)) showError(toWide(error));
}

// --- Events ---

void Tfrmmtext::onCommand(int id) {
    switch (id) {
        case IDOK: modalResult_ = kModalOk; break;
        case IDCANCEL: modalResult_ = kModalCancel; break;
        case idBtnHeb: guarded([&] { editor_.btnHebClick(); }); break;
        case idBtnEng: guarded([&] { editor_.btnEngClick(); }); break;
        case idBtnCopy:
            if (clipboardActions(memoSelection(memo1_), false).copy) memoRequest(WM_COPY);
            break;
        case idBtnCut:
            if (clipboardActions(memoSelection(memo1_), false).cut) memoRequest(WM_CUT);
            break;
        case idBtnPaste: memoRequest(WM_PASTE); break;
        case idBtnUndo: memoRequest(EM_UNDO); break;
        case idBtnR: guarded([&] { editor_.btnRClick(); }); break;
        case idBtnL: guarded([&] { editor_.btnLClick(); }); break;
        case idBtnOPen: guarded([&] { btnOPenClick(); }); break;
        case idBtnSave: guarded([&] { btnSaveClick(); }); break;
        case idToolButton3: guarded([&] { editor_.ToolButton3Click(); }); break;
        case idToolButton7: guarded([&] { editor_.ToolButton7Click(); }); break;
        case idToolButton8: guarded([&] { editor_.ToolButton8Click(); }); break;
        default: return;
    }
    // The tool bar toggled its check buttons itself: show the editor's state.
    showLanguageButtons(editor_.hebrewDown(), editor_.englishDown());
    showDirection(editor_.rightToLeft());
    if (id >= idBtnCopy) SetFocus(memo1_);
    updateActions();
}

void Tfrmmtext::onNotify(const NMHDR& header) {
    if (header.code != TTN_GETDISPINFOW) return;
    auto& tip = const_cast<NMTTDISPINFOW&>(reinterpret_cast<const NMTTDISPINFOW&>(header));
    for (const ButtonDef& b : kButtons)
        if (b.id && static_cast<UINT_PTR>(b.id) == header.idFrom && b.hint) tip.lpszText = const_cast<wchar_t*>(b.hint);
}

void Tfrmmtext::onTimer(UINT_PTR id) {
    if (id == kTimer2) guarded([&] { editor_.Timer2Timer(); });
    if (id == kActionUpdate) updateActions();
}

// The window moved to a monitor of another DPI: the system's rectangle for
// it, and fonts, pictures and layout scaled again.
void Tfrmmtext::onDpiChanged(DpiScale dpi, const RECT& suggested) {
    dpi_ = dpi;
    const int width = suggested.right - suggested.left, height = suggested.bottom - suggested.top;
    if (!memo1_) {  // moved while being made: the controls are made at this DPI
        SetWindowPos(window_, nullptr, suggested.left, suggested.top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
        return;
    }
    createFonts();
    fillToolBar();
    showLanguageButtons(editor_.hebrewDown(), editor_.englishDown());
    showDirection(memoRightToLeft_);
    updateActions();
    SetWindowPos(window_, nullptr, suggested.left, suggested.top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    layout();
    fitCaption(window_, dpi_);
}

LRESULT Tfrmmtext::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (lParam == 0 || reinterpret_cast<HWND>(lParam) != memo1_) onCommand(LOWORD(wParam));
            return 0;
        case WM_NOTIFY: onNotify(*reinterpret_cast<const NMHDR*>(lParam)); return 0;
        case WM_TIMER: onTimer(wParam); return 0;
        case WM_SIZE:
            if (memo1_) layout();
            return 0;
        case WM_CLOSE: modalResult_ = kModalCancel; return 0;  // the close box: Cancel
        case DM_GETDEFID: return 0;  // no default button: Enter belongs to the memo
        default: break;
    }
    return defaultHandling(message, wParam, lParam);
}

}  // namespace editors
