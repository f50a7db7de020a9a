#include "profile_win32.h"

#include <windows.h>

#include <new>
#include <string_view>
#include <unordered_map>

#include "file_names.h"
#include "text_encoding.h"

namespace hebrew {
namespace {

// Far beyond any real setting; a longer value comes back cut off.
constexpr DWORD kLargestBuffer = 1u << 26;
constexpr DWORD kFirstBuffer = 256;

// A profile function's result in a buffer that grows until it fits. The
// result fits when it leaves two units spare: a value cut off fills the
// buffer to one unit short, a list (of keys, or of a section's lines) to two,
// and a quoted value that just misses loses its last character as well as
// the closing quote.
template <class Read>  // DWORD read(wchar_t* buffer, DWORD size)
std::wstring grownToFit(Read read) {
    std::wstring buffer;
    for (DWORD size = kFirstBuffer;; size *= 2) {
        try {
            buffer.assign(size, L'\0');
        } catch (const std::bad_alloc&) {
            break;
        }
        DWORD length = read(buffer.data(), size);
        if (length + 2 < size || size >= kLargestBuffer) {
            buffer.resize(length < size ? length : size);
            return buffer;
        }
    }
    return buffer;
}

std::wstring profileString(const std::u16string& file, const wchar_t* section,
                           const wchar_t* key, const wchar_t* def) {
    return grownToFit([&](wchar_t* buffer, DWORD size) {
        return GetPrivateProfileStringW(section, key, def, buffer, size, toWide(file).c_str());
    });
}

// "key=value" lines.
std::wstring sectionString(const std::u16string& file, const wchar_t* section) {
    return grownToFit([&](wchar_t* buffer, DWORD size) {
        return GetPrivateProfileSectionW(section, buffer, size, toWide(file).c_str());
    });
}

// The items of a list that the profile functions give: each ends in a NUL,
// the list in a second one.
std::vector<std::wstring_view> listItems(std::wstring_view list) {
    std::vector<std::wstring_view> items;
    for (std::size_t start = 0; start < list.size() && list[start] != L'\0';) {
        std::size_t end = list.find(L'\0', start);
        if (end == std::wstring_view::npos) end = list.size();
        items.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    return items;
}

// One pair of matching quotes around a value, which the string reads drop.
std::wstring_view withoutQuotes(std::wstring_view value) {
    if (value.size() >= 2 && (value[0] == L'\'' || value[0] == L'"') && value.back() == value[0])
        return value.substr(1, value.size() - 2);
    return value;
}

DWORD attributesOf(const std::u16string& path) { return GetFileAttributesW(toWide(path).c_str()); }

bool isSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

}  // namespace

std::u16string Win32ProfileFiles::readString(const std::u16string& file,
                                             const std::u16string& section,
                                             const std::u16string& key,
                                             const std::u16string& def) {
    std::wstring value = profileString(file, toWide(section).c_str(), toWide(key).c_str(), toWide(def).c_str());
    return fromWide(value);
}

// With no key the platform lists the key names, each ending in a NUL and the
// list in a second one.
std::vector<std::u16string> Win32ProfileFiles::readKeys(const std::u16string& file,
                                                        const std::u16string& section) {
    const std::wstring list = profileString(file, toWide(section).c_str(), nullptr, L"");
    std::vector<std::u16string> keys;
    for (std::wstring_view key : listItems(list)) keys.push_back(fromWide(key));
    return keys;
}

// The section read once, each key's value taken from the first of its lines:
// a map of thousands of fonts would otherwise be read once a key.
std::vector<ProfileEntry> Win32ProfileFiles::readSection(const std::u16string& file, const std::u16string& section) {
    const std::wstring lines = sectionString(file, toWide(section).c_str());
    std::unordered_map<std::u16string, std::wstring_view> firstValues;
    for (std::wstring_view line : listItems(lines))
        if (const std::size_t equals = line.find(L'='); equals != std::wstring_view::npos)
            firstValues.emplace(upperCase(fromWide(line.substr(0, equals))), withoutQuotes(line.substr(equals + 1)));
    std::vector<ProfileEntry> entries;
    for (std::u16string& key : readKeys(file, section)) {
        auto found = firstValues.find(upperCase(key));
        std::u16string value = found == firstValues.end() ? std::u16string() : fromWide(found->second);
        entries.push_back({std::move(key), std::move(value)});
    }
    return entries;
}

bool Win32ProfileFiles::writeString(const std::u16string& file, const std::u16string& section,
                                    const std::u16string& key, const std::u16string& value) {
    return WritePrivateProfileStringW(toWide(section).c_str(), toWide(key).c_str(), toWide(value).c_str(),
                                      toWide(file).c_str()) != FALSE;
}

// With no key the platform removes the whole section.
bool Win32ProfileFiles::eraseSection(const std::u16string& file, const std::u16string& section) {
    return WritePrivateProfileStringW(toWide(section).c_str(), nullptr, nullptr, toWide(file).c_str()) != FALSE;
}

bool Win32ProfileFiles::fileExists(const std::u16string& file) {
    DWORD attributes = attributesOf(file);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32ProfileFiles::folderExists(const std::u16string& folder) {
    DWORD attributes = attributesOf(folder);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Creates each level that is missing, from the top down. Levels that cannot
// be created, such as a drive or a network share, are passed over; only the
// whole folder has to exist at the end.
bool Win32ProfileFiles::createFolder(const std::u16string& folder) {
    const std::u16string path = folder.substr(0, folder.find(u'\0'));
    if (path.empty()) return false;
    for (std::size_t i = 1; i <= path.size(); ++i) {
        if (i < path.size() && !isSeparator(path[i])) continue;
        if (isSeparator(path[i - 1])) continue;
        const std::u16string level = path.substr(0, i);
        if (!folderExists(level)) CreateDirectoryW(toWide(level).c_str(), nullptr);
    }
    return folderExists(path);
}

}  // namespace hebrew
