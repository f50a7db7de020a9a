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
        kept.clear();  // the classes of the characters that take part, in order
        for (std::size_t i = 0; i < n; ++i) {
            types[i] = classes[static_cast<unsigned char>(bytes[i])];
            if (types[i] != Dir::BN) kept.push_back(types[i]);
        }
        resolvedNeutral.assign(kept.size(), Dir::L);
        resolveWeak();
        resolveNeutrals();
        assignLevels(bytes);
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
        std::vector<Dir>().swap(resolvedNeutral);
    }

    Dir& at(std::size_t k) const { return kept[k]; }

    void resolveWeak() const {
        const std::size_t m = kept.size();
        Dir previous = Dir::L;  // sos: the paragraph's direction
        for (std::size_t k = 0; k < m; ++k) {  // W1
            if (at(k) == Dir::NSM) at(k) = previous;
            previous = at(k);
        }
        for (std::size_t k = 1; k + 1 < m; ++k) {  // W4
            if ((at(k) == Dir::ES || at(k) == Dir::CS) && at(k - 1) == Dir::EN && at(k + 1) == Dir::EN) at(k) = Dir::EN;
        }
        for (std::size_t k = 0; k < m;) {  // W5: European terminators next to a number
            if (at(k) != Dir::ET) { ++k; continue; }
            std::size_t end = k;
            while (end < m && at(end) == Dir::ET) ++end;
            const bool nearNumber = (k > 0 && at(k - 1) == Dir::EN) || (end < m && at(end) == Dir::EN);
            if (nearNumber)
                for (std::size_t j = k; j < end; ++j) at(j) = Dir::EN;
            k = end;
        }
        for (std::size_t k = 0; k < m; ++k)  // W6
            if (at(k) == Dir::ES || at(k) == Dir::ET || at(k) == Dir::CS) at(k) = Dir::ON;
        Dir strong = Dir::L;
        for (std::size_t k = 0; k < m; ++k) {  // W7
            if (at(k) == Dir::L || at(k) == Dir::R) strong = at(k);
            else if (at(k) == Dir::EN && strong == Dir::L) at(k) = Dir::L;
        }
    }

    void resolveNeutrals() const {
        const std::size_t m = kept.size();
        auto direction = [](Dir d) { return d == Dir::EN ? Dir::R : d; };
        Dir before = Dir::L;  // sos
        for (std::size_t k = 0; k < m;) {
            if (!isNeutral(at(k))) {
                before = direction(at(k));
                ++k;
                continue;
            }
            std::size_t end = k;
            while (end < m && isNeutral(at(end))) ++end;
            const Dir after = end < m ? direction(at(end)) : Dir::L;  // eos
            const Dir resolved = before == after ? before : Dir::L;  // N1, else N2
            for (std::size_t j = k; j < end; ++j) resolvedNeutral[j] = resolved;
            k = end;
        }
    }

    void assignLevels(std::string_view bytes) const {
        const std::size_t n = bytes.size();
        levels.assign(n, 0);
        for (std::size_t i = 0, k = 0; i < n; ++i) {
            if (types[i] == Dir::BN) continue;
            const Dir d = isNeutral(kept[k]) ? resolvedNeutral[k] : kept[k];
            levels[i] = d == Dir::R ? 1 : d == Dir::EN ? 2 : 0;  // I1
            ++k;
        }
        levelBoundaryNeutrals(n);
        bool trailing = true;  // L1, on the original classes: separators, and
                               // whitespace before them or at the end
        const auto& classes = byteClasses();
        for (std::size_t i = n; i-- > 0;) {
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
    mutable std::vector<unsigned char> levels;
    mutable std::vector<Dir> resolvedNeutral;
};

}  // namespace

std::unique_ptr<DisplayOrderer> makePortableSurface() { return std::make_unique<PortableSurface>(); }
std::unique_ptr<DisplayOrderer> makeFriBidiSurface() { return std::make_unique<FriBidiSurface>(); }
std::unique_ptr<DisplayOrderer> makeLeftToRightSurface() { return makePortableSurface(); }


}  // namespace hebrew
