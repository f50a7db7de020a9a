#include "editors/uGrid.h"

#include <commctrl.h>

#include <algorithm>

#include "editors/dpi.h"
#include "editors/modal_window.h"
#include "hebrew/display_order_win32.h"
#include "hebrew/keyboard_win32.h"

namespace editors {

TfrmGrid* frmGrid = nullptr;

namespace {

const wchar_t* const kClassName = L"TfrmGrid";
const wchar_t* const kDesignCaption = L"Quillet Edit Attributes";
// Deliberate: two blanks before the colon, as the label has always read.
const wchar_t* const kBlockLabel = L"Block  :";

// The layout, in pixels at 96 DPI.
constexpr int kDesignLeft = 481, kDesignTop = 130, kClientWidth = 526, kClientHeight = 563;
constexpr int kPanel1Height = 27, kPanel2Height = 30;
constexpr int kNameWidth = 189, kValueWidth = 331;
constexpr int kBtnHWidth = 65, kBtnHHeight = 20, kButtonWidth = 75, kButtonHeight = 25, kMargin = 8;
constexpr int kLabelWidth = 90, kLabelHeight = 19;
constexpr int kFormFontHeight = 10, kLabelFontHeight = 15;

enum : int { idGrid = 100, idBtnH, idLblName, idCellEditor };

// The cell editor lost the focus: commit once the focus change is over.
constexpr UINT kCommitCellMessage = WM_APP + 1;

constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MAXIMIZEBOX | WS_THICKFRAME | WS_CLIPCHILDREN;

bool keyDown(int virtualKey) { return (GetKeyState(virtualKey) & 0x8000) != 0; }

// The grid's own drawing surface: its device context, reading in the grid's
// direction.
class GridSurface : public hebrew::DisplayOrderer {
public:
    GridSurface(HWND grid, bool rightToLeft) : grid_(grid), rightToLeft_(rightToLeft) {}
    std::string displayOrder(std::string_view bytes) const override {
        HDC dc = GetDC(grid_);
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(grid_, WM_GETFONT, 0, 0)));
        SetTextAlign(dc, rightToLeft_ ? TA_RTLREADING : 0);
        std::string out = hebrew::placementOrder(dc, bytes);
        SelectObject(dc, old);
        ReleaseDC(grid_, dc);
        return out;
    }

private:
    HWND grid_;
    bool rightToLeft_;
};

}  // namespace

TfrmGrid::TfrmGrid(hebrew::TfrmFonts& fonts, GridHost& host)
    : keyboard_(std::make_unique<hebrew::Win32Keyboard>()), grid_(fonts, *keyboard_, host) {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    const SIZE designed = outerSize(kClientWidth, kClientHeight, kStyle, WS_EX_RTLREADING, dpi_);
    create(kClassName, kDesignCaption, WS_EX_RTLREADING, kStyle, kDesignLeft, kDesignTop, designed.cx, designed.cy);
    dpi_ = windowDpi(window_);
    const GridPlacement p = grid_.FormCreate(dpi_);
    createControls();
    // On a monitor of another DPI, the move brings WM_DPICHANGED.
    SetWindowPos(window_, nullptr, p.left, p.top, p.width, p.height, SWP_NOZORDER | SWP_NOACTIVATE);
    fitCaption(window_, dpi_);
}

TfrmGrid::~TfrmGrid() {
    if (window_) {
        WINDOWPLACEMENT placement{};
        placement.length = sizeof placement;
        GetWindowPlacement(window_, &placement);
        const RECT& r = placement.rcNormalPosition;
        grid_.FormDestroy({r.left, r.top, r.right - r.left, r.bottom - r.top}, dpi_);
    }
    destroy();
    if (formFont_) DeleteObject(formFont_);
    if (labelFont_) DeleteObject(labelFont_);
}

void TfrmGrid::createControls() {
    HINSTANCE instance = thisModule();
    lblName_ = CreateWindowExW(0, L"STATIC", kBlockLabel, WS_CHILD | WS_VISIBLE | SS_RIGHT, 0, 0, px(kLabelWidth),
                               px(kLabelHeight), window_, reinterpret_cast<HMENU>(idLblName), instance, nullptr);
    btnH_ = CreateWindowExW(0, L"BUTTON", toWide(grid_.directionCaption()).c_str(),
                            WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 0, px(kBtnHWidth), px(kBtnHHeight),
                            window_, reinterpret_cast<HMENU>(idBtnH), instance, nullptr);
    btnOk_ = CreateWindowExW(0, L"BUTTON", L"OK", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 0,
                             px(kButtonWidth), px(kButtonHeight), window_, reinterpret_cast<HMENU>(IDOK), instance,
                             nullptr);
    btnCancel_ = CreateWindowExW(0, L"BUTTON", L"Cancel", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 0,
                                 px(kButtonWidth), px(kButtonHeight), window_, reinterpret_cast<HMENU>(IDCANCEL),
                                 instance, nullptr);
    createFonts();
    createGrid();
}

