// Display order off Windows: FriBidi, left-to-right paragraph, no mirroring
// (the result is a permutation of the input, as the platform gives it).
#include <fribidi.h>

#include <vector>

#include "codepage.h"
#include "display_order.h"

namespace hebrew {
namespace {

class FriBidiSurface : public DisplayOrderer {
public:
    std::string displayOrder(std::string_view bytes) const override {
        const auto len = static_cast<FriBidiStrIndex>(bytes.size());
        if (len == 0) return {};
        std::vector<FriBidiChar> text(bytes.size());
        for (std::size_t i = 0; i < bytes.size(); ++i)
            text[i] = byteToUnicode(static_cast<unsigned char>(bytes[i]));

        std::vector<FriBidiCharType> types(bytes.size());
        fribidi_get_bidi_types(text.data(), len, types.data());
        std::vector<FriBidiLevel> levels(bytes.size());
        FriBidiParType direction = FRIBIDI_PAR_LTR;
        if (!fribidi_get_par_embedding_levels_ex(types.data(), nullptr, len, &direction, levels.data()))
            return std::string(bytes);

        std::vector<FriBidiStrIndex> map(bytes.size());
        for (FriBidiStrIndex i = 0; i < len; ++i) map[i] = i;
        if (!fribidi_reorder_line(0, types.data(), len, 0, direction, levels.data(), nullptr, map.data()))
            return std::string(bytes);

        std::string visual(bytes.size(), '\0');
        for (std::size_t v = 0; v < bytes.size(); ++v) visual[v] = bytes[map[v]];
        return visual;
    }
};

}  // namespace

std::unique_ptr<DisplayOrderer> makeLeftToRightSurface() { return std::make_unique<FriBidiSurface>(); }

}  // namespace hebrew
