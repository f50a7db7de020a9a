#include "heblib.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "charclass.h"
#include "delphi_int.h"

namespace hebrew {
namespace {

constexpr unsigned char kFirstDosLetter = 128;
constexpr unsigned char kLastDosLetter = 154;
constexpr unsigned char kFirstWinLetter = 224;
constexpr unsigned char kLastWinLetter = 250;
constexpr int kDosToWin = kFirstWinLetter - kFirstDosLetter;


struct KeyboardMaps {
    std::array<unsigned char, 256> keyToDos{};
    std::array<unsigned char, 256> dosToKey{};

    KeyboardMaps() {
        for (int b = 0; b < 256; ++b) keyToDos[b] = dosToKey[b] = static_cast<unsigned char>(b);
        const char keys[] = {'t', 'c', 'd', 's', 'v', 'u', 'z', 'j', 'y', 'h', 'l', 'f', 'k', 'o',
                             'n', 'i', 'b', 'x', 'g', ';', 'p', '.', 'm', 'e', 'r', 'a', ','};
        static_assert(sizeof keys == kLastDosLetter - kFirstDosLetter + 1, "one key per letter");
        for (int i = 0; i < static_cast<int>(sizeof keys); ++i) {
            auto key = static_cast<unsigned char>(keys[i]);
            keyToDos[key] = static_cast<unsigned char>(kFirstDosLetter + i);
            dosToKey[kFirstDosLetter + i] = key;
        }
        // Punctuation keys that move on the Hebrew keyboard.
        const std::pair<char, char> punctuation[] = {{'\'', ','}, {'/', '.'}, {'q', '/'}, {'w', '\''}};
        for (auto [key, typed] : punctuation) {
            keyToDos[static_cast<unsigned char>(key)] = static_cast<unsigned char>(typed);
            dosToKey[static_cast<unsigned char>(typed)] = static_cast<unsigned char>(key);
        }
    }
};

const KeyboardMaps& keyboardMaps() {
    static const KeyboardMaps maps;
    return maps;
}

void mapInPlace(std::string& s, const std::array<unsigned char, 256>& map) {
    for (char& c : s) c = static_cast<char>(map[static_cast<unsigned char>(c)]);
}

void shiftRange(std::string& s, unsigned char first, unsigned char last, int by) {
    for (char& c : s) {
        auto b = static_cast<unsigned char>(c);
        if (b >= first && b <= last) c = static_cast<char>(b + by);
    }
}

}  // namespace

std::string ReverseText(std::string_view s) { return std::string(s.rbegin(), s.rend()); }

void reverseInPlace(std::string& s) { std::reverse(s.begin(), s.end()); }

std::string ReverseNonHebrewRuns(std::string_view s) {
    std::string out(s);
    reverseNonHebrewRunsInPlace(out);
    return out;
}

void reverseNonHebrewRunsInPlace(std::string& out) {
    std::size_t start = 0;
    while (start < out.size()) {
        bool rtl = isRightToLeftByte(static_cast<unsigned char>(out[start]));
        std::size_t end = start + 1;
        while (end < out.size() && isRightToLeftByte(static_cast<unsigned char>(out[end])) == rtl) ++end;
        if (!rtl) std::reverse(out.begin() + start, out.begin() + end);
        start = end;
    }
}

std::string DisplayOrder(const DisplayOrderer& surface, std::string_view s) {
    if (s.empty()) return {};
    return surface.displayOrder(s);
}

void dosToWinInPlace(std::string& s) { shiftRange(s, kFirstDosLetter, kLastDosLetter, kDosToWin); }

void winToDosInPlace(std::string& s) { shiftRange(s, kFirstWinLetter, kLastWinLetter, -kDosToWin); }

std::string DosToWinLetters(std::string_view s) {
    std::string out(s);
    dosToWinInPlace(out);
    return out;
}

std::string WinToDosLetters(std::string_view s) {
    std::string out(s);
    winToDosInPlace(out);
    return out;
}

void EnglishKeysToDos(std::string& s) { mapInPlace(s, keyboardMaps().keyToDos); }

void DosToEnglishKeys(std::string& s) { mapInPlace(s, keyboardMaps().dosToKey); }

std::string DecodePercentCodes(std::string_view s) {
    std::string out(s);
    decodePercentCodesInPlace(out);
    return out;
}

// The result is never longer than the text, so it is written over the text
// behind the reading position.
void decodePercentCodesInPlace(std::string& s) {
    constexpr std::string_view marker = "%%";
    const std::string_view text(s);
    std::size_t pos = text.find(marker);
    if (pos == std::string_view::npos) return;
    std::size_t write = pos;
    auto copy = [&](std::size_t from, std::size_t count) {
        std::memmove(&s[write], &s[from], count);
        write += count;
    };
    for (;;) {
        std::size_t found = text.find(marker, pos);
        if (found == std::string_view::npos) {
            copy(pos, text.size() - pos);
            break;
        }
        copy(pos, found - pos);
        const std::string_view code = text.substr(found + marker.size(), 3);
        const auto value = parseInteger(code);
        if (value && *value >= kFirstDosLetter && *value <= kLastDosLetter) {
            s[write++] = static_cast<char>(*value);
            pos = found + marker.size() + code.size();
        } else {
            copy(found, marker.size());
            pos = found + marker.size();
        }
    }
    s.resize(write);
}

}  // namespace hebrew
