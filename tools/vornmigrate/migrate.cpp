#include "migrate.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <optional>
#include <unordered_map>
#include <vector>

#include "hebrew/file_names.h"
#include "hebrew/utf8.h"

namespace vornmigrate {

using namespace hebrew;

namespace {

constexpr std::size_t kBufferSize = 1 << 20;

std::string_view withoutEnding(std::string_view line) {
    if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

std::string_view endingOf(std::string_view line) { return line.substr(withoutEnding(line).size()); }

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

std::string upperAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

// Group codes of the DXF reference; anything else is no drawing's.
constexpr long long kFirstGroupCode = -5, kLastGroupCode = 1071;
constexpr std::size_t kSniffBytes = 4096;

// A few dozen characters of a bad line, control bytes shown as escapes.
std::string quoted(std::string_view s) {
    constexpr std::size_t kShown = 40;
    std::string out = "'";
    for (std::size_t i = 0; i < s.size() && i < kShown; ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x20 || c == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", c);
            out += escape;
        } else {
            out += static_cast<char>(c);
        }
    }
    out += "'";
    if (s.size() > kShown) out += " (" + std::to_string(s.size()) + " bytes in all)";
    return out;
}

// A group code line: blanks, the number, blanks and the line's end.
bool parseAnyGroupCode(std::string_view line, long long& out) {
    std::size_t i = 0;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i < line.size() && line[i] == '+') ++i;
    const char* end = line.data() + line.size();
    auto [stop, ec] = std::from_chars(line.data() + i, end, out);
    if (ec != std::errc() || stop == line.data() + i) return false;
    for (; stop < end; ++stop)
        if (*stop != ' ' && *stop != '\t' && *stop != '\r' && *stop != '\n') return false;
    return true;
}

// Most group code lines are blanks and up to four digits before the line's
// end: read at once, the others by the general form.
inline bool parseGroupCode(std::string_view line, long long& out) {
    std::size_t start = 0;
    while (start < line.size() && line[start] == ' ') ++start;
    std::size_t last = start;
    long long value = 0;
    while (last < line.size() && last - start < 5 && line[last] >= '0' && line[last] <= '9')
        value = value * 10 + (line[last++] - '0');
    const std::size_t rest = line.size() - last;
    const bool ends = rest == 0 || (rest == 1 && line[last] == '\n') ||
                      (rest == 2 && line[last] == '\r' && line[last + 1] == '\n');
    if (last == start || last - start == 5 || !ends) return parseAnyGroupCode(line, out);
    out = value;
    return true;
}

template <class Int>
bool parseInt(std::string_view s, Int& out) {
    s = trimmed(s);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && end == s.data() + s.size() && !s.empty();
}

// The value of a number line written anew in the width the old one had.
std::string sameWidthNumber(std::string_view oldValue, long value) {
    std::string number = std::to_string(value);
    const std::string_view old = withoutEnding(oldValue);
    const bool padded = !old.empty() && old.front() == ' ';
    if (padded && number.size() < old.size()) number.insert(0, old.size() - number.size(), ' ');
    return number;
}

// A name or text that does not decode, shown byte for byte in the report.
std::u16string bytesAsLatin1(std::string_view s) {
    std::u16string out;
    for (char c : s) out += static_cast<char16_t>(static_cast<unsigned char>(c));
    return out;
}

// ---- Reading group code / value pairs through one buffer ----

class PairReader {
public:
    PairReader(std::FILE* in, std::size_t maxLine) : in_(in), buf_(kBufferSize), maxLine_(maxLine) {}

    struct Pair {
        std::string_view codeLine, valueLine;  // with their line endings
        unsigned long long line = 0;           // of the code line
    };
    enum Result { Ok, End, Odd };

    // The views stay valid until the next call.
    Result next(Pair& pair) {
        std::size_t codeEnd, valueEnd;
        if (!lineEnd(0, codeEnd, line_ + 1)) return End;
        if (!lineEnd(codeEnd, valueEnd, line_ + 2)) {
            line_ += 1;
            return Odd;
        }
        pair.codeLine = std::string_view(buf_.data() + begin_, codeEnd);
        pair.valueLine = std::string_view(buf_.data() + begin_ + codeEnd, valueEnd - codeEnd);
        pair.line = line_ + 1;
        begin_ += valueEnd;
        line_ += 2;
        return Ok;
    }

    // The first bytes of the file, for telling a binary drawing.
    std::string_view peek(std::size_t n) {
        while (end_ - begin_ < n && fill()) {
        }
        return std::string_view(buf_.data() + begin_, std::min(n, end_ - begin_));
    }

    // Everything after the pairs read so far, a buffer at a time.
    template <class Sink>
    void copyRest(Sink&& sink) {
        do {
            sink(std::string_view(buf_.data() + begin_, end_ - begin_));
            begin_ = end_;
        } while (fill());
    }

    unsigned long long lines() const { return line_; }
    bool failed() const { return std::ferror(in_) != 0; }

private:
    // The end (relative to begin_, after its LF) of the line that starts at
    // from; false when no line starts there.
    bool lineEnd(std::size_t from, std::size_t& end, unsigned long long line) {
        std::size_t scanned = from;
        for (;;) {
            const char* start = buf_.data() + begin_ + scanned;
            const std::size_t available = end_ - begin_ - scanned;
            if (const void* lf = std::memchr(start, '\n', available)) {
                end = static_cast<std::size_t>(static_cast<const char*>(lf) - (buf_.data() + begin_)) + 1;
                if (end - from > maxLine_ + 1) tooLong(line);
                return true;
            }
            scanned += available;
            // Before the buffer grows past the limit.
            if (scanned - from > maxLine_) tooLong(line);
            if (!fill()) {
                end = end_ - begin_;
                return end > from;
            }
        }
    }

    [[noreturn, gnu::noinline]] void tooLong(unsigned long long line) const {
        const std::string size = maxLine_ >= (std::size_t(1) << 20) ? std::to_string(maxLine_ >> 20) + " MB"
                                                                     : std::to_string(maxLine_) + " bytes";
        throw BadDrawing(line, "the line is longer than " + size + ": this is no DXF drawing, or a damaged one");
    }

    bool fill() {
        if (eof_) return false;
        if (begin_ > 0) {
            std::memmove(buf_.data(), buf_.data() + begin_, end_ - begin_);
            end_ -= begin_;
            begin_ = 0;
        }
        if (end_ == buf_.size()) buf_.resize(buf_.size() * 2);  // a line longer than the buffer
        const std::size_t n = std::fread(buf_.data() + end_, 1, buf_.size() - end_, in_);
        if (n == 0) eof_ = true;
        end_ += n;
        return n > 0;
    }

    std::FILE* in_;
    std::vector<char> buf_;
    std::size_t begin_ = 0, end_ = 0;
    bool eof_ = false;
    unsigned long long line_ = 0;
    std::size_t maxLine_;
};

// Pairs are copied into one buffer, a write of the file when it is full: a
// drawing has millions of short lines.
class Writer {
public:
    explicit Writer(std::FILE* out) : out_(out), buf_(out ? kBufferSize : 0) {}
    void put(std::string_view s) {
        if (!out_) return;
        if (used_ + s.size() > buf_.size()) {
            flush();
            if (s.size() > buf_.size()) return write(s);
        }
        std::memcpy(buf_.data() + used_, s.data(), s.size());
        used_ += s.size();
    }
    void flush() {
        if (!out_ || used_ == 0) return;
        write(std::string_view(buf_.data(), used_));
        used_ = 0;
    }

private:
    void write(std::string_view s) {
        if (std::fwrite(s.data(), 1, s.size(), out_) != s.size())
            throw BadDrawing(0, std::string("the migrated drawing could not be written: ") + std::strerror(errno));
    }

    std::FILE* out_;
    std::vector<char> buf_;
    std::size_t used_ = 0;
};

// ---- One record (a style or a text entity), held until the next 0 ----

struct Line {
    long code;
    std::size_t codeOff, codeLen, valueOff, valueLen;
};

class Record {
public:
    void start(unsigned long long line) {
        lines_.clear();
        arena_.clear();
        firstLine = line;
    }
    void add(long code, std::string_view codeLine, std::string_view valueLine) {
        lines_.push_back({code, arena_.size(), codeLine.size(), arena_.size() + codeLine.size(), valueLine.size()});
        arena_.append(codeLine.data(), codeLine.size() + valueLine.size());  // together in the reader's buffer
    }
    std::size_t size() const { return lines_.size(); }
    long code(std::size_t i) const { return lines_[i].code; }
    std::string_view codeLine(std::size_t i) const {
        return std::string_view(arena_).substr(lines_[i].codeOff, lines_[i].codeLen);
    }
    std::string_view valueLine(std::size_t i) const {
        return std::string_view(arena_).substr(lines_[i].valueOff, lines_[i].valueLen);
    }
    std::string_view value(std::size_t i) const { return withoutEnding(valueLine(i)); }
    // The lines [from, to) as they were read, in one piece.
    std::string_view lines(std::size_t from, std::size_t to) const {
        const std::size_t begin = from < lines_.size() ? lines_[from].codeOff : arena_.size();
        const std::size_t end = to < lines_.size() ? lines_[to].codeOff : arena_.size();
        return std::string_view(arena_).substr(begin, end - begin);
    }
    unsigned long long lineOf(std::size_t i) const { return firstLine + 2 * i; }

