#include <cstdlib>

#include "config_folder.h"
#include "utf8.h"

namespace hebrew {

ConfigLocation configFolderUnder(const std::u16string& base, char16_t separator) {
    std::u16string folder = base;
    if (!folder.empty() && folder.back() == separator) folder.pop_back();
    for (const char16_t* part : {u"Sulmoro", u"Vorn"}) folder += separator + std::u16string(part);
    folder += separator;
    return {folder, !base.empty()};
}

#ifndef _WIN32
ConfigLocation ConfigFolder() {
    std::string base;
    if (const char* v = std::getenv("VORN_APPDATA"); v && *v) base = v;
    else if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x) base = x;
    else if (const char* h = std::getenv("HOME"); h && *h) base = std::string(h) + "/.config";
    auto wide = utf8ToUtf16(base);
    return configFolderUnder(wide ? *wide : std::u16string(), u'/');
}
#endif

}  // namespace hebrew