// The fonts at the window's DPI, given to the controls; the old ones go once
// no control uses them.
void TfrmGrid::createFonts() {
    HFONT oldForm = formFont_, oldLabel = labelFont_;
    formFont_ = createFont(L"MS Sans Serif", px(kFormFontHeight));
    labelFont_ = createFont(L"MS Sans Serif", px(kLabelFontHeight));
    SendMessageW(lblName_, WM_SETFONT, reinterpret_cast<WPARAM>(labelFont_), TRUE);
    for (HWND control : {btnH_, btnOk_, btnCancel_, grid1_, cellEditor_})
        if (control) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(formFont_), TRUE);
    if (oldForm) DeleteObject(oldForm);
    if (oldLabel) DeleteObject(oldLabel);
}

// A list view takes its direction when it is created: a turn of direction
// builds it anew from the rows.
void TfrmGrid::createGrid() {
    const std::optional<std::size_t> selected = grid1_ ? selectedRow() : std::optional<std::size_t>(0);
    if (grid1_) DestroyWindow(grid1_);
    const DWORD exStyle = WS_EX_CLIENTEDGE | (grid_.rightToLeft() ? WS_EX_LAYOUTRTL | WS_EX_RTLREADING : 0);
    grid1_ = CreateWindowExW(exStyle, WC_LISTVIEWW, L"",
                             WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS |
                                 LVS_NOSORTHEADER,
                             0, px(kPanel1Height), px(kClientWidth), px(kClientHeight - kPanel1Height - kPanel2Height),
                             window_,
                             reinterpret_cast<HMENU>(idGrid), thisModule(), nullptr);
    SendMessageW(grid1_, WM_SETFONT, reinterpret_cast<WPARAM>(formFont_), TRUE);
    ListView_SetExtendedListViewStyle(grid1_, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    const struct {
        const wchar_t* title;
        int width;
    } columns[] = {{L"Name", kNameWidth}, {L"Value", kValueWidth}};
    for (int i = 0; i < 2; ++i) {
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.pszText = const_cast<wchar_t*>(columns[i].title);
        column.cx = px(columns[i].width);
        column.iSubItem = i;
        ListView_InsertColumn(grid1_, i, &column);
    }
    showRows();
    if (selected) selectRow(*selected);
    layout();
}

void TfrmGrid::showRows() {
    ListView_DeleteAllItems(grid1_);
    const std::vector<GridRow>& rows = grid_.rows();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(i);
        std::wstring key = toWide(rows[i].key);
        item.pszText = key.data();
        ListView_InsertItem(grid1_, &item);
        showRow(i);
    }
}

void TfrmGrid::showRow(std::size_t row) {
    if (row >= grid_.rows().size()) return;
    std::wstring key = toWide(grid_.rows()[row].key), value = toWide(grid_.rows()[row].value);
    ListView_SetItemText(grid1_, static_cast<int>(row), 0, key.data());
    ListView_SetItemText(grid1_, static_cast<int>(row), 1, value.data());
}

void TfrmGrid::selectRow(std::size_t row) {
    if (grid_.rows().empty()) return;
    row = std::min(row, grid_.rows().size() - 1);
    const UINT both = LVIS_SELECTED | LVIS_FOCUSED;
    ListView_SetItemState(grid1_, static_cast<int>(row), both, both);
    ListView_EnsureVisible(grid1_, static_cast<int>(row), FALSE);
}

std::optional<std::size_t> TfrmGrid::selectedRow() const {
    const int item = ListView_GetNextItem(grid1_, -1, LVNI_SELECTED);
    if (item < 0 || static_cast<std::size_t>(item) >= grid_.rows().size()) return std::nullopt;
    return static_cast<std::size_t>(item);
}

void TfrmGrid::layout() {
    RECT client;
    GetClientRect(window_, &client);
    const int width = client.right, height = client.bottom;
    const int panel1 = px(kPanel1Height), panel2 = height - px(kPanel2Height);
    MoveWindow(lblName_, width - px(kLabelWidth + kMargin), px((kPanel1Height - kLabelHeight) / 2), px(kLabelWidth),
               px(kLabelHeight), TRUE);
    if (grid1_) MoveWindow(grid1_, 0, panel1, width, std::max(0, panel2 - panel1), TRUE);
    MoveWindow(btnH_, px(kMargin), panel2 + px((kPanel2Height - kBtnHHeight) / 2), px(kBtnHWidth), px(kBtnHHeight),
               TRUE);
    const int buttonTop = panel2 + px((kPanel2Height - kButtonHeight) / 2);
    MoveWindow(btnCancel_, width - px(kMargin + kButtonWidth), buttonTop, px(kButtonWidth), px(kButtonHeight), TRUE);
    MoveWindow(btnOk_, width - px(2 * (kMargin + kButtonWidth)), buttonTop, px(kButtonWidth), px(kButtonHeight),
               TRUE);
}

