// Which legacy type a font stores its Hebrew in, read from the font's texts,
// for the fonts that no map names.
//
//   FontEvidence::add(fontBytes, shown, style, surface)
//       scores one text of the font in each candidate reading: the four
//       legacy types, each decoded by the editors' own conversions, and the
//       text as the drawing shows it (no legacy Hebrew). Linear in the text;
//       no text is kept.
//   FontGuess FontEvidence::guess()
//       the best reading and the runner-up with their probabilities.
//   bool isStandardLatinFont(fontFile)
//       the Latin fonts that CAD programs ship, which hold no Hebrew unless a
//       map says so.
//
// The scores come from two letter trigram models with word boundaries, one
// of Hebrew and one of English (language_model_table.inc); characters
// outside both cost a fixed amount by their kind.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "conversions.h"

namespace hebrew {

// The candidate readings are the font types; TrueType stands for the text
// as shown, holding no legacy Hebrew.
inline constexpr fntType kNoLegacyHebrew = TrueType;

// The probability the best reading needs before a tool acts on it.
inline constexpr double kSureProbability = 0.99;

// The second best is the best of the readings that differ from the best in
// some text; without one, it is the best itself.
struct FontGuess {
    fntType best = kNoLegacyHebrew, second = kNoLegacyHebrew;
    double probability = 1.0, secondProbability = 0.0;
    std::size_t texts = 0;
    bool sure() const { return probability >= kSureProbability; }
};

class FontEvidence {
public:
    // shown: the text as the drawing's code page shows its bytes.
    void add(std::string_view fontBytes, std::u16string_view shown, const StyleState& style,
             const DisplayOrderer& surface);
    void merge(const FontEvidence& other);
    FontGuess guess() const;
    std::size_t texts() const { return texts_; }

private:
    double bits_[kFontTypeCount] = {};
    // Whether two readings gave different texts for any text.
    bool differ_[kFontTypeCount][kFontTypeCount] = {};
    std::size_t texts_ = 0;
};

// A text's reading in one legacy type: Unicode in reading order, as the
// line editor would open it (a DOS font's "%%128" to "%%154" read as letters).
std::u16string readAs(std::string_view fontBytes, fntType type, const StyleState& style,
                      const DisplayOrderer& surface);

// The cost in bits of a text in reading order under the two models.
double textCostBits(std::u16string_view text);

// By the font file's base name, any case, with or without ".shx".
bool isStandardLatinFont(std::u16string_view fontFile);

}  // namespace hebrew
