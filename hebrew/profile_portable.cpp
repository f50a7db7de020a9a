#include "profile_portable.h"

#include <unordered_map>

#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string_view>
#include <system_error>

#include "file_names.h"
#include "text_encoding.h"

namespace hebrew {
namespace {

namespace fs = std::filesystem;

// ---------------------------------------------------------------------------
// The file in memory: sections in file order, the first one nameless for the
// lines before any header.

struct Entry {
    std::u16string name;
    std::optional<std::u16string> value;  // none for a line without '='
};

struct Section {
    std::u16string name;
    std::vector<Entry> entries;
};

struct Profile {
    TextEncoding encoding = TextEncoding::Ansi;
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
    profile.encoding = encodingOfMark(bytes);
    const std::u16string text =
        decodeText(bytes.substr(byteOrderMark(profile.encoding).size()), profile.encoding, InvalidInput::AsProfile);
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
           encodeText(profileText(profile), profile.encoding, InvalidInput::AsProfile);
}

// ---------------------------------------------------------------------------
// Finding names: without regard to the case of ASCII letters only, as Wine
// compares them ("É" and "é" are different names).

// The first section of that name, matched as given.
Section* sectionNamedExactly(Profile& profile, std::u16string_view name) {
    for (Section& section : profile.sections)
        if (equalNoCase(section.name, name)) return &section;
    return nullptr;
}

Entry* entryNamed(Section& section, std::u16string_view name) {
    for (Entry& entry : section.entries)
        if (equalNoCase(entry.name, name)) return &entry;
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
    return fs::path(toWide(name));
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
std::vector<std::u16string> keysOf(Profile& profile, std::u16string_view section) {
    Section* found = sectionNamedExactly(profile, section);
    std::vector<std::u16string> keys;
    if (!found) return keys;
    for (const Entry& entry : found->entries) {
        if (!entry.value || (!entry.name.empty() && entry.name[0] == u';')) continue;
        if (entry.name.empty()) break;
        keys.push_back(entry.name);
    }
    return keys;
}

std::vector<std::u16string> PortableProfileFiles::readKeys(const std::u16string& file,
                                                           const std::u16string& section) {
    using Keys = std::vector<std::u16string>;
    return guarded(Keys{}, [&]() -> Keys {
        std::optional<fs::path> path = pathOf(file);
        std::optional<Profile> profile;
        if (path) profile = openProfile(*path, false);
        return profile ? keysOf(*profile, upToNul(section)) : Keys{};
    });
}

// The file read once, each key's entry found through an index: the font map
// may hold thousands of keys.
std::vector<ProfileEntry> PortableProfileFiles::readSection(const std::u16string& file,
                                                            const std::u16string& section) {
    using Entries = std::vector<ProfileEntry>;
    return guarded(Entries{}, [&]() -> Entries {
        std::optional<fs::path> path = pathOf(file);
        std::optional<Profile> profile;
        if (path) profile = openProfile(*path, false);
        if (!profile) return {};
        std::vector<std::u16string> keys = keysOf(*profile, upToNul(section));
        std::unordered_map<std::u16string, const Entry*> firstNamed;
        if (Section* values = sectionNamedExactly(*profile, trim(upToNul(section))))
            for (const Entry& entry : values->entries) firstNamed.emplace(upperCase(entry.name), &entry);
        Entries entries;
        entries.reserve(keys.size());
        for (std::u16string& key : keys) {
            auto found = firstNamed.find(upperCase(trim(key)));
            const Entry* entry = found == firstNamed.end() ? nullptr : found->second;
            entries.push_back({std::move(key), withoutQuotes(entry && entry->value ? *entry->value : u"")});
        }
        return entries;
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
