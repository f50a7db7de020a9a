// Showing an editor window modally on the host's thread, as a dialog box is
// shown: the thread's other windows are disabled while it runs, Enter and
// Escape reach the window as IDOK and IDCANCEL, and the window may look at
// every key before the focused control (key preview).
#pragma once

#include <windows.h>

#include <exception>
#include <functional>
#include <string>

#include "editors/callback_guard.h"
#include "editors/dpi_scale.h"
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

// A failure's text as the user reads it: an exception's message (UTF-8), or
// a fixed text for a failure that carries none (nullptr).
std::wstring errorText(const char* what);

// A failure inside an event handler of an open window: shown, and the window
// stays open. Topmost, as the editors are, or it could open behind them.
void showEventError(HWND owner, const std::wstring& text);

// The base of the editors' windows: one small window procedure finds the
// object and hands each message to onMessage, which hands it on to handlers
// named after their events. Nothing a handler throws reaches the system.
class EditorWindow {
public:
    HWND handle() const { return window_; }

protected:
    EditorWindow() = default;
    ~EditorWindow() { destroy(); }
    EditorWindow(const EditorWindow&) = delete;
    EditorWindow& operator=(const EditorWindow&) = delete;

    // Registers the class once and creates the window, hidden; the messages
    // of its creation already reach onMessage.
    void create(const wchar_t* className, const wchar_t* caption, DWORD exStyle, DWORD style, int left, int top,
                int width, int height);
    // The window goes. It is detached first: the messages of its destruction
    // find no object that is half gone.
    void destroy();

    virtual LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    LRESULT defaultHandling(UINT message, WPARAM wParam, LPARAM lParam) {
        return DefWindowProcW(window_, message, wParam, lParam);
    }

    // Runs an event handler; a failure of any kind is shown and the window
    // stays open.
    template <typename Handler>
    void guarded(Handler&& handler) noexcept {
        guardedCall(handler, [this](const char* what) { showError(errorText(what)); });
    }
    // How a failure in an event handler is shown.
    virtual void showError(const std::wstring& text) { showEventError(window_, text); }

    void endModal(int result) { modalResult_ = result; }

    // WM_DPICHANGED: the window moved to a monitor of another DPI; the
    // rectangle the system suggests for it there.
    virtual void onDpiChanged(DpiScale dpi, const RECT& suggested) = 0;
    // A size of the designed layout at the window's DPI.
    int px(int design) const { return dpi_(design); }

    HWND window_ = nullptr;
    int modalResult_ = 0;  // 0 while the window runs modally, then its result
    DpiScale dpi_;         // the DPI the window is laid out for

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};

}  // namespace editors