    unsigned long long firstLine = 0;

private:
    std::vector<Line> lines_;
    std::string arena_;
};

// Group codes from which on a record holds extended data or an embedded
// object, whose values are never texts of the record itself.
bool endsOwnCodes(long code) { return code == 101 || code >= 1000; }

struct StyleInfo {
    std::string fontFile;  // as the report shows it
    StyleState state;      // its type: the legacy type its texts are read in, TrueType when none
    bool migrated = false;
    // Not migrated although its texts may hold legacy Hebrew: why, for the
    // rows of those texts.
    std::string leftWhy;
    // The first pass: its texts are evidence of its font.
    FontSeen* evidence = nullptr;
};

// A text's style that is not in the style table, nor is STANDARD: no font
// tells its type.
const StyleInfo kNoStyle{{}, {u"", TrueType, false}, false, {}, nullptr};

// What the report shows for a text too long to convert.
std::u16string notShown(std::size_t bytes) {
    const std::string text = "(" + std::to_string(bytes >> 20) + " MB, not shown)";
    return std::u16string(text.begin(), text.end());
}

// Texts beyond these tell no more of a font.
constexpr std::size_t kEvidenceTexts = 1000;

std::string typeName(fntType t) {
    return t == kNoLegacyHebrew ? "no legacy Hebrew" : utf16ToUtf8(fontTypeRow(t).mapName);
}

std::string probability(double p) {
    char text[16];
    std::snprintf(text, sizeof text, "%.3f", std::min(p, 0.999));
    return text;
}

enum class Section { None, Header, Tables, Blocks, Entities, Objects, Other };
// Table: a table entity. TableObject: an object that holds a table's cell
// texts or names the styles its cells are drawn in.
enum class Kind { None, Style, Text, Attrib, Attdef, Mtext, Unread, Table, TableObject };

// The texts that the first pass reads before the styles are decided.
bool readFirst(Kind k) { return k == Kind::Unread || k == Kind::Table; }

// Where a text's style comes from: its group is the style's name, a
// dimension style's name, or the style's handle.
enum class StyleFrom { Name, DimensionStyle, Handle };

// The entities that hold texts, as one table: the group of their text, the
// group their style comes from, and for the others than TEXT, ATTRIB, ATTDEF
// and MTEXT, whether their text is one value in MTEXT's form, migrated as
// MTEXT contents are where that is safe, and what the row of one in a
// migrated style says when it is not migrated.
struct TextKind {
    std::string_view entity;
    Kind kind;
    long textCode;
    long styleCode;
    StyleFrom styleFrom;
    bool contents;
    const char* unread;
};

constexpr TextKind kTextKinds[] = {
    {"TEXT", Kind::Text, 1, 7, StyleFrom::Name, false, nullptr},
    {"ATTRIB", Kind::Attrib, 1, 7, StyleFrom::Name, false, nullptr},
    {"ATTDEF", Kind::Attdef, 1, 7, StyleFrom::Name, false, nullptr},  // and its prompt, group 3
    {"MTEXT", Kind::Mtext, 1, 7, StyleFrom::Name, false, nullptr},    // after its chunks, groups 3
    {"DIMENSION", Kind::Unread, 1, 3, StyleFrom::DimensionStyle, true,
     "a dimension's own text, which this tool could not migrate safely: its style now draws True Type"},
    {"MULTILEADER", Kind::Unread, 304, 343, StyleFrom::Handle, true,
     "a multileader's text, which this tool could not migrate safely: its style now draws True Type"},
    {"ACAD_TABLE", Kind::Table, 1, 7, StyleFrom::Name, false,
     "a table's cell, which this tool could not migrate safely: its style now draws True Type"},
};

// A dimension's or multileader's own text stays one line of this length at
// most, as CAD programs write it.
constexpr std::size_t kLongestOwnText = 250;

// The measurement's places in a dimension's text, "<>" and the alternate
// units' "[]", in their order: a migration that moves or turns one would
// draw another text.
std::string placeholders(std::string_view text) {
    std::string found;
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        const std::string_view two = text.substr(i, 2);
        if (two == "<>" || two == "[]") found += two;
    }
    return found;
}

// While a text is read in reading order, each measurement's place stands as
// a number, which is what it draws: "<>" as nine 0s, "[]" as nine 1s. False
// where that could be mistaken: a place beside a digit, or a text that
// holds such a run already.
constexpr std::string_view kMeasurementToken = "000000000", kAlternateToken = "111111111";

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool maskPlaceholders(std::string_view text, std::string& masked) {
    if (text.find(kMeasurementToken) != std::string_view::npos || text.find(kAlternateToken) != std::string_view::npos)
        return false;
    masked.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::string_view two = text.substr(i, 2);
        if (two != "<>" && two != "[]") {
            masked += text[i];
            continue;
        }
        if ((i > 0 && isDigit(text[i - 1])) || (i + 2 < text.size() && isDigit(text[i + 2]))) return false;
        masked += two == "<>" ? kMeasurementToken : kAlternateToken;
        ++i;
    }
    return true;
}

// The places back where their numbers stand; false unless each comes back
// once, in the order they had.
bool unmaskPlaceholders(std::string& text, std::string_view expected) {
    std::string out, found;
    for (std::size_t i = 0; i < text.size();) {
        const std::string_view rest = std::string_view(text).substr(i);
        if (rest.substr(0, kMeasurementToken.size()) == kMeasurementToken) {
            out += "<>", found += "<>", i += kMeasurementToken.size();
        } else if (rest.substr(0, kAlternateToken.size()) == kAlternateToken) {
            out += "[]", found += "[]", i += kAlternateToken.size();
        } else {
            out += text[i++];
        }
    }
    if (found != expected) return false;
    text = std::move(out);
    return true;
}

// What a drawing holds when some entity of it is one whose text this tool
// may not migrate: the entities' names.
bool mayHoldUnreadTexts(std::string_view bytes) {
    static const std::vector<std::string_view> needles = [] {
        std::vector<std::string_view> names;
        for (const TextKind& k : kTextKinds)
            if (readFirst(k.kind)) names.push_back(k.entity);
        return names;
    }();
    return std::any_of(needles.begin(), needles.end(),
                       [&](std::string_view needle) { return bytes.find(needle) != std::string_view::npos; });
}

const TextKind* textKind(std::string_view name) {
    for (const TextKind& k : kTextKinds)
        if (k.entity == name) return &k;
    return nullptr;
}

bool holdsHebrewLetter(std::u16string_view text) {
    return std::any_of(text.begin(), text.end(), [](char16_t c) { return c >= 0x05D0 && c <= 0x05EA; });
}

class Migration {
public:
    Migration(std::FILE* in, std::FILE* out, const Options& options, const DisplayOrderer& surface,
              const RowSink& rows, const DrawingFacts& facts, FontsSeen* fonts, bool skimming = false)
        : reader_(in, options.maxLineBytes), writer_(out), options_(options), surface_(surface), rows_(rows),
          fonts_(fonts), skimming_(skimming), facts_(facts) {}

    const DrawingFacts& facts() const { return facts_; }
    // A skimming first pass found what may be texts this tool does not
    // migrate: it is to be read again, whole.
    bool needsEntities() const { return needsEntities_; }

