#include "fntdef.h"

#include <algorithm>

#include "delphi_int.h"
#include "file_names.h"
#include "font_style.h"
#include "utf8.h"

namespace hebrew {
namespace {

std::u16string number(std::int32_t v) {
    std::string s = std::to_string(v);
    return std::u16string(s.begin(), s.end());
}

struct IntSetting {
    const char16_t* section;
    const char16_t* key;
    std::int32_t Rinistr::*field;
    std::int32_t def;
};

// In the order in which "Hebrew.ini" is written.
const IntSetting kIntSettings[] = {
    {u"Textedit", u"Width", &Rinistr::txthw, 400},  {u"Textedit", u"Left", &Rinistr::txtl, 100},
    {u"Textedit", u"MapNew", &Rinistr::curmapn, 1}, {u"Textedit", u"Mapedit", &Rinistr::curmaped, 0},
    {u"Textedit", u"Top", &Rinistr::txtt, 400},     {u"Textedit", u"charmap", &Rinistr::charmap, 2},
    {u"Gredit", u"left", &Rinistr::grl, 300},       {u"Gredit", u"Top", &Rinistr::grt, 300},
    {u"Gredit", u"width", &Rinistr::grw, 400},      {u"Gredit", u"height", &Rinistr::grh, 300},
    {u"Gredit", u"mode", &Rinistr::grmode, 0},      {u"Lib", u"Left", &Rinistr::expl, 300},
    {u"Lib", u"Top", &Rinistr::expt, 300},          {u"Lib", u"Width", &Rinistr::expw, 600},
    {u"Lib", u"height", &Rinistr::exph, 400},
};
const char16_t* const kStandardSection = u"Lib";
const char16_t* const kStandardKey = u"Standard";

std::string narrow(const std::u16string& s) { return utf16ToUtf8(s); }

}  // namespace

WriteError::WriteError(const std::u16string& path)
    : std::runtime_error("Unable to write to " + narrow(path)), text_(u"Unable to write to " + path) {}

TfrmFonts::TfrmFonts(FontServicePlatform platform)
    : ConfigFolder(platform.configFolder), platform_(std::move(platform)) {
    readSettings();
    readFontFile();
    readKeyTables();
}

TfrmFonts::~TfrmFonts() {
    try {
        writeSettings();
    } catch (...) {
        // Unloading must never fail; the settings are simply not saved.
    }
}

void TfrmFonts::readSettings() {
    ProfileFiles& ini = platform_.profiles;
    const std::u16string file = settingsFile();
    for (const IntSetting& s : kIntSettings) {
        auto value = parseInteger(ini.readString(file, s.section, s.key, u""));
        IniSettings.*s.field = value ? *value : s.def;
    }
    IniSettings.stFile = ini.readString(file, kStandardSection, kStandardKey, u"");
}

void TfrmFonts::readFontFile() {
    ProfileFiles& ini = platform_.profiles;
    fontfile = ConfigFolder + kFontMapFile;
    fontmaps = loadFontMap(ini, fontfile);
    // An empty map still holds one blank row; the first row added takes its place.
    if (fontmaps.empty()) fontmaps.push_back({});
    for (const std::u16string& name : ini.readKeys(fontfile, u"SymbolFonts")) {
        tsymb record{};
        for (std::size_t i = 0; i < record.size(); ++i) {
            auto value = parseInteger(ini.readString(fontfile, name, u"b" + number(static_cast<int>(i) + 1), u""));
            record[i] = static_cast<std::uint16_t>(value ? *value : 0);
        }
        fontsyms.emplace_back(name, record);
    }
}

void TfrmFonts::readKeyTables() {
    ProfileFiles& ini = platform_.profiles;
    const std::u16string file = ConfigFolder + u"editdef.txt";
    if (!ini.fileExists(file)) return;
    auto digitKeys = [&](const char16_t* section, std::array<std::u16string, 10>& table) {
        for (const std::u16string& key : ini.readKeys(file, section))
            if (!key.empty() && key[0] >= u'0' && key[0] <= u'9') table[key[0] - u'0'] = ini.readString(file, section, key, u"");
    };
    digitKeys(u"Alt", alts);
    digitKeys(u"Ctrl", ctrls);
    for (const std::u16string& key : ini.readKeys(file, u"FKeys")) {
        if (key.empty() || upperAscii(key[0]) != u'F') continue;
        auto n = parseInteger(std::u16string_view(key).substr(1));
        if (n && *n >= 1 && *n <= 12) fkeys[*n] = ini.readString(file, u"FKeys", key, u"");
    }
}

void TfrmFonts::changefnt(const std::u16string& fname, fntType ft) {
    const std::u16string key = upperCase(baseName(fname));
    const char16_t* const typeName = fontTypeRow(ft).mapName;
    auto row = std::find_if(fontmaps.begin(), fontmaps.end(),
                            [&](const FontMapRow& r) { return equalNoCase(r.name, key); });
    if (row != fontmaps.end()) {
        row->type = typeName;
    } else if (fontmaps.size() == 1 && fontmaps[0].name.empty() && fontmaps[0].type.empty()) {
        fontmaps[0] = {key, typeName};
    } else {
        fontmaps.push_back({key, typeName});
    }
    writeFontMap();
}

void TfrmFonts::writeFontMap() {
    ensureConfigFolder();
    if (!platform_.profiles.eraseSection(fontfile, kFontsSection)) throw WriteError(fontfile);
    for (const FontMapRow& row : fontmaps)
        if (!row.name.empty()) write(fontfile, kFontsSection, row.name, row.type);
}

void TfrmFonts::writeSettings() {
    const std::u16string file = settingsFile();
    ensureConfigFolder();
    for (const IntSetting& s : kIntSettings) write(file, s.section, s.key, number(IniSettings.*s.field));
    write(file, kStandardSection, kStandardKey, IniSettings.stFile);
}

void TfrmFonts::write(const std::u16string& file, const std::u16string& section, const std::u16string& key,
                      const std::u16string& value) {
    if (!platform_.profiles.writeString(file, section, key, value)) throw WriteError(file);
}

void TfrmFonts::ensureConfigFolder() {
    // A new user's folder does not exist yet; the bare fallback is never made.
    if (platform_.configFolderIsReal && !platform_.profiles.folderExists(ConfigFolder))
        platform_.profiles.createFolder(ConfigFolder);
}

std::u16string TfrmFonts::AcadToEditWin(std::u16string_view ss, const StyleState& style) const {
    return acadToEdit(ss, style, platform_.surface, true);
}
std::u16string TfrmFonts::AcadToEditWinG(std::u16string_view ss, const StyleState& style) const {
    return acadToEdit(ss, style, platform_.surface, false);
}
std::u16string TfrmFonts::EditToacadWin(std::u16string_view ss, const StyleState& style) const {
    return editToAcad(ss, style, platform_.surface, true);
}
std::u16string TfrmFonts::EditToacadWinG(std::u16string_view ss, const StyleState& style) const {
    return editToAcad(ss, style, platform_.surface, false);
}
std::u16string TfrmFonts::ConvertLeftToRight(std::u16string_view s) const {
    return hebrew::ConvertLeftToRight(s, platform_.surface);
}
std::u16string TfrmFonts::ConvertRightToLeft(std::u16string_view s) const {
    return hebrew::ConvertRightToLeft(s, platform_.surface);
}

}  // namespace hebrew
