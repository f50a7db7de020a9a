// The font service: the font map, the settings and the key tables. It keeps
// no style: each conversion takes the style of its text (font_style.h). One
// instance, frmFonts, lives from the first successful host connection until
// the library unloads.
#pragma once

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "conversions.h"
#include "font_style.h"
#include "heblib.h"
#include "profile.h"

namespace hebrew {

// A write of a settings or font map file that did not reach the disk.
class WriteError : public std::runtime_error {
public:
    explicit WriteError(const std::u16string& path);
    const std::u16string& text() const { return text_; }

private:
    std::u16string text_;
};

// The settings kept in "Hebrew.ini".
struct Rinistr {
    std::int32_t curmapn = 1, curmaped = 0, txthw = 400, txtl = 100, txtt = 400;
    std::int32_t grl = 300, grt = 300, grw = 400, grh = 300, grmode = 0;
    std::int32_t expl = 300, expt = 300, exph = 400, expw = 600;
    std::u16string stFile;
    std::int32_t charmap = 2;
};

// The eight values "b1" to "b8" of a symbol font's section.
using tsymb = std::array<std::uint16_t, 8>;

// What the font service needs from its platform.
struct FontServicePlatform {
    ProfileFiles& profiles;
    const DisplayOrderer& surface;  // the service's own left-to-right surface
    std::u16string configFolder;  // ends with a folder separator
    // False when the shell gave no folder and configFolder is only the
    // relative fallback: such a folder is never created.
    bool configFolderIsReal = true;
};

class TfrmFonts {
public:
    // Loads "Hebrew.ini", "HebFonts.txt" and "editdef.txt".
    explicit TfrmFonts(FontServicePlatform platform);
    // Writes "Hebrew.ini" back; a failure is swallowed, unloading never fails.
    ~TfrmFonts();
    TfrmFonts(const TfrmFonts&) = delete;
    TfrmFonts& operator=(const TfrmFonts&) = delete;

    // The style of a text whose style has this font file and generation
    // flag, classified through the map.
    StyleState styleOf(std::u16string_view fontFile, long generationFlag) const {
        return styleFor(fontFile, generationFlag, fontmaps);
    }
    // Records ft for fname in the map and rewrites section "Fonts"; throws
    // WriteError after the map in memory has changed.
    void changefnt(const std::u16string& fname, fntType ft);

    // The conversions on the service's own surface; the G forms are the
    // attribute editor's, which mirror no brackets.
    std::u16string AcadToEditWin(std::u16string_view ss, const StyleState& style) const;
    std::u16string AcadToEditWinG(std::u16string_view ss, const StyleState& style) const;
    std::u16string EditToacadWin(std::u16string_view ss, const StyleState& style) const;
    std::u16string EditToacadWinG(std::u16string_view ss, const StyleState& style) const;
    std::u16string ConvertLeftToRight(std::u16string_view s) const;
    std::u16string ConvertRightToLeft(std::u16string_view s) const;

    // Writes "Hebrew.ini" now; throws WriteError.
    void writeSettings();

    Rinistr IniSettings;
    std::u16string ConfigFolder;
    std::u16string fontfile;
    FontMap fontmaps;
    std::vector<std::pair<std::u16string, tsymb>> fontsyms;
    std::array<std::u16string, 13> fkeys;  // 1 to 12
    std::array<std::u16string, 10> alts;
    std::array<std::u16string, 10> ctrls;

private:
    std::u16string settingsFile() const { return ConfigFolder + u"Hebrew.ini"; }
    void readSettings();
    void readFontFile();
    void readKeyTables();
    void writeFontMap();
    void write(const std::u16string& file, const std::u16string& section, const std::u16string& key,
               const std::u16string& value);
    void ensureConfigFolder();

    FontServicePlatform platform_;
};

}  // namespace hebrew