    Counts run() {
        checkNotBinary();
        PairReader::Pair pair;
        for (;;) {
            const PairReader::Result r = reader_.next(pair);
            if (r == PairReader::End) break;
            if (r == PairReader::Odd)
                throw BadDrawing(reader_.lines(),
                                 "the file ends with a group code without its value (an odd number of lines)");
            long long code;
            std::string_view codeText = pair.codeLine;
            if (pair.line == 1 && codeText.substr(0, 3) == "\xEF\xBB\xBF") codeText.remove_prefix(3);  // a byte order mark
            if (!parseGroupCode(codeText, code)) {
                if (codeText.find('\0') != std::string_view::npos)
                    throw BadDrawing(pair.line, "the line holds NUL bytes: the file is damaged or is no text");
                throw BadDrawing(pair.line, "the group code " + quoted(trimmed(pair.codeLine)) + " is not a number");
            }
            // The same range on every platform, whatever the width of long.
            if (code < kFirstGroupCode || code > kLastGroupCode)
                throw BadDrawing(pair.line, "the group code " + std::to_string(code) + " is outside the DXF range (" +
                                                std::to_string(kFirstGroupCode) + " to " +
                                                std::to_string(kLastGroupCode) + ")");
            if (onPair(static_cast<long>(code), pair)) break;
            if (readingDone_) return counts_;
        }
        if (reader_.failed()) throw BadDrawing(0, "the file could not be read");
        if (fonts_) resolveTables();
        // Some programs end a drawing with its last ENDSEC; one that ends
        // inside a section is cut short.
        if (!sawEof_ && (section_ != Section::None || kind_ != Kind::None || reader_.lines() == 0))
            throw BadDrawing(reader_.lines(), "the file ends without its EOF marker (it is truncated)");
        writer_.flush();
        return counts_;
    }

private:
    // Files that are no ASCII DXF, named for what they are.
    void checkNotBinary() {
        const std::string_view start = reader_.peek(kSniffBytes);
        if (start.substr(0, 18) == "AutoCAD Binary DXF")
            throw BadDrawing(1, "this is a binary DXF drawing; save it as ASCII DXF");
        const bool utf16Mark = start.substr(0, 2) == "\xFF\xFE" || start.substr(0, 2) == "\xFE\xFF";
        std::size_t nulAtOdd = 0, nulAtEven = 0;
        for (std::size_t i = 0; i + 1 < start.size(); i += 2) {
            nulAtEven += start[i] == '\0';
            nulAtOdd += start[i + 1] == '\0';
        }
        const std::size_t pairs = start.size() / 2;
        if (utf16Mark || (pairs >= 8 && (nulAtOdd > pairs * 3 / 4 || nulAtEven > pairs * 3 / 4)) )
            throw BadDrawing(0, "the file is UTF-16 text; DXF drawings are 8-bit text: save it again as ASCII DXF");
        if (start.size() >= 8 && start.find('\n') == std::string_view::npos &&
            start.find('\r') != std::string_view::npos)
            throw BadDrawing(0, "the file's lines end with CR alone (an old Macintosh form); a DXF drawing's lines "
                                "end with LF or CR LF");
    }

    // True once the EOF marker and what follows it are written.
    bool onPair(long code, const PairReader::Pair& pair) {
        if (code == 0) {
            const std::string_view value = trimmed(pair.valueLine);
            finishRecord();
            if (startsRecord(value, pair.line)) {
                record_.add(code, pair.codeLine, pair.valueLine);
                return false;
            }
            put(pair);
            return onStructure(value);
        }
        if (kind_ != Kind::None) {
            record_.add(code, pair.codeLine, pair.valueLine);
            return false;
        }
        put(pair);
        onValue(code, pair.valueLine);
        return false;
    }

    // The two lines of a pair stand together in the reader's buffer.
    void put(const PairReader::Pair& pair) {
        writer_.put(std::string_view(pair.codeLine.data(), pair.codeLine.size() + pair.valueLine.size()));
    }

    bool startsRecord(std::string_view name, unsigned long long line) {
        textKind_ = nullptr;
        Kind k = Kind::None;
        if (name == "STYLE" && section_ == Section::Tables && inStyleTable_) {
            k = Kind::Style;
        } else if (section_ == Section::Entities || section_ == Section::Blocks) {
            textKind_ = textKind(name);
            if (textKind_) k = textKind_->kind;
            // With no font to read from its texts, the first pass looks only
            // at the texts this tool may not migrate, and at the MTEXTs of a
            // table's block, which tell the styles its cells are drawn in.
            if (fonts_ && !fontToGuess_ && !readFirst(k) && !(k == Kind::Mtext && inTableBlock())) k = Kind::None;
        } else if (section_ == Section::Objects && isTableObject(name)) {
            k = Kind::TableObject;
            tableObjectType_ = std::string(name);
        }
        if (k == Kind::None) return false;
        kind_ = k;
        record_.start(line);
        return true;
    }

    // A table's block is anonymous, named *T and a number.
    bool inTableBlock() const {
        return section_ == Section::Blocks && block_.size() > 1 && block_[0] == '*' && (block_[1] | 0x20) == 't';
    }

    // The first pass reads the objects of the drawing's tables once it has
    // met one; the second rewrites the cell texts that migrated tables keep
    // in their TABLECONTENT objects.
    bool isTableObject(std::string_view name) const {
        if (fonts_) return !tables_.empty() && (name == "TABLESTYLE" || name == "CELLSTYLEMAP" || name == "TABLECONTENT");
        return name == "TABLECONTENT" && !facts_.tableContents.empty();
    }

    bool onStructure(std::string_view name) {
        inBlockRecord_ = false;
        if (section_ == Section::Objects) object_ = {};
        if (name == "SECTION") {
            expectSectionName_ = true;
        } else if (name == "ENDSEC") {
            if (section_ == Section::Header) fixRules();
            // The first pass needs no more than the tables when no style of
            // them may be migrated: no font is to be read from its texts,
            // and the map makes none a legacy type.
            if (fonts_ && section_ == Section::Tables && !fontToGuess_ && !mayMigrate_) readingDone_ = true;
            // Where some may be, only the texts this tool does not migrate
            // matter: a skim of the rest tells whether there are any.
            if (fonts_ && section_ == Section::Tables && !fontToGuess_ && mayMigrate_ && skimming_) {
                needsEntities_ = skimFindsUnreadTexts();
                readingDone_ = true;
            }
            section_ = Section::None;
        } else if (name == "TABLE") {
            expectTableName_ = true;
        } else if (name == "ENDTAB") {
            inStyleTable_ = inLineTypeTable_ = inDimensionStyleTable_ = false;
        } else if (name == "BLOCK" && section_ == Section::Blocks) {
            inBlockRecord_ = true;
            block_.clear();
        } else if (name == "EOF") {
            sawEof_ = true;
            reader_.copyRest([&](std::string_view rest) { writer_.put(rest); });
            return true;
        }
        return false;
    }

    // Most pairs are none of these: their values are trimmed only when read.
    void onValue(long code, std::string_view valueLine) {
        const std::string_view value = code == 2 || code == 9 || code == 1 || code == 3 || code == 340
                                           ? trimmed(valueLine)
                                           : std::string_view();
        if (expectSectionName_ && code == 2) {
            expectSectionName_ = false;
            section_ = value == "HEADER"     ? Section::Header
                       : value == "TABLES"   ? Section::Tables
                       : value == "BLOCKS"   ? Section::Blocks
                       : value == "ENTITIES" ? Section::Entities
                       : value == "OBJECTS"  ? Section::Objects
                                             : Section::Other;
        } else if (expectTableName_ && code == 2) {
            expectTableName_ = false;
            inStyleTable_ = value == "STYLE";
            inLineTypeTable_ = value == "LTYPE";
            inDimensionStyleTable_ = value == "DIMSTYLE";
        } else if (inLineTypeTable_ && code == 340) {
            facts_.lineTypeStyles.insert(upperAscii(value));
        } else if (inDimensionStyleTable_ && code == 2) {
            dimensionStyle_ = upperAscii(value);
        } else if (inDimensionStyleTable_ && code == 340) {
            facts_.dimensionStyleTexts[dimensionStyle_] = upperAscii(value);
        } else if (section_ == Section::Header) {
            if (code == 9)
                headerVariable_ = std::string(value);
            else if (headerVariable_ == "$ACADVER" && code == 1)
                acadver_ = std::string(value);
            else if (headerVariable_ == "$DWGCODEPAGE" && code == 3)
                codePageName_ = std::string(value);
        } else if (inBlockRecord_ && code == 2 && block_.empty()) {
            block_ = std::string(value);
        } else if (section_ == Section::Objects && fonts_ && !tables_.empty()) {
            noteOwner(code, trimmed(valueLine));
        }
    }

    // The first pass: the owner of each object (its 330 outside the groups
    // of 102), by which a table's objects are found from the table.
    void noteOwner(long code, std::string_view value) {
        if (code == 5 && object_.handle.empty()) object_.handle = upperAscii(value);
        if (code == 102) object_.inGroup = !value.empty() && value.front() == '{';
        if (code == 330 && !object_.inGroup && !object_.owned && !object_.handle.empty()) {
            owners_[object_.handle] = upperAscii(value);
            object_.owned = true;
        }
    }

    void fixRules() {
        rules_.utf8 = isUtf8Version(acadver_);
        codePageKnown_ = codePageName_.empty() || codePageNamed(codePageName_, rules_.codePage);
    }

    // ---- Records ----

    void finishRecord() {
        if (kind_ == Kind::None) return;
        const Kind k = kind_;
        kind_ = Kind::None;
        if (k == Kind::Style)
            finishStyle();
        else if (k == Kind::TableObject)
            finishTableObject();
        else
            finishText(k);
    }

    void writeRecordLine(std::size_t i) { writer_.put(record_.lines(i, i + 1)); }

    // The record, or its lines before `end`, with some values replaced (by
    // line, in any order, all before end); the lines between them in one
    // piece each.
    void writeRecord(std::vector<std::pair<std::size_t, std::string>> changes, std::size_t end = SIZE_MAX) {
        end = std::min(end, record_.size());
        std::sort(changes.begin(), changes.end());
        std::size_t from = 0;
        for (const auto& [line, value] : changes) {
            writer_.put(record_.lines(from, line));
            writeRecordLine(line, value);
            from = line + 1;
        }
        writer_.put(record_.lines(from, end));
    }

