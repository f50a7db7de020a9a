// The font service with the platform's profile functions, character
// placement and configuration folder.
#pragma once

#include <memory>

#include "hebrew/fntdef.h"
#include "hebrew/profile_win32.h"

namespace automation {

class FontServiceHost {
public:
    FontServiceHost();
    hebrew::TfrmFonts& fonts() { return *fonts_; }

private:
    hebrew::Win32ProfileFiles profiles_;
    std::unique_ptr<hebrew::DisplayOrderer> surface_;
    std::unique_ptr<hebrew::TfrmFonts> fonts_;  // last: it uses the two above
};

}  // namespace automation
