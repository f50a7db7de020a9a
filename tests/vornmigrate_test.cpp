// vornmigrate: the group-code layer, the texts of each entity kind and font
// type, MTEXT codes and chunks, idempotence, bad drawings and the command.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <filesystem>
#include <functional>
#include <fstream>
#include <sstream>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "hebrew/display_order.h"
#include "hebrew/utf8.h"
#include "test_util.h"
#include "tools/vornmigrate/batch.h"
#include "tools/vornmigrate/migrate.h"

using namespace vornmigrate;
namespace fs = std::filesystem;

namespace {

// ---- Drawings written line by line ----

class Dxf {
public:
    explicit Dxf(std::string eol = "\r\n", int codeWidth = 3) : eol_(std::move(eol)), width_(codeWidth) {}

    Dxf& pair(int code, const std::string& value) {
        std::string c = std::to_string(code);
        if (static_cast<int>(c.size()) < width_) c.insert(0, width_ - c.size(), ' ');
        s_ += c + eol_ + value + eol_;
        return *this;
    }
    Dxf& header(const std::string& acadver, const std::string& codePage = "ANSI_1255") {
        pair(0, "SECTION").pair(2, "HEADER").pair(9, "$ACADVER").pair(1, acadver);
        if (!codePage.empty()) pair(9, "$DWGCODEPAGE").pair(3, codePage);
        return pair(0, "ENDSEC");
    }
    Dxf& style(const std::string& name, const std::string& font, int generation = 0, const std::string& big = "") {
        pair(0, "STYLE").pair(2, name).pair(70, "0").pair(40, "0.0").pair(41, "1.0").pair(50, "0.0");
        return pair(71, std::to_string(generation)).pair(42, "2.5").pair(3, font).pair(4, big);
    }
    // The usual style table: a style of each font type, STANDARD in True Type.
    Dxf& styles(int backwards = 0) {
        pair(0, "SECTION").pair(2, "TABLES").pair(0, "TABLE").pair(2, "STYLE").pair(70, "6");
        style("STANDARD", "arial.ttf").style("DOS", "hebsimp.shx", backwards, "bigfont.shx");
        style("KEYS", "hebkeys.shx", backwards).style("KEYSR", "hebkeysr.shx", backwards);
        style("WIN", "dravik1.shx", backwards);
        return pair(0, "ENDTAB").pair(0, "ENDSEC");
    }
    Dxf& text(const std::string& kind, const std::string& style, const std::string& value, int generation = 0,
              const std::string& handle = "2A") {
        pair(0, kind).pair(5, handle).pair(100, "AcDbEntity").pair(8, "0").pair(100, "AcDbText");
        pair(10, "1.0").pair(20, "2.0").pair(30, "0.0").pair(40, "2.5").pair(1, value).pair(7, style);
        pair(71, std::to_string(generation));
        if (kind == "ATTDEF") pair(100, "AcDbAttributeDefinition").pair(3, value).pair(2, "TAG").pair(70, "0");
        if (kind == "ATTRIB") pair(100, "AcDbAttribute").pair(2, "TAG").pair(70, "0");
        return *this;
    }
    Dxf& mtext(const std::string& style, const std::string& contents, const std::string& handle = "2B") {
        pair(0, "MTEXT").pair(5, handle).pair(100, "AcDbEntity").pair(8, "0").pair(100, "AcDbMText");
        pair(10, "1.0").pair(20, "2.0").pair(30, "0.0").pair(40, "2.5").pair(41, "50.0").pair(71, "3");
        std::size_t pos = 0;
        for (; contents.size() - pos > 250; pos += 250) pair(3, contents.substr(pos, 250));
        return pair(1, contents.substr(pos)).pair(7, style);
    }
    Dxf& entities() { return pair(0, "SECTION").pair(2, "ENTITIES"); }
    Dxf& end() { return pair(0, "ENDSEC").pair(0, "EOF"); }
    Dxf& raw(const std::string& s) {
        s_ += s;
        return *this;
    }
    const std::string& str() const { return s_; }

private:
    std::string eol_;
    int width_;
    std::string s_;
};

std::string bytes(std::initializer_list<int> codes) {
    std::string s;
    for (int c : codes) s += static_cast<char>(c);
    return s;
}

std::string utf8(const std::u16string& s) { return hebrew::utf16ToUtf8(s); }

// The letters shin, lamed, vav, final mem in the forms the fonts store them
// in display order read left to right (final mem first).
const std::string kDosShalom = bytes({141, 133, 140, 153});
const std::string kWinShalom = bytes({237, 229, 236, 249});
const std::u16string kShalom = u"\u05E9\u05DC\u05D5\u05DD";         // reading order
const std::u16string kShalomShown = u"\u05DD\u05D5\u05DC\u05E9";    // as drawn, left to right
const std::string kShalomEscapedText = "\\U+05E9\\U+05DC\\U+05D5\\U+05DD";

struct Migrated {
    std::string out;
    std::vector<TextRow> rows;
    Counts counts;
};

std::string readAll(std::FILE* f) {
    std::rewind(f);
    std::string s;
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) s.append(buf, n);
    return s;
}

Options optionsFor(Target target) {
    Options o;
    o.target = target;
    o.map = {{u"HEBKEYS", u"DosEnglish"}, {u"HEBKEYSR", u"DosEnglishR"}, {u"HEBSIMP", u"DosHebrew"}};
    o.maxLineBytes = 1 << 16;  // the limit's check, on small drawings
    return o;
}

Migrated migrate(const std::string& drawing, const Options& options, const DrawingFacts& facts = {}) {
    static const auto surface = hebrew::makeLeftToRightSurface();
    std::FILE* in = testutil::scratchFile();
    std::FILE* out = testutil::scratchFile();
    std::fwrite(drawing.data(), 1, drawing.size(), in);
    std::rewind(in);
    Migrated run;
    try {
        run.counts =
            migrateDrawing(in, out, options, *surface, [&](const TextRow& r) { run.rows.push_back(r); }, facts);
    } catch (...) {
        std::fclose(in);
        std::fclose(out);
        throw;
    }
    run.out = readAll(out);
    std::fclose(in);
    std::fclose(out);
    return run;
}

Migrated migrate(const std::string& drawing, Target target = Target::Host) {
    return migrate(drawing, optionsFor(target));
}

std::vector<std::string> linesOf(const std::string& s) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < s.size()) {
        std::size_t lf = s.find('\n', start);
        std::size_t end = lf == std::string::npos ? s.size() : lf + 1;
        lines.push_back(s.substr(start, end - start));
        start = end;
    }
    return lines;
}

// The value of the first pair with code after the line that holds marker.
std::string valueAfter(const std::string& drawing, const std::string& marker, int code) {
    const auto lines = linesOf(drawing);
    bool seen = false;
    for (std::size_t i = 0; i + 1 < lines.size(); i += 2) {
        auto strip = [](std::string s) {
            while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
            return s;
        };
        if (strip(lines[i + 1]) == marker) seen = true;
        if (seen && std::stoi(lines[i]) == code) return strip(lines[i + 1]);
    }
    return "<none>";
}

// ---- The group-code layer ----

struct LayerCase {
    const char* name;
    std::string drawing;
};

class UntouchedLines : public ::testing::TestWithParam<LayerCase> {};

// Drawings whose texts need no migration come out byte for byte.
TEST_P(UntouchedLines, AreWrittenByteForByte) {
    for (Target t : {Target::Host, Target::Logical, Target::Visual})
        EXPECT_EQ(migrate(GetParam().drawing, t).out, GetParam().drawing);
}

