// Arbitrary bytes as the three configuration files, read by the portable
// profile reader and by the font service: no crash, and what is written can
// be read back.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <unistd.h>

#include "hebrew/fntdef.h"
#include "hebrew/profile_portable.h"

using namespace hebrew;
namespace fs = std::filesystem;

namespace {

void check(bool condition, int line) {
    if (condition) return;
    std::fprintf(stderr, "profile_fuzz: check on line %d failed\n", line);
    std::abort();
}
#define require(condition) check((condition), __LINE__)

// The portable reader works on file names in UTF-16; a folder of plain ASCII
// letters converts one to one.
std::u16string wide(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

// A folder of the process's own, removed at exit (never destroyed before).
const fs::path& folder() {
    static const fs::path* path = [] {
        auto* p = new fs::path(fs::temp_directory_path() / ("vorn-profile-fuzz-" + std::to_string(getpid())));
        fs::create_directories(*p);
        std::atexit([] {
            std::error_code ignored;
            fs::remove_all(folder(), ignored);
        });
        return p;
    }();
    return *path;
}

void writeFile(const fs::path& path, const std::uint8_t* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

// Every settings value that is an integer survives a write and a new load.
bool sameIntegers(const Rinistr& a, const Rinistr& b) {
    return a.curmapn == b.curmapn && a.curmaped == b.curmaped && a.txthw == b.txthw && a.txtl == b.txtl &&
           a.txtt == b.txtt && a.grl == b.grl && a.grt == b.grt && a.grw == b.grw && a.grh == b.grh &&
           a.grmode == b.grmode && a.expl == b.expl && a.expt == b.expt && a.exph == b.exph &&
           a.expw == b.expw && a.charmap == b.charmap;
}

bool startsWithByteOrderMark(std::string_view bytes) {
    for (std::string_view mark : {"\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"})
        if (bytes.substr(0, mark.size()) == mark) return true;
    return false;
}

// Blank lines are dropped when a file is rewritten, as the platform does; an
// 8-bit file whose first line then begins with the bytes of a byte order mark
// reads in that encoding afterwards, so nothing written to it reads back.
bool rewriteChangesEncoding(std::string_view bytes) {
    if (startsWithByteOrderMark(bytes)) return false;
    const std::size_t first = bytes.find_first_not_of(std::string_view("\t\n\v\f\r\x1a ", 7));
    return first != std::string_view::npos && startsWithByteOrderMark(bytes.substr(first));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static auto surface = makeLeftToRightSurface();
    if (rewriteChangesEncoding(std::string_view(reinterpret_cast<const char*>(data), size))) return 0;
    PortableProfileFiles files;
    const std::u16string dir = wide(folder().string() + "/");
    for (const char* name : {"Hebrew.ini", "HebFonts.txt", "editdef.txt"}) writeFile(folder() / name, data, size);

    // The reader on its own: lists, reads, a write that reads back.
    const std::u16string fonts = dir + u"HebFonts.txt";
    for (const std::u16string& key : files.readKeys(fonts, u"Fonts")) files.readString(fonts, u"Fonts", key, u"");
    require(files.writeString(fonts, u"FuzzSection", u"fuzzkey", u"fuzz value"));
    require(files.readString(fonts, u"fuzzsection", u"FUZZKEY", u"") == u"fuzz value");
    require(files.eraseSection(fonts, u"FuzzSection"));
    require(files.readString(fonts, u"FuzzSection", u"fuzzkey", u"gone") == u"gone");

    // The font service over the same bytes, then a recorded type and a reload.
    writeFile(folder() / "HebFonts.txt", data, size);
    Rinistr first;
    {
        TfrmFonts service(FontServicePlatform{files, *surface, dir, true});
        first = service.IniSettings;
        for (const FontMapRow& row : service.fontmaps) service.styleOf(row.name + u".shx", 0);
        service.changefnt(u"C:\\Fonts\\fuzzfont.shx", DosEnglishR);
        require(service.styleOf(u"fuzzfont.shx", 0).type == DosEnglishR);
    }
    TfrmFonts again(FontServicePlatform{files, *surface, dir, true});
    require(sameIntegers(first, again.IniSettings));
    require(again.styleOf(u"FUZZFONT.SHX", 0).type == DosEnglishR);
    return 0;
}