    void writeRecordLine(std::size_t i, std::string_view newValue) {
        writer_.put(record_.codeLine(i));
        writer_.put(newValue);
        writer_.put(endingOf(record_.valueLine(i)));
    }

    std::u16string decodedName(std::string_view raw) const {
        std::string bytes;
        std::u16string text;
        return decodeValue(raw, rules_, bytes, text) ? text : bytesAsLatin1(raw);
    }

    void finishStyle() {
        const std::size_t none = record_.size();
        std::size_t name = none, font = none, bigFont = none, generation = none, handle = none;
        long flags = 0, generationFlag = 0;
        for (std::size_t i = 0; i < record_.size() && !endsOwnCodes(record_.code(i)); ++i) {
            switch (record_.code(i)) {
                case 2: name = i; break;
                case 3: font = i; break;
                case 4: bigFont = i; break;
                case 5: handle = i; break;
                case 70: parseInt(record_.value(i), flags); break;
                case 71: generation = i; parseInt(record_.value(i), generationFlag); break;
                default: break;
            }
        }
        // A shape file's entry is no text style.
        const bool textStyle = name != none && (flags & 1) == 0;
        const std::u16string fontFile = font == none ? std::u16string() : decodedName(record_.value(font));
        StyleInfo info;
        info.fontFile = utf16ToUtf8(fontFile);
        info.state = styleFor(fontFile, generationFlag, options_.map);
        if (fonts_) {
            if (textStyle) info.evidence = noteFont(fontFile);
            fontToGuess_ = fontToGuess_ || info.evidence;
            mayMigrate_ = mayMigrate_ || (textStyle && decideFont(fontFile, options_).migrated());
            if (textStyle) {
                if (handle != none) styleNamesByHandle_[upperAscii(record_.value(handle))] = upperAscii(record_.value(name));
                styles_[upperAscii(record_.value(name))] = std::move(info);
            }
            return;
        }
        const FontDecision decision = decideFont(fontFile, options_);
        info.state.type = decision.type;
        info.migrated = textStyle && decision.migrated();
        if (decision.unsure) info.leftWhy = decision.how;
        const bool drawnByLineTypes =
            handle != none && facts_.lineTypeStyles.count(upperAscii(record_.value(handle))) != 0;
        if (info.migrated && (flags & 4) != 0) info.leftWhy = "a vertical style, which no True Type font draws";
        else if (info.migrated && drawnByLineTypes) info.leftWhy = "a style that line types draw their shapes with";
        else if (info.migrated && name != none && unreadReadsHebrew(upperAscii(record_.value(name)), decision.type))
            info.leftWhy = "a style of a table's text, or of a dimension's or multileader's text that this tool "
                           "cannot migrate safely, that holds Hebrew";
        if (info.migrated && !info.leftWhy.empty()) info.migrated = false;
        std::vector<std::pair<std::size_t, std::string>> changes;
        if (info.migrated) {
            if (font != none) {
                std::string encoded;
                appendEncoded(encoded, options_.fontFile, rules_, false);
                changes.emplace_back(font, std::move(encoded));
            }
            if (bigFont != none) changes.emplace_back(bigFont, "");
            if (generation != none && (generationFlag & 2) != 0)
                changes.emplace_back(generation, sameWidthNumber(record_.valueLine(generation), generationFlag & ~2L));
        }
        writeRecord(std::move(changes));
        if (textStyle) {
            if (handle != none) styleNamesByHandle_[upperAscii(record_.value(handle))] = upperAscii(record_.value(name));
            styles_[upperAscii(record_.value(name))] = std::move(info);
        }
    }

    // The first pass: the font of a style, and where its texts' evidence
    // goes when it is one to guess.
    FontSeen* noteFont(const std::u16string& fontFile) {
        const std::u16string key = fontMapKey(fontFile);
        FontSeen& seen = (*fonts_)[key];
        if (seen.fontFile.empty()) seen.fontFile = fontFile;
        const bool toGuess = !key.empty() && !mappedFontType(fontFile, options_.map) && !isStandardLatinFont(fontFile);
        return toGuess ? &seen : nullptr;
    }

    void addEvidence(const StyleInfo& style, std::string_view fontBytes, std::u16string_view shown) {
        if (style.evidence && style.evidence->evidence.texts() < kEvidenceTexts)
            style.evidence->evidence.add(fontBytes, shown, style.state, surface_);
    }

    // A text of a style left as it is that may hold legacy Hebrew: to review
    // where its legacy reading differs from what it shows.
    void reviewIfLegacy(TextRow& row, std::string_view fontBytes, const StyleInfo& style) {
        if (style.leftWhy.empty() || style.state.type == TrueType) return;
        const std::u16string reading = readAs(fontBytes, style.state.type, style.state, surface_);
        if (!holdsHebrewLetter(reading)) return;
        row.status = Status::Review;
        row.note = style.leftWhy + "; read as " + typeName(style.state.type) + ": " + utf16ToUtf8(reading);
    }

    struct TextFields {
        std::size_t value, prompt, generation, style, handle;
        std::vector<std::size_t> chunks;  // MTEXT: the 3 lines, then the 1 line
        long generationFlag = 0;
        bool paperSpace = false;
        std::size_t embedded = 0;  // where an attribute's embedded MTEXT starts; 0: none
    };

    TextFields readTextFields(Kind k) const {
        const std::size_t none = record_.size();
        TextFields f{none, none, none, none, none, {}};
        std::size_t last = none;
        for (std::size_t i = 0; i < record_.size() && !endsOwnCodes(record_.code(i)); ++i) {
            switch (record_.code(i)) {
                case 1: (k == Kind::Mtext ? last : f.value) = i; break;
                case 3:
                    if (k == Kind::Mtext) f.chunks.push_back(i);
                    else if (k == Kind::Attdef) f.prompt = i;
                    break;
                case 5: f.handle = i; break;
                case 7: f.style = i; break;
                case 67: {
                    long v = 0;
                    f.paperSpace = parseInt(record_.value(i), v) && v == 1;
                    break;
                }
                case 71:
                    if (k != Kind::Mtext) {
                        f.generation = i;
                        parseInt(record_.value(i), f.generationFlag);
                    }
                    break;
                default: break;
            }
        }
        if (k == Kind::Mtext && last != none) f.chunks.push_back(last);
        // An attribute's multiline form follows its own groups.
        for (std::size_t i = 0; k != Kind::Mtext && i < record_.size() && record_.code(i) < 1000; ++i)
            if (record_.code(i) == 101) {
                f.embedded = i;
                break;
            }
        return f;
    }

    // A style missing from the table is STANDARD, as CAD programs draw it.
    const StyleInfo& styleOf(const TextFields& f, std::string& note) const {
        const std::string name = f.style == record_.size() ? std::string("STANDARD") : std::string(record_.value(f.style));
        if (auto it = styles_.find(upperAscii(name)); it != styles_.end()) return it->second;
        if (auto standard = styles_.find("STANDARD"); standard != styles_.end()) {
            note = "its style " + name + " is not in the style table: read as STANDARD, as CAD programs draw it";
            return standard->second;
        }
        note = "its style " + name + " is not in the style table, nor is STANDARD: left as it is";
        return kNoStyle;
    }

    // Without a report a row only counts: its names are not made.
    TextRow rowFor(const TextFields& f, const StyleInfo& style) const {
        TextRow row;
        if (!rows_) return row;
        row.handle = f.handle == record_.size() ? std::string() : std::string(record_.value(f.handle));
        row.entityType = std::string(textKind_->entity);
        row.block = section_ == Section::Blocks ? block_ : f.paperSpace ? "*Paper_Space" : "*Model_Space";
        row.style = f.style == record_.size() ? "STANDARD" : std::string(record_.value(f.style));
        row.fontFile = style.fontFile;
        row.fontType = utf16ToUtf8(fontTypeRow(style.state.type).mapName);
        row.backwards = style.state.backwards;
        return row;
    }

    void emit(TextRow& row) {
        counts_.add(row.status);
        if (rows_) rows_(row);
    }

    // Whether a value's font bytes depend on the drawing's code page: its
    // escapes before R2007, any byte past ASCII from R2007.
    bool needsCodePage(std::string_view value) const {
        if (rules_.utf8) return std::any_of(value.begin(), value.end(), [](char c) { return (c & 0x80) != 0; });
        return value.find("\\U+") != std::string_view::npos || value.find("\\u+") != std::string_view::npos;
    }

    // A text to migrate that the drawing's code page does not let be read.
    bool unreadable(std::string_view value, TextRow& row) const {
        if (codePageKnown_ || !needsCodePage(value)) return false;
        row.status = Status::Review;
        row.note = "the drawing's code page " + codePageName_ + " is not one this tool reads: left as it is";
        return true;
    }

