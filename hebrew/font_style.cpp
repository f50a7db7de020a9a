#include "font_style.h"

#include <algorithm>

#include "file_names.h"

namespace hebrew {

FontMap loadFontMap(ProfileFiles& files, const std::u16string& mapFile) {
    std::vector<std::u16string> names = files.readKeys(mapFile, kFontsSection);
    std::stable_sort(names.begin(), names.end(),
                     [](const std::u16string& a, const std::u16string& b) { return lessNoCase(a, b); });
    FontMap map;
    map.reserve(names.size());
    for (std::u16string& name : names) {
        std::u16string type = files.readString(mapFile, kFontsSection, name, u"");
        map.push_back({std::move(name), std::move(type)});
    }
    return map;
}

std::u16string styleFontName(std::u16string_view fontFile) { return upperCase(withoutExtension(fontFile)); }

fntType classifyFont(std::u16string_view fontFile, const FontMap& map) {
    const std::u16string_view name = fontFile.substr(fileNameStart(fontFile));
    // Deliberate: the prefix is read from the whole name, so a folder in front hides it.
    if (styleFontName(fontFile).rfind(u"DRAVIK", 0) == 0) return WindowsHeb;
    if (upperCase(extensionOf(fontFile)) == u".TTF") return TrueType;
    const fntType unmapped = name.empty() ? TrueType : DosHebrew;
    const std::u16string key = upperCase(withoutExtension(name));
    for (const FontMapRow& row : map) {
        if (upperCase(row.name) != key) continue;
        return fontTypeNamed(row.type).value_or(unmapped);
    }
    return unmapped;
}

StyleState styleFor(std::u16string_view fontFile, long generationFlag, const FontMap& map) {
    return {styleFontName(fontFile), classifyFont(fontFile, map), generationFlag == kBackwardsGeneration};
}

}  // namespace hebrew
