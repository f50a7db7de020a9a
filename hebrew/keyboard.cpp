#include "keyboard.h"

namespace hebrew {

void SelectHebrewKeyboard(KeyboardSwitch& keyboard) { keyboard.activateLanguage(kHebrewLanguage); }
void SelectEnglishKeyboard(KeyboardSwitch& keyboard) { keyboard.activateLanguage(kEnglishLanguage); }

}  // namespace hebrew