    // The new value of a TEXT or attribute string, or nothing when it stays.
    std::optional<std::string> migrateValue(std::size_t i, const StyleInfo& style, bool attribute, TextRow& row) {
        std::string fontBytes;
        const bool valid = decodeValue(record_.value(i), rules_, fontBytes, row.oldText);
        if (!valid && style.migrated) throw BadDrawing(record_.lineOf(i) + 1, "the text is not valid UTF-8");
        if (!valid) row.oldText = bytesAsLatin1(record_.value(i));
        if (record_.value(i).size() > kLongestConvertedText) row.oldText = notShown(record_.value(i).size());
        row.newText = row.oldText;
        if (!style.migrated) {
            if (valid) reviewIfLegacy(row, fontBytes, style);
            return std::nullopt;
        }
        if (unreadable(record_.value(i), row) || staysAsStored(fontBytes, style.state)) return std::nullopt;
        if (fontBytes.size() > kLongestConvertedText) {
            row.status = Status::Review;
            row.note = "a text of " + std::to_string(fontBytes.size() >> 20) + " MB, longer than this tool converts (" +
                       std::to_string(kLongestConvertedText >> 20) + " MB): left as it is";
            return std::nullopt;
        }
        const NewText migrated = migrateText(fontBytes, {style.state, options_.target, attribute}, surface_);
        row.status = worse(row.status, migrated.status);
        if (migrated.text == row.oldText && row.status != Status::Review) {
            row.status = Status::Same;
            return std::nullopt;
        }
        row.newText = migrated.text;
        std::string encoded;
        appendEncoded(encoded, migrated.text, rules_, false);
        return encoded;
    }

    void markReview(TextRow& row, const std::string& note) {
        if (note.empty()) return;
        row.status = Status::Review;
        row.note = row.note.empty() ? note : note + "; " + row.note;
    }

    void finishText(Kind k) {
        if (k == Kind::Unread) return finishUnread();
        if (k == Kind::Table) return finishTable();
        const TextFields f = readTextFields(k);
        std::string styleNote;
        const StyleInfo& style = styleOf(f, styleNote);
        if (fonts_ && k == Kind::Mtext && inTableBlock())
            tableBlockStyles_[upperAscii(block_)].insert(
                f.style == record_.size() ? std::string("STANDARD") : upperAscii(record_.value(f.style)));
        if (fonts_) return collectText(k, f, style);
        if (k == Kind::Mtext) return finishMtext(f, style, styleNote);

        const bool attribute = k != Kind::Text;
        const std::size_t none = record_.size();
        TextRow row = rowFor(f, style);
        std::optional<std::string> newValue, newPrompt;
        if (f.value != none) newValue = migrateValue(f.value, style, attribute, row);
        TextRow promptRow = row;
        if (f.prompt != none) {
            promptRow = rowFor(f, style);
            promptRow.entityType = "ATTDEF prompt";
            newPrompt = migrateValue(f.prompt, style, true, promptRow);
        }
        markReview(row, styleNote);
        // A text whose own backwards flag differs from its style's was drawn
        // otherwise than the system's editor shows it.
        const bool ownBackwards = (f.generationFlag & 2) != 0;
        if (style.migrated && ownBackwards != style.state.backwards && row.status != Status::Same)
            markReview(row, "its own generation flag mirrors it otherwise than its style");
        const bool leftForAReason = !style.leftWhy.empty() && style.state.type != TrueType;
        if (f.embedded && leftForAReason && embeddedHoldsHebrew(f, style))
            markReview(row, "its multiline form (an embedded MTEXT) holds Hebrew");
        // The flag changes only with the text, where a backwards style's
        // reversed storage is undone.
        const bool undoesBackwards = newValue && style.state.backwards && ownBackwards;
        std::vector<std::pair<std::size_t, std::string>> changes;
        if (newValue) changes.emplace_back(f.value, std::move(*newValue));
        if (newPrompt) changes.emplace_back(f.prompt, std::move(*newPrompt));
        if (undoesBackwards && f.generation != none)
            changes.emplace_back(f.generation, sameWidthNumber(record_.valueLine(f.generation), f.generationFlag & ~2L));
        TextFields multiline = f;
        if (f.embedded && style.migrated) multiline.chunks = embeddedChunks(f);
        const std::optional<std::string> contents = multilineToMigrate(multiline, style, row);
        if (contents) {
            writeWithMultiline(std::move(changes), multiline, *contents, style);
        } else {
            writeRecord(std::move(changes));
        }
        emit(row);
        if (f.prompt != none) emit(promptRow);
    }

    // An attribute's multiline form: its 3 lines, then its 1 line, as MTEXT's.
    std::vector<std::size_t> embeddedChunks(const TextFields& f) const {
        std::vector<std::size_t> chunks;
        std::size_t last = record_.size();
        for (std::size_t i = f.embedded; i < record_.size() && record_.code(i) < 1000; ++i) {
            if (record_.code(i) == 3) chunks.push_back(i);
            if (record_.code(i) == 1) last = i;
        }
        if (last != record_.size()) chunks.push_back(last);
        return chunks;
    }

    // An attribute's multiline form is migrated as MTEXT contents are: its
    // contents when they change (the row takes the status), none otherwise.
    std::optional<std::string> multilineToMigrate(const TextFields& m, const StyleInfo& style, TextRow& row) {
        if (m.chunks.empty()) return std::nullopt;
        std::string contents = chunkContents(m.chunks);
        if (unreadable(contents, row)) return std::nullopt;
        MtextPieces result;
        if (!migrateMtextPieces(contents, {style.state, options_.target, false}, rules_, surface_, result, {}))
            throw BadDrawing(record_.lineOf(m.chunks.front()) + 1, "the multiline attribute is not valid UTF-8");
        row.status = worse(row.status, result.status);
        if (result.tooLong)
            markReview(row, "a paragraph of its multiline form longer than this tool converts (" +
                                std::to_string(kLongestConvertedText >> 20) + " MB) is left as it is");
        if (!result.changed) return std::nullopt;
        return contents;
    }

    // The record with its single-line changes, which stand before its
    // multiline form, and the new chunks of that form where the old stood.
    void writeWithMultiline(std::vector<std::pair<std::size_t, std::string>> changes, const TextFields& m,
                            const std::string& contents, const StyleInfo& style) {
        const std::size_t firstChunk = *std::min_element(m.chunks.begin(), m.chunks.end());
        writeRecord(std::move(changes), firstChunk);
        writeChunked(firstChunk, m, contents, {style.state, options_.target, false}, [](std::string_view) {});
    }

    // MTEXT contents, whole, from the lines of their chunks.
    std::string chunkContents(const std::vector<std::size_t>& chunks) const {
        std::string contents;
        for (std::size_t i : chunks) contents.append(record_.value(i));
        return contents;
    }

    // Whether multiline contents (MTEXT's form: formatting codes and
    // paragraphs) read as Hebrew in a legacy type, the codes aside.
    bool readsHebrew(std::string_view contents, fntType type, const StyleState& style) const {
        StyleState as = style;
        as.type = type;
        bool hebrew = false;
        mtextParagraphs(contents, rules_, [&](std::string_view plain) {
            hebrew = hebrew || holdsHebrewLetter(readAs(plain, type, as, surface_));
        });
        return hebrew;
    }

    bool embeddedHoldsHebrew(const TextFields& f, const StyleInfo& style) {
        return readsHebrew(chunkContents(embeddedChunks(f)), style.state.type, style.state);
    }

    // The first pass: in which legacy types a text that this tool does not
    // migrate reads as Hebrew, for its style. The type is decided only
    // between the passes, so every one is tried. ownText: a dimension's or
    // multileader's own text, which counts only where it cannot be migrated.
    void noteUnreadText(const std::string& styleName, const StyleInfo& style, std::string_view contents,
                        bool ownText = false) {
        static constexpr fntType kLegacyTypes[] = {DosHebrew, DosEnglish, DosEnglishR, WindowsHeb};
        unsigned& types = facts_.unreadHebrew[styleName];
        for (fntType type : kLegacyTypes) {
            if ((types & (1u << type)) != 0 || !readsHebrew(contents, type, style.state)) continue;
            StyleState as = style.state;
            as.type = type;
            if (!ownText || !migrateOwnText(contents, as)) types |= 1u << type;
        }
    }

    bool unreadReadsHebrew(const std::string& styleName, fntType type) const {
        auto it = facts_.unreadHebrew.find(styleName);
        return it != facts_.unreadHebrew.end() && (it->second & (1u << type)) != 0;
    }

