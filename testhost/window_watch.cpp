#include "testhost/window_watch.h"

#include <commctrl.h>

#include <cstdio>
#include <string>

#include "testhost/json.h"

namespace testhost {

namespace {

constexpr UINT kTickMs = 50;
// A window that no step left is about is closed after this long; when no
// step is left at all, none can be about it, and it goes once it has settled.
constexpr DWORD kStrayMs = 5000;
constexpr DWORD kStrayWithoutStepsMs = 300;
// After the command returns, modeless windows get this long for the steps
// left, while one is shown; with none shown, a short time to appear.
constexpr DWORD kAfterCommandMs = 5000;
constexpr DWORD kAfterCommandNoWindowMs = 300;
constexpr int kMessageTextId = 0xFFFF;
// A step that cannot be done in this time fails, and the steps after it are
// dropped, so that the windows left are closed as strays.
constexpr DWORD kStepTimeoutMs = 15000;

std::wstring windowText(HWND window) {
    const LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT copied = SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(copied));
    return text;
}

std::wstring classOf(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

// Window enumeration callbacks are stdcall on 32-bit Windows: plain functions.
BOOL CALLBACK addVisibleWindow(HWND window, LPARAM list) {
    if (IsWindowVisible(window)) reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

BOOL CALLBACK addWindow(HWND window, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

std::vector<HWND> visibleThreadWindows() {
    std::vector<HWND> windows;
    EnumThreadWindows(GetCurrentThreadId(), addVisibleWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::vector<HWND> childWindows(HWND parent) {
    std::vector<HWND> children;
    EnumChildWindows(parent, addWindow, reinterpret_cast<LPARAM>(&children));
    return children;
}

bool isMessageBox(HWND window) {
    return classOf(window) == L"#32770" && GetDlgItem(window, kMessageTextId) != nullptr;
}

std::vector<HWND> visibleButtons(HWND dialog) {
    std::vector<HWND> buttons;
    for (HWND child : childWindows(dialog))
        if (IsWindowVisible(child) && lstrcmpiW(classOf(child).c_str(), L"Button") == 0) buttons.push_back(child);
    return buttons;
}

// '*' stands for any run of characters; otherwise case matters.
bool captionMatches(const wchar_t* pattern, const wchar_t* text) {
    if (*pattern == L'\0') return *text == L'\0';
    if (*pattern == L'*') return captionMatches(pattern + 1, text) || (*text && captionMatches(pattern, text + 1));
    return *pattern == *text && captionMatches(pattern + 1, text + 1);
}

// The items of a report-mode list view of this process, column by column.
std::vector<std::vector<std::wstring>> listViewRows(HWND list) {
    std::vector<std::vector<std::wstring>> rows;
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    const int columns = header ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 1;
    const int items = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < items; ++i) {
        std::vector<std::wstring> row;
        for (int column = 0; column < columns; ++column) {
            wchar_t text[1024] = {};
            LVITEMW item{};
            item.iSubItem = column;
            item.pszText = text;
            item.cchTextMax = 1024;
            SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
            row.push_back(text);
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

// The module that holds a window's procedure: for a common control, the
// version of the common controls it was made with (the side-by-side 6.0
// assembly's, or the system's own).
std::wstring procedureModule(HWND window) {
    const auto procedure = reinterpret_cast<LPCWSTR>(GetWindowLongPtrW(window, GWLP_WNDPROC));
    HMODULE module = nullptr;
    if (!procedure || !GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                              GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                          procedure, &module))
        return {};
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(module, path, MAX_PATH);
    return std::wstring(path, n < MAX_PATH ? n : 0);
}

// The per-monitor DPI functions, where the system has them.
UINT dpiOf(HWND window) {
    using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
    static const auto getDpi = reinterpret_cast<GetDpiForWindowFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (getDpi) return getDpi(window);
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return static_cast<UINT>(dpi);
}

int extentOf(HFONT font, const std::wstring& text) {
    HDC screen = GetDC(nullptr);
    HGDIOBJ old = SelectObject(screen, font);
    SIZE size{};
    GetTextExtentPoint32W(screen, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(screen, old);
    ReleaseDC(nullptr, screen);
    return size.cx;
}

// The character height the font was made with; for a font made by its cell
// height (or the default), as the glyphs come out.
int characterHeight(HFONT font) {
    LOGFONTW made{};
    if (GetObjectW(font, sizeof made, &made) && made.lfHeight < 0) return -made.lfHeight;
    HDC screen = GetDC(nullptr);
    HGDIOBJ old = SelectObject(screen, font);
    TEXTMETRICW metrics{};
    GetTextMetricsW(screen, &metrics);
    SelectObject(screen, old);
    ReleaseDC(nullptr, screen);
    return metrics.tmHeight - metrics.tmInternalLeading;
}

std::wstring withoutAccelerator(const std::wstring& caption);

bool isLabelOrButton(const std::wstring& className) {
    return lstrcmpiW(className.c_str(), L"Static") == 0 || lstrcmpiW(className.c_str(), L"Button") == 0;
}

// The caption's width in the title bar's font, measured as the system draws
// it, and the title bar's room for it, from the title bar's own figures.
void measureTitle(HWND window, UINT dpi, WindowRecord& record) {
    using ParametersForDpi = BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT);
    static const auto forDpi = reinterpret_cast<ParametersForDpi>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "SystemParametersInfoForDpi")));
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (!(forDpi ? forDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi)
                 : SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)))
        return;
    HFONT font = CreateFontIndirectW(&metrics.lfCaptionFont);
    record.captionWidth = extentOf(font, record.caption);
    DeleteObject(font);
    TITLEBARINFO title{};
    title.cbSize = sizeof title;
    if (!GetTitleBarInfo(window, &title)) return;
    int room = title.rcTitleBar.right - title.rcTitleBar.left;
    // rgstate[2..5]: the minimize, maximize, help and close buttons.
    for (int button = 2; button <= 5; ++button)
        if (!(title.rgstate[button] & (STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_OFFSCREEN)))
            room -= metrics.iCaptionWidth;
    if (GetWindowLongW(window, GWL_STYLE) & WS_SYSMENU) room -= metrics.iCaptionHeight;  // the icon
    record.captionRoom = room;
}

WindowRecord describeWindow(int command, HWND window, const wchar_t* event) {
    WindowRecord record{command, event, windowText(window), classOf(window), {}};
    record.dpi = static_cast<int>(dpiOf(window));
    RECT outer{}, client{};
    GetWindowRect(window, &outer);
    GetClientRect(window, &client);
    record.size = {outer.right - outer.left, outer.bottom - outer.top};
    record.client = {client.right, client.bottom};
    measureTitle(window, static_cast<UINT>(record.dpi), record);
    for (HWND child : childWindows(window)) {
        ControlRecord control;
        control.className = classOf(child);
        control.text = windowText(child);
        control.id = GetDlgCtrlID(child);
        if (lstrcmpiW(control.className.c_str(), WC_LISTVIEWW) == 0) control.rows = listViewRows(child);
        control.layoutRtl = (GetWindowLongW(child, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0;
        control.focused = GetFocus() == child;
        control.module = procedureModule(child);
        RECT area{};
        GetClientRect(child, &area);
        control.size = {area.right, area.bottom};
        if (HFONT font = reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0))) {
            control.fontHeight = characterHeight(font);
            if (isLabelOrButton(control.className)) control.textWidth = extentOf(font, withoutAccelerator(control.text));
        }
        record.controls.push_back(std::move(control));
    }
    return record;
}

// Input needs time to travel through the display server and back.
constexpr DWORD kInputSettleMs = 300;
constexpr DWORD kActionSettleMs = 100;
constexpr UINT kRunActionMessage = WM_APP + 1;

struct NamedKey {
    const wchar_t* name;
    WORD vk;
};

const NamedKey kKeys[] = {
    {L"enter", VK_RETURN}, {L"escape", VK_ESCAPE}, {L"esc", VK_ESCAPE}, {L"tab", VK_TAB},
    {L"shift", VK_SHIFT},  {L"alt", VK_MENU},      {L"ctrl", VK_CONTROL}, {L"space", VK_SPACE},
    {L"left", VK_LEFT},    {L"right", VK_RIGHT},   {L"up", VK_UP},       {L"down", VK_DOWN},
    {L"home", VK_HOME},    {L"end", VK_END},       {L"delete", VK_DELETE}, {L"backspace", VK_BACK},
    {L"insert", VK_INSERT},
};

WORD virtualKey(const std::wstring& name) {
    for (const NamedKey& key : kKeys)
        if (lstrcmpiW(key.name, name.c_str()) == 0) return key.vk;
    if (name.size() == 1 && iswalnum(name[0])) return static_cast<WORD>(towupper(name[0]));
    if ((name[0] == L'f' || name[0] == L'F') && name.size() <= 3) {
        const int n = _wtoi(name.c_str() + 1);
        if (n >= 1 && n <= 12) return static_cast<WORD>(VK_F1 + n - 1);
    }
    return 0;
}

INPUT keyInput(WORD vk, bool up) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return in;
}

void sendKeys(const std::vector<WORD>& keys, bool press, bool release) {
    std::vector<INPUT> inputs;
    if (press)
        for (WORD vk : keys) inputs.push_back(keyInput(vk, false));
    if (release)
        for (auto it = keys.rbegin(); it != keys.rend(); ++it) inputs.push_back(keyInput(*it, true));
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

void typeText(const std::wstring& text) {
    std::vector<INPUT> inputs;
    for (wchar_t c : text) {
        INPUT in{};
        in.type = INPUT_KEYBOARD;
        in.ki.wScan = c;
        in.ki.dwFlags = KEYEVENTF_UNICODE;
        inputs.push_back(in);
        in.ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
        inputs.push_back(in);
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

void clickAt(POINT screen) {
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    INPUT in[3] = {};
    for (INPUT& i : in) {
        i.type = INPUT_MOUSE;
        i.mi.dx = MulDiv(screen.x, 65535, w - 1);
        i.mi.dy = MulDiv(screen.y, 65535, h - 1);
    }
    in[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    in[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_ABSOLUTE;
    in[2].mi.dwFlags = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_ABSOLUTE;
    SendInput(3, in, sizeof(INPUT));
}

std::wstring withoutAccelerator(const std::wstring& caption) {
    std::wstring out;
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == L'&' && i + 1 < caption.size()) ++i;
        out += caption[i];
    }
    return out;
}

// What the system sends a window that moves to a monitor of another DPI: the
// new DPI, and the window's rectangle scaled about its top left corner.
void sendDpiChange(HWND window, int dpi) {
    RECT r{};
    GetWindowRect(window, &r);
    const int from = static_cast<int>(dpiOf(window));
    RECT suggested{r.left, r.top, r.left + MulDiv(r.right - r.left, dpi, from),
                   r.top + MulDiv(r.bottom - r.top, dpi, from)};
    SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
}

// The window's pixels as they are on the screen, as a 24-bit BMP file.
bool saveScreenshot(HWND window, const std::wstring& file) {
    RECT r;
    if (!GetWindowRect(window, &r)) return false;
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0) return false;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = h;  // bottom-up, as BMP files hold rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    const DWORD stride = static_cast<DWORD>((w * 3 + 3) & ~3);
    const DWORD imageSize = stride * static_cast<DWORD>(h);
    BITMAPFILEHEADER header{};
    header.bfType = 0x4D42;
    header.bfOffBits = sizeof header + sizeof info.bmiHeader;
    header.bfSize = header.bfOffBits + imageSize;
    bool ok = false;
    if (FILE* f = _wfopen(file.c_str(), L"wb")) {
        ok = fwrite(&header, sizeof header, 1, f) == 1 && fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, f) == 1 &&
             fwrite(bits, imageSize, 1, f) == 1;
        ok = fclose(f) == 0 && ok;
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok;
}

// With VORN_TESTHOST_TRACE set, each step done goes to the error stream as
// it happens: a run that hangs and is killed still shows how far it came.
void trace(int command, const wchar_t* what, const std::wstring& step) {
    static const bool on = GetEnvironmentVariableW(L"VORN_TESTHOST_TRACE", nullptr, 0) > 0;
    if (!on) return;
    std::string line = "testhost: " + std::to_string(GetTickCount()) + " ms, command " + std::to_string(command) +
                       ": " + json::toUtf8(what) + " " + json::toUtf8(step) + "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

bool timeReached(DWORD when) { return static_cast<LONG>(GetTickCount() - when) >= 0; }

}  // namespace

std::vector<WORD> virtualKeys(const std::wstring& names) {
    std::vector<WORD> keys;
    std::size_t start = 0;
    while (start <= names.size()) {
        std::size_t plus = names.find(L'+', start);
        if (plus == std::wstring::npos) plus = names.size();
        const WORD vk = virtualKey(names.substr(start, plus - start));
        if (!vk) return {};
        keys.push_back(vk);
        start = plus + 1;
    }
    return keys;
}

WindowWatcher* WindowWatcher::active_ = nullptr;

const WindowWatcher::StepHandler WindowWatcher::kStepHandlers[] = {
    {UiStep::Kind::Window, &WindowWatcher::findWindow},
    {UiStep::Kind::Read, &WindowWatcher::readWindow},
    {UiStep::Kind::Close, &WindowWatcher::closeWindow},
    {UiStep::Kind::Wait, &WindowWatcher::wait},
    {UiStep::Kind::SetText, &WindowWatcher::queueAction},
    {UiStep::Kind::Type, &WindowWatcher::queueAction},
    {UiStep::Kind::Key, &WindowWatcher::queueAction},
    {UiStep::Kind::KeyDown, &WindowWatcher::queueAction},
    {UiStep::Kind::KeyUp, &WindowWatcher::queueAction},
    {UiStep::Kind::Click, &WindowWatcher::queueAction},
    {UiStep::Kind::Toolbar, &WindowWatcher::queueAction},
    {UiStep::Kind::Spin, &WindowWatcher::queueAction},
    {UiStep::Kind::Focus, &WindowWatcher::queueAction},
    {UiStep::Kind::Select, &WindowWatcher::queueAction},
    {UiStep::Kind::Shot, &WindowWatcher::queueAction},
    {UiStep::Kind::Dpi, &WindowWatcher::queueAction},
};

std::vector<UiStep> WindowWatcher::watch(int command, std::vector<UiStep> steps, const std::function<void()>& work) {
    command_ = command;
    steps_.assign(steps.begin(), steps.end());
    current_ = nullptr;
    firstSeen_.clear();
    active_ = this;
    actionPending_ = false;
    holdUntil_ = GetTickCount();
    headSince_ = 0;
    WNDCLASSW wc{};
    wc.lpfnWndProc = actionProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"testhost.actions";
    RegisterClassW(&wc);
    actionWindow_ = CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    const UINT_PTR timer = SetTimer(nullptr, 0, kTickMs, onTimer);
    work();
    pumpWhileStepsRemain();
    KillTimer(nullptr, timer);
    DestroyWindow(actionWindow_);
    actionWindow_ = nullptr;
    active_ = nullptr;
    std::vector<UiStep> left(timedOut_.begin(), timedOut_.end());
    left.insert(left.end(), steps_.begin(), steps_.end());
    steps_.clear();
    timedOut_.clear();
    return left;
}

void CALLBACK WindowWatcher::onTimer(HWND, UINT, UINT_PTR, DWORD) {
    if (active_) active_->tick();
}

void WindowWatcher::pumpWhileStepsRemain() {
    const DWORD start = GetTickCount();
    auto waiting = [&] {
        const DWORD waited = GetTickCount() - start;
        return waited < kAfterCommandNoWindowMs || (waited < kAfterCommandMs && !visibleThreadWindows().empty());
    };
    while (!steps_.empty() && !interactive_ && waiting()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, kTickMs, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

// Actions post their messages, so a tick never waits inside another modal loop.
void WindowWatcher::tick() {
    if (busy_) return;
    busy_ = true;
    visible_ = visibleThreadWindows();
    if (current_ && !IsWindow(current_)) current_ = nullptr;
    runSteps(visible_);
    if (!interactive_) {
        captureMessageBoxes(visible_);
        closeStrays(visible_);
    }
    busy_ = false;
}

void WindowWatcher::runSteps(const std::vector<HWND>&) {
    while (!steps_.empty()) {
        if (actionPending_ || !timeReached(holdUntil_)) return;
        const UiStep& step = steps_.front();
        if (!headSince_) headSince_ = GetTickCount();
        bool done = false;
        for (const StepHandler& handler : kStepHandlers)
            if (handler.kind == step.kind) done = (this->*handler.run)(step);
        if (!done) {
            if (interactive_ || GetTickCount() - headSince_ < kStepTimeoutMs) return;
            trace(command_, L"timed out:", step.written);
            windows_.push_back({command_, L"failed: " + step.written + L": timed out", L"", L"", {}});
            timedOut_.assign(steps_.begin(), steps_.end());
            steps_.clear();
            current_ = nullptr;
        } else {
            trace(command_, L"done", step.written);
            steps_.pop_front();
        }
        headSince_ = 0;
    }
}

// The window a step waits for. A window that a dialog or message box of its
// own has disabled is not there yet: what the step does next would race the
// dialog. A message box is taken only when no other window has the caption
// (the editors' message boxes carry the editor's own caption; those are
// recorded and dismissed, and the step waits for the editor).
bool WindowWatcher::findWindow(const UiStep& step) {
    HWND box = nullptr;
    bool windowMatches = false;
    for (HWND window : visible_) {
        if (dismissed_.count(window) || !captionMatches(step.caption.c_str(), windowText(window).c_str())) continue;
        if (isMessageBox(window)) {
            if (!box) box = window;
            continue;
        }
        windowMatches = true;
        if (IsWindowEnabled(window)) {
            current_ = window;
            return true;
        }
    }
    if (box && !windowMatches) {
        current_ = box;
        return true;
    }
    return false;
}

bool WindowWatcher::readWindow(const UiStep&) {
    if (!current_) return false;
    windows_.push_back(describeWindow(command_, current_, L"read"));
    return true;
}

bool WindowWatcher::closeWindow(const UiStep&) {
    if (!current_) return false;
    PostMessageW(current_, WM_CLOSE, 0, 0);
    dismissed_.insert(current_);
    current_ = nullptr;
    return true;
}

bool WindowWatcher::wait(const UiStep& step) {
    holdUntil_ = GetTickCount() + static_cast<DWORD>(step.number);
    return true;
}

bool WindowWatcher::queueAction(const UiStep& step) {
    if (!current_) return false;
    action_ = step;
    actionPending_ = true;
    PostMessageW(actionWindow_, kRunActionMessage, 0, 0);
    return true;
}

LRESULT CALLBACK WindowWatcher::actionProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kRunActionMessage && active_) {
        active_->runAction();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND WindowWatcher::control(int id) const {
    for (HWND child : childWindows(current_))
        if (GetDlgCtrlID(child) == id) return child;
    return nullptr;
}

// What an action could not do is recorded as a window event, so the test sees it.
void WindowWatcher::runAction() {
    const UiStep step = action_;
    DWORD settle = kActionSettleMs;
    std::wstring failure;
    HWND target = current_ && IsWindow(current_) ? current_ : nullptr;
    if (!target) {
        failure = L"no window";
    } else {
        if (step.kind == UiStep::Kind::Type || step.kind == UiStep::Kind::Key || step.kind == UiStep::Kind::KeyDown ||
            step.kind == UiStep::Kind::KeyUp || step.kind == UiStep::Kind::Toolbar || step.kind == UiStep::Kind::Spin) {
            SetForegroundWindow(target);
            settle = kInputSettleMs;
        }
        switch (step.kind) {
            case UiStep::Kind::SetText:
                if (HWND c = control(step.id))
                    SendMessageW(c, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(step.text.c_str()));
                else
                    failure = L"no control";
                break;
            case UiStep::Kind::Type: typeText(step.text); break;
            case UiStep::Kind::Key:
            case UiStep::Kind::KeyDown:
            case UiStep::Kind::KeyUp:
                sendKeys(virtualKeys(step.text), step.kind != UiStep::Kind::KeyUp, step.kind != UiStep::Kind::KeyDown);
                break;
            case UiStep::Kind::Click: {
                HWND button = nullptr;
                for (HWND child : childWindows(target))
                    if (lstrcmpiW(classOf(child).c_str(), L"Button") == 0 &&
                        withoutAccelerator(windowText(child)) == withoutAccelerator(step.text))
                        button = child;
                if (button)
                    SendMessageW(button, BM_CLICK, 0, 0);
                else
                    failure = L"no button";
                break;
            }
            case UiStep::Kind::Toolbar: {
                HWND bar = control(step.id);
                RECT r{};
                if (bar && SendMessageW(bar, TB_GETITEMRECT, static_cast<WPARAM>(step.number), reinterpret_cast<LPARAM>(&r))) {
                    POINT p{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
                    ClientToScreen(bar, &p);
                    clickAt(p);
                } else {
                    failure = L"no tool bar button";
                }
                break;
            }
            case UiStep::Kind::Spin: {
                HWND spin = control(step.id);
                RECT r{};
                if (spin && GetWindowRect(spin, &r)) {
                    const bool up = lstrcmpiW(step.text.c_str(), L"up") == 0;
                    const int quarter = (r.bottom - r.top) / 4;
                    clickAt({(r.left + r.right) / 2, up ? r.top + quarter : r.bottom - quarter - 1});
                } else {
                    failure = L"no spin button";
                }
                break;
            }
            case UiStep::Kind::Focus:
                if (HWND c = control(step.id))
                    SetFocus(c);
                else
                    failure = L"no control";
                break;
            case UiStep::Kind::Select:
                if (HWND c = control(step.id))
                    SendMessageW(c, EM_SETSEL, static_cast<WPARAM>(step.number), static_cast<LPARAM>(step.number2));
                else
                    failure = L"no control";
                break;
            case UiStep::Kind::Shot:
                if (!saveScreenshot(target, step.text)) failure = L"screenshot not written";
                break;
            case UiStep::Kind::Dpi: sendDpiChange(target, step.number); break;
            default: break;
        }
    }
    if (!failure.empty()) windows_.push_back({command_, L"failed: " + step.written + L": " + failure, L"", L"", {}});
    actionPending_ = false;
    holdUntil_ = GetTickCount() + settle;
}

// A message box no step holds: recorded, then its first button pressed.
void WindowWatcher::captureMessageBoxes(const std::vector<HWND>& windows) {
    for (HWND window : windows) {
        if (window == current_ || dismissed_.count(window) || !isMessageBox(window)) continue;
        MessageRecord record{command_, windowText(window), windowText(GetDlgItem(window, kMessageTextId)), {}, {}};
        const std::vector<HWND> buttons = visibleButtons(window);
        for (HWND button : buttons) record.buttons.push_back(windowText(button));
        if (!buttons.empty()) {
            record.pressed = record.buttons.front();
            const int id = GetDlgCtrlID(buttons.front());
            PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(buttons.front()));
        } else {
            PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        }
        dismissed_.insert(window);
        messages_.push_back(std::move(record));
    }
}

bool WindowWatcher::expected(HWND window) const {
    if (window == current_) return true;
    const std::wstring caption = windowText(window);
    for (const UiStep& step : steps_)
        if (step.kind == UiStep::Kind::Window && captionMatches(step.caption.c_str(), caption.c_str())) return true;
    return false;
}

void WindowWatcher::closeStrays(const std::vector<HWND>& windows) {
    const DWORD now = GetTickCount();
    for (HWND window : windows) {
        if (dismissed_.count(window) || isMessageBox(window) || expected(window)) continue;
        const DWORD seen = firstSeen_.emplace(window, now).first->second;
        if (now - seen < (steps_.empty() ? kStrayWithoutStepsMs : kStrayMs)) continue;
        windows_.push_back(describeWindow(command_, window, L"closed"));
        PostMessageW(window, WM_CLOSE, 0, 0);
        dismissed_.insert(window);
    }
}

}  // namespace testhost
