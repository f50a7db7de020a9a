// vornconv: the drawing conversions over text, one line at a time.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "hebrew/conversions.h"

namespace vornconv {

struct Options {
    bool toEditor = true;
    bool attribute = false;  // the attribute editor's forms: no bracket mirroring
    hebrew::StyleState style;
};

struct Arguments {
    Options options;
    bool help = false;
    std::string error;  // non-empty: the one-line message for a bad command line
};

extern const char* const kUsage;

// Parses the arguments after the program name. --font is classified through
// the map file of --map (none: an empty map).
Arguments parseArguments(const std::vector<std::string>& args);

// One stored string or editor text, converted as the options say.
std::u16string convertLine(const std::u16string& line, const Options& options, const hebrew::DisplayOrderer& surface);

// Converts in to out line by line; LF separates lines and a CR before it is
// kept out of the conversion and written back. A line that is not valid
// UTF-8 is read as Windows-1255 with a warning on err. Returns false on a
// read or write error.
bool convertStream(std::FILE* in, std::FILE* out, std::FILE* err, const Options& options,
                   const hebrew::DisplayOrderer& surface);

}  // namespace vornconv
