// The conversions run on every keystroke and on whole multiline texts: their
// cost must grow linearly with the length.
#include <gtest/gtest.h>

#include <chrono>

#include "hebrew/codepage.h"
#include "hebrew/conversions.h"

using namespace hebrew;

namespace {

std::u16string mixedText(std::size_t size) {
    const std::string line = "\x8D\x85\x8C\x99 12.5 (AB) \xED\xE5\xEC\xF9 x=3 ouka %%130 ";
    std::string text;
    while (text.size() < size) text += line;
    text.resize(size);
    return fromBytes(text);
}

// Best time of a few rounds of repeat conversions, in seconds per conversion.
template <typename F>
double secondsPerCall(F convert, int repeat) {
    convert();  // warm up: first use of the memory and the tables
    double best = 1e9;
    for (int round = 0; round < 5; ++round) {
        auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < repeat; ++i) convert();
        std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count() / repeat);
    }
    return best;
}

// A linear conversion gives about 1,024 (1 MB against 1 KB), and up to twice
// that on a busy machine, where the small text stays in the cache and the
// large one does not; a quadratic one gives about a million.
constexpr double kRatioLimit = 5000.0;

TEST(Linearity, OneMegabyteCostsLikeAThousandKilobytes) {
    auto surface = makeLeftToRightSurface();
    const std::u16string small = mixedText(1 << 10), large = mixedText(1 << 20);
    for (int t = DosHebrew; t <= TrueType; ++t) {
        const StyleState style{u"IRON", static_cast<fntType>(t), t % 2 == 0};
        for (bool load : {true, false}) {
            auto run = [&](const std::u16string& s) {
                return [&, load] {
                    auto out = load ? acadToEdit(s, style, *surface, true) : editToAcad(s, style, *surface, true);
                    ::testing::internal::IsTrue(!out.empty());
                };
            };
            double ratio = secondsPerCall(run(large), 1) / secondsPerCall(run(small), 1024);
            EXPECT_LE(ratio, kRatioLimit) << "type " << t << (load ? " loading" : " storing");
            std::printf("type %d %s: 1 MB / 1 KB = %.0f (1 MB in %.1f ms)\n", t, load ? "load " : "store", ratio,
                        secondsPerCall(run(large), 1) * 1e3);
        }
    }
}

}  // namespace
