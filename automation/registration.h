// What registration writes and removes.
#pragma once

#include <windows.h>

namespace automation {

enum class Scope { Machine, User };

HRESULT registerServer(Scope scope);
HRESULT unregisterServer(Scope scope);

}  // namespace automation
