#include "profile_portable.h"

#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string_view>
#include <system_error>

#include "codepage.h"
#include "utf8.h"

namespace hebrew {
namespace {

namespace fs = std::filesystem;

// ---------------------------------------------------------------------------
// The file in memory: sections in file order, the first one nameless for the
// lines before any header.

enum class Encoding { Ansi, Utf8, Utf16Le, Utf16Be };

struct Entry {
    std::u16string name;
    std::optional<std::u16string> value;  // none for a line without '='
};

struct Section {
    std::u16string name;
    std::vector<Entry> entries;
};

struct Profile {
    Encoding encoding = Encoding::Ansi;
    std::vector<Section> sections;
};

// ---------------------------------------------------------------------------
// Names and blanks

// Tab, line breaks, vertical tab, form feed, space and Ctrl-Z (the old DOS
// end of file).
bool isBlank(char16_t c) { return (c >= 0x09 && c <= 0x0D) || c == 0x1A || c == 0x20; }

std::u16string_view trimLeft(std::u16string_view s) {
    std::size_t start = 0;
    while (start < s.size() && isBlank(s[start])) ++start;
    return s.substr(start);
}

std::u16string_view trimRight(std::u16string_view s) {
    std::size_t end = s.size();
    while (end > 0 && isBlank(s[end - 1])) --end;
    return s.substr(0, end);
}

std::u16string_view trim(std::u16string_view s) { return trimRight(trimLeft(s)); }

// The platform functions take C strings: everything from a NUL on is unseen.
std::u16string_view upToNul(std::u16string_view s) { return s.substr(0, s.find(u'\0')); }

// Lower case for ASCII letters only, as Wine compares the names: "É" and "é"
// are different names.
char16_t foldCase(char16_t c) {
    if (c >= u'A' && c <= u'Z') return static_cast<char16_t>(c + 0x20);
    return c;
}

bool sameName(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (foldCase(a[i]) != foldCase(b[i])) return false;
    return true;
}

// A default loses its trailing spaces, down to its first character.
std::u16string_view trimDefault(std::u16string_view def) {
    std::size_t end = def.size();
    while (end > 1 && def[end - 1] == u' ') --end;
    return def.substr(0, end);
}

// One pair of matching single or double quotes around a value is removed.
std::u16string withoutQuotes(std::u16string_view value) {
    if (value.size() >= 2 && (value[0] == u'\'' || value[0] == u'"') && value.back() == value[0])
        return std::u16string(value.substr(1, value.size() - 2));
    return std::u16string(value);
}

// ---------------------------------------------------------------------------
// Bytes and text

const std::string_view kUtf8Bom = "\xEF\xBB\xBF";
const std::string_view kUtf16LeBom = "\xFF\xFE";
const std::string_view kUtf16BeBom = "\xFE\xFF";

bool startsWith(std::string_view bytes, std::string_view prefix) {
    return bytes.substr(0, prefix.size()) == prefix;
}

Encoding detectEncoding(std::string_view bytes) {
    if (startsWith(bytes, kUtf8Bom)) return Encoding::Utf8;
    if (startsWith(bytes, kUtf16LeBom)) return Encoding::Utf16Le;
    if (startsWith(bytes, kUtf16BeBom)) return Encoding::Utf16Be;
    return Encoding::Ansi;
}

std::string_view byteOrderMark(Encoding encoding) {
    switch (encoding) {
        case Encoding::Utf8: return kUtf8Bom;
        case Encoding::Utf16Le: return kUtf16LeBom;
        case Encoding::Utf16Be: return kUtf16BeBom;
        case Encoding::Ansi: break;
    }
    return {};
}

constexpr char32_t kInvalid = 0xFFFFFFFF;

// Trailing bytes that follow a lead byte of 0x80 to 0xFF; 0 for a byte that
// cannot start a sequence.
unsigned trailCount(unsigned char lead) {
    if (lead >= 0xC2 && lead <= 0xDF) return 1;
    if (lead >= 0xE0 && lead <= 0xEF) return 2;
    if (lead >= 0xF0 && lead <= 0xF4) return 3;
    return 0;
}

bool takeTrail(std::string_view bytes, std::size_t at, char32_t& code) {
    unsigned bits = static_cast<unsigned char>(bytes[at]) ^ 0x80u;
    if (bits >= 0x40) return false;
    code = (code << 6) | bits;
    return true;
}

// One sequence whose lead byte is before pos. A bad sequence gives kInvalid
// and leaves pos after the bytes that still looked right; a sequence cut off
// by the end of the file swallows the rest.
char32_t decodeSequence(unsigned char lead, std::string_view bytes, std::size_t& pos) {
    static const unsigned char kLeadMask[4] = {0x7F, 0x1F, 0x0F, 0x07};
    const unsigned count = trailCount(lead);
    char32_t code = lead & kLeadMask[count];
    if (count > bytes.size() - pos) {
        pos = bytes.size();
        return kInvalid;
    }
    const std::size_t end = pos + count;
    switch (count) {
        case 3:
            if (!takeTrail(bytes, end - 3, code)) break;
            ++pos;
            if (code < 0x10) break;  // overlong
            [[fallthrough]];
        case 2:
            if (!takeTrail(bytes, end - 2, code)) break;
            if (code >= (0x110000 >> 6)) break;  // beyond Unicode
            ++pos;
            if (code < 0x20) break;  // overlong
            if (code >= (0xD800 >> 6) && code <= (0xDFFF >> 6)) break;  // surrogate
            [[fallthrough]];
        case 1:
            if (!takeTrail(bytes, end - 1, code)) break;
            ++pos;
            if (code < 0x80) break;  // overlong
            return code;
    }
    return kInvalid;
}

void appendUtf16(std::u16string& text, char32_t code) {
    if (code == kInvalid) {
        text += u'\uFFFD';
    } else if (code < 0x10000) {
        text += static_cast<char16_t>(code);
    } else {
        code -= 0x10000;
        text += static_cast<char16_t>(0xD800 | (code >> 10));
        text += static_cast<char16_t>(0xDC00 | (code & 0x3FF));
    }
}

// Bad UTF-8 becomes U+FFFD, one for each byte run the platform rejects.
std::u16string decodeUtf8(std::string_view bytes) {
    std::u16string text;
    text.reserve(bytes.size());
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        unsigned char lead = static_cast<unsigned char>(bytes[pos++]);
        if (lead < 0x80)
            text += static_cast<char16_t>(lead);
        else
            appendUtf16(text, decodeSequence(lead, bytes, pos));
    }
    return text;
}

// A last odd byte is dropped.
std::u16string decodeUtf16(std::string_view bytes, bool bigEndian) {
    std::u16string text(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned first = static_cast<unsigned char>(bytes[2 * i]);
        unsigned second = static_cast<unsigned char>(bytes[2 * i + 1]);
        text[i] = static_cast<char16_t>(bigEndian ? (first << 8 | second) : (second << 8 | first));
    }
    return text;
}

std::string encodeUtf16(std::u16string_view text, bool bigEndian) {
    std::string bytes;
    bytes.reserve(text.size() * 2);
    for (char16_t c : text) {
        char high = static_cast<char>(c >> 8), low = static_cast<char>(c & 0xFF);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

std::u16string decodeText(std::string_view body, Encoding encoding) {
    switch (encoding) {
        case Encoding::Utf8: return decodeUtf8(body);
        case Encoding::Utf16Le: return decodeUtf16(body, false);
        case Encoding::Utf16Be: return decodeUtf16(body, true);
        case Encoding::Ansi: break;
    }
    return fromBytes(body);
}

std::string encodeText(std::u16string_view text, Encoding encoding) {
    switch (encoding) {
        case Encoding::Utf8: return utf16ToUtf8(text);
        case Encoding::Utf16Le: return encodeUtf16(text, false);
        case Encoding::Utf16Be: return encodeUtf16(text, true);
        case Encoding::Ansi: break;
    }
    return toBytes(text);
}

// ---------------------------------------------------------------------------
// Parsing and writing

void addSectionHeader(std::u16string_view line, std::size_t close, Profile& profile) {
    std::u16string_view name = trim(line.substr(1, close - 1));
    profile.sections.push_back(Section{std::u16string(upToNul(name)), {}});
}

// A line that starts with '=' has an empty name; of several such lines in a
// row only the first is kept.
void addEntry(std::u16string_view line, Section& section) {
    std::u16string_view name = line;
    std::optional<std::u16string> value;
    std::size_t equals = line.find(u'=');
    if (equals != std::u16string_view::npos) {
        name = trimRight(line.substr(0, equals));
        value = std::u16string(upToNul(trimLeft(line.substr(equals + 1))));
    }
    bool followsNameless = !section.entries.empty() && section.entries.back().name.empty();
    if (name.empty() && followsNameless) return;
    section.entries.push_back(Entry{std::u16string(upToNul(name)), std::move(value)});
}

void addLine(std::u16string_view line, Profile& profile) {
    if (line.empty()) return;
    if (line[0] == u'[') {
        std::size_t close = line.rfind(u']');
        if (close != std::u16string_view::npos) {
            addSectionHeader(line, close, profile);
            return;
        }
    }
    addEntry(line, profile.sections.back());
}

bool isLineBreak(char16_t c) { return c == u'\r' || c == u'\n'; }

// A run of line breaks ends a line, so blank lines vanish.
Profile parseProfile(std::string_view bytes) {
    Profile profile;
    profile.encoding = detectEncoding(bytes);
    const std::u16string text =
        decodeText(bytes.substr(byteOrderMark(profile.encoding).size()), profile.encoding);
    profile.sections.emplace_back();
    std::u16string_view rest = text;
    while (!rest.empty()) {
        std::size_t end = 0;
        while (end < rest.size() && !isLineBreak(rest[end])) ++end;
        addLine(trim(rest.substr(0, end)), profile);
        while (end < rest.size() && isLineBreak(rest[end])) ++end;
        rest.remove_prefix(end);
    }
    return profile;
}

std::u16string profileText(const Profile& profile) {
    std::u16string text;
    for (const Section& section : profile.sections) {
        if (!section.name.empty()) text += u"[" + section.name + u"]\r\n";
        for (const Entry& entry : section.entries) {
            text += entry.name;
            if (entry.value) text += u"=" + *entry.value;
            text += u"\r\n";
        }
    }
    return text;
}

std::string profileBytes(const Profile& profile) {
    return std::string(byteOrderMark(profile.encoding)) +
           encodeText(profileText(profile), profile.encoding);
}

// ---------------------------------------------------------------------------
// Finding names

// The first section of that name, matched as given.
Section* sectionNamedExactly(Profile& profile, std::u16string_view name) {
    for (Section& section : profile.sections)
        if (sameName(section.name, name)) return &section;
    return nullptr;
}

Entry* entryNamed(Section& section, std::u16string_view name) {
    for (Entry& entry : section.entries)
        if (sameName(entry.name, name)) return &entry;
    return nullptr;
}

// Only the first section of a name is searched for the key.
Entry* findEntry(Profile& profile, std::u16string_view section, std::u16string_view key) {
    Section* found = sectionNamedExactly(profile, trim(section));
    return found ? entryNamed(*found, trim(key)) : nullptr;
}

Entry& findOrAddEntry(Profile& profile, std::u16string_view section, std::u16string_view key) {
    Section* found = sectionNamedExactly(profile, trim(section));
    if (!found) {
        profile.sections.push_back(Section{std::u16string(trimLeft(section)), {}});
        found = &profile.sections.back();
    }
    if (Entry* entry = entryNamed(*found, trim(key))) return *entry;
    found->entries.push_back(Entry{std::u16string(trimLeft(key)), std::nullopt});
    return found->entries.back();
}

// ---------------------------------------------------------------------------
// Files

fs::path toPath(std::u16string_view name) {
#ifdef _WIN32
    return fs::path(std::wstring(name.begin(), name.end()));
#else
    return fs::path(utf16ToUtf8(name));
#endif
}

std::optional<fs::path> pathOf(const std::u16string& file) {
    std::u16string_view name = upToNul(file);
    if (name.empty()) return std::nullopt;
    return toPath(name);
}

bool isFolder(const fs::path& path) {
    std::error_code error;
    return fs::is_directory(path, error);
}

// A missing file may be created only in a folder that exists.
bool canBeCreated(const fs::path& path) {
    fs::path parent = path.parent_path();
    return parent.empty() || isFolder(parent);
}

std::optional<std::string> readAllBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) return std::nullopt;
    return bytes;
}

bool isWritable(const fs::path& path) {
    std::fstream probe(path, std::ios::in | std::ios::out | std::ios::binary);
    return static_cast<bool>(probe);
}

// The file's profile, an empty one for a file that does not exist yet, or
// none when the file cannot be used. For writing, an existing file must be
// writable.
std::optional<Profile> openProfile(const fs::path& path, bool forWriting) {
    std::error_code error;
    fs::file_status status = fs::status(path, error);
    if (status.type() == fs::file_type::not_found)
        return canBeCreated(path) ? std::optional<Profile>(Profile{}) : std::nullopt;
    if (error || fs::is_directory(status)) return std::nullopt;
    if (forWriting && !isWritable(path)) return std::nullopt;
    std::optional<std::string> bytes = readAllBytes(path);
    if (!bytes) return std::nullopt;
    return parseProfile(*bytes);
}

bool saveProfile(const fs::path& path, const Profile& profile) {
    const std::string bytes = profileBytes(profile);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return !out.fail();
}

// Runs an operation, turning any exception (out of memory on a huge file,
// say) into the given failure result.
template <typename Result, typename Operation>
Result guarded(Result failure, Operation operation) {
    try {
        return operation();
    } catch (const std::exception&) {
        return failure;
    }
}

}  // namespace

