// Arbitrary drawings, and arbitrary texts in a drawing of every font type,
// through the migration: no crash, a bad drawing is reported as one, and a
// second run over the output changes no byte.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "hebrew/display_order.h"
#include "tools/vornmigrate/migrate.h"

using namespace vornmigrate;

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

std::string pair(int code, const std::string& value) { return std::to_string(code) + "\n" + value + "\n"; }

// The texts of data, one a line, as TEXT, ATTDEF and MTEXT values in styles
// of each font type.
std::string drawingOf(const std::string& data, bool utf8) {
    std::string d = pair(0, "SECTION") + pair(2, "HEADER") + pair(9, "$ACADVER") + pair(1, utf8 ? "AC1024" : "AC1015") +
                    pair(9, "$DWGCODEPAGE") + pair(3, "ANSI_1255") + pair(0, "ENDSEC");
    d += pair(0, "SECTION") + pair(2, "TABLES") + pair(0, "TABLE") + pair(2, "STYLE");
    const char* fonts[] = {"hebsimp.shx", "keys.shx", "keysr.shx", "dravik.shx", "iron.shx"};
    for (int i = 0; i < 5; ++i)
        d += pair(0, "STYLE") + pair(2, "S" + std::to_string(i)) + pair(70, "0") + pair(71, i == 4 ? "2" : "0") +
             pair(3, fonts[i]) + pair(4, "big.shx");
    d += pair(0, "ENDTAB") + pair(0, "ENDSEC") + pair(0, "SECTION") + pair(2, "ENTITIES");
    std::size_t start = 0;
    for (int n = 0; start < data.size(); ++n) {
        std::size_t end = data.find('\n', start);
        if (end == std::string::npos) end = data.size();
        std::string value = data.substr(start, end - start);
        while (!value.empty() && value.back() == '\r') value.pop_back();
        start = end + 1;
        const std::string style = "S" + std::to_string(n % 5);
        switch (n % 3) {
            case 0: d += pair(0, "TEXT") + pair(1, value) + pair(7, style) + pair(71, "2"); break;
            case 1: d += pair(0, "ATTDEF") + pair(1, value) + pair(3, value) + pair(7, style); break;
            default: d += pair(0, "MTEXT") + pair(3, value) + pair(1, value) + pair(7, style); break;
        }
    }
    return d + pair(0, "ENDSEC") + pair(0, "EOF");
}

bool migrate(const std::string& in, Target target, std::string& out) {
    static const auto surface = hebrew::makeLeftToRightSurface();
    Options options;
    options.target = target;
    options.map = {{u"KEYS", u"DosEnglish"}, {u"KEYSR", u"DosEnglishR"}};
    std::FILE* input = fmemopen(const_cast<char*>(in.data()), in.size(), "rb");
    char* buffer = nullptr;
    std::size_t length = 0;
    std::FILE* output = open_memstream(&buffer, &length);
    bool ok = true;
    try {
        migrateDrawing(input, output, options, *surface, [](const TextRow&) {});
    } catch (const BadDrawing&) {
        ok = false;
    }
    std::fclose(input);
    std::fclose(output);
    out.assign(buffer, length);
    std::free(buffer);
    return ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const Target target = static_cast<Target>(data[0] % 3);
    const std::string rest(reinterpret_cast<const char*>(data + 2), size - 2);
    std::string once, twice;
    if (data[1] % 3 == 0) {
        // As a whole drawing: whatever it holds, no crash.
        if (migrate(rest, target, once)) require(migrate(once, target, twice) && twice == once);
        return 0;
    }
    const std::string drawing = drawingOf(rest, data[1] % 3 == 2);
    if (!migrate(drawing, target, once)) return 0;  // invalid UTF-8 in an R2010 text
    require(migrate(once, target, twice));
    require(twice == once);
    return 0;
}