std::string untouchedDrawing(const std::string& eol, int width, const std::string& acadver, bool withEof = true) {
    Dxf d(eol, width);
    d.pair(999, "a comment \xE0\x80 with bytes").header(acadver);
    d.pair(0, "SECTION").pair(2, "TABLES").pair(0, "TABLE").pair(2, "STYLE").pair(70, "1");
    d.style("STANDARD", "arial.ttf").style("ROMAN", "ROMANS.TTF", 2);
    d.pair(0, "ENDTAB").pair(0, "ENDSEC").entities();
    d.text("TEXT", "STANDARD", "plain \xE9\xE5 text   ").pair(1001, "ACAD").pair(1000, bytes({141, 133}));
    d.text("TEXT", "roman", "   padded").pair(999, "inside");
    d.mtext("STANDARD", "{\\fArial;" + std::string(300, 'x') + "\\P" + bytes({141, 133}) + "}");
    d.pair(0, "LINE").pair(10, "1.000000000001").pair(20, "178123.456").pair(1001, "APP").pair(1000, "\\U+05D0");
    d.pair(0, "ENDSEC").pair(0, "SECTION").pair(2, "OBJECTS").pair(0, "ENDSEC");
    if (withEof) d.pair(0, "EOF");
    return d.str();
}

INSTANTIATE_TEST_SUITE_P(
    Drawings, UntouchedLines,
    ::testing::Values(LayerCase{"R12_LF", untouchedDrawing("\n", 3, "AC1009")},
                      LayerCase{"R12_CRLF", untouchedDrawing("\r\n", 3, "AC1009")},
                      LayerCase{"R2000_CRLF", untouchedDrawing("\r\n", 3, "AC1015")},
                      LayerCase{"R2000_LF_unpadded", untouchedDrawing("\n", 0, "AC1015")},
                      LayerCase{"R2010_LF", untouchedDrawing("\n", 3, "AC1024")},
                      LayerCase{"R2010_CRLF", untouchedDrawing("\r\n", 0, "AC1024")},
                      LayerCase{"NoFinalLineEnding", untouchedDrawing("\r\n", 3, "AC1015").substr(
                                                         0, untouchedDrawing("\r\n", 3, "AC1015").size() - 2)},
                      LayerCase{"AfterEof", untouchedDrawing("\n", 3, "AC1015") + "trailing\njunk"}),
    [](const auto& info) { return std::string(info.param.name); });

// In a drawing with migrated texts only the migrated values and flags change.
TEST(GroupCodeLayer, ChangesOnlyTheMigratedValues) {
    for (const char* eol : {"\n", "\r\n"}) {
        for (const char* version : {"AC1009", "AC1015", "AC1024"}) {
            Dxf d(eol);
            d.header(version).styles(2).entities();
            d.text("TEXT", "DOS", std::string(version) == "AC1024" ? "\xC2\x8D" : "\x8D", 2);
            d.pair(1001, "ACAD").pair(1000, kDosShalom).pair(999, "kept").end();
            const Migrated run = migrate(d.str());
            const auto in = linesOf(d.str()), out = linesOf(run.out);
            ASSERT_EQ(in.size(), out.size()) << version << eol;
            std::size_t changed = 0;
            for (std::size_t i = 0; i < in.size(); ++i) {
                if (in[i] == out[i]) continue;
                ++changed;
                const std::string ending = eol;
                EXPECT_EQ(out[i].substr(out[i].size() - ending.size()), ending) << i;
                const int code = std::stoi(in[i - 1]);
                EXPECT_TRUE(code == 3 || code == 4 || code == 71 || code == 1) << version << " code " << code;
            }
            // The DOS style's font, big font and flag, its three siblings'
            // fonts and flags, the text's value and its flag.
            EXPECT_EQ(changed, 3u + 3u * 2u + 2u) << version << eol;
        }
    }
}

// ---- Entity kind x font type x backwards ----

struct TextCase {
    const char* name;
    const char* kind;
    const char* style;
    std::string stored;
    bool backwards;
    Target target;
    std::u16string expected;
};

class Texts : public ::testing::TestWithParam<TextCase> {};

TEST_P(Texts, BecomeWhatTheOldDrawingShowed) {
    const TextCase& c = GetParam();
    Dxf d;
    d.header("AC1015").styles(c.backwards ? 2 : 0).entities().text(c.kind, c.style, c.stored, c.backwards ? 2 : 0);
    const Migrated run = migrate(d.end().str(), c.target);
    ASSERT_FALSE(run.rows.empty());
    EXPECT_EQ(utf8(run.rows[0].newText), utf8(c.expected));
    EXPECT_EQ(run.rows[0].status, Status::Converted);
    EXPECT_EQ(run.rows[0].backwards, c.backwards);
    // Stored with \U+XXXX escapes before R2007; the flags cleared.
    std::string escaped;
    appendEncoded(escaped, c.expected, StringRules{}, false);
    EXPECT_EQ(valueAfter(run.out, c.kind, 1), escaped);
    EXPECT_EQ(valueAfter(run.out, c.kind, 71), "0");
    EXPECT_EQ(valueAfter(run.out, c.style, 3), "arial.ttf");
    EXPECT_EQ(valueAfter(run.out, c.style, 71), "0");
}

const std::u16string kBracketsShown = u"(" + kShalomShown + u")";

