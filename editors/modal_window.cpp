#include "editors/modal_window.h"

#include <vector>

#include "editors/dpi.h"
#include "hebrew/text_encoding.h"

namespace editors {

namespace {

struct DisabledWindows {
    HWND keep;
    std::vector<HWND> windows;
};

BOOL CALLBACK disableOne(HWND hwnd, LPARAM param) {
    auto* state = reinterpret_cast<DisabledWindows*>(param);
    if (hwnd != state->keep && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd)) {
        // Kept first: a window that could not be kept is not disabled.
        bool kept = false;
        guardedCall([&] {
            state->windows.push_back(hwnd);
            kept = true;
        }, [](const char*) {});
        if (kept) EnableWindow(hwnd, FALSE);
    }
    return TRUE;
}

bool isKeyMessage(UINT message) {
    return message == WM_KEYDOWN || message == WM_KEYUP || message == WM_SYSKEYDOWN || message == WM_SYSKEYUP ||
           message == WM_CHAR;
}

bool belongsTo(HWND window, HWND target) { return target == window || IsChild(window, target); }

}  // namespace

int ModalLoop::run(HWND window, const int& result, const KeyPreview& preview) {
    HWND previous = GetActiveWindow();
    DisabledWindows disabled{window, {}};
    EnumThreadWindows(GetCurrentThreadId(), disableOne, reinterpret_cast<LPARAM>(&disabled));
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);

    MSG msg;
    bool quit = false;
    while (result == 0 && IsWindow(window)) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            quit = true;  // WM_QUIT: give it back to the host's own loop
            break;
        }
        if (got < 0) break;
        if (isKeyMessage(msg.message) && belongsTo(window, msg.hwnd)) {
            if (preview && preview(msg)) continue;
            if (IsDialogMessageW(window, &msg)) continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }

    for (HWND w : disabled.windows)
        if (IsWindow(w)) EnableWindow(w, TRUE);
    if (IsWindow(window)) ShowWindow(window, SW_HIDE);
    if (previous && IsWindow(previous)) SetActiveWindow(previous);
    if (quit) PostQuitMessage(static_cast<int>(msg.wParam));
    return result == 0 ? kModalCancel : result;
}

const wchar_t* registerWindowClass(const wchar_t* name, WNDPROC proc, HINSTANCE instance) {
    WNDCLASSEXW wc{};
    if (GetClassInfoExW(instance, name, &wc)) return name;
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = name;
    RegisterClassExW(&wc);
    return name;
}

HINSTANCE thisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&thisModule), &module);
    return module;
}

HFONT createFont(const wchar_t* face, int pixelHeight, BYTE charset) {
    LOGFONTW lf{};
    lf.lfHeight = -pixelHeight;
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = charset;
    lf.lfQuality = DEFAULT_QUALITY;
    lstrcpynW(lf.lfFaceName, face, LF_FACESIZE);
    return CreateFontIndirectW(&lf);
}

namespace {
int CALLBACK onFontFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}
}  // namespace

bool fontExists(const wchar_t* face) {
    LOGFONTW lf{};
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(lf.lfFaceName, face, LF_FACESIZE);
    bool found = false;
    HDC dc = GetDC(nullptr);
    EnumFontFamiliesExW(dc, &lf, onFontFound, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, dc);
    return found;
}

std::wstring windowText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), length + 1)));
    return text;
}

std::wstring errorText(const char* what) {
    if (!what) return L"Unexpected failure";
    const auto text = hebrew::utf8ToUtf16(what);
    return text ? toWide(*text) : std::wstring(L"Error");
}

void showEventError(HWND owner, const std::wstring& text) {
    MessageBoxW(owner, text.c_str(), L"vorn2020", MB_OK | MB_ICONERROR | MB_TOPMOST | MB_SETFOREGROUND);
}

void EditorWindow::create(const wchar_t* className, const wchar_t* caption, DWORD exStyle, DWORD style, int left,
                          int top, int width, int height) {
    HINSTANCE instance = thisModule();
    registerWindowClass(className, windowProc, instance);
    window_ = CreateWindowExW(exStyle, className, caption, style, left, top, width, height, nullptr, nullptr, instance,
                              this);
}

void EditorWindow::destroy() {
    if (!window_) return;
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
    window_ = nullptr;
}

LRESULT CALLBACK EditorWindow::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<EditorWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<EditorWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return DefWindowProcW(window, message, wParam, lParam);
    LRESULT result = 0;
    if (message == WM_DPICHANGED) {
        const DpiChange change = dpiChange(wParam, lParam);
        self->guarded([&] { self->onDpiChanged(change.dpi, change.suggested); });
        return 0;
    }
    self->guarded([&] { result = self->onMessage(message, wParam, lParam); });
    return result;
}

}  // namespace editors
