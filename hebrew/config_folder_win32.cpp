#include <windows.h>
#include <shlobj.h>

#include "config_folder.h"

namespace hebrew {

namespace {

// The shell's path of a special folder, or the empty string when it fails.
std::u16string SpecialFolderPath(int csidl) {
    LPITEMIDLIST item = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &item)) || !item) return {};
    wchar_t path[MAX_PATH] = {};
    BOOL ok = SHGetPathFromIDListW(item, path);
    CoTaskMemFree(item);
    return ok ? std::u16string(reinterpret_cast<const char16_t*>(path)) : std::u16string();
}

}  // namespace

ConfigLocation ConfigFolder() { return configFolderUnder(SpecialFolderPath(CSIDL_APPDATA), u'\\'); }

}  // namespace hebrew
