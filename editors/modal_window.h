// Showing an editor window modally on the host's thread, as a dialog box is
// shown: the thread's other windows are disabled while it runs, Enter and
// Escape reach the window as IDOK and IDCANCEL, and the window may look at
// every key before the focused control (key preview).
#pragma once

#include <windows.h>

#include <exception>
#include <functional>
#include <string>

#include "hebrew/text_encoding.h"

namespace editors {

// The window's modal result: 0 while it runs, then 1 (OK) or 2 (Cancel).
constexpr int kModalOk = 1;
constexpr int kModalCancel = 2;

class ModalLoop {
public:
    // Called for each keyboard message of the window or its controls before
    // it is dispatched; true swallows it.
    using KeyPreview = std::function<bool(const MSG&)>;

    // Shows `window` and pumps messages until `result` is set or the window
    // is destroyed (then: Cancel). Enables the other windows again and gives
    // the activation back to the window that had it.
    static int run(HWND window, const int& result, const KeyPreview& preview = nullptr);
};

// Registers a window class once per process; returns its atom name.
const wchar_t* registerWindowClass(const wchar_t* name, WNDPROC proc, HINSTANCE instance);

// The module that holds the running code (the server's DLL, not the host).
HINSTANCE thisModule();

// A font by face and pixel height; the caller owns it.
HFONT createFont(const wchar_t* face, int pixelHeight, BYTE charset = DEFAULT_CHARSET);

// True when the system has a font of this face.
bool fontExists(const wchar_t* face);

std::wstring windowText(HWND window);
using hebrew::fromWide;
using hebrew::toWide;

// An exception's text (UTF-8) as the user reads it.
std::wstring errorText(const std::exception& e);

// A failure inside an event handler of an open window: shown, and the window
// stays open. Topmost, as the editors are, or it could open behind them.
void showEventError(HWND owner, const std::exception& e);

}  // namespace editors
