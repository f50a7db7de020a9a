// Throughput of the four conversions per font type, on one line and on
// whole texts. Not part of the tests: run build/native/bench/conversions_bench.
#include <benchmark/benchmark.h>

#include "hebrew/codepage.h"
#include "hebrew/conversions.h"

using namespace hebrew;

namespace {

// An 80-character mixed line of the font type's stored form.
std::u16string storedLine(fntType type) {
    std::string hebrew;
    switch (type) {
        case DosHebrew: hebrew = "\x8D\x85\x8C\x99 \x80\x81\x82"; break;
        case DosEnglish:
        case DosEnglishR: hebrew = "ouka tcd"; break;
        default: hebrew = "\xED\xE5\xEC\xF9 \xE0\xE1\xE2"; break;
    }
    std::string line;
    while (line.size() < 80) line += hebrew + " 12.5 (AB) " + hebrew + " x=3 ";
    line.resize(80);
    return fromBytes(line);
}

std::u16string textOf(fntType type, std::size_t size) {
    std::u16string text;
    const std::u16string line = storedLine(type);
    while (text.size() < size) text += line;
    text.resize(size);
    return text;
}

enum Conversion { Load, LoadG, Store, StoreG };

void BM_Convert(benchmark::State& state) {
    const auto type = static_cast<fntType>(state.range(0));
    const auto conversion = static_cast<Conversion>(state.range(1));
    const auto size = static_cast<std::size_t>(state.range(2));
    auto surface = makeLeftToRightSurface();
    const StyleState style{u"HEBSIMP", type, false};
    std::u16string input = textOf(type, size);
    if (conversion == Store || conversion == StoreG) input = acadToEdit(input, style, *surface, conversion == Store);
    for (auto _ : state) {
        std::u16string out = (conversion == Load || conversion == LoadG)
                                  ? acadToEdit(input, style, *surface, conversion == Load)
                                  : editToAcad(input, style, *surface, conversion == Store);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(size));
    static const char* const types[] = {"DosHebrew", "DosEnglish", "DosEnglishR", "Windows", "TrueType"};
    static const char* const conversions[] = {"AcadToEditWin", "AcadToEditWinG", "EditToacadWin", "EditToacadWinG"};
    state.SetLabel(std::string(types[type]) + " " + conversions[conversion]);
}

void allCases(benchmark::internal::Benchmark* b) {
    for (int type = DosHebrew; type <= TrueType; ++type)
        for (int conversion = Load; conversion <= StoreG; ++conversion)
            for (int size : {80, 1 << 10, 64 << 10, 1 << 20}) b->Args({type, conversion, size});
}

BENCHMARK(BM_Convert)->Apply(allCases);

}  // namespace

BENCHMARK_MAIN();