INSTANTIATE_TEST_SUITE_P(
    KindFontBackwards, Texts,
    ::testing::Values(
        TextCase{"DosText", "TEXT", "DOS", kDosShalom, false, Target::Logical, kShalom},
        TextCase{"DosTextVisual", "TEXT", "DOS", kDosShalom, false, Target::Visual, kShalomShown},
        TextCase{"DosTextHost", "TEXT", "DOS", kDosShalom, false, Target::Host, kShalom},
        TextCase{"DosBackwards", "TEXT", "DOS", bytes({153, 140, 133, 141}), true, Target::Logical, kShalom},
        TextCase{"DosBackwardsVisual", "TEXT", "DOS", bytes({153, 140, 133, 141}), true, Target::Visual,
                 kShalomShown},
        TextCase{"KeysAttrib", "ATTRIB", "KEYS", "ouka", false, Target::Logical, kShalom},
        TextCase{"KeysBackwardsAttrib", "ATTRIB", "KEYS", "akuo", true, Target::Host, kShalom},
        TextCase{"KeysRAttdef", "ATTDEF", "KEYSR", "akuo", false, Target::Logical, kShalom},
        TextCase{"WindowsAttdef", "ATTDEF", "WIN", kWinShalom, false, Target::Logical, kShalom},
        TextCase{"WindowsBackwards", "TEXT", "WIN", bytes({249, 236, 229, 237}), true, Target::Visual, kShalomShown},
        // Digits stay left of the words they follow; the blank stays with them.
        TextCase{"DosDigits", "TEXT", "DOS", "123 " + kDosShalom, false, Target::Logical, kShalom + u"123 "},
        TextCase{"DosDigitsHost", "TEXT", "DOS", "123 " + kDosShalom, false, Target::Host, kShalom + u" 123"},
        // "%%" letter codes alone are the letters the DOS font draws.
        TextCase{"PercentCodesOnly", "TEXT", "DOS", "%%141%%133%%140%%153", false, Target::Logical, kShalom},
        // A Latin-keys font draws the keyboard's letters at its punctuation.
        TextCase{"KeysPunctuation", "TEXT", "KEYS", "3.5,", false, Target::Visual, u"3\u05E55\u05EA"},
        // Brackets: reading order keeps them as the drawing showed them, in
        // a text and in an attribute alike; the host form follows each
        // editor, the attribute editor not mirroring.
        TextCase{"BracketsText", "TEXT", "DOS", "(" + kDosShalom + ")", false, Target::Logical,
                 u"(" + kShalom + u")"},
        TextCase{"BracketsAttrib", "ATTRIB", "DOS", "(" + kDosShalom + ")", false, Target::Logical,
                 u"(" + kShalom + u")"},
        TextCase{"BracketsAttribVisual", "ATTRIB", "DOS", "(" + kDosShalom + ")", false, Target::Visual,
                 kBracketsShown},
        TextCase{"BracketsTextHost", "TEXT", "DOS", "(" + kDosShalom + ")", false, Target::Host,
                 u")" + kShalom + u"("},
        TextCase{"BracketsAttribHost", "ATTRIB", "DOS", "(" + kDosShalom + ")", false, Target::Host,
                 u"(" + kShalom + u")"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Texts, EnglishInALegacyStyleStaysAsStored) {
    for (const char* style : {"DOS", "WIN"}) {
        Dxf d;
        d.header("AC1015").styles().entities().text("TEXT", style, "f(x) < 2").end();
        const Migrated run = migrate(d.str(), Target::Logical);
        EXPECT_EQ(valueAfter(run.out, "TEXT", 1), "f(x) < 2");
        EXPECT_EQ(run.rows.at(0).status, Status::Same);
        EXPECT_EQ(valueAfter(run.out, style, 3), "arial.ttf");  // the style is migrated all the same
    }
}

TEST(Texts, WithoutAStyleTheyAreInStandard) {
    Dxf d;
    d.pair(0, "SECTION").pair(2, "TABLES").pair(0, "TABLE").pair(2, "STYLE").style("Standard", "hebsimp");
    d.pair(0, "ENDTAB").pair(0, "ENDSEC").entities().pair(0, "TEXT").pair(1, kDosShalom).end();
    const Migrated run = migrate("\xEF\xBB\xBF" + d.str(), Target::Logical);
    EXPECT_EQ(run.rows.at(0).style, "STANDARD");
    EXPECT_EQ(run.rows.at(0).newText, kShalom);
}

TEST(Texts, AttdefPromptIsARowOfItsOwn) {
    Dxf d;
    d.header("AC1015").styles().entities().text("ATTDEF", "DOS", kDosShalom).end();
    const Migrated run = migrate(d.str(), Target::Logical);
    ASSERT_EQ(run.rows.size(), 2u);
    EXPECT_EQ(run.rows[1].entityType, "ATTDEF prompt");
    EXPECT_EQ(run.rows[1].newText, kShalom);
    EXPECT_EQ(valueAfter(run.out, "AcDbAttributeDefinition", 3), "\\U+05E9\\U+05DC\\U+05D5\\U+05DD");
}

TEST(Texts, R2010StringsAreUtf8DecodedThroughTheCodePage) {
    // A DOS letter byte 141 reads in Windows-1255 as U+008D, byte 133 as U+2026.
    const std::string dos = "\xC2\x8D\xE2\x80\xA6\xC2\x8C\xE2\x84\xA2";
    Dxf d;
    d.header("AC1024").styles().entities().text("TEXT", "DOS", dos).end();
    EXPECT_EQ(valueAfter(migrate(d.str(), Target::Logical).out, "TEXT", 1), utf8(kShalom));
    // The same letters through Windows-1252 and escapes in an R2000 drawing.
    Dxf e;
    e.header("AC1015", "ANSI_1252").styles().entities().text("TEXT", "WIN", "\\U+00ED\\U+00E5\xEC\xF9").end();
    EXPECT_EQ(migrate(e.str(), Target::Logical).rows.at(0).newText, kShalom);
}

// The entity's flag changes only with its text, where a backwards style's
// reversed storage is undone; one that mirrors otherwise than its style is
// kept and reviewed.
TEST(Texts, OwnBackwardsFlagChangesOnlyWithTheText) {
    struct Case {
        int styleFlag, ownFlag;
        const char* text;
        const char* flagAfter;
        Status status;
    } cases[] = {
        {0, 2, "shalom", "2", Status::Review},
        {2, 2, "shalom", "0", Status::Converted},
        {2, 6, "shalom", "4", Status::Converted},
        {2, 0, "shalom", "0", Status::Review},
        {0, 2, "Room 12", "2", Status::Same},
    };
    for (const Case& c : cases) {
        Dxf d;
        const std::string text = std::string(c.text) == "shalom" ? kDosShalom : c.text;
        d.header("AC1015").styles(c.styleFlag).entities().text("TEXT", "DOS", text, c.ownFlag).end();
        const Migrated run = migrate(d.str(), Target::Logical);
        EXPECT_EQ(run.rows.at(0).status, c.status) << c.styleFlag << " " << c.ownFlag << " " << c.text;
        EXPECT_EQ(valueAfter(run.out, "TEXT", 71), c.flagAfter) << c.styleFlag << " " << c.ownFlag << " " << c.text;
    }
}

// A text's style that the table lacks is STANDARD, as CAD programs draw it.
TEST(Texts, AMissingStyleIsStandardAndReviewed) {
    for (const char* standardFont : {"hebsimp.shx", "arial.ttf"}) {
        Dxf d;
        d.header("AC1015").pair(0, "SECTION").pair(2, "TABLES").pair(0, "TABLE").pair(2, "STYLE").pair(70, "1");
        d.style("STANDARD", standardFont).pair(0, "ENDTAB").pair(0, "ENDSEC");
        d.entities().text("TEXT", "GONE", kDosShalom).end();
        const Migrated run = migrate(d.str(), Target::Logical);
        EXPECT_EQ(run.rows.at(0).status, Status::Review) << standardFont;
        EXPECT_NE(run.rows.at(0).note.find("GONE"), std::string::npos) << run.rows.at(0).note;
        const bool migrated = std::string(standardFont) == "hebsimp.shx";
        EXPECT_EQ(valueAfter(run.out, "TEXT", 1), migrated ? "\\U+05E9\\U+05DC\\U+05D5\\U+05DD" : kDosShalom);
    }
    Dxf none;
    none.header("AC1015").entities().text("TEXT", "GONE", kDosShalom).end();
    const Migrated run = migrate(none.str(), Target::Logical);
    EXPECT_EQ(run.out, none.str()) << "without STANDARD the text stays";
    EXPECT_EQ(run.rows.at(0).status, Status::Review);
}

// ---- Which styles are migrated ----

// Both passes, as the command runs them on one drawing.
Migrated migrateBothPasses(const std::string& drawing, Options options) {
    static const auto surface = hebrew::makeLeftToRightSurface();
    std::FILE* in = testutil::scratchFile();
    std::fwrite(drawing.data(), 1, drawing.size(), in);
    std::rewind(in);
    FontsSeen fonts;
    const DrawingFacts facts = readDrawingFonts(in, options, *surface, fonts);
    std::fclose(in);
    for (const auto& [key, seen] : fonts)
        if (seen.evidence.texts()) options.guesses[key] = seen.evidence.guess();
    return migrate(drawing, options, facts);
}

// Some room names and notes in the DOS letter codes, as drawn left to right.
std::string dosShown(const std::u16string& hebrew) {
    std::string s;
    for (auto it = hebrew.rbegin(); it != hebrew.rend(); ++it)
        s += *it >= 0x05D0 && *it <= 0x05EA ? static_cast<char>(128 + (*it - 0x05D0)) : static_cast<char>(*it);
    return s;
}

struct StyleCase {
    const char* name;
    const char* font;
    int flags;                       // the style's 70
    bool drawnByLineType;            // a LTYPE's 340 names it
    std::vector<std::string> texts;  // in a drawing of code page ANSI_1252
    bool migrated;
    Status status;  // of every text
    const char* note;
};

class WhichStyles : public ::testing::TestWithParam<StyleCase> {};

TEST_P(WhichStyles, AreMigratedOnlyWhereTheirTextsShowLegacyHebrew) {
    const StyleCase& c = GetParam();
    Dxf d("\n");
    d.header("AC1015", "ANSI_1252").pair(0, "SECTION").pair(2, "TABLES");
    d.pair(0, "TABLE").pair(2, "LTYPE").pair(0, "LTYPE").pair(2, "SHAPES");
    if (c.drawnByLineType) d.pair(340, "1F");
    d.pair(0, "ENDTAB").pair(0, "TABLE").pair(2, "STYLE").pair(70, "2").style("STANDARD", "arial.ttf");
    d.pair(0, "STYLE").pair(5, "1F").pair(2, "S").pair(70, std::to_string(c.flags)).pair(71, "0").pair(3, c.font);
    d.pair(0, "ENDTAB").pair(0, "ENDSEC").entities();
    for (const std::string& t : c.texts) d.text("TEXT", "S", t);
    d.end();
    Options options = optionsFor(Target::Logical);
    options.map.push_back({u"TXT2", u"DosHebrew"});
    const Migrated run = migrateBothPasses(d.str(), options);
    EXPECT_EQ(valueAfter(run.out, "S", 3), c.migrated ? "arial.ttf" : c.font);
    if (!c.migrated) {
        EXPECT_EQ(run.out, d.str()) << "not a byte changes";
    }
    ASSERT_EQ(run.rows.size(), c.texts.size());
    for (const TextRow& row : run.rows) {
        EXPECT_EQ(row.status, c.status) << hebrew::utf16ToUtf8(row.oldText) << ": " << row.note;
        EXPECT_NE(row.note.find(c.note), std::string::npos) << row.note;
    }
}

const std::vector<std::string> kDosNotes = {
    dosShown(u"חדר שינה"), dosShown(u"מטבח"), dosShown(u"חזית צפונית 1:50"), dosShown(u"ממ\"ד"),
    dosShown(u"גובה 2.40 מ'"), dosShown(u"שירותים ומקלחת"), dosShown(u"מרפסת שמש"), dosShown(u"קיר בטון 20 ס\"מ")};
const std::vector<std::string> kEnglishNotes = {"Section A-A", "Dia. %%c20", "\x80 100", "25\xB0",
                                                "SAFE ROOM",   "%%1292.0000", "LEVEL +3.20", "Detail 5"};

INSTANTIATE_TEST_SUITE_P(
    Fonts, WhichStyles,
    ::testing::Values(
        StyleCase{"UnmappedReadFromHebrewTexts", "office.shx", 0, false, kDosNotes, true, Status::Converted, ""},
        StyleCase{"UnmappedWithEnglishTexts", "office.shx", 0, false, kEnglishNotes, false, Status::Same, ""},
        StyleCase{"StandardLatinFont", "romans.shx", 0, false, kDosNotes, false, Status::Same, ""},
        StyleCase{"StandardLatinFontPercentCodes", "txt", 0, false, {"%%1292.0000", "%%c20"}, false, Status::Same, ""},
        StyleCase{"OneUnclearText", "office.shx", 0, false, {"\x80\x8C"}, false, Status::Review, "do not tell"},
        StyleCase{"MappedEvenWithoutHebrew", "txt2.shx", 0, false, {"Room 1"}, true, Status::Same, ""},
        StyleCase{"Vertical", "hebsimp.shx", 4, false, {kDosShalom}, false, Status::Review, "vertical"},
        StyleCase{"DrawnByALineType", "hebsimp.shx", 0, true, {kDosShalom}, false, Status::Review, "line types"},
        StyleCase{"ShapeFileEntry", "hebsimp.shx", 1, false, {}, false, Status::Same, ""}),
    [](const auto& info) { return std::string(info.param.name); });

// A dimension's and a multileader's own texts are migrated as MTEXT contents
// where that is safe. The texts this tool does not migrate, or cannot safely,
// stay; where they hold Hebrew their style stays too (the first pass finds
// them) and their rows say why. Read in one pass, the style is migrated and
// their rows say what they lack.
TEST(Texts, DimensionAndLeaderTextsMigrateAndTheOthersKeepTheirStyle) {
    const std::string shalom = "\\U+05E9\\U+05DC\\U+05D5\\U+05DD";
    std::string longText;
    for (int i = 0; i < 10; ++i) longText += kDosShalom + " ";
    struct Case {
        const char* name;
        std::function<void(Dxf&)> entity;
        const char* marker;  // the entity's line before its text
        int textCode;
        std::string migrated;  // its text after either run; empty: as it was
        const char* reviewed;  // one pass: its row's note; none: not to review
        bool held;             // both passes: the style stays as it is
        bool bothPasses = false;  // migrated only with the first pass's facts
    } cases[] = {
        {"DimensionOverride", [](Dxf& d) { d.pair(0, "DIMENSION").pair(5, "40").pair(3, "HEB").pair(1, kDosShalom); },
         "DIMENSION", 1, shalom, nullptr, false},
        // The measurement's place is read as the number it draws, and comes
        // out where a TEXT's number does ("12 " and the word give the word
        // and "12 "), unturned.
        {"DimensionWithMeasurement",
         [](Dxf& d) { d.pair(0, "DIMENSION").pair(5, "40").pair(3, "HEB").pair(1, "<> " + kDosShalom); },
         "DIMENSION", 1, shalom + "<> ", nullptr, false},
        {"DimensionWithBothPlaces",
         [](Dxf& d) { d.pair(0, "DIMENSION").pair(5, "40").pair(3, "HEB").pair(1, "<> [] " + kDosShalom); },
         "DIMENSION", 1, shalom + "<> [] ", nullptr, false},
        // Beside a digit the place could not be told from the number.
        {"DimensionPlaceBesideADigit",
         [](Dxf& d) { d.pair(0, "DIMENSION").pair(5, "40").pair(3, "HEB").pair(1, "<>2 " + kDosShalom); },
         "DIMENSION", 1, "", "could not migrate safely", true},
        {"DimensionMeasured", [](Dxf& d) { d.pair(0, "DIMENSION").pair(5, "41").pair(3, "HEB").pair(1, "<>"); },
         "DIMENSION", 1, "", nullptr, false},
        {"DimensionOtherStyle",
         [](Dxf& d) { d.pair(0, "DIMENSION").pair(5, "42").pair(3, "LATIN").pair(1, kDosShalom); }, "DIMENSION", 1, "",
         nullptr, false},
        {"DimensionTooLongOnce", [&](Dxf& d) { d.pair(0, "DIMENSION").pair(5, "45").pair(3, "HEB").pair(1, longText); },
         "DIMENSION", 1, "", "could not migrate safely", true},
        {"Multileader", [](Dxf& d) { d.pair(0, "MULTILEADER").pair(5, "43").pair(304, kDosShalom).pair(343, "30"); },
         "MULTILEADER", 304, shalom, nullptr, false},
        // A table's cells are migrated in the one style they are drawn in,
        // which only the whole drawing tells.
        {"TableCell", [](Dxf& d) { d.pair(0, "ACAD_TABLE").pair(5, "44").pair(1, kDosShalom).pair(7, "DOS"); },
         "ACAD_TABLE", 1, shalom, "a table's cell", false, true},
        {"TableCellInChunks",
         [](Dxf& d) { d.pair(0, "ACAD_TABLE").pair(5, "44").pair(2, kDosShalom).pair(1, kDosShalom).pair(7, "DOS"); },
         "ACAD_TABLE", 1, "", "a table's cell", true},
        {"TableInTwoStyles",
         [](Dxf& d) {
             d.pair(0, "ACAD_TABLE").pair(5, "44").pair(1, kDosShalom).pair(7, "DOS").pair(1, "1").pair(7, "STANDARD");
         },
         "ACAD_TABLE", 1, "", "a table's cell", true},
        {"MultilineAttribute", [](Dxf& d) {
             d.text("ATTRIB", "DOS", "Room").pair(101, "Embedded Object").pair(1, "{\\C1;" + kDosShalom + "}");
         }, "Embedded Object", 1, "{\\C1;" + shalom + "}", nullptr, false},
    };
    for (const Case& c : cases) {
        Dxf d("\n");
        d.header("AC1015").pair(0, "SECTION").pair(2, "TABLES").pair(0, "TABLE").pair(2, "STYLE").pair(70, "2");
        d.style("STANDARD", "arial.ttf");
        d.pair(0, "STYLE").pair(5, "30").pair(2, "DOS").pair(70, "0").pair(71, "0").pair(3, "hebsimp.shx");
        d.pair(0, "ENDTAB").pair(0, "TABLE").pair(2, "DIMSTYLE").pair(70, "2");
        d.pair(0, "DIMSTYLE").pair(2, "HEB").pair(340, "30").pair(0, "DIMSTYLE").pair(2, "LATIN").pair(340, "99");
        d.pair(0, "ENDTAB").pair(0, "ENDSEC").entities();
        c.entity(d);
        const std::string before = valueAfter(d.str(), c.marker, c.textCode);
        d.text("TEXT", "DOS", kDosShalom).end();
        const std::string after = c.migrated.empty() ? before : c.migrated;

        const Migrated once = migrate(d.str(), Target::Logical);
        EXPECT_EQ(valueAfter(once.out, c.marker, c.textCode), c.bothPasses ? before : after) << c.name << ", one pass";
        EXPECT_EQ(migrate(once.out, Target::Logical).out, once.out) << c.name << ": a second run changes nothing";
        const TextRow* review = nullptr;
        for (const TextRow& row : once.rows)
            if (row.status == Status::Review) review = &row;
        if (c.reviewed) {
            ASSERT_NE(review, nullptr) << c.name;
            EXPECT_NE(review->note.find(c.reviewed), std::string::npos) << c.name << ": " << review->note;
        } else {
            EXPECT_EQ(review, nullptr) << c.name << ": " << review->note;
        }

        const Migrated both = migrateBothPasses(d.str(), optionsFor(Target::Logical));
        EXPECT_EQ(valueAfter(both.out, "DOS", 3), c.held ? "hebsimp.shx" : "arial.ttf") << c.name;
        EXPECT_EQ(valueAfter(both.out, c.marker, c.textCode), after) << c.name << ", both passes";
        if (!c.held) continue;
        EXPECT_EQ(both.out, d.str()) << c.name << ": not a byte changes";
        ASSERT_EQ(both.rows.size(), 2u) << c.name << ": its own row and the TEXT's";
        for (const TextRow& row : both.rows) {
            EXPECT_EQ(row.status, Status::Review) << c.name << " " << row.entityType;
            EXPECT_NE(row.note.find("migrate"), std::string::npos) << c.name << ": " << row.note;
        }
    }
}

// A long multiline form is written in new chunks where the old stood, the
// attribute's other groups around them as they were.
TEST(Texts, ALongMultilineAttributeKeepsItsGroupsAroundNewChunks) {
    std::string words;
    for (int i = 0; i < 40; ++i) words += kDosShalom + " ";
    Dxf d("\n");
    d.header("AC1015").styles(0).entities();
    d.text("ATTRIB", "DOS", "Room").pair(101, "Embedded Object").pair(10, "1.0").pair(3, words.substr(0, 100));
    d.pair(1, words.substr(100)).pair(73, "0").pair(0, "SEQEND").end();
    const Migrated run = migrate(d.str(), Target::Logical);
    const std::vector<std::string> lines = linesOf(run.out);
    std::string contents, codesAfter101;
    bool inForm = false;
    for (std::size_t i = 0; i + 1 < lines.size(); i += 2) {
        const int code = std::stoi(lines[i]);
        std::string value = lines[i + 1];
        value.pop_back();
        if (code == 101) inForm = true;
        if (code == 0) inForm = false;
        if (!inForm) continue;
        codesAfter101 += std::to_string(code) + " ";
        if (code == 1 || code == 3) contents += value;
    }
    std::string expected;
    for (int i = 0; i < 40; ++i) expected += std::string(i ? " " : "") + "\\U+05E9\\U+05DC\\U+05D5\\U+05DD";
    EXPECT_EQ(contents, " " + expected) << "the words in reading order, the trailing blank first";
    EXPECT_EQ(codesAfter101, "101 10 3 3 3 3 1 73 ") << "each new chunk of at most 250 bytes where the old two stood";
    EXPECT_EQ(migrate(run.out, Target::Logical).out, run.out);
}

// A backwards style's English is stored reversed, and read back in order.
TEST(Texts, BackwardsEnglishIsReadInOrder) {
    Dxf d;
    d.header("AC1015").styles(2).entities().text("TEXT", "DOS", "MOOR", 2).end();
    const Migrated run = migrate(d.str(), Target::Logical);
    EXPECT_EQ(valueAfter(run.out, "TEXT", 1), "ROOM");
    EXPECT_EQ(valueAfter(run.out, "TEXT", 71), "0");
}

// ---- Code pages and versions ----

// From R2007 a value is UTF-8: a surrogate pair as its one code point, a
// lone surrogate as U+FFFD, as everything the system writes.
TEST(Encoding, Utf8ValuesTakePairsWholeAndReplaceLoneSurrogates) {
    StringRules r2007;
    r2007.utf8 = true;
    const struct {
        std::u16string text;
        std::string expected;
    } cases[] = {
        {u"\u05E9", "\xD7\xA9"},
        {u"\xD83D\xDE00", "\xF0\x9F\x98\x80"},
        {u"a\xD800", "a\xEF\xBF\xBD"},
        {u"\xDC00" u"b", "\xEF\xBF\xBD" "b"},
    };
    for (const auto& c : cases) {
        std::string out = "x";
        appendEncoded(out, c.text, r2007, false);
        EXPECT_EQ(out, "x" + c.expected) << utf8(c.text);
    }
}


struct CodePageCase {
    const char* name;
    const char* acadver;
    const char* codePage;
    std::string value;  // of a text in the DOS style
    Status status;
    std::string after;
};

class CodePages : public ::testing::TestWithParam<CodePageCase> {};

// A drawing is never refused for its code page: only a text that needs an
// unread one stays, to review.
TEST_P(CodePages, AreReadWhereATextNeedsThem) {
    const CodePageCase& c = GetParam();
    Dxf d;
    d.header(c.acadver, c.codePage).styles().entities().text("TEXT", "DOS", c.value).end();
    const Migrated run = migrate(d.str(), Target::Logical);
    ASSERT_EQ(run.rows.size(), 1u);
    EXPECT_EQ(run.rows[0].status, c.status) << run.rows[0].note;
    EXPECT_EQ(valueAfter(run.out, "TEXT", 1), c.after);
}

INSTANTIATE_TEST_SUITE_P(
    Drawings, CodePages,
    ::testing::Values(
        CodePageCase{"LowerCase", "AC1015", "ansi_1255", kDosShalom, Status::Converted, kShalomEscapedText},
        CodePageCase{"Ascii", "AC1015", "ASCII", kDosShalom, Status::Converted, kShalomEscapedText},
        CodePageCase{"Undefined", "AC1015", "UNDEFINED", kDosShalom, Status::Converted, kShalomEscapedText},
        CodePageCase{"Missing", "AC1015", "", kDosShalom, Status::Converted, kShalomEscapedText},
        // DOS Hebrew's code page holds the DOS letters as Hebrew.
        CodePageCase{"Dos862", "AC1024", "dos862", "\xD7\x9D\xD7\x95\xD7\x9C\xD7\xA9", Status::Converted,
                     "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D"},
        // An escape of a code page's letter is the font byte of that code.
        CodePageCase{"Ansi1251Escape", "AC1015", "ANSI_1251", "\\U+040C\\U+2026\\U+040A\\U+2122", Status::Converted,
                     kShalomEscapedText},
        CodePageCase{"UnreadNotNeeded", "AC1015", "ANSI_932", kDosShalom, Status::Converted, kShalomEscapedText},
        CodePageCase{"UnreadEscape", "AC1015", "ANSI_932", "\\U+0161" + kDosShalom, Status::Review,
                     "\\U+0161" + kDosShalom},
        CodePageCase{"UnreadUtf8", "AC1024", "ANSI_949", "\xC3\x87", Status::Review, "\xC3\x87"},
        // From R2007 (AC1021) strings are UTF-8.
        CodePageCase{"R2007IsUtf8", "AC1021", "ANSI_1255", "\xC2\x8D\xE2\x80\xA6\xC2\x8C\xE2\x84\xA2",
                     Status::Converted, "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Texts, BlocksNameTheirOwner) {
    Dxf d;
    d.header("AC1015").styles().pair(0, "SECTION").pair(2, "BLOCKS").pair(0, "BLOCK").pair(8, "0").pair(2, "DOOR");
    d.pair(70, "2").text("ATTDEF", "DOS", kDosShalom).pair(0, "ENDBLK").pair(0, "ENDSEC").entities();
    d.text("TEXT", "DOS", kDosShalom).pair(67, "1").end();
    const Migrated run = migrate(d.str(), Target::Logical);
    ASSERT_EQ(run.rows.size(), 3u);
    EXPECT_EQ(run.rows[0].block, "DOOR");
    EXPECT_EQ(run.rows[0].newText, kShalom);
    EXPECT_EQ(run.rows[2].block, "*Paper_Space");
}

// ---- MTEXT ----

struct MtextCase {
    const char* name;
    std::string contents;
    std::string expected;  // the new contents
    Status status;
};

class Mtext : public ::testing::TestWithParam<MtextCase> {};

TEST_P(Mtext, KeepsItsCodesAndConvertsTheTextBetween) {
    const MtextCase& c = GetParam();
    Dxf d;
    d.header("AC1015").styles().entities().mtext("DOS", c.contents).end();
    const Migrated run = migrate(d.str(), Target::Logical);
    ASSERT_EQ(run.rows.size(), 1u);
    EXPECT_EQ(run.rows[0].status, c.status);
    std::string contents;
    const auto lines = linesOf(run.out);
    bool inMtext = false;
    for (std::size_t i = 0; i + 1 < lines.size(); i += 2) {
        const int code = std::stoi(lines[i]);
        inMtext = code == 0 ? lines[i + 1] == "MTEXT\r\n" : inMtext;
        if (!inMtext || (code != 1 && code != 3)) continue;
        std::string v = lines[i + 1].substr(0, lines[i + 1].size() - 2);
        EXPECT_LE(v.size(), 250u);
        contents += v;
    }
    EXPECT_EQ(contents, c.expected);
}

const std::string kShalomEscaped = "\\U+05E9\\U+05DC\\U+05D5\\U+05DD";
const std::string kLongDos = [] {
    std::string s;
    for (int i = 0; i < 60; ++i) s += kDosShalom + " ";  // 300 bytes: two chunks
    return s;
}();
const std::string kLongExpected = [] {
    std::string s = " ";  // the trailing blank reads first
    for (int i = 0; i < 60; ++i) s += kShalomEscaped + (i < 59 ? " " : "");
    return s;
}();

INSTANTIATE_TEST_SUITE_P(
    Codes, Mtext,
    ::testing::Values(
        MtextCase{"LeadingGroupAndParagraphs", "{\\fArial|b1;" + kDosShalom + "\\P" + kDosShalom + "}",
                  "{\\fArial|b1;" + kShalomEscaped + "\\P" + kShalomEscaped + "}", Status::Converted},
        MtextCase{"EveryCodeAroundTheText",
                  "\\A1;\\H2.5x;\\W0.8;\\Q15;\\T1.2;\\C1;\\c255;\\pxi-3,l3;\\L\\O\\K{\\F" "romans|c0;" + kDosShalom +
                      "}\\k\\o\\l",
                  "\\A1;\\H2.5x;\\W0.8;\\Q15;\\T1.2;\\C1;\\c255;\\pxi-3,l3;\\L\\O\\K{\\F" "romans|c0;" +
                      kShalomEscaped + "}\\k\\o\\l",
                  Status::Review},  // a shape font of its own (\F) keeps drawing the old codes
        MtextCase{"CodesInEnglishStayPut", "ab\\~c{\\S1/2;}d\\Pline", "ab\\~c{\\S1/2;}d\\Pline", Status::Same},
        // A code between Hebrew letters cannot keep its place: left, review.
        MtextCase{"CodeInsideAHebrewRun",
                  bytes({141, 133}) + "{\\C1;" + bytes({140, 153}) + "}\\P" + kDosShalom,
                  bytes({141, 133}) + "{\\C1;" + bytes({140, 153}) + "}\\P" + kShalomEscaped, Status::Review},
        // A non-breaking space is a blank between the words.
        MtextCase{"NonBreakingSpaceBetweenWords", kDosShalom + "\\~" + bytes({141, 133}),
                  "\\U+05D5\\U+05DD\\~" + kShalomEscaped, Status::Converted},
        MtextCase{"StackBetweenWords", kDosShalom + "\\S1/2;" + bytes({141, 133}),
                  kDosShalom + "\\S1/2;" + bytes({141, 133}), Status::Review},
        MtextCase{"EscapedCharacters", "\\\\" + kDosShalom + "\\{", "\\{" + kShalomEscaped + "\\\\",
                  Status::Converted},
        MtextCase{"EscapedClosingBrace", "\\}" + kDosShalom, kShalomEscaped + "\\}", Status::Converted},
        // Longer than it converts: left, the other paragraphs converted.
        MtextCase{"ParagraphTooLong", std::string(kLongestConvertedText + 1, '\x80') + "\\P" + kDosShalom,
                  std::string(kLongestConvertedText + 1, '\x80') + "\\P" + kShalomEscaped, Status::Review},
        MtextCase{"UnicodeEscapesRead", "\\U+20AC\\U+0081", "\\U+05D1\\U+05D0", Status::Converted},
        MtextCase{"LongContentsRecut", kLongDos, kLongExpected, Status::Converted},
        MtextCase{"FinalPieceWithoutParagraphMark", "\\P" + kDosShalom, "\\P" + kShalomEscaped, Status::Converted}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MtextChunks, NeverCutInsideAnEscapeOrASequence) {
    std::string contents;
    for (int i = 0; i < 300; ++i) contents += (i % 3 == 0) ? "\\U+05D0" : (i % 3 == 1) ? "\xD7\x91" : "{\\C1;x}";
    for (std::size_t max : {250u, 7u, 8u, 9u, 13u}) {
        std::string joined;
        for (std::string_view chunk : cutMtextChunks(contents, max)) {
            EXPECT_LE(chunk.size(), max);
            ASSERT_FALSE(chunk.empty());
            // Each chunk starts at an atom: an escape, a lead byte, a brace or text.
            const unsigned char first = static_cast<unsigned char>(chunk[0]);
            EXPECT_TRUE(first == '\\' || first == 0xD7 || first == '{' || first == 'x' || first == '}' ||
                        first == 'C' || first == '1' || first == ';')
                << max;
            if (max >= 7) {
                EXPECT_NE(first, ';') << max;  // never in the middle of \C1;
            }
            joined += chunk;
        }
        EXPECT_EQ(joined, contents);
    }
}

// ---- Idempotence ----

TEST(Idempotence, ASecondRunChangesNoByte) {
    Dxf d;
    d.header("AC1015").styles(2).entities();
    d.text("TEXT", "DOS", "123 " + kDosShalom, 2).text("ATTRIB", "KEYS", "akuo (3)", 2).text("ATTDEF", "WIN", kWinShalom, 2);
    d.mtext("DOS", "{\\H2;" + kLongDos + "\\P" + bytes({141, 133}) + "\\C1;" + bytes({140, 153}) + "}").end();
    for (Target t : {Target::Host, Target::Logical, Target::Visual}) {
        const Migrated first = migrate(d.str(), t);
        ASSERT_NE(first.out, d.str());
        const Migrated second = migrate(first.out, t);
        EXPECT_EQ(second.out, first.out);
        EXPECT_EQ(second.counts.converted, 0u);
    }
}

// ---- Bad drawings ----

struct BadCase {
    const char* name;
    std::string drawing;
    unsigned long long line;
    const char* words;
};

class BadDrawings : public ::testing::TestWithParam<BadCase> {};

TEST_P(BadDrawings, AreNamedWithTheirLine) {
    const BadCase& c = GetParam();
    try {
        migrate(c.drawing);
        FAIL() << "no error";
    } catch (const BadDrawing& e) {
        EXPECT_EQ(e.line, c.line);
        EXPECT_NE(std::string(e.what()).find(c.words), std::string::npos) << e.what();
    }
}

std::string good() {
    Dxf d("\n");
    d.header("AC1015").styles().entities().text("TEXT", "DOS", kDosShalom).end();
    return d.str();
}

// The 1-based number of the first line that reads text.
unsigned long long lineReading(const std::string& drawing, const std::string& text) {
    const auto lines = linesOf(drawing);
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (lines[i] == text + "\n") return i + 1;
    return 0;
}

// Cut inside a section; one that ends with its last ENDSEC is read, as CAD
// programs read it.
const std::string kTruncated = good().substr(0, good().size() - std::string("  0\nENDSEC\n  0\nEOF\n").size());
const std::string kOdd = good().substr(0, good().size() - std::string("EOF\n").size());
const std::string kNonNumeric = Dxf("\n").header("AC1015").raw("  x0\nTEXT\n").end().str();
const std::string kBigCode = Dxf("\n").header("AC1015").raw("1099511627776\nx\n").end().str();
const std::string kCodeAbove = Dxf("\n").header("AC1015").raw("1072\nx\n").end().str();
const std::string kCodeBelow = Dxf("\n").header("AC1015").raw(" -6\nx\n").end().str();
const std::string kLongLine = Dxf("\n").header("AC1015").raw("999\n" + std::string(1 << 17, 'x') + "\n").end().str();
const std::string kNul = Dxf("\n").header("AC1015").raw(std::string("\0\0\0\0\n\0\0\n", 8)).end().str();
std::string utf16(const std::string& ascii, bool mark) {
    std::string out = mark ? "\xFF\xFE" : "";
    for (char c : ascii) out += std::string{c, '\0'};
    return out;
}
const std::string kInvalid = Dxf("\n").header("AC1024").styles().entities().text("TEXT", "DOS", "\xFF").end().str();

INSTANTIATE_TEST_SUITE_P(
    Inputs, BadDrawings,
    ::testing::Values(
        BadCase{"Binary", std::string("AutoCAD Binary DXF\r\n\x1a\0", 22) + "\x01\x02", 1, "binary"},
        BadCase{"Truncated", kTruncated, linesOf(kTruncated).size(), "truncated"},
        BadCase{"OddLines", kOdd, linesOf(kOdd).size(), "odd number"},
        BadCase{"NonNumericCode", kNonNumeric, lineReading(kNonNumeric, "  x0"), "'x0'"},
        BadCase{"InvalidUtf8", kInvalid, lineReading(kInvalid, "\xFF"), "UTF-8"},
        BadCase{"Empty", "", 0, "truncated"},
        // One range on every platform, whatever the width of long.
        BadCase{"CodeOf2To40", kBigCode, lineReading(kBigCode, "1099511627776"), "outside the DXF range"},
        BadCase{"CodeAbove1071", kCodeAbove, lineReading(kCodeAbove, "1072"), "outside the DXF range"},
        BadCase{"CodeBelowMinus5", kCodeBelow, lineReading(kCodeBelow, " -6"), "outside the DXF range"},
        BadCase{"LineOverTheLimit", kLongLine, lineReading(kLongLine, "999") + 1, "longer than"},
        BadCase{"NulBytes", kNul, linesOf(Dxf("\n").header("AC1015").str()).size() + 1, "NUL"},
        BadCase{"Utf16WithMark", utf16(good(), true), 0, "UTF-16"},
        BadCase{"Utf16WithoutMark", utf16(good(), false), 0, "UTF-16"},
        BadCase{"CarriageReturnsOnly", [] { std::string d = good(); std::replace(d.begin(), d.end(), '\n', '\r');
                                             return d; }(), 0, "CR alone"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- The command ----

class Command : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(dir_ / "in" / "sub");
        map_ = write("HebFonts.txt", "[Fonts]\nHEBSIMP=DosHebrew\nHEBKEYS=DosEnglish\nHEBKEYSR=DosEnglishR\n");
    }

    std::string write(const std::string& name, const std::string& content) {
        std::ofstream(dir_ / fs::u8path(name), std::ios::binary) << content;
        return (dir_ / fs::u8path(name)).u8string();
    }
    std::string read(const std::string& name) {
        std::ifstream f(dir_ / fs::u8path(name), std::ios::binary);
        std::stringstream s;
        s << f.rdbuf();
        return s.str();
    }
    int run(std::vector<std::string> args) {
        args.insert(args.begin(), {"--map", map_, "--quiet"});
        std::FILE* out = testutil::scratchFile();
        std::FILE* err = testutil::scratchFile();
        const int code = runCommand(parseCommandLine(args), out, err);
        errors_ = readAll(err);
        std::fclose(out);
        std::fclose(err);
        return code;
    }
    std::string path(const std::string& name) { return (dir_ / fs::u8path(name)).u8string(); }

    testutil::ScratchFolder scratch_{"vornmigrate"};
    fs::path dir_ = scratch_.path();
    std::string map_, errors_;
};

TEST_F(Command, BadUsageExitsTwo) {
    write("in/a.dxf", good());
    const std::vector<std::vector<std::string>> cases = {
        {},
        {path("in/a.dxf")},
        {"--bogus", path("in/a.dxf"), path("b.dxf")},
        {"--for", "sideways", path("in/a.dxf"), path("b.dxf")},
        {"--font", "romans.shx", path("in/a.dxf"), path("b.dxf")},
        {"-j", "0", "--dry-run", path("in/a.dxf")},
        {"--map", path("nothing.txt"), path("in/a.dxf"), path("b.dxf")},
        {path("in/a.dxf"), path("in/../in/a.dxf")},
        {"--out-dir", path("in"), path("in/a.dxf")},
    };
    for (const auto& args : cases) {
        EXPECT_EQ(run(args), kBadUsage) << (args.empty() ? "" : args.back());
        EXPECT_FALSE(errors_.empty());
    }
    EXPECT_EQ(read("in/a.dxf"), good());
}

TEST_F(Command, FoldersAreMigratedAndABadDrawingDoesNotStopTheOthers) {
    write("in/a.dxf", good());
    write("in/sub/B.DXF", good());
    write("in/sub/broken.dxf", good().substr(0, 40));
    write("in/sub/plan.dwg", "AC1015 binary");
    write("in/notes.txt", "not a drawing");
    const std::string report = path("report.tsv");
    EXPECT_EQ(run({"-j", "2", "--for", "logical", "--report", report, "--out-dir", path("out"), path("in"),
                   path("in/sub/plan.dwg")}),
              kSomeFailed);
    EXPECT_TRUE(fs::exists(dir_ / "out" / "a.dxf"));
    EXPECT_TRUE(fs::exists(dir_ / "out" / "sub" / "B.DXF"));
    EXPECT_FALSE(fs::exists(dir_ / "out" / "sub" / "broken.dxf"));
    EXPECT_FALSE(fs::exists(dir_ / "out" / "notes.txt"));
    EXPECT_NE(errors_.find("broken.dxf: line 7:"), std::string::npos) << errors_;
    EXPECT_NE(errors_.find("export the drawing as DXF"), std::string::npos) << errors_;
    for (const auto& entry : fs::recursive_directory_iterator(dir_))
        EXPECT_EQ(entry.path().filename().u8string().find(".tmp"), std::string::npos) << entry.path();

    const auto rows = linesOf(read("report.tsv"));
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0],
              "file\thandle\tentity type\towning block\tstyle\tfont file\tfont type\tbackwards\tstatus\told text\tnew "
              "text\tnote\n");
    const std::string first = (dir_ / "in" / "a.dxf").u8string();
    EXPECT_EQ(rows[1].substr(0, first.size()), first);  // in the order of the drawings
    EXPECT_NE(rows[1].find("\t2A\tTEXT\t*Model_Space\tDOS\thebsimp.shx\tDosHebrew\tno\tconverted\t"),
              std::string::npos)
        << rows[1];
    EXPECT_NE(rows[1].find("\t" + utf8(kShalom) + "\t\n"), std::string::npos) << rows[1];
}

// The fonts that no map names are read from the texts of every drawing of
// the run; --learn-map writes what was read, and a later run takes it.
TEST_F(Command, FontsAreLearnedFromTheTextsOfEveryDrawing) {
    for (const char* name : {"in/a.dxf", "in/b.dxf"}) {
        Dxf d("\n");
        d.header("AC1015").pair(0, "SECTION").pair(2, "TABLES").pair(0, "TABLE").pair(2, "STYLE").pair(70, "1");
        d.style("OFFICE", "Office.shx").pair(0, "ENDTAB").pair(0, "ENDSEC").entities();
        for (std::size_t i = name[3] == 'a' ? 0 : 2; i < kDosNotes.size(); i += 4) {
            d.text("TEXT", "OFFICE", kDosNotes[i]);
            d.text("TEXT", "OFFICE", kDosNotes[i + 1]);
        }
        write(name, d.end().str());
    }
    const std::string learned = path("learned.txt");
    EXPECT_EQ(run({"--learn-map", learned, "--out-dir", path("out"), path("in")}), kAllMigrated) << errors_;
    EXPECT_NE(read("learned.txt").find("[Fonts]\r\nOFFICE=DosHebrew\r\n"), std::string::npos) << read("learned.txt");
    EXPECT_EQ(valueAfter(read("out/a.dxf"), "OFFICE", 3), "arial.ttf");
    // The learned map alone gives the same drawings.
    map_ = learned;
    EXPECT_EQ(run({"--out-dir", path("again"), path("in")}), kAllMigrated) << errors_;
    EXPECT_EQ(read("again/a.dxf"), read("out/a.dxf"));
    EXPECT_EQ(read("again/b.dxf"), read("out/b.dxf"));
}

TEST_F(Command, OneDrawingAndADryRun) {
    write("in/a.dxf", good());
    // A Hebrew file name, replaced where it exists.
    const std::string output = "\xD7\xA9\xD7\xA8\xD7\x98\xD7\x95\xD7\x98.dxf";
    write(output, "old contents");
    EXPECT_EQ(run({path("in/a.dxf"), path(output)}), kAllMigrated) << errors_;
    EXPECT_EQ(read(output), migrate(good(), Target::Host).out);
    // Migrated copies inside the folder migrated are not taken again.
    EXPECT_EQ(run({"--out-dir", path("in/migrated"), path("in")}), kAllMigrated);
    EXPECT_EQ(run({"--out-dir", path("in/migrated"), path("in")}), kAllMigrated) << errors_;
    EXPECT_FALSE(fs::exists(dir_ / "in" / "migrated" / "migrated"));
    fs::remove_all(dir_ / "in" / "migrated");
    EXPECT_EQ(run({"--dry-run", "--report", path("r.tsv"), path("in")}), kAllMigrated);
    EXPECT_EQ(linesOf(read("r.tsv")).size(), 2u);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "in"), fs::directory_iterator()), 2);  // a.dxf, sub
}

// Every regular file below folder with its bytes; links are not followed.
std::map<std::string, std::string> filesBelow(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file() || entry.is_symlink()) continue;
        std::ifstream f(entry.path(), std::ios::binary);
        std::stringstream bytes;
        bytes << f.rdbuf();
        files[entry.path().u8string()] = bytes.str();
    }
    return files;
}

