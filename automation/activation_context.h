// The server's activation context: its manifest (resource 2) asks for
// version 6 of the common controls. A DLL's manifest is not the process's,
// so the context is activated around everything that makes the editors'
// windows: each command runs inside one ActivationScope (the
// isolation-aware pattern).
#pragma once

#include <windows.h>

namespace automation {

class ActivationScope {
public:
    ActivationScope();
    ~ActivationScope();
    ActivationScope(const ActivationScope&) = delete;
    ActivationScope& operator=(const ActivationScope&) = delete;

private:
    ULONG_PTR cookie_ = 0;
    bool active_ = false;
};

}  // namespace automation