    // The style of an entity this tool does not migrate, by the table's rule,
    // and its name.
    const StyleInfo* unreadStyle(std::size_t styleLine, std::string& foundName) const {
        std::string name = styleLine == record_.size() ? std::string("STANDARD") : upperAscii(record_.value(styleLine));
        if (textKind_->styleFrom == StyleFrom::DimensionStyle) {
            auto text = facts_.dimensionStyleTexts.find(name);
            auto style = text == facts_.dimensionStyleTexts.end() ? styleNamesByHandle_.end()
                                                                  : styleNamesByHandle_.find(text->second);
            name = style == styleNamesByHandle_.end() ? std::string("STANDARD") : style->second;
        } else if (textKind_->styleFrom == StyleFrom::Handle) {
            auto style = styleNamesByHandle_.find(name);
            name = style == styleNamesByHandle_.end() ? std::string("STANDARD") : style->second;
        }
        foundName = name;
        auto it = styles_.find(name);
        return it == styles_.end() ? nullptr : &it->second;
    }

    // A dimension's or multileader's own text as MTEXT contents, migrated in
    // one line: nothing where it cannot be safely (a paragraph too long, a
    // new line too long, a measurement's place that would not come back).
    struct OwnText {
        std::string value;
        MtextPieces result;
    };
    std::optional<OwnText> migrateOwnText(std::string_view stored, const StyleState& style) const {
        OwnText own;
        std::string masked;
        if (!maskPlaceholders(stored, masked) ||
            !migrateMtextPieces(masked, {style, options_.target, false}, rules_, surface_, own.result,
                                [&](std::string_view piece) { own.value += piece; }) ||
            !unmaskPlaceholders(own.value, placeholders(stored)))
            return std::nullopt;
        if (own.result.tooLong || own.value.size() > kLongestOwnText) return std::nullopt;
        if (!own.result.changed) own.value = std::string(stored);
        return own;
    }

    // A dimension, a multileader or a table. A dimension's or multileader's
    // own text in a migrated style is migrated as MTEXT contents are, where
    // that is safe. The first pass notes the legacy types in which a text
    // that cannot be migrated reads as Hebrew, so that its style stays as
    // it is; the second reviews such a text where its style was left for a
    // reason, or was migrated all the same (the first pass's facts missing),
    // so that its new font would draw it as other characters.
    // tableStyle: a table's style as the first pass found it.
    void finishUnread(const std::string* tableStyle = nullptr) {
        TextFields f = readTextFields(Kind::Unread);
        f.style = record_.size();
        std::vector<std::size_t> texts;
        for (std::size_t i = 0; i < record_.size() && record_.code(i) < 1000; ++i) {
            if (record_.code(i) == textKind_->textCode) texts.push_back(i);
            if (record_.code(i) == textKind_->styleCode && f.style == record_.size()) f.style = i;
        }
        std::string styleName;
        const StyleInfo* style = unreadStyle(f.style, styleName);
        if (tableStyle) {
            auto it = styles_.find(*tableStyle);
            style = it == styles_.end() ? nullptr : &it->second;
            styleName = *tableStyle;
        }
        std::string contents;  // as stored, the texts apart as paragraphs
        for (std::size_t i : texts) contents.append(contents.empty() ? "" : "\\P").append(record_.value(i));
        const bool ownText = textKind_->contents && texts.size() == 1;
        if (fonts_) {
            if (style) noteUnreadText(styleName, *style, contents, ownText);
            return;
        }
        if (!style) return writer_.put(record_.lines(0, record_.size()));
        TextRow row = rowFor(f, *style);
        if (tableStyle && rows_) row.style = styleName;
        std::optional<OwnText> migrated;
        const bool readable = !style->migrated || !ownText || !unreadable(contents, row);
        if (style->migrated && ownText && readable) migrated = migrateOwnText(contents, style->state);
        if (migrated && migrated->result.changed) {
            writeRecord({{texts.front(), migrated->value}});
        } else {
            writer_.put(record_.lines(0, record_.size()));
        }
        if (!readable) {  // the drawing's code page is not one this tool reads
            row.oldText = row.newText = shownText(contents);
            return emit(row);
        }
        const bool left = !style->migrated && !style->leftWhy.empty() && style->state.type != TrueType;
        if (migrated) {
            row.oldText = shownText(contents);
            row.newText = migrated->result.changed ? shownText(migrated->value) : row.oldText;
            row.status = migrated->result.changed ? worse(Status::Converted, migrated->result.status)
                                                  : migrated->result.status;
            return emit(row);
        }
        if (!(style->migrated || left) || !readsHebrew(contents, style->state.type, style->state)) return;
        row.oldText = row.newText = shownText(contents);
        row.note = style->migrated ? textKind_->unread : style->leftWhy;
        row.status = Status::Review;
        emit(row);
    }

    // ---- Tables ----
    // A table keeps its cells' texts three times: in the entity, in the
    // MTEXTs of its block (migrated as every MTEXT is) and, from R2008, in
    // a TABLECONTENT object that its extension dictionary owns. Its cells
    // are drawn in its table style's text styles (by row type and cell
    // style) unless the table or a cell names another. Where all of these
    // name one style, the first pass tells the second, and the cells are
    // migrated in that style, in the entity and in the TABLECONTENT alike.

    // What a table's record, or one of its objects', holds.
    struct TableParts {
        std::string handle, owner, tableStyle, block;  // upper case
        std::vector<std::size_t> texts;                // the lines of its cells' strings
        std::vector<bool> repeats;                     // a formatted string after the same value
        std::set<std::string> styles;                  // the styles it names
        bool unsafe = false;  // a cell's text this tool does not read: in chunks, a field's, an attribute's
    };

    TableParts tableParts(bool entity) const {
        TableParts p;
        const std::size_t end = record_.size();
        // An object's record, or a table's without subclass markers, is read
        // whole as the table's; otherwise from its AcDbTable marker.
        bool inTable = true, inValue = false, inGroup = false;
        for (std::size_t i = 1; entity && inTable && i < end && record_.code(i) < 1000; ++i)
            inTable = record_.code(i) != 100;
        for (std::size_t i = 1; i < end && record_.code(i) < 1000; ++i) {
            const long code = record_.code(i);
            const std::string_view value = record_.value(i), word = trimmed(value);
            if (code == 5 && p.handle.empty()) {
                p.handle = upperAscii(word);
            } else if (code == 102) {
                inGroup = !word.empty() && word.front() == '{';
            } else if (code == 330) {
                if (!inGroup && p.owner.empty()) p.owner = upperAscii(word);
            } else if (entity && code == 100) {
                inTable = inTable || word == "AcDbTable";
            } else if (entity && !inTable) {
                if (code == 2) p.block = upperAscii(word);
            } else if (entity && code == 342) {
                p.tableStyle = upperAscii(word);
            } else if ((entity && code == 301 && word == "CELL_VALUE") || (!entity && code == 300 && word == "VALUE")) {
                inValue = true;
            } else if (code == 304 && word == "ACVALUE_END") {
                inValue = false;
            } else if ((code == 1 && (entity || inValue)) || (code == 302 && inValue)) {
                p.repeats.push_back(code == 302 && !p.texts.empty() && record_.code(p.texts.back()) == 1 &&
                                    record_.value(p.texts.back()) == value);
                p.texts.push_back(i);
            } else if ((code == 2 || code == 3 || code == 303) && (entity || inValue)) {
                p.unsafe = true;
            } else if (entity && ((code == 344 && word != "0") || code == 331)) {
                p.unsafe = true;
            } else if (code == 7) {
                p.styles.insert(upperAscii(word));
            } else if (code == 340) {
                if (auto it = styleNamesByHandle_.find(upperAscii(word)); it != styleNamesByHandle_.end())
                    p.styles.insert(it->second);
            }
        }
        return p;
    }

    // What the first pass keeps of a table, or of an object of one, until
    // the drawing's end, where the table style and its objects are known.
    struct TableSeen {
        std::string handle, type, tableStyle, block;
        std::set<std::string> styles;
        std::vector<std::string> texts;
        bool unsafe = false;
    };

    TableSeen tableSeen(TableParts parts, std::string type) const {
        TableSeen seen{std::move(parts.handle), std::move(type), std::move(parts.tableStyle), std::move(parts.block),
                       std::move(parts.styles), {}, parts.unsafe};
        for (std::size_t i : parts.texts) seen.texts.emplace_back(record_.value(i));
        return seen;
    }

    void finishTable() {
        const TableParts parts = tableParts(true);
        if (fonts_) {
            tables_.push_back(tableSeen(parts, "ACAD_TABLE"));
            return;
        }
        auto resolved = facts_.tableStyles.find(parts.handle);
        const bool known = resolved != facts_.tableStyles.end() && !parts.handle.empty();
        if (known && migrateTable(parts, resolved->second)) return;
        finishUnread(known ? &resolved->second : nullptr);
    }

