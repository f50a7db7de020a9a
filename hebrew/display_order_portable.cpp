// Display order off Windows, left-to-right paragraph, no mirroring (the
// result is a permutation of the input, as the platform gives it).
#include <fribidi.h>

#include <algorithm>
#include <array>
#include <vector>

#include "codepage.h"
#include "display_order_portable.h"

namespace hebrew {
namespace {

// The working arrays are kept between calls: a long text then costs no fresh
// memory each time. One surface serves one thread, as the font service does.
class FriBidiSurface : public DisplayOrderer {
public:
    std::string displayOrder(std::string_view bytes) const override {
        const auto len = static_cast<FriBidiStrIndex>(bytes.size());
        if (len == 0) return {};
        text.resize(bytes.size());
        types.resize(bytes.size());
        levels.resize(bytes.size());
        map.resize(bytes.size());
        for (std::size_t i = 0; i < bytes.size(); ++i)
            text[i] = byteToUnicode(static_cast<unsigned char>(bytes[i]));

        fribidi_get_bidi_types(text.data(), len, types.data());
        FriBidiParType direction = FRIBIDI_PAR_LTR;
        if (!fribidi_get_par_embedding_levels_ex(types.data(), nullptr, len, &direction, levels.data()))
            return std::string(bytes);

        for (FriBidiStrIndex i = 0; i < len; ++i) map[i] = i;
        if (!fribidi_reorder_line(0, types.data(), len, 0, direction, levels.data(), nullptr, map.data()))
            return std::string(bytes);

        std::string visual(bytes.size(), '\0');
        for (std::size_t v = 0; v < bytes.size(); ++v) visual[v] = bytes[map[v]];
        return visual;
    }

private:
    mutable std::vector<FriBidiChar> text;
    mutable std::vector<FriBidiCharType> types;
    mutable std::vector<FriBidiLevel> levels;
    mutable std::vector<FriBidiStrIndex> map;
};


enum class Dir : unsigned char { L, R, EN, ES, ET, CS, NSM, BN, B, S, WS, ON };

Dir classOf(FriBidiCharType t) {
    switch (t) {
        case FRIBIDI_TYPE_LTR: return Dir::L;
        case FRIBIDI_TYPE_RTL:
        case FRIBIDI_TYPE_AL: return Dir::R;
        case FRIBIDI_TYPE_EN: return Dir::EN;
        case FRIBIDI_TYPE_ES: return Dir::ES;
        case FRIBIDI_TYPE_ET: return Dir::ET;
        case FRIBIDI_TYPE_CS: return Dir::CS;
        case FRIBIDI_TYPE_NSM: return Dir::NSM;
        case FRIBIDI_TYPE_BN: return Dir::BN;
        case FRIBIDI_TYPE_BS: return Dir::B;
        case FRIBIDI_TYPE_SS: return Dir::S;
        case FRIBIDI_TYPE_WS: return Dir::WS;
        default: return Dir::ON;
    }
}

// The class of each byte, from FriBidi's character data.
const std::array<Dir, 256>& byteClasses() {
    static const std::array<Dir, 256> classes = [] {
        std::array<Dir, 256> c{};
        for (int b = 0; b < 256; ++b) c[b] = classOf(fribidi_get_bidi_type(byteToUnicode(static_cast<unsigned char>(b))));
        return c;
    }();
    return classes;
}

bool isNeutral(Dir d) { return d == Dir::B || d == Dir::S || d == Dir::WS || d == Dir::ON; }

// The rules of the bidirectional algorithm that apply to a left-to-right
// paragraph without explicit embeddings: weak types (W1, W4-W7), neutrals
// (N1, N2), implicit levels (I1), trailing whitespace (L1) and reversal (L2).
// Boundary neutrals (BN) take no part in the rules.
class PortableSurface : public DisplayOrderer {
public:
    std::string displayOrder(std::string_view bytes) const override {
        const std::size_t n = bytes.size();
        if (n == 0) return {};
        const auto& classes = byteClasses();
        types.resize(n);
        bool rightToLeft = false, boundary = false;
        for (std::size_t i = 0; i < n; ++i) {
            types[i] = classes[static_cast<unsigned char>(bytes[i])];
            rightToLeft = rightToLeft || types[i] == Dir::R;
            boundary = boundary || types[i] == Dir::BN;
        }
        // Without a right-to-left character every level is the paragraph's.
        if (!rightToLeft) return std::string(bytes);
        levels.resize(n);
        if (boundary) {
            kept.clear();  // the classes of the characters that take part, in order
            for (std::size_t i = 0; i < n; ++i)
                if (types[i] != Dir::BN) kept.push_back(types[i]);
            keptLevels.resize(kept.size());
            resolve(kept.data(), kept.size(), keptLevels.data());
            for (std::size_t i = 0, k = 0; i < n; ++i) levels[i] = types[i] == Dir::BN ? 0 : keptLevels[k++];
            levelBoundaryNeutrals(n);
        } else {
            resolve(types.data(), n, levels.data());
        }
        trailingLevels(bytes);
        std::string visual = reorder(bytes);
        if (n > kKeptBetweenCalls) releaseArrays();
        return visual;
    }

private:
    // Arrays of a longer text are given back after it: a byte of text costs
    // four here, and the text's caller holds several copies of its own.
    static constexpr std::size_t kKeptBetweenCalls = 1 << 20;
    void releaseArrays() const {
        std::vector<Dir>().swap(types);
        std::vector<Dir>().swap(kept);
        std::vector<unsigned char>().swap(levels);
        std::vector<unsigned char>().swap(keptLevels);
    }

