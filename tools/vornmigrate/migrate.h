// The migration of one ASCII DXF drawing, in one pass over its group code and
// value lines: every line it does not change is written as it was read, line
// ending included, and memory stays the same whatever the drawing's size.
#pragma once

#include <cstdio>
#include <functional>
#include <stdexcept>
#include <string>

#include "dxf_text.h"
#include "hebrew/font_style.h"

namespace vornmigrate {

struct Options {
    Target target = Target::Host;
    std::u16string fontFile = u"arial.ttf";  // the True Type font of the migrated styles
    hebrew::FontMap map;
    // A longer line fails the drawing: no real drawing has one, and a file
    // that is no drawing (a device, a disk image) has no end of line at all.
    std::size_t maxLineBytes = std::size_t(64) << 20;
};

// One text of the drawing as the report lists it.
struct TextRow {
    std::string handle, entityType, block, style, fontFile, fontType;
    bool backwards = false;
    Status status = Status::Same;
    std::u16string oldText, newText;
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
                      const RowSink& rows);

}  // namespace vornmigrate
