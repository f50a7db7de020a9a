#include "converter.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "hebrew/codepage.h"
#include "hebrew/font_style.h"
#include "hebrew/profile_portable.h"
#include "hebrew/utf8.h"

namespace vornconv {

using namespace hebrew;

const char* const kUsage =
    "Usage: vornconv (--to-editor | --to-drawing) [--type NAME | --font FILE [--map HebFonts.txt]]\n"
    "                [--backwards] [--attribute]\n"
    "\n"
    "Converts text on standard input, one line at a time, between a drawing's stored\n"
    "strings and the editors' text, and writes it to standard output (UTF-8 both).\n"
    "\n"
    "  --to-editor       stored string to editor text (the default)\n"
    "  --to-drawing      editor text to stored string\n"
    "  --type NAME       the font type: DosHebrew, DosEnglish, DosEnglishR, Windows or\n"
    "                    TrueType (any case)\n"
    "  --font FILE       the style's font file, classified through the font map; it also\n"
    "                    names the symbol fonts (iron..., hebsymb...)\n"
    "  --map FILE        the font definitions file that classifies --font\n"
    "  --backwards       the style draws its text backwards\n"
    "  --attribute       as the attribute editor: brackets are not mirrored\n"
    "  --help            this text\n";

namespace {

std::u16string widen(const std::string& s) {
    auto w = utf8ToUtf16(s);
    return w ? *w : fromBytes(s);
}

}  // namespace

Arguments parseArguments(const std::vector<std::string>& args) {
    Arguments result;
    std::optional<fntType> type;
    std::optional<std::string> font, map;
    auto fail = [&](std::string message) {
        result.error = "vornconv: " + message;
        return result;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= args.size()) return std::nullopt;
            return args[++i];
        };
        if (a == "--help" || a == "-h") {
            result.help = true;
        } else if (a == "--to-editor") {
            result.options.toEditor = true;
        } else if (a == "--to-drawing") {
            result.options.toEditor = false;
        } else if (a == "--backwards") {
            result.options.style.backwards = true;
        } else if (a == "--attribute") {
            result.options.attribute = true;
        } else if (a == "--type" || a == "--font" || a == "--map") {
            auto v = value();
            if (!v) return fail("option " + a + " needs a value");
            if (a == "--type") {
                type = fontTypeNamed(widen(*v));
                if (!type) return fail("unknown font type '" + *v + "' (DosHebrew, DosEnglish, DosEnglishR, Windows, TrueType)");
            } else if (a == "--font") {
                font = *v;
            } else {
                map = *v;
            }
        } else {
            return fail("unknown option '" + a + "' (see --help)");
        }
    }
    if (font) {
        PortableProfileFiles files;
        const FontMap fonts = map ? loadFontMap(files, widen(*map)) : FontMap{};
        const StyleState classified = styleFor(widen(*font), 0, fonts);
        result.options.style.font = classified.font;
        result.options.style.type = classified.type;
    }
    if (type) result.options.style.type = *type;
    return result;
}

std::u16string convertLine(const std::u16string& line, const Options& options, const DisplayOrderer& surface) {
    const bool mirror = !options.attribute;
    return options.toEditor ? acadToEdit(line, options.style, surface, mirror)
                            : editToAcad(line, options.style, surface, mirror);
}

namespace {

// Reads LF-terminated lines through one fixed buffer.
class LineReader {
public:
    explicit LineReader(std::FILE* in) : in_(in), buffer_(1 << 16) {}

    // The next line without its LF; hadNewline tells whether one ended it.
    bool next(std::string& line, bool& hadNewline) {
        line.clear();
        for (;;) {
            if (pos_ == end_ && !fill()) {
                hadNewline = false;
                return !line.empty();
            }
            const char* start = buffer_.data() + pos_;
            const void* lf = std::memchr(start, '\n', end_ - pos_);
            if (lf) {
                std::size_t n = static_cast<const char*>(lf) - start;
                line.append(start, n);
                pos_ += n + 1;
                hadNewline = true;
                return true;
            }
            line.append(start, end_ - pos_);
            pos_ = end_;
        }
    }
    bool failed() const { return std::ferror(in_) != 0; }

private:
    bool fill() {
        pos_ = 0;
        end_ = std::fread(buffer_.data(), 1, buffer_.size(), in_);
        return end_ > 0;
    }
    std::FILE* in_;
    std::vector<char> buffer_;
    std::size_t pos_ = 0, end_ = 0;
};

}  // namespace

bool convertStream(std::FILE* in, std::FILE* out, std::FILE* err, const Options& options,
                   const DisplayOrderer& surface) {
    LineReader reader(in);
    std::string line;
    bool hadNewline = false;
    unsigned long long number = 0;
    while (reader.next(line, hadNewline)) {
        ++number;
        const bool hadCr = !line.empty() && line.back() == '\r';
        if (hadCr) line.pop_back();
        auto text = utf8ToUtf16(line);
        if (!text) {
            std::fprintf(err, "vornconv: line %llu is not valid UTF-8; read as Windows-1255\n", number);
            text = fromBytes(line);
        }
        std::string converted = utf16ToUtf8(convertLine(*text, options, surface));
        if (hadCr) converted += '\r';
        if (hadNewline) converted += '\n';
        if (std::fwrite(converted.data(), 1, converted.size(), out) != converted.size()) return false;
    }
    return !reader.failed() && std::fflush(out) == 0;
}

}  // namespace vornconv
