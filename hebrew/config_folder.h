// The folder that holds "Hebrew.ini", "HebFonts.txt" and "editdef.txt".
#pragma once

#include <string>

namespace hebrew {

struct ConfigLocation {
    std::u16string folder;  // ends with a folder separator
    bool isReal = false;    // false for the bare fallback when no base was found
};

// base + "Sulmoro" + "Vorn", each followed by separator; an empty base gives
// the bare fallback.
ConfigLocation configFolderUnder(const std::u16string& base, char16_t separator);

// On Windows the user's application data folder from the shell; off Windows
// the folder named by VORN_APPDATA, else XDG_CONFIG_HOME, else ~/.config.
ConfigLocation ConfigFolder();

}  // namespace hebrew
