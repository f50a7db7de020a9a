// Watches this thread's windows while a command runs: a thread timer, which
// also fires inside the modal loops of message boxes and dialogs, runs the
// script's window steps and captures and dismisses every message box.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "testhost/script.h"

namespace testhost {

struct MessageRecord {
    int command = 0;
    std::wstring caption, text;
    std::vector<std::wstring> buttons;
    std::wstring pressed;
};

struct ControlRecord {
    std::wstring className, text;
    int id = 0;
    std::vector<std::vector<std::wstring>> rows;  // a list view's items, a text per column
    bool layoutRtl = false;                       // WS_EX_LAYOUTRTL: mirrored
    bool focused = false;
    std::wstring module;  // the file of the module whose code draws the control (which common controls)
    SIZE size{};          // its client area, in pixels
    int fontHeight = 0;   // the character height its font was made with, in pixels; 0 for none
    int textWidth = 0;    // a label's or button's text in that font, in pixels; 0 for others
};

struct WindowRecord {
    int command = 0;
    std::wstring event;  // "read", or "closed" for a window no step was about
    std::wstring caption, className;
    std::vector<ControlRecord> controls;
    int dpi = 0;            // the DPI the window is shown at
    SIZE size{}, client{};  // its outer size and its client area, in pixels
    // Its caption in the title bar's font at that DPI, and the title bar's
    // room for it (between the icon and the buttons), in pixels.
    int captionWidth = 0, captionRoom = 0;
};

// The virtual keys of a key step ("enter", "alt+shift", "f2", "a"); empty
// when a name is unknown.
std::vector<WORD> virtualKeys(const std::wstring& names);

class WindowWatcher {
public:
    // Runs work with the watcher on; the steps not done by the end are given back.
    std::vector<UiStep> watch(int command, std::vector<UiStep> steps, const std::function<void()>& work);

    // The user drives the windows: message boxes and windows that no step is
    // about are left to them, and steps wait as long as it takes.
    void setInteractive(bool interactive) { interactive_ = interactive; }

    const std::vector<MessageRecord>& messages() const { return messages_; }
    const std::vector<WindowRecord>& windows() const { return windows_; }

private:
    struct StepHandler {
        UiStep::Kind kind;
        bool (WindowWatcher::*run)(const UiStep&);  // true when the step is done
    };
    static const StepHandler kStepHandlers[];

    static void CALLBACK onTimer(HWND, UINT, UINT_PTR, DWORD);
    void tick();
    void runSteps(const std::vector<HWND>& windows);
    void captureMessageBoxes(const std::vector<HWND>& windows);
    void closeStrays(const std::vector<HWND>& windows);
    void pumpWhileStepsRemain();
    bool expected(HWND window) const;

    bool findWindow(const UiStep& step);
    bool readWindow(const UiStep& step);
    bool closeWindow(const UiStep& step);
    bool wait(const UiStep& step);
    // Steps that act on the window run from a message of their own, not from
    // the timer: what they cause (a message box, a closing modal loop) may
    // then run its own loop, in which the timer goes on ticking.
    bool queueAction(const UiStep& step);
    static LRESULT CALLBACK actionProc(HWND, UINT, WPARAM, LPARAM);
    void runAction();
    HWND control(int id) const;

    int command_ = 0;
    std::deque<UiStep> steps_;
    std::vector<HWND> visible_;  // this tick's windows
    HWND current_ = nullptr;
    std::set<HWND> dismissed_;
    std::map<HWND, DWORD> firstSeen_;
    bool busy_ = false;
    bool interactive_ = false;
    HWND actionWindow_ = nullptr;
    UiStep action_;
    bool actionPending_ = false;
    DWORD holdUntil_ = 0;  // the next step waits until then
    DWORD headSince_ = 0;  // when the first step left began to wait
    std::deque<UiStep> timedOut_;
    std::vector<MessageRecord> messages_;
    std::vector<WindowRecord> windows_;

    static WindowWatcher* active_;
};

}  // namespace testhost
