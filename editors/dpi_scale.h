// The editors' layout is designed for 96 dots per inch; a window on a monitor
// of another DPI takes every size of it times dpi / 96. Plain arithmetic, so
// that the layout's figures can be checked without a window.
#pragma once

namespace editors {

constexpr int kDesignDpi = 96;

class DpiScale {
public:
    constexpr DpiScale() = default;
    // A DPI that no system reports (0 or less) is the design's.
    constexpr explicit DpiScale(int dpi) : dpi_(dpi > 0 ? dpi : kDesignDpi) {}

    constexpr int dpi() const { return dpi_; }

    // A designed size at this DPI, rounded to the nearest pixel, halves away
    // from zero (as MulDiv rounds), so that a negative offset mirrors a
    // positive one.
    constexpr int operator()(int design) const { return rounded(static_cast<long long>(design) * dpi_, kDesignDpi); }
    // A size at this DPI as the design's: what a window stores, so that it
    // comes back the same size on a monitor of another DPI.
    constexpr int toDesign(int pixels) const { return rounded(static_cast<long long>(pixels) * kDesignDpi, dpi_); }

private:
    static constexpr int rounded(long long numerator, int denominator) {
        const long long half = denominator / 2;
        return static_cast<int>(numerator >= 0 ? (numerator + half) / denominator : -((-numerator + half) / denominator));
    }

    int dpi_ = kDesignDpi;
};

}  // namespace editors