    // The cells' new texts, each in one line, where every one can be
    // migrated safely; false, with nothing written, otherwise. (A text
    // that the drawing's code page does not let be read keeps its table
    // out of the first pass's facts.)
    bool migrateTable(const TableParts& parts, const std::string& styleName) {
        auto it = styles_.find(styleName);
        if (it == styles_.end() || !it->second.migrated || parts.unsafe) return false;
        const StyleInfo& style = it->second;
        std::vector<OwnText> cells;
        for (std::size_t i : parts.texts) {
            std::optional<OwnText> cell = migrateOwnText(record_.value(i), style.state);
            if (!cell) return false;
            cells.push_back(std::move(*cell));
        }
        std::vector<std::pair<std::size_t, std::string>> changes;
        for (std::size_t c = 0; c < cells.size(); ++c)
            if (cells[c].result.changed) changes.emplace_back(parts.texts[c], cells[c].value);
        writeRecord(std::move(changes));
        migratedTables_.insert(parts.handle);
        TextFields f = readTextFields(Kind::Unread);
        f.style = record_.size();
        for (std::size_t c = 0; c < cells.size(); ++c) {
            if (parts.repeats[c] || record_.value(parts.texts[c]).empty()) continue;  // the same cell, or an empty one
            TextRow row = rowFor(f, style);
            if (rows_) row.style = styleName;
            row.oldText = shownText(record_.value(parts.texts[c]));
            row.newText = cells[c].result.changed ? shownText(cells[c].value) : row.oldText;
            row.status = cells[c].result.changed ? worse(Status::Converted, cells[c].result.status)
                                                 : cells[c].result.status;
            emit(row);
        }
        return true;
    }

    // The first pass keeps a table's objects; the second migrates the cell
    // texts of a migrated table's TABLECONTENT as it did the table's.
    void finishTableObject() {
        TableParts parts = tableParts(false);
        if (fonts_) {
            if (parts.handle.empty()) return;
            if (!parts.owner.empty()) owners_[parts.handle] = parts.owner;
            tableObjects_.push_back(tableSeen(std::move(parts), tableObjectType_));
            return;
        }
        auto table = facts_.tableContents.find(parts.handle);
        if (table == facts_.tableContents.end() || migratedTables_.count(table->second) == 0)
            return writer_.put(record_.lines(0, record_.size()));
        const StyleInfo& style = styles_.at(facts_.tableStyles.at(table->second));
        std::vector<std::pair<std::size_t, std::string>> changes;
        for (std::size_t i : parts.texts) {
            std::optional<OwnText> cell = migrateOwnText(record_.value(i), style.state);
            if (!cell) return writer_.put(record_.lines(0, record_.size()));
            if (cell->result.changed) changes.emplace_back(i, std::move(cell->value));
        }
        writeRecord(std::move(changes));
    }

    // At the first pass's end: the styles each table's cells may be drawn
    // in, from the table, its table style, the objects under either and
    // the MTEXTs of its block. Drawn in one, its cells count as a
    // dimension's own text does (only where they cannot be migrated) and
    // the second pass is told the style; in more, every Hebrew cell holds
    // each of them back.
    void resolveTables() {
        if (tables_.empty()) return;
        constexpr int kOwnersAbove = 8;  // a table's objects lie a few owners below it
        std::unordered_map<std::string, std::vector<const TableSeen*>> objectsUnder;
        for (const TableSeen& object : tableObjects_) {
            std::string at = object.handle;
            for (int depth = 0; depth < kOwnersAbove; ++depth) {  // a cycle ends too
                auto owner = owners_.find(at);
                if (owner == owners_.end()) break;
                at = owner->second;
                objectsUnder[at].push_back(&object);
            }
        }
        std::unordered_map<std::string, int> handles;
        for (const TableSeen& table : tables_) ++handles[table.handle];
        // A TABLECONTENT under no table may be one whose table this tool
        // does not see: no table is migrated, lest its two copies differ.
        std::set<const TableSeen*> owned;
        for (const auto& [handle, count] : handles)
            if (auto under = objectsUnder.find(handle); under != objectsUnder.end())
                owned.insert(under->second.begin(), under->second.end());
        const bool unowned = std::any_of(tableObjects_.begin(), tableObjects_.end(), [&](const TableSeen& object) {
            return object.type == "TABLECONTENT" && owned.count(&object) == 0;
        });
        std::unordered_map<std::string, std::set<std::string>> stylesByHandle;  // of each object, by its handle
        for (const TableSeen& object : tableObjects_)
            stylesByHandle[object.handle].insert(object.styles.begin(), object.styles.end());
        for (TableSeen& table : tables_) {  // completed in place: the first pass ends here
            std::vector<std::string> contents;
            const auto add = [&](const TableSeen& from) {
                table.styles.insert(from.styles.begin(), from.styles.end());
                if (from.type != "TABLECONTENT") return;
                table.texts.insert(table.texts.end(), from.texts.begin(), from.texts.end());
                table.unsafe = table.unsafe || from.unsafe;
                contents.push_back(from.handle);
            };
            for (const std::string& owner : {table.handle, table.tableStyle})
                if (auto under = objectsUnder.find(owner); !owner.empty() && under != objectsUnder.end())
                    for (const TableSeen* object : under->second) add(*object);
            if (auto style = stylesByHandle.find(table.tableStyle); style != stylesByHandle.end())
                table.styles.insert(style->second.begin(), style->second.end());
            if (auto block = tableBlockStyles_.find(table.block); block != tableBlockStyles_.end())
                table.styles.insert(block->second.begin(), block->second.end());
            if (table.styles.empty()) table.styles.insert("STANDARD");
            table.unsafe = table.unsafe || unowned || table.handle.empty() || handles[table.handle] > 1;
            for (const std::string& text : table.texts)
                table.unsafe = table.unsafe || (!codePageKnown_ && needsCodePage(text));
            const bool one = table.styles.size() == 1 && !table.unsafe;
            for (const std::string& name : table.styles) {
                auto style = styles_.find(name);
                if (style == styles_.end()) continue;
                for (const std::string& text : table.texts) noteUnreadText(name, style->second, text, one);
            }
            if (!one || styles_.count(*table.styles.begin()) == 0) continue;
            facts_.tableStyles[table.handle] = *table.styles.begin();
            for (const std::string& content : contents) facts_.tableContents[content] = table.handle;
        }
    }

    // Stored MTEXT contents as the report shows them.
    std::u16string shownText(std::string_view stored) const {
        if (!rows_) return {};
        std::string ignored;
        std::u16string shown;
        return decodeValue(stored, rules_, ignored, shown) ? shown : bytesAsLatin1(stored);
    }

    // The first pass: the texts of a font to guess are its evidence.
    void collectText(Kind k, const TextFields& f, const StyleInfo& style) {
        if (!style.evidence) return;
        if (k == Kind::Mtext) return collectMtext(f, style);
        std::string fontBytes;
        std::u16string shown;
        for (std::size_t i : {f.value, f.prompt})
            if (i != record_.size() && decodeValue(record_.value(i), rules_, fontBytes, shown))
                addEvidence(style, fontBytes, shown);
    }

    void finishMtext(const TextFields& f, const StyleInfo& style, const std::string& styleNote) {
        TextRow row = rowFor(f, style);
        const bool legacyLeft = !style.leftWhy.empty() && style.state.type != TrueType;
        if (!style.migrated && !legacyLeft && !rows_) {
            writer_.put(record_.lines(0, record_.size()));
            return emit(row);
        }
        std::string contents = chunkContents(f.chunks);
        // The texts as Unicode only for the report's row: a long text's
        // copies would otherwise be most of the memory a migration takes.
        std::string ignored;
        // A text too long to convert is too long for a cell of the report.
        const bool shown = contents.size() <= kLongestConvertedText;
        if (!shown) row.oldText = notShown(contents.size());
        if (rows_ && shown && !decodeValue(contents, rules_, ignored, row.oldText))
            row.oldText = bytesAsLatin1(contents);
        ignored = std::string();
        markReview(row, styleNote);
        bool migrating = style.migrated && !f.chunks.empty();
        if (migrating && unreadable(contents, row)) migrating = false;
        const TextForm form{style.state, options_.target, false};
        // A first run only tells whether the text changes; the new contents
        // are made again as they are written, a paragraph at a time, so that
        // a long text's new contents are never held whole.
        MtextPieces result;
        if (migrating) {
            if (!migrateMtextPieces(contents, form, rules_, surface_, result, {}))
                throw BadDrawing(record_.lineOf(f.chunks.front()) + 1, "the multiline text is not valid UTF-8");
            row.status = worse(row.status, result.status);
            if (result.tooLong)
                markReview(row, "a paragraph longer than this tool converts (" +
                                    std::to_string(kLongestConvertedText >> 20) + " MB) is left as it is");
        } else if (legacyLeft) {
            reviewMtext(contents, style, row);
        }
        if (!migrating || !result.changed) {
            if (rows_) row.newText = row.oldText;
            writer_.put(record_.lines(0, record_.size()));
            return emit(row);
        }
        if (rows_ && !shown) row.newText = row.oldText;
        std::u16string piece;
        writeChunked(0, f, contents, form, [&](std::string_view newPiece) {
            if (rows_ && shown && decodeValue(newPiece, rules_, ignored, piece)) row.newText += piece;
        });
        emit(row);
    }