std::u16string PortableProfileFiles::readString(const std::u16string& file,
                                                const std::u16string& section,
                                                const std::u16string& key,
                                                const std::u16string& def) {
    const std::u16string fallback(trimDefault(upToNul(def)));
    return guarded(fallback, [&]() -> std::u16string {
        std::optional<fs::path> path = pathOf(file);
        std::optional<Profile> profile;
        if (path) profile = openProfile(*path, false);
        // A file that cannot be opened gives the default untouched.
        if (!profile) return fallback;
        Entry* entry = findEntry(*profile, upToNul(section), upToNul(key));
        return withoutQuotes(entry && entry->value ? *entry->value : fallback);
    });
}

// Comments (names starting with ';') and keys without '=' are left out; a
// line with an empty name before its '=' ends the list.
std::vector<std::u16string> PortableProfileFiles::readKeys(const std::u16string& file,
                                                           const std::u16string& section) {
    using Keys = std::vector<std::u16string>;
    return guarded(Keys{}, [&]() -> Keys {
        std::optional<fs::path> path = pathOf(file);
        std::optional<Profile> profile;
        if (path) profile = openProfile(*path, false);
        Section* found = profile ? sectionNamedExactly(*profile, upToNul(section)) : nullptr;
        Keys keys;
        if (!found) return keys;
        for (const Entry& entry : found->entries) {
            if (!entry.value || (!entry.name.empty() && entry.name[0] == u';')) continue;
            if (entry.name.empty()) break;
            keys.push_back(entry.name);
        }
        return keys;
    });
}

