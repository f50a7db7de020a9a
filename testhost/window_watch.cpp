#include "testhost/window_watch.h"

#include <commctrl.h>

namespace testhost {

namespace {

constexpr UINT kTickMs = 50;
// A window that no step is about is closed after this long.
constexpr DWORD kStrayMs = 5000;
// After the command returns, modeless windows get this long for the steps left.
constexpr DWORD kAfterCommandMs = 5000;
constexpr int kMessageTextId = 0xFFFF;

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

WindowRecord describeWindow(int command, HWND window, const wchar_t* event) {
    WindowRecord record{command, event, windowText(window), classOf(window), {}};
    for (HWND child : childWindows(window)) {
        ControlRecord control;
        control.className = classOf(child);
        control.text = windowText(child);
        control.id = GetDlgCtrlID(child);
        if (lstrcmpiW(control.className.c_str(), WC_LISTVIEWW) == 0) control.rows = listViewRows(child);
        control.layoutRtl = (GetWindowLongW(child, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0;
        control.focused = GetFocus() == child;
        record.controls.push_back(std::move(control));
    }
    return record;
}

}  // namespace

WindowWatcher* WindowWatcher::active_ = nullptr;

// Setting an edit's text, typing characters (SendInput with KEYEVENTF_UNICODE),
// pressing keys and clicking a named button join this table as new step kinds.
const WindowWatcher::StepHandler WindowWatcher::kStepHandlers[] = {
    {UiStep::Kind::Window, &WindowWatcher::findWindow},
    {UiStep::Kind::Read, &WindowWatcher::readWindow},
    {UiStep::Kind::Close, &WindowWatcher::closeWindow},
};

std::vector<UiStep> WindowWatcher::watch(int command, std::vector<UiStep> steps, const std::function<void()>& work) {
    command_ = command;
    steps_.assign(steps.begin(), steps.end());
    current_ = nullptr;
    firstSeen_.clear();
    active_ = this;
    const UINT_PTR timer = SetTimer(nullptr, 0, kTickMs, onTimer);
    work();
    pumpWhileStepsRemain();
    KillTimer(nullptr, timer);
    active_ = nullptr;
    std::vector<UiStep> left(steps_.begin(), steps_.end());
    steps_.clear();
    return left;
}

void CALLBACK WindowWatcher::onTimer(HWND, UINT, UINT_PTR, DWORD) {
    if (active_) active_->tick();
}

void WindowWatcher::pumpWhileStepsRemain() {
    const DWORD start = GetTickCount();
    while (!steps_.empty() && GetTickCount() - start < kAfterCommandMs) {
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
    captureMessageBoxes(visible_);
    closeStrays(visible_);
    busy_ = false;
}

void WindowWatcher::runSteps(const std::vector<HWND>&) {
    while (!steps_.empty()) {
        const UiStep& step = steps_.front();
        bool done = false;
        for (const StepHandler& handler : kStepHandlers)
            if (handler.kind == step.kind) done = (this->*handler.run)(step);
        if (!done) return;
        steps_.pop_front();
    }
}

bool WindowWatcher::findWindow(const UiStep& step) {
    for (HWND window : visible_) {
        if (dismissed_.count(window)) continue;
        if (captionMatches(step.caption.c_str(), windowText(window).c_str())) {
            current_ = window;
            return true;
        }
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
        if (now - seen < kStrayMs) continue;
        windows_.push_back(describeWindow(command_, window, L"closed"));
        PostMessageW(window, WM_CLOSE, 0, 0);
        dismissed_.insert(window);
    }
}

}  // namespace testhost
