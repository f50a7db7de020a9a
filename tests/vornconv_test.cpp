// The command-line converter: its options and its line handling.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "test_util.h"
#include "tools/vornconv/converter.h"

using namespace hebrew;
using vornconv::parseArguments;

namespace {

TEST(VornconvArguments, StyleState) {
    const struct { std::vector<std::string> args; bool toEditor, attribute, backwards; fntType type; std::u16string font; } cases[] = {
        {{}, true, false, false, DosHebrew, u""},
        {{"--to-drawing", "--type", "windows"}, false, false, false, WindowsHeb, u""},
        {{"--type", "DOSENGLISHR", "--backwards", "--attribute"}, true, true, true, DosEnglishR, u""},
        {{"--type", "TrueType"}, true, false, false, TrueType, u""},
        {{"--font", "C:\\F\\iron2.shx"}, true, false, false, DosHebrew, u"C:\\F\\IRON2"},
        {{"--font", "arial.ttf"}, true, false, false, TrueType, u"ARIAL"},
        {{"--font", "dravik.shx"}, true, false, false, WindowsHeb, u"DRAVIK"},
        {{"--font", "iron.shx", "--type", "DosEnglish"}, true, false, false, DosEnglish, u"IRON"},
    };
    for (const auto& c : cases) {
        auto parsed = parseArguments(c.args);
        ASSERT_EQ(parsed.error, "");
        EXPECT_EQ(parsed.options.toEditor, c.toEditor);
        EXPECT_EQ(parsed.options.attribute, c.attribute);
        EXPECT_EQ(parsed.options.style.backwards, c.backwards);
        EXPECT_EQ(parsed.options.style.type, c.type);
        EXPECT_EQ(parsed.options.style.font, c.font);
    }
}

TEST(VornconvArguments, Errors) {
    const struct { std::vector<std::string> args; const char* mentions; } cases[] = {
        {{"--type"}, "--type"},
        {{"--type", "Hebrew"}, "Hebrew"},
        {{"--font"}, "--font"},
        {{"--map"}, "--map"},
        {{"--bogus"}, "--bogus"},
        {{"file.txt"}, "file.txt"},
    };
    for (const auto& c : cases) {
        auto parsed = parseArguments(c.args);
        EXPECT_NE(parsed.error.find(c.mentions), std::string::npos) << parsed.error;
        EXPECT_EQ(parsed.error.find('\n'), std::string::npos) << "one line";
    }
    EXPECT_TRUE(parseArguments({"--help"}).help);
}

TEST(VornconvArguments, FontClassifiedThroughTheMapFile) {
    const testutil::ScratchFolder scratch("vornconv");
    auto map = scratch.path("HebFonts.txt");
    {
        std::ofstream f(map, std::ios::binary);
        f << "[Fonts]\r\nHEBKEY=DosEnglishR\r\n";
    }
    auto parsed = parseArguments({"--font", "hebkey.shx", "--map", map.string()});
    EXPECT_EQ(parsed.options.style.type, DosEnglishR);
    EXPECT_EQ(parseArguments({"--font", "hebkey.shx"}).options.style.type, DosHebrew) << "no map: an empty map";
}

struct StreamResult {
    std::string out, err;
};

StreamResult run(const std::string& input, const std::vector<std::string>& args) {
    auto parsed = parseArguments(args);
    auto surface = makeLeftToRightSurface();
    std::FILE* in = testutil::scratchFile();
    std::FILE* out = testutil::scratchFile();
    std::FILE* err = testutil::scratchFile();
    std::fwrite(input.data(), 1, input.size(), in);
    std::rewind(in);
    EXPECT_TRUE(vornconv::convertStream(in, out, err, parsed.options, *surface));
    auto slurp = [](std::FILE* f) {
        std::string s;
        std::rewind(f);
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
        std::fclose(f);
        return s;
    };
    std::fclose(in);
    return {slurp(out), slurp(err)};
}

TEST(VornconvStream, LinesAndLineEnds) {
    // The DOS letters travel as the characters Windows-1255 gives their bytes.
    const std::string stored = "\xC2\x8D\xE2\x80\xA6\xC2\x8C\xE2\x84\xA2";  // 141 133 140 153
    const std::string shalom = "שלום";
    const struct { std::string in, out; } cases[] = {
        {"", ""},
        {stored, shalom},
        {stored + "\n", shalom + "\n"},
        {stored + "\r\n" + stored + "\r\n", shalom + "\r\n" + shalom + "\r\n"},
        {"\n\n", "\n\n"},
        {"f(x)\n", "f)x(\n"},
        {"\r", "\r"},
    };
    for (const auto& c : cases) {
        auto r = run(c.in, {"--type", "DosHebrew"});
        EXPECT_EQ(r.out, c.out) << c.in;
        EXPECT_EQ(r.err, "");
    }
    EXPECT_EQ(run(shalom + "\n", {"--to-drawing"}).out, stored + "\n");
    EXPECT_EQ(run("f)x(\n", {"--attribute"}).out, "f)x(\n");
}

TEST(VornconvStream, InvalidUtf8IsReadAsWindows1255WithAWarning) {
    auto r = run("abc\n\xED\xE5\xEC\xF9\n", {"--type", "Windows"});
    EXPECT_EQ(r.out, "abc\n" + std::string("שלום") + "\n");
    EXPECT_NE(r.err.find("line 2"), std::string::npos) << r.err;
}

}  // namespace
