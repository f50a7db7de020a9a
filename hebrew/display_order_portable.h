// Display order off Windows.
#pragma once

#include <memory>

#include "display_order.h"

namespace hebrew {

// The bidirectional algorithm for a left-to-right paragraph, over the
// characters of Windows-1255 (which holds no embedding or isolate controls
// and no Arabic), with FriBidi's character data; linear in the length.
std::unique_ptr<DisplayOrderer> makePortableSurface();

// FriBidi's own reordering of the same paragraph, the reference for tests.
std::unique_ptr<DisplayOrderer> makeFriBidiSurface();

}  // namespace hebrew
