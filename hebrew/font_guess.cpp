#include "font_guess.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "codepage.h"
#include "file_names.h"
#include "heblib.h"

namespace hebrew {
namespace {

#include "language_model_table.inc"

constexpr int kHebrewSymbols = 28;   // a word's boundary and the 27 letters
constexpr int kEnglishSymbols = 27;  // a word's boundary and a to z
constexpr double kBitsPerStep = 0.25;

// Legacy Hebrew is rare in an archive: a legacy reading starts this many
// bits behind the text as shown.
constexpr double kLegacyPriorBits = 10.0;
// The texts of one font are not independent samples: the models' bits are
// worth less than their face value.
constexpr double kEvidenceWeight = 0.7;
// A keyboard type's texts hold Latin keys: a letter code among them is a
// sign that the font is another type's.
constexpr double kLetterCodeInKeyboardBits = 4.0;

std::size_t letterCodes(std::string_view fontBytes) {
    std::size_t n = 0;
    for (const char ch : fontBytes) {
        const unsigned char b = static_cast<unsigned char>(ch);
        n += (b >= 128 && b <= 154) || (b >= 224 && b <= 250);
    }
    return n;
}

struct Model {
    const char* table;
    int symbols;
};
constexpr Model kHebrew{kHebrewTrigrams, kHebrewSymbols};
constexpr Model kEnglish{kEnglishTrigrams, kEnglishSymbols};
static_assert(sizeof kHebrewTrigrams == kHebrewSymbols * kHebrewSymbols * kHebrewSymbols + 1);
static_assert(sizeof kEnglishTrigrams == kEnglishSymbols * kEnglishSymbols * kEnglishSymbols + 1);

// A table character's value: its index in kModelAlphabet.
const std::array<unsigned char, 128>& stepOf() {
    static const std::array<unsigned char, 128> steps = [] {
        std::array<unsigned char, 128> s{};
        for (int i = 0; kModelAlphabet[i]; ++i) s[static_cast<unsigned char>(kModelAlphabet[i])] = static_cast<unsigned char>(i);
        return s;
    }();
    return steps;
}

double trigramBits(const Model& m, int a, int b, int c) {
    return stepOf()[static_cast<unsigned char>(m.table[(a * m.symbols + b) * m.symbols + c])] * kBitsPerStep;
}

int hebrewSymbol(char16_t c) { return c >= 0x05D0 && c <= 0x05EA ? c - 0x05D0 + 1 : 0; }
int englishSymbol(char16_t c) {
    if (c >= u'a' && c <= u'z') return c - u'a' + 1;
    if (c >= u'A' && c <= u'Z') return c - u'A' + 1;
    return 0;
}

// Characters outside the two models, by how often drawings hold them.
double otherBits(char16_t c) {
    if (c == u' ') return 1.0;
    if (c >= u'0' && c <= u'9') return 3.5;
    if (c < 0x20 || (c >= 0x7F && c < 0xA0) || c == 0xFFFD) return 14.0;
    if (c < 0x80) return 5.0;  // ASCII punctuation
    switch (c) {
        case u'°': case u'±': case u'²': case u'³': case u'µ': case u'×': case u'÷': case u'½': case u'¼':
        case u'¾': case u'Ø': case u'ø': case u'€': case u'§': case u'©': case u'®': case u'·': case u'£':
        case u'′': case u'″': case u'⌀': case u'–': case u'—':
            return 6.0;
        default: break;
    }
    if (c >= 0xC0 && c <= 0x24F) return 8.0;  // the letters of other Latin languages
    return 11.0;
}

bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// What a Latin font draws for its "%%" codes: one sign for "%%c", "%%d",
// "%%p" and "%%nnn", nothing for the underline and overline switches.
std::u16string asLatinFontDraws(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] != u'%' || i + 2 >= text.size() || text[i + 1] != u'%') {
            out += text[i++];
            continue;
        }
        const char16_t k = text[i + 2];
        if (isDigit(k) && i + 4 < text.size() && isDigit(text[i + 3]) && isDigit(text[i + 4])) {
            out += u'\u2300';
            i += 5;
        } else if (k == u'c' || k == u'C' || k == u'd' || k == u'D' || k == u'p' || k == u'P') {
            out += u'\u2300';
            i += 3;
        } else if (k == u'u' || k == u'U' || k == u'o' || k == u'O') {
            i += 3;
        } else {
            out += text[i++];
        }
    }
    return out;
}

}  // namespace

double textCostBits(std::u16string_view text) {
    double bits = 0;
    const Model* model = nullptr;  // of the word being read
    int a = 0, b = 0;
    auto endWord = [&] {
        if (model) bits += trigramBits(*model, a, b, 0);
        model = nullptr;
        a = b = 0;
    };
    for (const char16_t c : text) {
        const int h = hebrewSymbol(c), e = h ? 0 : englishSymbol(c);
        const Model* wanted = h ? &kHebrew : e ? &kEnglish : nullptr;
        if (!wanted) {
            endWord();
            bits += otherBits(c);
            continue;
        }
        if (model != wanted) endWord();
        model = wanted;
        const int symbol = h ? h : e;
        bits += trigramBits(*model, a, b, symbol);
        a = b;
        b = symbol;
    }
    endWord();
    return bits;
}