TEST_F(Command, NothingIsWrittenOverAnInputWhateverNamesIt) {
    write("in/a.dxf", good());
    write("in/sub/b.dxf", good());
    write("in/sub/A.dxf", good());
    fs::create_directories(dir_ / "out" / "sub");
    write("out/sub/b.dxf", good());  // an earlier run's output, now given as an input
    fs::create_hard_link(dir_ / "in" / "a.dxf", dir_ / "hard.dxf");
    std::vector<std::vector<std::string>> cases = {
        {"--out-dir", path("out"), path("in"), path("out/sub/b.dxf")},
        {"--out-dir", path("out"), path("in"), path("out/sub")},
        {"--report", path("in/a.dxf"), path("in/a.dxf"), path("new.dxf")},
        {"--dry-run", "--report", path("in/sub/b.dxf"), path("in")},
        {"--report", path("new.dxf"), path("in/a.dxf"), path("new.dxf")},
        {path("in/a.dxf"), path("hard.dxf")},
        {"--out-dir", path("o"), path("in/a.dxf"), path("in/sub/A.dxf")},  // o/a.dxf and o/A.dxf
        {path("in/a.dxf"), path("in")},                                      // a folder
    };
#ifndef _WIN32
    fs::create_symlink(dir_ / "in" / "a.dxf", dir_ / "soft.dxf");
    fs::create_symlink(dir_ / "in" / "a.dxf", dir_ / "report.tsv");
    ASSERT_EQ(mkfifo(path("fifo.dxf").c_str(), 0600), 0);
    cases.push_back({path("in/a.dxf"), path("soft.dxf")});
    cases.push_back({"--report", path("report.tsv"), "--dry-run", path("in")});
    cases.push_back({path("in/a.dxf"), path("fifo.dxf")});
#endif
    const auto before = filesBelow(dir_);
    for (const auto& args : cases) {
        EXPECT_EQ(run(args), kBadUsage) << args[args.size() - 2] << " " << args.back() << ": " << errors_;
        EXPECT_NE(errors_.find("vornmigrate: "), std::string::npos) << errors_;
        EXPECT_EQ(filesBelow(dir_), before) << args.back();
    }
}

