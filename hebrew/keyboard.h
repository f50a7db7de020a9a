// Switching the keyboard between the Hebrew and English input languages.
#pragma once

#include <cstdint>
#include <vector>

namespace hebrew {

constexpr std::uint16_t kHebrewLanguage = 0x040D;
constexpr std::uint16_t kEnglishLanguage = 0x0409;

class KeyboardSwitch {
public:
    virtual ~KeyboardSwitch() = default;
    // Activates an installed layout of that input language; a language with
    // no installed layout is not activated, and nothing is reported.
    virtual void activateLanguage(std::uint16_t language) = 0;
};

void SelectHebrewKeyboard(KeyboardSwitch& keyboard);
void SelectEnglishKeyboard(KeyboardSwitch& keyboard);

// Off Windows, and for tests: remembers what was asked for.
class RecordingKeyboard : public KeyboardSwitch {
public:
    void activateLanguage(std::uint16_t language) override { activated.push_back(language); }
    std::vector<std::uint16_t> activated;
};

}  // namespace hebrew
