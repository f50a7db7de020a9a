#include "platform_win32.h"

#include "hebrew/config_folder.h"

namespace automation {

FontServiceHost::FontServiceHost() : surface_(hebrew::makeLeftToRightSurface()) {
    const hebrew::ConfigLocation location = hebrew::ConfigFolder();
    fonts_ = std::make_unique<hebrew::TfrmFonts>(
        hebrew::FontServicePlatform{profiles_, *surface_, location.folder, location.isReal});
}

}  // namespace automation
