#pragma once

#include "keyboard.h"

namespace hebrew {

// ActivateKeyboardLayout with KLF_REORDER on the installed layout of the
// language.
class Win32Keyboard : public KeyboardSwitch {
public:
    void activateLanguage(std::uint16_t language) override;
};

}  // namespace hebrew
