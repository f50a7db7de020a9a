#include "editors/shell_language_hook.h"

#include <algorithm>
#include <vector>

#include "editors/callback_guard.h"
#include "editors/modal_window.h"

namespace editors {

namespace {

// One system hook serves every installed object: the system's procedure has
// no room for an object, and two hooks would each report twice.
HHOOK systemHook = nullptr;
std::vector<ShellLanguageHook*>& installedHooks() {
    static std::vector<ShellLanguageHook*> hooks;
    return hooks;
}

}  // namespace

void ShellLanguageHook::install() {
    if (installed_) return;
    if (!systemHook) systemHook = SetWindowsHookExW(WH_SHELL, procedure, thisModule(), GetCurrentThreadId());
    if (!systemHook) return;
    installedHooks().push_back(this);
    installed_ = true;
}

void ShellLanguageHook::remove() {
    if (!installed_) return;
    auto& hooks = installedHooks();
    hooks.erase(std::remove(hooks.begin(), hooks.end(), this), hooks.end());
    installed_ = false;
    if (hooks.empty() && systemHook) {
        UnhookWindowsHookEx(systemHook);
        systemHook = nullptr;
    }
}

LRESULT CALLBACK ShellLanguageHook::procedure(int code, WPARAM wParam, LPARAM lParam) {
    return static_cast<LRESULT>(relayHook(
        [&] { return static_cast<long long>(CallNextHookEx(systemHook, code, wParam, lParam)); },
        [&] {
            const std::vector<ShellLanguageHook*> hooks = installedHooks();  // a report may remove one
            for (ShellLanguageHook* hook : hooks) hook->report_(code, static_cast<std::intptr_t>(lParam));
        }));
}

}  // namespace editors
