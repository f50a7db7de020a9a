// Private profile (INI) files: the settings, the font map and the key tables
// live in them. Two implementations share this interface: the platform's own
// profile functions on Windows, and a portable one with the same semantics.
#pragma once

#include <string>
#include <vector>

namespace hebrew {

struct ProfileEntry {
    std::u16string key, value;
};

class ProfileFiles {
public:
    virtual ~ProfileFiles() = default;

    // The value of key in section, or def when the file, section or key is
    // missing. Section and key names are matched without regard to case.
    virtual std::u16string readString(const std::u16string& file, const std::u16string& section,
                                      const std::u16string& key, const std::u16string& def) = 0;

    // The key names of section in file order; empty when there is none.
    virtual std::vector<std::u16string> readKeys(const std::u16string& file,
                                                 const std::u16string& section) = 0;

    // The keys of section as readKeys lists them, each with the value that
    // readString gives it (an empty default). This form asks for each key;
    // an implementation that reads the file once makes it linear.
    virtual std::vector<ProfileEntry> readSection(const std::u16string& file, const std::u16string& section) {
        std::vector<ProfileEntry> entries;
        for (std::u16string& key : readKeys(file, section)) {
            std::u16string value = readString(file, section, key, u"");
            entries.push_back({std::move(key), std::move(value)});
        }
        return entries;
    }

    // Replaces the value in place or appends the key at the end of its
    // section, adding the section and creating the file when needed.
    // Returns false when the file cannot be written.
    virtual bool writeString(const std::u16string& file, const std::u16string& section,
                             const std::u16string& key, const std::u16string& value) = 0;

    // Removes section with all its entries. Returns false when the file
    // cannot be written.
    virtual bool eraseSection(const std::u16string& file, const std::u16string& section) = 0;

    virtual bool fileExists(const std::u16string& file) = 0;
    virtual bool folderExists(const std::u16string& folder) = 0;
    // Creates folder and every missing folder above it.
    virtual bool createFolder(const std::u16string& folder) = 0;
};

}  // namespace hebrew