bool PortableProfileFiles::writeString(const std::u16string& file, const std::u16string& section,
                                       const std::u16string& key, const std::u16string& value) {
    return guarded(false, [&] {
        std::optional<fs::path> path = pathOf(file);
        std::optional<Profile> profile;
        if (path) profile = openProfile(*path, true);
        if (!profile) return false;
        Entry& entry = findOrAddEntry(*profile, upToNul(section), upToNul(key));
        std::u16string_view newValue = trimLeft(upToNul(value));
        if (entry.value && *entry.value == newValue) return true;
        entry.value = std::u16string(newValue);
        return saveProfile(*path, *profile);
    });
}

// Only the first section of the name goes; a missing section or file is no
// failure and leaves everything as it was.
bool PortableProfileFiles::eraseSection(const std::u16string& file,
                                        const std::u16string& section) {
    return guarded(false, [&] {
        std::optional<fs::path> path = pathOf(file);
        std::optional<Profile> profile;
        if (path) profile = openProfile(*path, true);
        if (!profile) return false;
        Section* found = sectionNamedExactly(*profile, upToNul(section));
        if (!found) return true;
        profile->sections.erase(profile->sections.begin() + (found - profile->sections.data()));
        return saveProfile(*path, *profile);
    });
}

bool PortableProfileFiles::fileExists(const std::u16string& file) {
    return guarded(false, [&] {
        std::optional<fs::path> path = pathOf(file);
        std::error_code error;
        return path && fs::exists(*path, error) && !fs::is_directory(*path, error);
    });
}

bool PortableProfileFiles::folderExists(const std::u16string& folder) {
    return guarded(false, [&] {
        std::optional<fs::path> path = pathOf(folder);
        return path && isFolder(*path);
    });
}

bool PortableProfileFiles::createFolder(const std::u16string& folder) {
    return guarded(false, [&] {
        std::optional<fs::path> path = pathOf(folder);
        if (!path) return false;
        std::error_code error;
        fs::create_directories(*path, error);
        return isFolder(*path);
    });
}

}  // namespace hebrew
