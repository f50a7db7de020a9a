// What the editors' windows need to size themselves for the DPI of their
// monitor. A DPI-aware host (CAD programs are) gets no enlargement from the
// system for the windows an in-process server creates, so each window asks
// for its DPI and scales its designed layout itself. The host's awareness is
// never changed here.
//
// The per-monitor functions (Windows 10 1607 and later) are looked up at run
// time, so that the server still loads where they are missing; there the
// screen's LOGPIXELSY is every window's DPI.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "editors/dpi_scale.h"

namespace editors {

// The DPI the window is shown at.
DpiScale windowDpi(HWND window);

// The outer size of a window of this style whose client area is width x
// height pixels, with its frame and title at that DPI.
SIZE outerSize(int width, int height, DWORD style, DWORD exStyle, DpiScale dpi);

// The outer width the window's title needs at that DPI: its caption in the
// title bar's font, with the icon, the title-bar buttons and the frame.
int captionWidth(HWND window, DpiScale dpi);

// Widens the window, keeping its left edge, when its caption would be cut.
void fitCaption(HWND window, DpiScale dpi);

// An image list of `count` square images of designSize pixels, taken from a
// strip of them side by side and stretched to the DPI; `clear` is the strip's
// transparent colour. The caller owns the list; the strip stays the caller's.
HIMAGELIST scaledImageList(HBITMAP strip, int count, int designSize, COLORREF clear, DpiScale dpi);

// WM_DPICHANGED: the new DPI and the rectangle the system suggests for it.
struct DpiChange {
    DpiScale dpi;
    RECT suggested;
};
DpiChange dpiChange(WPARAM wParam, LPARAM lParam);

}  // namespace editors
