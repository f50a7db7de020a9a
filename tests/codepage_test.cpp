#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>

#include "hebrew/codepage.h"
#include "test_util.h"

using namespace hebrew;

namespace {

TEST(CodePage, EveryByteRoundTrips) {
    for (int b = 0; b < 256; ++b) {
        char16_t c = byteToUnicode(static_cast<unsigned char>(b));
        EXPECT_TRUE(isRepresentable(c)) << b;
        EXPECT_EQ(unicodeToByte(c), b) << b;
    }
}

TEST(CodePage, KnownBytes) {
    const struct { int byte; char16_t unicode; } cases[] = {
        {0, 0}, {'A', u'A'}, {128, 0x20AC}, {129, 0x0081}, {138, 0x008A}, {140, 0x008C}, {144, 0x0090},
        {154, 0x009A}, {155, 0x203A}, {156, 0x009C}, {159, 0x009F}, {160, 0x00A0}, {161, 0x00A1},
        {164, 0x20AA}, {170, 0x00D7}, {186, 0x00F7}, {192, 0x05B0}, {202, 0x00CA}, {206, 0x05BE},
        {212, 0x05F0}, {216, 0x05F4}, {217, 0x00D9}, {224, 0x05D0}, {250, 0x05EA}, {251, 0x00FB},
        {253, 0x200E}, {254, 0x200F}, {255, 0x00FF},
    };
    for (auto c : cases) EXPECT_EQ(byteToUnicode(static_cast<unsigned char>(c.byte)), c.unicode) << c.byte;
}

TEST(CodePage, MissingCharactersBecomeQuestionMark) {
    for (char16_t c : {char16_t(0x0080), char16_t(0x00C0), char16_t(0x0100), char16_t(0x05EB), char16_t(0x0627),
                       char16_t(0x4E2D), char16_t(0xD800), char16_t(0xDFFF), char16_t(0xFFFD), char16_t(0xFFFF)}) {
        EXPECT_FALSE(isRepresentable(c)) << int(c);
        EXPECT_EQ(unicodeToByte(c), '?') << int(c);
    }
}

TEST(CodePage, StringsKeepTheirLength) {
    std::u16string mixed = u"a\u05D0\U0001F600\u20AC\u0627";  // the emoji is two units
    std::string b = toBytes(mixed);
    ASSERT_EQ(b.size(), mixed.size());
    EXPECT_EQ(b, std::string("a\xE0??\x80?"));
    EXPECT_EQ(fromBytes(b), u"a\u05D0??\u20AC?");
    std::string all;
    for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
    EXPECT_EQ(toBytes(fromBytes(all)), all);
}

// glibc's charmap, written independently of this table.
std::map<int, char32_t> glibcCharmap() {
    std::map<int, char32_t> map;
    FILE* f = popen("zcat /usr/share/i18n/charmaps/CP1255.gz 2>/dev/null", "r");
    if (!f) return map;
    char line[512];
    bool inMap = false;
    while (fgets(line, sizeof line, f)) {
        std::string s(line);
        if (s.rfind("CHARMAP", 0) == 0) inMap = true;
        else if (s.rfind("END CHARMAP", 0) == 0) inMap = false;
        else if (inMap) {
            unsigned code = 0, byte = 0;
            if (std::sscanf(line, "<U%x> /x%x", &code, &byte) == 2) map[static_cast<int>(byte)] = code;
        }
    }
    pclose(f);
    return map;
}

#ifndef _WIN32
TEST(CodePage, AgreesWithGlibcCharmap) {
    auto reference = glibcCharmap();
    if (reference.empty()) GTEST_SKIP() << "glibc's CP1255 charmap is not installed";
    ASSERT_EQ(reference.size(), 256u - 23u) << "glibc defines all but 23 bytes";
    for (int b = 0; b < 256; ++b) {
        auto it = reference.find(b);
        if (it == reference.end()) {
            EXPECT_TRUE(isUndefinedByte(static_cast<unsigned char>(b))) << "glibc leaves byte " << b << " undefined";
            EXPECT_EQ(byteToUnicode(static_cast<unsigned char>(b)), b);
        } else {
            EXPECT_FALSE(isUndefinedByte(static_cast<unsigned char>(b))) << b;
            EXPECT_EQ(static_cast<char32_t>(byteToUnicode(static_cast<unsigned char>(b))), it->second) << b;
        }
    }
}
#endif

}  // namespace
