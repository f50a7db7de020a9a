// Nothing may escape from our code into a callback of the system (a window
// procedure, a hook procedure): the system's frames cannot carry a C++
// exception. These two wrappers are the only ways our handlers are run there.
#pragma once

#include <exception>

namespace editors {

// Runs handler; a failure of any kind goes to show instead of out: the
// message of a std::exception (UTF-8), or nullptr for anything else. A show
// that fails itself is given up.
template <typename Handler, typename Show>
void guardedCall(Handler&& handler, Show&& show) noexcept {
    try {
        try {
            handler();
        } catch (const std::exception& e) {
            show(e.what());
        } catch (...) {
            show(static_cast<const char*>(nullptr));
        }
    } catch (...) {
    }
}

// A hook procedure's order: the next hook first, whatever the report is, then
// the report; the next hook's result is returned, and a failing report is
// swallowed (a hook has nowhere to show it).
template <typename CallNext, typename Report>
long long relayHook(CallNext&& callNext, Report&& report) noexcept {
    const long long result = callNext();
    guardedCall(report, [](const char*) {});
    return result;
}

}  // namespace editors