void TfrmGrid::EditBlock() {
    grid_.EditBlock(GridSurface(grid1_, grid_.rightToLeft()));
    SetWindowTextW(window_, toWide(grid_.caption()).c_str());
    fitCaption(window_, dpi_);
    showRows();
}

int TfrmGrid::ShowModal() {
    modalResult_ = 0;
    ShowWindow(window_, SW_SHOW);
    FormShow();
    const int result = ModalLoop::run(window_, modalResult_, [this](const MSG& msg) { return previewKey(msg); });
    // Deliberate: every row is written back here, changed or not, and after OK
    // the command writes them all once more (REDRAW goes twice).
    grid_.FormClose();
    return result;
}

void TfrmGrid::FormShow() {
    grid_.FormShow();
    showDirection();
    SetFocus(grid1_);
    selectRow(0);
}

void TfrmGrid::showDirection() { SetWindowTextW(btnH_, toWide(grid_.directionCaption()).c_str()); }

void TfrmGrid::btnHClick() {
    const bool before = grid_.rightToLeft();
    grid_.btnHClick();
    showDirection();
    if (grid_.rightToLeft() != before) createGrid();
    SetFocus(grid1_);
}

// Enter and Escape end a cell edit instead of the window; the grid's own keys
// edit, add and delete rows.
bool TfrmGrid::previewKey(const MSG& msg) {
    if (cellEditor_ && msg.hwnd == cellEditor_) {
        if (msg.message == WM_KEYDOWN && (msg.wParam == VK_RETURN || msg.wParam == VK_ESCAPE)) {
            guarded([&] { endEdit(msg.wParam == VK_RETURN); });
            SetFocus(grid1_);
            return true;
        }
        return false;
    }
    return msg.hwnd == grid1_ && previewGridKey(msg);
}

bool TfrmGrid::previewGridKey(const MSG& msg) {
    if (msg.message == WM_CHAR) {
        const wchar_t c = static_cast<wchar_t>(msg.wParam);
        if (c < L' ' || keyDown(VK_CONTROL)) return false;
        if (cellEditor_) {  // typed ahead of the focus: it belongs to the editor
            SendMessageW(cellEditor_, WM_CHAR, msg.wParam, msg.lParam);
            return true;
        }
        if (const auto row = selectedRow()) {
            const std::wstring typed(1, c);
            guarded([&] { beginEdit(*row, 1, &typed); });
        }
        return true;
    }
    if (msg.message != WM_KEYDOWN) return false;
    switch (msg.wParam) {
        case VK_F2:
            if (const auto row = selectedRow()) guarded([&] { beginEdit(*row, keyDown(VK_SHIFT) ? 0 : 1); });
            return true;
        case VK_INSERT: guarded([&] { addRow(); }); return true;
        case VK_DELETE:
            if (!keyDown(VK_CONTROL)) return false;
            guarded([&] { deleteRow(); });
            return true;
        default: return false;
    }
}

void TfrmGrid::beginEdit(std::size_t row, int column, const std::wstring* typed) {
    endEdit(true);
    if (row >= grid_.rows().size()) return;
    ListView_EnsureVisible(grid1_, static_cast<int>(row), FALSE);
    RECT r{};
    ListView_GetSubItemRect(grid1_, static_cast<int>(row), column, column == 0 ? LVIR_LABEL : LVIR_BOUNDS, &r);
    const GridRow& cells = grid_.rows()[row];
    const std::wstring text = typed ? *typed : toWide(column == 0 ? cells.key : cells.value);
    cellEditor_ = CreateWindowExW(grid_.rightToLeft() ? WS_EX_RTLREADING : 0, L"EDIT", text.c_str(),
                                  WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL, r.left, r.top, r.right - r.left,
                                  r.bottom - r.top, grid1_, reinterpret_cast<HMENU>(idCellEditor), thisModule(),
                                  nullptr);
    SendMessageW(cellEditor_, WM_SETFONT, reinterpret_cast<WPARAM>(formFont_), TRUE);
    SetWindowSubclass(cellEditor_, cellEditorProc, 0, reinterpret_cast<DWORD_PTR>(this));
    editing_ = CellEdit{row, column};
    SetFocus(cellEditor_);
    const int length = static_cast<int>(text.size());
    SendMessageW(cellEditor_, EM_SETSEL, typed ? length : 0, length);
}