std::u16string readAs(std::string_view fontBytes, fntType type, const StyleState& style,
                      const DisplayOrderer& surface) {
    std::string bytes(fontBytes);
    if (type == DosHebrew) decodePercentCodesInPlace(bytes);
    return acadToEdit(fromBytes(bytes), {style.font, type, style.backwards}, surface, true);
}

void FontEvidence::add(std::string_view fontBytes, std::u16string_view shown, const StyleState& style,
                       const DisplayOrderer& surface) {
    ++texts_;
    const std::size_t codes = letterCodes(fontBytes);
    std::u16string readings[kFontTypeCount];
    for (int t = 0; t < kFontTypeCount; ++t) {
        const fntType type = static_cast<fntType>(t);
        if (type != kNoLegacyHebrew) {
            readings[t] = readAs(fontBytes, type, style, surface);
        } else {
            // A backwards style draws its characters from right to left.
            readings[t] = asLatinFontDraws(shown);
            if (style.backwards) std::reverse(readings[t].begin(), readings[t].end());
        }
        bits_[t] += textCostBits(readings[t]);
        if (!fontTypeRow(type).hasLetterCodes && type != kNoLegacyHebrew)
            bits_[t] += kLetterCodeInKeyboardBits * static_cast<double>(codes);
    }
    for (int a = 0; a < kFontTypeCount; ++a)
        for (int b = a + 1; b < kFontTypeCount; ++b)
            if (readings[a] != readings[b]) differ_[a][b] = differ_[b][a] = true;
}

void FontEvidence::merge(const FontEvidence& other) {
    for (int a = 0; a < kFontTypeCount; ++a) {
        bits_[a] += other.bits_[a];
        for (int b = 0; b < kFontTypeCount; ++b) differ_[a][b] = differ_[a][b] || other.differ_[a][b];
    }
    texts_ += other.texts_;
}

FontGuess FontEvidence::guess() const {
    double logits[kFontTypeCount];
    for (int t = 0; t < kFontTypeCount; ++t)
        logits[t] = -(kEvidenceWeight * bits_[t] + (t == kNoLegacyHebrew ? 0.0 : kLegacyPriorBits)) * std::log(2.0);
    const double top = *std::max_element(logits, logits + kFontTypeCount);
    double sum = 0, p[kFontTypeCount];
    for (int t = 0; t < kFontTypeCount; ++t) sum += p[t] = std::exp(logits[t] - top);
    // Ties go to the text as shown, then to the letter-code types, which a
    // keyboard type equals wherever its texts hold letter codes only.
    static constexpr int kPreference[kFontTypeCount] = {1, 3, 4, 2, 0};  // by fntType
    int order[kFontTypeCount];
    for (int t = 0; t < kFontTypeCount; ++t) order[t] = t;
    std::sort(order, order + kFontTypeCount, [&](int x, int y) {
        if (p[x] != p[y]) return p[x] > p[y];
        return kPreference[x] < kPreference[y];
    });
    // Readings that gave the same text for every text are one outcome: the
    // best one's probability is theirs together.
    FontGuess g;
    g.best = static_cast<fntType>(order[0]);
    double same = 0;
    bool secondFound = false;
    for (int i = 0; i < kFontTypeCount; ++i) {
        const int t = order[i];
        if (!differ_[order[0]][t]) {
            same += p[t];
        } else if (!secondFound) {
            secondFound = true;
            g.second = static_cast<fntType>(t);
            g.secondProbability = p[t] / sum;
        }
    }
    g.probability = same / sum;
    if (!secondFound) g.second = g.best;
    g.texts = texts_;
    return g;
}

bool isStandardLatinFont(std::u16string_view fontFile) {
    // The fonts CAD programs ship for Latin, Greek and Cyrillic text, for
    // symbols, and for the shapes of complex line types.
    static constexpr std::u16string_view kNames[] = {
        u"AMGDT",    u"CHINESET", u"COMPLEX",  u"CYRILLIC", u"CYRILTLC", u"GDT",      u"GOTHICE",  u"GOTHICG",
        u"GOTHICI",  u"GREEKC",   u"GREEKS",   u"ISOCP",    u"ISOCP2",   u"ISOCP3",   u"ISOCPEUR", u"ISOCT",
        u"ISOCT2",   u"ISOCT3",   u"ISOCTEUR", u"ITALIC",   u"ITALICC",  u"ITALICT",  u"LTYPESHP", u"MONOTXT",
        u"ROMAN",    u"ROMANC",   u"ROMAND",   u"ROMANS",   u"ROMANT",   u"SCRIPT",   u"SCRIPTC",  u"SCRIPTS",
        u"SIMPLEX",  u"STANDARD", u"SYASTRO",  u"SYMAP",    u"SYMATH",   u"SYMETEO",  u"SYMUSIC",  u"TXT",
    };
    const std::u16string key = upperCase(withoutExtension(fontFile.substr(fileNameStart(fontFile))));
    return std::binary_search(std::begin(kNames), std::end(kNames), std::u16string_view(key));
}

}  // namespace hebrew
