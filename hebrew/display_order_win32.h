#pragma once

#include <windows.h>

#include "display_order.h"

namespace hebrew {

// GetCharacterPlacementA with GCP_REORDER on a device context, whose reading
// direction decides the paragraph direction.
std::string placementOrder(HDC dc, std::string_view bytes);

}  // namespace hebrew
