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
    // The first row of the name: a map edited in the font service is not
    // sorted again.
    const std::u16string key = fontMapKey(fontFile);
    for (const FontMapRow& row : map)
        if (equalNoCase(row.name, key)) return fontTypeNamed(row.type);
    return std::nullopt;
}

fntType classifyFont(std::u16string_view fontFile, const FontMap& map) {
    const bool noName = fileNameStart(fontFile) == fontFile.size();
    return mappedFontType(fontFile, map).value_or(noName ? TrueType : DosHebrew);
}

StyleState styleFor(std::u16string_view fontFile, long generationFlag, const FontMap& map) {
    return {styleFontName(fontFile), classifyFont(fontFile, map), generationFlag == kBackwardsGeneration};
}

}  // namespace hebrew
