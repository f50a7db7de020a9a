// The host objects every command reaches the same way, each through one
// call chain, and the guard that names a command's editor window.
#pragma once

#include <memory>
#include <string>
#include <utility>

#include "automation/host_dispatch.h"

namespace automation {

// app.ActiveDocument, asked anew each time: the document the user sees now.
HostObject activeDocumentOf(const HostObject& app);
// doc.Utility, for the prompts.
HostObject utilityOf(const HostObject& doc);
// doc.TextStyles.
HostObject textStylesOf(const HostObject& doc);
// styles.Item(name), as a text style; a name the drawing lacks fails.
HostObject textStyleIn(const HostObject& styles, const std::wstring& name);

// A command's editor window: created with its global reference naming it,
// and destroyed, with the reference cleared first, on every way out of the
// command (the language hooks reach the window through the reference).
template <typename Window>
class CommandWindow {
public:
    template <typename... Args>
    explicit CommandWindow(Window*& reference, Args&&... args)
        : reference_(reference), window_(std::make_unique<Window>(std::forward<Args>(args)...)) {
        reference_ = window_.get();
    }
    ~CommandWindow() {
        reference_ = nullptr;
        window_.reset();
    }
    CommandWindow(const CommandWindow&) = delete;
    CommandWindow& operator=(const CommandWindow&) = delete;

    Window* operator->() const { return window_.get(); }
    Window& operator*() const { return *window_; }

private:
    Window*& reference_;
    std::unique_ptr<Window> window_;
};

}  // namespace automation
