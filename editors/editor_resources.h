// Resource identifiers of the editors, shared by the code and the server's
// resource script (plain #defines: the resource compiler reads them too).
#pragma once

// The tool bar images: one strip of 16x16 cells, magenta transparent.
#define VORN_TOOLBAR_IMAGES 101

#ifndef RC_INVOKED
namespace editors {
constexpr int kToolBarImages = VORN_TOOLBAR_IMAGES;
}
#endif
