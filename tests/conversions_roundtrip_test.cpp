// Load and store: a stored string comes back as it was, except where the
// conversions are documented to change it.
#include <gtest/gtest.h>

#include <random>

#include "hebrew/codepage.h"
#include "hebrew/conversions.h"
#include "test_util.h"

using namespace hebrew;
using testutil::show;

namespace {

using Pieces = std::vector<std::string>;

std::string range(int first, int last) {
    std::string s;
    for (int b = first; b <= last; ++b) s += static_cast<char>(b);
    return s;
}

// One-character pieces from each byte of chars.
Pieces singles(const std::string& chars) {
    Pieces p;
    for (char c : chars) p.emplace_back(1, c);
    return p;
}

Pieces join(std::initializer_list<Pieces> parts) {
    Pieces all;
    for (const Pieces& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

const Pieces kLatin = singles("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ");
const Pieces kDigits = singles("0123456789");
const Pieces kBlanks = singles("  \t");
const Pieces kBrackets = singles("()<>[]{}");
const Pieces kPunctuation = singles(".,;:'\"/?!-+=*&^$#@~`_|\\");
const Pieces kPercentCodes = {"%%d", "%%p", "%%c", "%%155", "%%065", "%%", "%", "%%1", "%%13"};
const Pieces kDosLetterCodes = {"%%128", "%%141", "%%154", "%%$80"};
// Symbols and marks that every font type leaves alone; the symbol signs
// (166, 168, 172, 173, 175, 177) and symbol codes (155-161) are added where
// they round-trip.
const Pieces kOther = singles("\xA2\xA3\xA4\xA5\xA7\xA9\xAA\xAB\xAE\xB0\xB2\xB5\xBA\xC0\xC4\xCE\xD3\xD4\xD7\xD8\xFD\xFE");
const Pieces kSymbolSigns = singles("\xA6\xA8\xAC\xAD\xAF\xB1");
const Pieces kSymbolCodes = singles(range(155, 161));

struct Generator {
    Pieces pieces;
    bool trimBlanks = false;

    std::string operator()(std::mt19937& rng) const {
        std::string s;
        const int n = static_cast<int>(rng() % 24);
        for (int i = 0; i < n; ++i) s += pieces[rng() % pieces.size()];
        if (trimBlanks) {
            while (!s.empty() && s.front() == ' ') s.erase(s.begin());
            while (!s.empty() && s.back() == ' ') s.pop_back();
        }
        return s;
    }
};

Generator generatorFor(fntType type, bool symbolFont) {
    const Pieces common = join({kLatin, kDigits, kBlanks, kBrackets, kPunctuation, kOther});
    switch (type) {
        case DosHebrew:
            // The symbol signs would be stored as symbol codes by a symbol font.
            return {join({common, singles(range(128, 154)), kPercentCodes, kDosLetterCodes, kSymbolCodes,
                          symbolFont ? Pieces{} : kSymbolSigns})};
        case DosEnglish:
        case DosEnglishR:
            return {join({common, kPercentCodes, kSymbolCodes, kSymbolSigns})};
        case WindowsHeb:
            return {join({common, singles(range(224, 250)), kPercentCodes, kSymbolCodes, kSymbolSigns})};
        case TrueType:
            break;
    }
    return {};
}

// What a DOS Hebrew string is stored as after one load and store: letter codes
// decoded when the string holds a DOS letter, symbol codes as their code text,
// both read in the order that remains after undoing a backwards style.
std::u16string dosHebrewAfterRoundTrip(const std::string& stored, const StyleState& style) {
    std::string t = style.backwards ? ReverseText(stored) : stored;
    if (!isEnglishOnlyBytes(t, DosHebrew)) t = DecodePercentCodes(t);
    t = toBytes(Symbtoedit(fromBytes(t), style.font));
    return fromBytes(style.backwards ? ReverseText(t) : t);
}

class RoundTrip : public ::testing::TestWithParam<std::tuple<fntType, bool, bool>> {
protected:
    std::unique_ptr<DisplayOrderer> surface = makeLeftToRightSurface();
};

TEST_P(RoundTrip, LoadThenStoreGivesTheStoredString) {
    const auto [type, backwards, symbolFont] = GetParam();
    const StyleState style{symbolFont ? u"IRON2" : u"HEBSIMP", type, backwards};
    std::mt19937 rng(1000 + type * 4 + backwards * 2 + symbolFont);

    auto check = [&](const std::string& storedBytes, const std::u16string& expected) {
        const std::u16string stored = fromBytes(storedBytes);
        for (bool mirror : {true, false}) {
            std::u16string edited = acadToEdit(stored, style, *surface, mirror);
            ASSERT_EQ(show(editToAcad(edited, style, *surface, mirror)), show(expected))
                << "stored " << show(storedBytes) << " edited " << show(edited) << (mirror ? "" : " (G)");
        }
    };

    if (type == TrueType) {
        // Holds for text whose display order is itself or its exact reverse.
        const Generator english{join({kLatin, kDigits, singles(" "), kBrackets, singles(".,;:!?-+=*")})};
        const Generator hebrew{join({singles(range(224, 250)), singles(" ")}), true};
        for (int i = 0; i < 1500; ++i) {
            std::string s = english(rng);
            check(s, fromBytes(s));
            s = hebrew(rng);
            check(s, fromBytes(s));
        }
        return;
    }

    const Generator generate = generatorFor(type, symbolFont);
    for (int i = 0; i < 3000; ++i) {
        const std::string s = generate(rng);
        check(s, type == DosHebrew ? dosHebrewAfterRoundTrip(s, style) : fromBytes(s));
    }
}

INSTANTIATE_TEST_SUITE_P(AllStyles, RoundTrip,
                         ::testing::Combine(::testing::Values(DosHebrew, DosEnglish, DosEnglishR, WindowsHeb, TrueType),
                                            ::testing::Bool(), ::testing::Bool()));

}  // namespace
