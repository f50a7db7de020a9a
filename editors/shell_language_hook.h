// The language hook of both text editors: a thread-local shell hook
// (WH_SHELL) that reports input-language changes while an editor's window
// exists.
#pragma once

#include <windows.h>

#include <cstdint>

#include "editors/line_editor.h"

namespace editors {

class ShellLanguageHook final : public LanguageHook {
public:
    // Every shell report (code and lParam) reaches report on the thread that
    // installed the hook, after the next hook has had it.
    using Report = void (*)(int code, std::intptr_t lParam);
    explicit ShellLanguageHook(Report report) : report_(report) {}
    ~ShellLanguageHook() override { remove(); }
    ShellLanguageHook(const ShellLanguageHook&) = delete;
    ShellLanguageHook& operator=(const ShellLanguageHook&) = delete;

    // Does nothing when installed already. A failed installation is not
    // reported: no reports come, and the next window tries again.
    void install() override;
    void remove() override;
    bool installed() const { return installed_; }

private:
    static LRESULT CALLBACK procedure(int code, WPARAM wParam, LPARAM lParam);

    Report report_;
    bool installed_ = false;
};

}  // namespace editors