    // The record's lines from `from` on, the chunks of f among them (3 lines,
    // then a 1 line) replaced by new chunks of the contents migrated again,
    // written where the first of them stood; each new piece also goes to
    // onPiece. The chunks' lines are met in the record's order (a 1 may
    // stand before 3s), one by one: a long text has hundreds of thousands.
    void writeChunked(std::size_t from, const TextFields& f, std::string_view contents, const TextForm& form,
                      const std::function<void(std::string_view)>& onPiece) {
        std::vector<std::size_t> chunkLines = f.chunks;
        std::sort(chunkLines.begin(), chunkLines.end());
        std::size_t nextChunk = 0;
        for (std::size_t i = from; i < record_.size(); ++i) {
            const bool isChunk = nextChunk < chunkLines.size() && chunkLines[nextChunk] == i;
            if (isChunk) ++nextChunk;
            if (!isChunk) {
                writeRecordLine(i);
            } else if (i == f.chunks.front()) {
                ChunkWriter chunks(*this, f);
                MtextPieces result;
                migrateMtextPieces(contents, form, rules_, surface_, result, [&](std::string_view newPiece) {
                    chunks.add(newPiece);
                    onPiece(newPiece);
                });
                chunks.finish();
            }
        }
    }

    // New MTEXT contents written as they come, in chunks where the old ones
    // stood: 3 lines, then a 1 line. Where it cuts is what cutMtextChunks
    // gives for the whole: a chunk is written only once the contents after
    // it reach far beyond any code's length.
    class ChunkWriter {
    public:
        ChunkWriter(Migration& m, const TextFields& f) : m_(m) {
            const std::size_t first = f.chunks.front(), last = f.chunks.back();
            lastCode_ = withoutEnding(m.record_.codeLine(last));
            if (m.record_.code(first) == 3) {
                chunkCode_ = std::string(withoutEnding(m.record_.codeLine(first)));
            } else {
                chunkCode_ = std::string(lastCode_);
                chunkCode_.back() = '3';
            }
            codeEnding_ = endingOf(m.record_.codeLine(first));
            valueEnding_ = endingOf(m.record_.valueLine(first));
        }
        void add(std::string_view piece) {
            pending_.append(piece);
            if (pending_.size() >= 2 * kLookahead) write(false);
        }
        void finish() { write(true); }

    private:
        static constexpr std::size_t kLookahead = 64 * 1024;

        void write(bool all) {
            const std::vector<std::string_view> chunks = cutMtextChunks(pending_);
            std::size_t written = 0;
            for (std::size_t c = 0; c < chunks.size(); ++c) {
                const bool last = c + 1 == chunks.size();
                if (!all && (last || written + chunks[c].size() + kLookahead > pending_.size())) break;
                m_.writer_.put(all && last ? lastCode_ : std::string_view(chunkCode_));
                m_.writer_.put(codeEnding_);
                m_.writer_.put(chunks[c]);
                m_.writer_.put(valueEnding_);
                written += chunks[c].size();
            }
            pending_.erase(0, written);
        }

        Migration& m_;
        std::string chunkCode_;
        std::string_view lastCode_, codeEnding_, valueEnding_;
        std::string pending_;
    };

    void collectMtext(const TextFields& f, const StyleInfo& style) {
        if (!style.evidence || f.chunks.empty()) return;
        const std::string contents = chunkContents(f.chunks);
        mtextParagraphs(contents, rules_,
                        [&](std::string_view plain) { addEvidence(style, plain, codePageText(rules_.codePage, plain)); });
    }

    void reviewMtext(std::string_view contents, const StyleInfo& style, TextRow& row) {
        std::string reading;
        mtextParagraphs(contents, rules_, [&](std::string_view plain) {
            const std::u16string read = readAs(plain, style.state.type, style.state, surface_);
            if (holdsHebrewLetter(read)) reading += (reading.empty() ? "" : " / ") + utf16ToUtf8(read);
        });
        if (reading.empty()) return;
        row.status = Status::Review;
        row.note = style.leftWhy + "; read as " + typeName(style.state.type) + ": " + reading;
    }

    PairReader reader_;
    Writer writer_;
    const Options& options_;
    const DisplayOrderer& surface_;
    const RowSink& rows_;

    Section section_ = Section::None;
    bool expectSectionName_ = false, expectTableName_ = false, inStyleTable_ = false, inLineTypeTable_ = false;
    bool inDimensionStyleTable_ = false, fontToGuess_ = false, mayMigrate_ = false, readingDone_ = false;
    std::string dimensionStyle_;                       // the DIMSTYLE entry being read
    std::unordered_map<std::string, std::string> styleNamesByHandle_;
    const TextKind* textKind_ = nullptr;
    bool inBlockRecord_ = false, sawEof_ = false, codePageKnown_ = true;
    std::string headerVariable_, acadver_, codePageName_, block_;
    StringRules rules_;
    Kind kind_ = Kind::None;
    Record record_;
    std::unordered_map<std::string, StyleInfo> styles_;
    Counts counts_;
    FontsSeen* fonts_;  // the first pass: where the fonts' evidence goes
    // The first pass may skim the entities for texts this tool does not
    // migrate, and found some.
    bool skimming_ = false, needsEntities_ = false;

    // The rest of the drawing, a buffer at a time, with the end of the one
    // before so that no name is missed where two buffers meet.
    bool skimFindsUnreadTexts() {
        constexpr std::size_t kOverlap = 32;
        std::string window;
        bool found = false;
        reader_.copyRest([&](std::string_view chunk) {
            if (found) return;
            window.append(chunk);
            found = mayHoldUnreadTexts(window);
            window.erase(0, window.size() > kOverlap ? window.size() - kOverlap : 0);
        });
        return found;
    }
    DrawingFacts facts_;
    // Tables: the first pass's, until the drawing's end, and the owners of
    // the objects read after them; the second's, those migrated.
    std::vector<TableSeen> tables_, tableObjects_;
    std::unordered_map<std::string, std::string> owners_;
    std::unordered_map<std::string, std::set<std::string>> tableBlockStyles_;
    std::string tableObjectType_;
    struct ObjectRead {
        std::string handle;
        bool inGroup = false, owned = false;
    } object_;
    std::set<std::string> migratedTables_;
};

}  // namespace

Counts migrateDrawing(std::FILE* in, std::FILE* out, const Options& options, const DisplayOrderer& surface,
                      const RowSink& rows, const DrawingFacts& facts) {
    Migration migration(in, out, options, surface, rows, facts, nullptr);
    return migration.run();
}

DrawingFacts readDrawingFonts(std::FILE* in, const Options& options, const DisplayOrderer& surface,
                              FontsSeen& fonts) {
    // Most drawings hold no text this tool does not migrate: a skim of their
    // entities tells so, and only the rest are read again, whole.
    const long start = std::ftell(in);
    if (start >= 0) {
        Migration skim(in, nullptr, options, surface, RowSink(), DrawingFacts{}, &fonts, true);
        skim.run();
        if (!skim.needsEntities() || std::fseek(in, start, SEEK_SET) != 0) return skim.facts();
    }
    Migration reading(in, nullptr, options, surface, RowSink(), DrawingFacts{}, &fonts);
    reading.run();
    return reading.facts();
}

FontDecision decideFont(std::u16string_view fontFile, const Options& options) {
    FontDecision d;
    if (const std::optional<fntType> mapped = mappedFontType(fontFile, options.map)) {
        d.type = *mapped;
        d.how = *mapped == TrueType ? "True Type (" + std::string(fileNameStart(fontFile) < fontFile.size() ? "its name or " : "") +
                                          "the font map): left as it is"
                                    : "the font map or its name: " + typeName(*mapped);
        return d;
    }
    const std::u16string key = fontMapKey(fontFile);
    if (key.empty()) {
        d.how = "no font file: left as it is";
    } else if (isStandardLatinFont(fontFile)) {
        d.how = "a standard Latin font of CAD programs: left as it is";
    } else if (auto g = options.guesses.find(key); g == options.guesses.end() || g->second.texts == 0) {
        d.how = "not in the font map, and no texts to read it from: left as it is";
    } else {
        d.guess = g->second;
        const std::string evidence = " over " + std::to_string(d.guess.texts) + " texts";
        if (d.guess.sure() && d.guess.best == kNoLegacyHebrew) {
            d.how = "its texts show no legacy Hebrew (probability " + probability(d.guess.probability) + evidence +
                    "): left as it is";
        } else if (d.guess.sure()) {
            d.type = d.guess.best;
            d.how = "read from its texts: " + typeName(d.type) + " (probability " + probability(d.guess.probability) +
                    evidence + ")";
        } else {
            d.unsure = true;
            d.type = d.guess.best != kNoLegacyHebrew ? d.guess.best : d.guess.second;
            d.how = "its texts do not tell (" + typeName(d.guess.best) + " " + probability(d.guess.probability) +
                    ", " + typeName(d.guess.second) + " " + probability(d.guess.secondProbability) + evidence +
                    "): left as it is";
        }
    }
    return d;
}

}  // namespace vornmigrate
