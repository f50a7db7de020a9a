// The display order of a line: its characters in the order in which a drawing
// surface lays them out from left to right, by the platform's bidirectional
// algorithm and the surface's reading direction.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace hebrew {

class DisplayOrderer {
public:
    virtual ~DisplayOrderer() = default;
    // bytes is in the 8-bit form; the result holds the same bytes, reordered.
    virtual std::string displayOrder(std::string_view bytes) const = 0;
};

// The surface of the font service: never shown, reading left to right.
// On Windows the platform's character placement on a device context of its
// own; off
// Windows FriBidi with a left-to-right paragraph.
std::unique_ptr<DisplayOrderer> makeLeftToRightSurface();

}  // namespace hebrew
