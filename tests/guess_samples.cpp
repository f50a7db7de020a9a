#include "guess_samples.h"

#include <fstream>
#include <sstream>

#include "hebrew/codepage.h"
#include "hebrew/utf8.h"

namespace guess_samples {
namespace {

using hebrew::fntType;

std::vector<std::u16string> wordsOf(const std::string& path, bool hebrew) {
    std::ifstream in(path);
    std::vector<std::u16string> words;
    std::string word;
    while (in >> word) {
        const auto w = hebrew::utf8ToUtf16(word);
        if (!w || w->empty()) continue;
        bool letters = true;
        for (char16_t ch : *w)
            letters = letters && (hebrew ? (ch >= 0x05D0 && ch <= 0x05EA) || ch == u'"' || ch == u'\''
                                         : (ch < 0x80 && std::isalpha(static_cast<unsigned char>(ch))));
        if (letters) words.push_back(*w);
    }
    return words;
}

template <class T>
const T& pick(const std::vector<T>& v, std::mt19937& rng) {
    return v[std::uniform_int_distribution<std::size_t>(0, v.size() - 1)(rng)];
}

int between(int lo, int hi, std::mt19937& rng) { return std::uniform_int_distribution<int>(lo, hi)(rng); }

std::u16string ascii(const std::string& s) { return std::u16string(s.begin(), s.end()); }

std::u16string number(std::mt19937& rng) {
    const int n = between(1, 999, rng);
    switch (between(0, 2, rng)) {
        case 0: return ascii(std::to_string(n));
        case 1: return ascii(std::to_string(n / 100) + "." + std::to_string(10 + n % 90));
        default: return ascii("+" + std::to_string(n % 10) + "." + std::to_string(10 + n % 90));
    }
}

std::u16string upper(std::u16string s) {
    for (char16_t& c : s)
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    return s;
}

std::u16string words(const std::vector<std::u16string>& from, int n, std::mt19937& rng) {
    std::u16string out;
    for (int i = 0; i < n; ++i) out += (i ? u" " : u"") + pick(from, rng);
    return out;
}

// The Windows-1252 bytes of an English text (its signs included).
std::string windows1252(std::u16string_view text) {
    std::string bytes;
    for (char16_t c : text) {
        switch (c) {
            case u'€': bytes += '\x80'; break;
            default: bytes += c < 0x100 ? static_cast<char>(c) : '?';
        }
    }
    return bytes;
}

}  // namespace

Corpus loadCorpus(const std::string& folder) {
    return {wordsOf(folder + "/heldout_he.txt", true), wordsOf(folder + "/heldout_en.txt", false)};
}

std::u16string hebrewText(const Corpus& c, std::mt19937& rng) {
    const auto& he = c.hebrewWords;
    switch (between(0, 3, rng)) {
        case 0: return words(he, between(1, 2, rng), rng);                                  // a room's name
        case 1: return words(he, between(2, 5, rng), rng);                                  // a title or a note
        case 2: {
            static const std::vector<std::u16string> units{u"מ'", u"ס\"מ", u"מ\"ר", u"m", u"cm", u"%"};
            return words(he, between(1, 3, rng), rng) + u" " + number(rng) + u" " + pick(units, rng);
        }
        default: return words(he, 1, rng) + u" " + upper(pick(c.englishWords, rng)) + u" " + words(he, 1, rng);
    }
}

std::u16string englishText(const Corpus& c, std::mt19937& rng) {
    const auto& en = c.englishWords;
    switch (between(0, 4, rng)) {
        case 0: return words(en, between(1, 3, rng), rng);
        case 1: return upper(words(en, between(1, 2, rng), rng));
        case 2: {
            static const std::vector<std::u16string> labels{u"Section A-A", u"Dia. %%c", u"€ ", u"LEVEL ",
                                                            u"R=", u"DET. ", u"2x M", u"SAFE ROOM "};
            return pick(labels, rng) + number(rng);
        }
        case 3: return number(rng) + u"°";
        default: return upper(pick(en, rng)) + u" " + number(rng) + u" mm";
    }
}

Tally measure(const Corpus& c, fntType type, bool backwards, int texts, int trials, unsigned seed,
              const hebrew::DisplayOrderer& surface) {
    std::mt19937 rng(seed);
    Tally tally;
    const hebrew::StyleState style{u"HEBFONT", type, backwards};
    for (int trial = 0; trial < trials; ++trial) {
        hebrew::FontEvidence evidence;
        for (int i = 0; i < texts; ++i) {
            if (type == hebrew::kNoLegacyHebrew) {
                const std::u16string text = englishText(c, rng);
                evidence.add(windows1252(text), text, {u"HEBFONT", hebrew::DosHebrew, backwards}, surface);
            } else {
                const std::string bytes = hebrew::toBytes(hebrew::editToAcad(hebrewText(c, rng), style, surface, true));
                evidence.add(bytes, hebrew::fromBytes(bytes), style, surface);
            }
        }
        const hebrew::FontGuess g = evidence.guess();
        if (!g.sure()) ++tally.review;
        else if (g.best == type) ++tally.right;
        else if (g.best == hebrew::kNoLegacyHebrew) ++tally.left;
        else ++tally.wrong;
    }
    return tally;
}

}  // namespace guess_samples
