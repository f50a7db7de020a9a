// Arbitrary input through every conversion and style state: no crash, and
// the reorderings keep every character.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "hebrew/codepage.h"
#include "hebrew/conversions.h"
#include "hebrew/heblib.h"

using namespace hebrew;

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

bool samePermutation(std::string a, std::string b) {
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    return a == b;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    static auto surface = makeLeftToRightSurface();
    const std::uint8_t control = data[0];
    const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);

    // UTF-16 units from pairs of bytes: surrogates, NULs and all.
    std::u16string text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8);

    const StyleState style{(control & 0x20) ? u"IRON" : u"HEBSIMP", static_cast<fntType>(control % 5),
                           (control & 0x08) != 0};
    for (bool mirror : {true, false}) {
        for (const std::u16string& s : {text, fromBytes(bytes)}) {
            std::u16string edited = acadToEdit(s, style, *surface, mirror);
            std::u16string stored = editToAcad(s, style, *surface, mirror);
            editToAcad(edited, style, *surface, mirror);
            acadToEdit(stored, style, *surface, mirror);
            if (style.type != DosHebrew) require(stored.size() == s.size());
        }
    }

    require(ReverseNonHebrewRuns(ReverseNonHebrewRuns(bytes)) == bytes);
    require(samePermutation(DisplayOrder(*surface, bytes), bytes));
    std::string keys = bytes;
    EnglishKeysToDos(keys);
    DosToEnglishKeys(keys);
    require(DecodePercentCodes(bytes).size() <= bytes.size());
    require(toBytes(fromBytes(bytes)) == bytes);
    return 0;
}
