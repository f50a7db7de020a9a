#include "heblib.h"

#include <algorithm>
#include <array>

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

std::string shiftRange(std::string_view s, unsigned char first, unsigned char last, int by) {
    std::string out(s);
    for (char& c : out) {
        auto b = static_cast<unsigned char>(c);
        if (b >= first && b <= last) c = static_cast<char>(b + by);
    }
    return out;
}

}  // namespace

std::string ReverseText(std::string_view s) { return std::string(s.rbegin(), s.rend()); }

std::string ReverseNonHebrewRuns(std::string_view s) {
    std::string out(s);
    std::size_t start = 0;
    while (start < out.size()) {
        bool rtl = isRightToLeftByte(static_cast<unsigned char>(out[start]));
        std::size_t end = start + 1;
        while (end < out.size() && isRightToLeftByte(static_cast<unsigned char>(out[end])) == rtl) ++end;
        if (!rtl) std::reverse(out.begin() + start, out.begin() + end);
        start = end;
    }
    return out;
}

std::string DisplayOrder(const DisplayOrderer& surface, std::string_view s) {
    if (s.empty()) return {};
    return surface.displayOrder(s);
}

std::string DosToWinLetters(std::string_view s) { return shiftRange(s, kFirstDosLetter, kLastDosLetter, kDosToWin); }

std::string WinToDosLetters(std::string_view s) { return shiftRange(s, kFirstWinLetter, kLastWinLetter, -kDosToWin); }

void EnglishKeysToDos(std::string& s) { mapInPlace(s, keyboardMaps().keyToDos); }

void DosToEnglishKeys(std::string& s) { mapInPlace(s, keyboardMaps().dosToKey); }

std::string DecodePercentCodes(std::string_view s) {
    constexpr std::string_view marker = "%%";
    if (s.find(marker) == std::string_view::npos) return std::string(s);
    std::string out;
    out.reserve(s.size());
    std::size_t pos = 0;
    for (;;) {
        std::size_t found = s.find(marker, pos);
        if (found == std::string_view::npos) {
            out.append(s.substr(pos));
            return out;
        }
        std::string_view code = s.substr(found + marker.size(), 3);
        auto value = parseInteger(code);
        out.append(s.substr(pos, found - pos));
        if (value && *value >= kFirstDosLetter && *value <= kLastDosLetter) {
            out += static_cast<char>(*value);
            pos = found + marker.size() + code.size();
        } else {
            out.append(marker);
            pos = found + marker.size();
        }
    }
}

}  // namespace hebrew
