// How often a font no map names is read right from its texts: styles made
// from held-out text, for each legacy type, backwards or not, and English
// styles, at 1, 3, 10 and 30 texts.
//
//   font_guess_figures DATA_FOLDER [TRIALS]
#include <cstdio>
#include <cstdlib>

#include "guess_samples.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: font_guess_figures DATA_FOLDER [TRIALS]\n");
        return 2;
    }
    const int trials = argc > 2 ? std::atoi(argv[2]) : 1000;
    const guess_samples::Corpus corpus = guess_samples::loadCorpus(argv[1]);
    const auto surface = hebrew::makeLeftToRightSurface();
    struct Row {
        const char* name;
        hebrew::fntType type;
        bool backwards;
    } rows[] = {{"DosHebrew", hebrew::DosHebrew, false},     {"DosHebrew backwards", hebrew::DosHebrew, true},
                {"DosEnglish", hebrew::DosEnglish, false},   {"DosEnglish backwards", hebrew::DosEnglish, true},
                {"DosEnglishR", hebrew::DosEnglishR, false}, {"DosEnglishR backwards", hebrew::DosEnglishR, true},
                {"Windows", hebrew::WindowsHeb, false},      {"Windows backwards", hebrew::WindowsHeb, true},
                {"English", hebrew::kNoLegacyHebrew, false}};
    std::printf("| style | texts | right | review | left | wrong (of %d) |\n|---|---:|---:|---:|---:|---:|\n", trials);
    unsigned seed = 1234;
    for (const Row& row : rows) {
        for (int texts : {1, 3, 10, 30}) {
            const auto t = guess_samples::measure(corpus, row.type, row.backwards, texts, trials, ++seed, *surface);
            auto pct = [&](int n) { return 100.0 * n / t.trials(); };
            std::printf("| %s | %d | %.1f %% | %.1f %% | %.1f %% | %d |\n", row.name, texts, pct(t.right),
                        pct(t.review), pct(t.left), t.wrong);
        }
    }
}