TEST_F(Command, OthersTemporaryFilesAreNamedAndLeftAndAReplacedOutputKeepsItsMode) {
    write("in/a.dxf", good());
    write("out.dxf", "earlier");
    write(".out.dxf.vornmigrate-1.tmp", "another run's");
    // What the name of an earlier version's temporary file would have led to.
    fs::create_hard_link(dir_ / "in" / "a.dxf", dir_ / ".out.dxf.vornmigrate-0.tmp");
#ifndef _WIN32
    fs::permissions(dir_ / "out.dxf", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
#endif
    EXPECT_EQ(run({"--", path("in/a.dxf"), path("out.dxf")}), kAllMigrated) << errors_;
    EXPECT_EQ(read("in/a.dxf"), good());
    EXPECT_EQ(read(".out.dxf.vornmigrate-1.tmp"), "another run's");
    EXPECT_NE(errors_.find(".out.dxf.vornmigrate-0.tmp: a temporary file of another run"), std::string::npos)
        << errors_;
    EXPECT_NE(errors_.find(".out.dxf.vornmigrate-1.tmp"), std::string::npos) << errors_;
    EXPECT_EQ(read("out.dxf"), migrate(good(), Target::Host).out);
#ifndef _WIN32
    EXPECT_EQ(fs::status(dir_ / "out.dxf").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
#endif
    EXPECT_EQ(filesBelow(dir_).size(), 5u) << "no temporary file of its own is left";  // map, in, out, two of theirs
    const auto parsed = parseCommandLine({"--", "--dry-run", "-j"});
    EXPECT_TRUE(parsed.error.empty()) << parsed.error;
    EXPECT_EQ(parsed.paths, (std::vector<std::string>{"--dry-run", "-j"}));
}

#ifdef __GLIBC__
// A disk that fills up after a number of bytes.
std::FILE* fillingUpAfter(std::size_t* room) {
    cookie_io_functions_t io{};
    io.write = [](void* cookie, const char*, size_t size) -> ssize_t {
        auto* left = static_cast<std::size_t*>(cookie);
        if (*left < size) {
            errno = ENOSPC;
            return -1;
        }
        *left -= size;
        return static_cast<ssize_t>(size);
    };
    return fopencookie(room, "w", io);
}

TEST(Migration, AFullDiskFailsTheDrawingWithItsCause) {
    const std::string drawing = good();
    static const auto surface = hebrew::makeLeftToRightSurface();
    for (std::size_t room : {std::size_t(0), std::size_t(100), drawing.size() - 1}) {
        std::FILE* in = testutil::scratchFile();
        std::fwrite(drawing.data(), 1, drawing.size(), in);
        std::rewind(in);
        std::size_t left = room;
        std::FILE* out = fillingUpAfter(&left);
        std::setvbuf(out, nullptr, _IONBF, 0);
        try {
            migrateDrawing(in, out, optionsFor(Target::Host), *surface, {});
            std::fflush(out);
            EXPECT_TRUE(std::ferror(out)) << "room for " << room << " bytes: the error is at least on the stream";
        } catch (const BadDrawing& e) {
            EXPECT_NE(std::string(e.what()).find(std::strerror(ENOSPC)), std::string::npos) << e.what();
        }
        std::fclose(out);
        std::fclose(in);
    }
}
#endif

}  // namespace
