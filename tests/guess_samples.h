// Styles made from held-out text (tests/data/heldout_*.txt, which no model
// table was built from), for measuring how often fonts are read right from
// their texts.
#pragma once

#include <random>
#include <string>
#include <vector>

#include "hebrew/font_guess.h"

namespace guess_samples {

struct Corpus {
    std::vector<std::u16string> hebrewWords, englishWords;
};

// From the folder holding heldout_he.txt and heldout_en.txt.
Corpus loadCorpus(const std::string& folder);

// Texts of the kinds drawings hold: room names, titles, notes with numbers
// and units, Latin words among Hebrew ones; English labels with signs.
std::u16string hebrewText(const Corpus& c, std::mt19937& rng);
std::u16string englishText(const Corpus& c, std::mt19937& rng);

struct Tally {
    int right = 0, review = 0, left = 0, wrong = 0;
    int trials() const { return right + review + left + wrong; }
};

// Styles of `texts` texts stored in type (kNoLegacyHebrew: English texts as
// Windows-1252 bytes), each guessed on its own. Right: the guess is sure and
// is the type; review: it is not sure; left: it is sure that a Hebrew style
// holds no legacy Hebrew, which leaves the style as it is; wrong: it is sure
// of another type, which would migrate the style wrongly.
Tally measure(const Corpus& c, hebrew::fntType type, bool backwards, int texts, int trials, unsigned seed,
              const hebrew::DisplayOrderer& surface);

}  // namespace guess_samples