// A key that another row has is refused: the row keeps its key.
void TfrmGrid::endEdit(bool keep) {
    if (!cellEditor_) return;
    HWND editor = cellEditor_;
    const CellEdit cell = *editing_;
    cellEditor_ = nullptr;
    editing_.reset();
    const std::u16string text = fromWide(windowText(editor));
    RemoveWindowSubclass(editor, cellEditorProc, 0);
    if (GetFocus() == editor) SetFocus(grid1_);
    DestroyWindow(editor);
    if (!keep) return;
    if (cell.column == 1) {
        grid_.setValue(cell.row, text);
    } else if (!grid_.setKey(cell.row, text)) {
        const std::wstring message = L"A key named \"" + toWide(text) + L"\" is already in the grid.";
        MessageBoxW(window_, message.c_str(), toWide(grid_.caption()).c_str(), MB_OK | MB_ICONWARNING);
    }
    showRow(cell.row);
}

void TfrmGrid::addRow() {
    endEdit(true);
    const std::size_t row = grid_.addRow();
    showRows();
    selectRow(row);
    beginEdit(row, 0);
}

void TfrmGrid::deleteRow() {
    endEdit(true);
    const std::optional<std::size_t> row = selectedRow();
    if (!row || !grid_.deleteRow(*row)) return;
    showRows();
    selectRow(*row);
}

LRESULT CALLBACK TfrmGrid::cellEditorProc(HWND editor, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                          DWORD_PTR self) {
    if (message == WM_KILLFOCUS) PostMessageW(reinterpret_cast<TfrmGrid*>(self)->window_, kCommitCellMessage, 0, 0);
    if (message == WM_GETDLGCODE) return DLGC_WANTALLKEYS;
    return DefSubclassProc(editor, message, wParam, lParam);
}

void TfrmGrid::onCommand(int id, int code) {
    if (code != BN_CLICKED) return;
    switch (id) {
        case IDOK:
            guarded([&] {
                endEdit(true);
                endModal(grid_.BitBtn1Click());
            });
            break;
        case IDCANCEL:
            guarded([&] {
                endEdit(false);
                endModal(grid_.BitBtn2Click());
            });
            break;
        case idBtnH:
            guarded([&] {
                endEdit(true);
                btnHClick();
            });
            break;
        default: break;
    }
}

void TfrmGrid::onNotify(const NMHDR& header) {
    if (header.hwndFrom != grid1_ || header.code != NM_DBLCLK) return;
    const auto& click = reinterpret_cast<const NMITEMACTIVATE&>(header);
    if (click.iItem >= 0)
        guarded([&] { beginEdit(static_cast<std::size_t>(click.iItem), click.iSubItem == 0 ? 0 : 1); });
}

// The cell editor lost the focus to something other than itself.
void TfrmGrid::onCommitCell() {
    if (cellEditor_ && GetFocus() != cellEditor_) guarded([&] { endEdit(true); });
}

void TfrmGrid::onSize() {
    if (!btnOk_) return;  // still being created
    guarded([&] { endEdit(true); });
    layout();
}

// The window moved to a monitor of another DPI: the system's rectangle for
// it, and fonts, columns and layout scaled again.
void TfrmGrid::onDpiChanged(DpiScale dpi, const RECT& suggested) {
    const DpiScale before = dpi_;
    dpi_ = dpi;
    createFonts();
    for (int column = 0; column < 2; ++column)
        ListView_SetColumnWidth(grid1_, column, dpi_(before.toDesign(ListView_GetColumnWidth(grid1_, column))));
    SetWindowPos(window_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    layout();
    fitCaption(window_, dpi_);
}

// Deliberate: the close box writes the rows back, yet the command sees Cancel.
void TfrmGrid::onClose() {
    guarded([&] { endEdit(true); });
    endModal(kModalCancel);
}

LRESULT TfrmGrid::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND: onCommand(LOWORD(wParam), HIWORD(wParam)); return 0;
        case WM_NOTIFY: onNotify(*reinterpret_cast<const NMHDR*>(lParam)); return 0;
        case kCommitCellMessage: onCommitCell(); return 0;
        case WM_SIZE: onSize(); return 0;
        case WM_CLOSE: onClose(); return 0;
        case DM_GETDEFID: return MAKELRESULT(IDOK, DC_HASDEFID);
        default: break;
    }
    return defaultHandling(message, wParam, lParam);
}

}  // namespace editors
