#include "keyboard_win32.h"

#include <windows.h>

#include <vector>

namespace hebrew {

void Win32Keyboard::activateLanguage(std::uint16_t language) {
    // A layout handle carries its language in the low word; the layout must
    // already be installed, and a missing one is silently not activated.
    int count = GetKeyboardLayoutList(0, nullptr);
    if (count <= 0) return;
    std::vector<HKL> layouts(static_cast<std::size_t>(count));
    count = GetKeyboardLayoutList(count, layouts.data());
    for (int i = 0; i < count; ++i) {
        if (LOWORD(reinterpret_cast<ULONG_PTR>(layouts[i])) == language) {
            ActivateKeyboardLayout(layouts[i], KLF_REORDER);
            return;
        }
    }
}

}  // namespace hebrew
