// The migration of ASCII DXF drawings, in two passes over each drawing's
// group code and value lines. The first only reads: the texts of the fonts
// that no map names, in every drawing of a run, tell which legacy type each
// of those fonts stores. The second migrates the styles whose texts show
// legacy Hebrew, and their texts; every line it does not change is written
// as it was read, line ending included, and memory stays the same whatever
// the drawing's size.
#pragma once

#include <cstdio>
#include <functional>
#include <map>
#include <set>
#include <stdexcept>
#include <string>

#include "dxf_text.h"
#include "hebrew/font_guess.h"
#include "hebrew/font_style.h"

namespace vornmigrate {

struct Options {
    Target target = Target::Host;
    std::u16string fontFile = u"arial.ttf";  // the True Type font of the migrated styles
    hebrew::FontMap map;
    // A longer line fails the drawing: no real drawing has one, and a file
    // that is no drawing (a device, a disk image) has no end of line at all.
    std::size_t maxLineBytes = std::size_t(64) << 20;
    // The guesses of the fonts that no map names, from the first pass, by
    // their map key (fontMapKey); a font without one is left as it is.
    std::map<std::u16string, hebrew::FontGuess> guesses;
};

// What the first pass finds of the fonts of the styles: by map key, a
// spelling of the font's file and the evidence of its texts (none for a
// font the map or the standard fonts' table decides).
struct FontSeen {
    std::u16string fontFile;
    hebrew::FontEvidence evidence;
};
using FontsSeen = std::map<std::u16string, FontSeen>;

// What the first pass finds of one drawing that the second needs before it
// comes to it: the handles of the styles that line types draw with, the
// text styles of the dimension styles, and the styles of the texts this
// tool does not migrate.
struct DrawingFacts {
    std::set<std::string> lineTypeStyles;
    // By dimension style, the handle of its text style (its group 340).
    std::map<std::string, std::string> dimensionStyleTexts;
    // By style name (upper case): the legacy types in which a text of it
    // that this tool does not migrate (a dimension's own text, a
    // multileader's, a table cell, an attribute's multiline form) reads as
    // Hebrew, one bit per type. Such a style stays as it is: its new font
    // would draw those texts as other characters.
    std::map<std::string, unsigned> unreadHebrew;
    // By table handle, the one style its cells are drawn in, where they can
    // be migrated; by TABLECONTENT handle, the table that it holds the
    // cells of.
    std::map<std::string, std::string> tableStyles, tableContents;
};

// How a font's styles are migrated: the legacy type its texts are stored
// in, or TrueType where they hold none; unsure when its texts were read
// without certainty (their rows are to review). how: for the user.
struct FontDecision {
    hebrew::fntType type = hebrew::TrueType;
    bool unsure = false;
    hebrew::FontGuess guess;
    std::string how;
    bool migrated() const { return type != hebrew::TrueType && !unsure; }
};
FontDecision decideFont(std::u16string_view fontFile, const Options& options);

// One text of the drawing as the report lists it.
struct TextRow {
    std::string handle, entityType, block, style, fontFile, fontType;
    bool backwards = false;
    Status status = Status::Same;
    std::u16string oldText, newText;
    std::string note;  // why a text is to review
};

struct Counts {
    unsigned long long converted = 0, same = 0, review = 0;
    void add(Status s) { (s == Status::Converted ? converted : s == Status::Review ? review : same) += 1; }
};

// A drawing that cannot be migrated: the line it was found at (1-based; 0
// when it concerns the whole file) and what is wrong.
class BadDrawing : public std::runtime_error {
public:
    BadDrawing(unsigned long long line, const std::string& message) : std::runtime_error(message), line(line) {}
    unsigned long long line;
};

using RowSink = std::function<void(const TextRow&)>;

// Reads a drawing from in and writes the migrated drawing to out (none for a
// dry run). Throws BadDrawing; out then holds an incomplete drawing.
Counts migrateDrawing(std::FILE* in, std::FILE* out, const Options& options, const hebrew::DisplayOrderer& surface,
                      const RowSink& rows, const DrawingFacts& facts = {});

// The first pass: reads a drawing, writing nothing, and adds its styles'
// fonts and the texts of those to guess to fonts. Throws BadDrawing.
DrawingFacts readDrawingFonts(std::FILE* in, const Options& options, const hebrew::DisplayOrderer& surface,
                              FontsSeen& fonts);

}  // namespace vornmigrate
