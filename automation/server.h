// What the library's entry points share: its module and its live objects.
#pragma once

#include <windows.h>

namespace automation {

HMODULE serverModule();
void objectCreated();
void objectDestroyed();
void lockServer(bool lock);
bool serverInUse();

}  // namespace automation
