// TfrmGrid: the attribute editor's Win32 window. Its grid and buttons are
// wired to AttributeGrid, which holds the rows and what is written when; this
// file builds the controls, edits cells in place and shows the rows.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "editors/attribute_grid.h"
#include "editors/modal_window.h"
#include "hebrew/fntdef.h"

namespace editors {

class TfrmGrid : public EditorWindow {
public:
    // Creates the window hidden (FormCreate included).
    TfrmGrid(hebrew::TfrmFonts& fonts, GridHost& host);
    // FormDestroy, then the window goes.
    ~TfrmGrid();
    TfrmGrid(const TfrmGrid&) = delete;
    TfrmGrid& operator=(const TfrmGrid&) = delete;

    AttributeGrid& behaviour() { return grid_; }

    // Fills the grid; a host failure propagates.
    void EditBlock();
    // FormShow, the modal loop, then FormClose, whose write-back failure
    // propagates; 1 for OK, 2 for Cancel or the close box.
    int ShowModal();
    void update() { grid_.update(); }

private:
    struct CellEdit {
        std::size_t row;
        int column;  // 0: the key, 1: the value
    };

    static LRESULT CALLBACK cellEditorProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void createControls();
    void createFonts();
    void createGrid();
    void showRows();
    void showRow(std::size_t row);
    void selectRow(std::size_t row);
    std::optional<std::size_t> selectedRow() const;
    void layout();
    void FormShow();
    void btnHClick();
    void showDirection();
    bool previewKey(const MSG& msg);
    bool previewGridKey(const MSG& msg);
    void beginEdit(std::size_t row, int column, const std::wstring* typed = nullptr);
    void endEdit(bool keep);
    void addRow();
    void deleteRow();
    void onCommand(int id, int code);
    void onNotify(const NMHDR& header);
    void onCommitCell();
    void onSize();
    void onClose();
    void onDpiChanged(DpiScale dpi, const RECT& suggested) override;

    std::unique_ptr<hebrew::KeyboardSwitch> keyboard_;
    AttributeGrid grid_;
    HWND lblName_ = nullptr, grid1_ = nullptr, btnH_ = nullptr, btnOk_ = nullptr, btnCancel_ = nullptr;
    HWND cellEditor_ = nullptr;
    std::optional<CellEdit> editing_;
    HFONT formFont_ = nullptr, labelFont_ = nullptr;
};

// The open attribute editor.
extern TfrmGrid* frmGrid;

}  // namespace editors
