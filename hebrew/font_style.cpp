#include "font_style.h"

#include <algorithm>

#include "file_names.h"

namespace hebrew {

FontMap loadFontMap(ProfileFiles& files, const std::u16string& mapFile) {
    std::vector<ProfileEntry> entries = files.readSection(mapFile, kFontsSection);
    std::stable_sort(entries.begin(), entries.end(),
                     [](const ProfileEntry& a, const ProfileEntry& b) { return lessNoCase(a.key, b.key); });
    FontMap map;
    map.reserve(entries.size());
    for (ProfileEntry& entry : entries) map.push_back({std::move(entry.key), std::move(entry.value)});
    return map;
}

std::u16string styleFontName(std::u16string_view fontFile) { return upperCase(withoutExtension(fontFile)); }

std::u16string fontMapKey(std::u16string_view fontFile) {
    return upperCase(withoutExtension(fontFile.substr(fileNameStart(fontFile))));
}

std::optional<fntType> mappedFontType(std::u16string_view fontFile, const FontMap& map) {
    // Deliberate: the prefix is read from the whole name, so a folder in front hides it.
    if (styleFontName(fontFile).rfind(u"DRAVIK", 0) == 0) return WindowsHeb;
    if (upperCase(extensionOf(fontFile)) == u".TTF") return TrueType;
    // The map is sorted without regard to case: its first row of the name.
    const std::u16string key = fontMapKey(fontFile);
    auto row = std::lower_bound(map.begin(), map.end(), key,
                                [](const FontMapRow& r, const std::u16string& k) { return lessNoCase(r.name, k); });
    if (row == map.end() || !equalNoCase(row->name, key)) return std::nullopt;
    return fontTypeNamed(row->type);
}

fntType classifyFont(std::u16string_view fontFile, const FontMap& map) {
    const bool noName = fileNameStart(fontFile) == fontFile.size();
    return mappedFontType(fontFile, map).value_or(noName ? TrueType : DosHebrew);
}

StyleState styleFor(std::u16string_view fontFile, long generationFlag, const FontMap& map) {
    return {styleFontName(fontFile), classifyFont(fontFile, map), generationFlag == kBackwardsGeneration};
}

}  // namespace hebrew
