#include "charclass.h"

#include <array>

namespace hebrew {
namespace {

constexpr std::array<bool, 256> makeTable() {
    std::array<bool, 256> table{};
    for (int b = 224; b <= 250; ++b) table[b] = true;
    for (int b : {206, 208, 211, 212, 213, 214, 215, 216, 254}) table[b] = true;
    return table;
}

constexpr std::array<bool, 256> kRightToLeft = makeTable();

}  // namespace

bool isRightToLeftByte(unsigned char b) { return kRightToLeft[b]; }

}  // namespace hebrew