    // The weak types (W1, W4-W7), the neutrals (N1, N2) and the implicit
    // levels (I1) of the m classes at t, which take part, into level.
    static void resolve(Dir* t, std::size_t m, unsigned char* level) {
        Dir previous = Dir::L;  // sos: the paragraph's direction
        for (std::size_t k = 0; k < m; ++k) {  // W1
            if (t[k] == Dir::NSM) t[k] = previous;
            previous = t[k];
        }
        for (std::size_t k = 1; k + 1 < m; ++k)  // W4
            if ((t[k] == Dir::ES || t[k] == Dir::CS) && t[k - 1] == Dir::EN && t[k + 1] == Dir::EN) t[k] = Dir::EN;
        for (std::size_t k = 0; k < m;) {  // W5, European terminators next to a number; W6, the rest
            if (t[k] != Dir::ET) {
                if (t[k] == Dir::ES || t[k] == Dir::CS) t[k] = Dir::ON;
                ++k;
                continue;
            }
            std::size_t end = k;
            while (end < m && t[end] == Dir::ET) ++end;
            const bool nearNumber = (k > 0 && t[k - 1] == Dir::EN) || (end < m && t[end] == Dir::EN);
            for (std::size_t j = k; j < end; ++j) t[j] = nearNumber ? Dir::EN : Dir::ON;
            k = end;
        }
        // W7, and each run of neutrals once the class after it is final.
        Dir strong = Dir::L, before = Dir::L;  // sos
        std::size_t neutrals = m;              // where the open run of neutrals starts
        for (std::size_t k = 0; k < m; ++k) {
            if (t[k] == Dir::L || t[k] == Dir::R) strong = t[k];
            else if (t[k] == Dir::EN && strong == Dir::L) t[k] = Dir::L;
            if (isNeutral(t[k])) {
                if (neutrals == m) neutrals = k;
                continue;
            }
            const Dir direction = t[k] == Dir::EN ? Dir::R : t[k];
            if (neutrals != m) {  // N1, else N2
                const unsigned char resolved = before == direction && direction == Dir::R ? 1 : 0;
                std::fill(level + neutrals, level + k, resolved);
                neutrals = m;
            }
            level[k] = t[k] == Dir::R ? 1 : t[k] == Dir::EN ? 2 : 0;
            before = direction;
        }
        if (neutrals != m) std::fill(level + neutrals, level + m, 0);  // eos: the paragraph's direction
    }

    // L1, on the original classes: separators, and whitespace before them
    // or at the end, take the paragraph's level.
    void trailingLevels(std::string_view bytes) const {
        const auto& classes = byteClasses();
        bool trailing = true;
        for (std::size_t i = bytes.size(); i-- > 0;) {
            const Dir d = classes[static_cast<unsigned char>(bytes[i])];
            if (d == Dir::S || d == Dir::B) {
                levels[i] = 0;
                trailing = true;
            } else if (trailing && (d == Dir::WS || d == Dir::BN)) {
                levels[i] = 0;
            } else {
                trailing = false;
            }
        }
    }

    // A run of BN takes the lower of the levels around it (the paragraph's at
    // either end), so that it never splits a run it stands inside of.
    void levelBoundaryNeutrals(std::size_t n) const {
        for (std::size_t i = 0; i < n;) {
            if (types[i] != Dir::BN) { ++i; continue; }
            std::size_t end = i;
            while (end < n && types[end] == Dir::BN) ++end;
            const unsigned char before = i > 0 ? levels[i - 1] : 0, after = end < n ? levels[end] : 0;
            for (std::size_t j = i; j < end; ++j) levels[j] = std::min(before, after);
            i = end;
        }
    }

    std::string reorder(std::string_view bytes) const {
        std::string visual(bytes);
        for (unsigned char level : {2, 1}) {  // L2: highest level first
            for (std::size_t i = 0; i < visual.size();) {
                if (levels[i] < level) { ++i; continue; }
                std::size_t end = i;
                while (end < visual.size() && levels[end] >= level) ++end;
                std::reverse(visual.begin() + i, visual.begin() + end);
                std::reverse(levels.begin() + i, levels.begin() + end);
                i = end;
            }
        }
        return visual;
    }

    mutable std::vector<Dir> types;  // each byte's class
    mutable std::vector<Dir> kept;
    mutable std::vector<unsigned char> levels, keptLevels;
};

}  // namespace

std::unique_ptr<DisplayOrderer> makePortableSurface() { return std::make_unique<PortableSurface>(); }
std::unique_ptr<DisplayOrderer> makeFriBidiSurface() { return std::make_unique<FriBidiSurface>(); }
std::unique_ptr<DisplayOrderer> makeLeftToRightSurface() { return makePortableSurface(); }


}  // namespace hebrew
