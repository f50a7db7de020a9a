// Private profile files without the platform: the whole file is read, changed
// and written back on every call, with the rules of the Windows profile
// functions as Wine carries them out.
//
// What those rules come to:
// - Section and key names are matched without regard to the case of ASCII
//   letters (other letters must match exactly) after blanks around them are
//   dropped; a section header ends at its last ']'.
// - Blank lines are dropped and every line is written back ending in CR LF;
//   lines before the first section and lines without '=' are kept.
// - A new key goes to the end of its section and a new section to the end of
//   the file, with the name as given less its leading blanks.
// - A value loses the blanks around it when read and its leading blanks when
//   written; one pair of matching quotes around it is removed when read.
// - A file with a UTF-8, UTF-16LE or UTF-16BE byte order mark keeps it; any
//   other file is 8-bit Windows-1255.
// - A write that changes nothing leaves the file untouched.
#pragma once

#include "profile.h"

namespace hebrew {

class PortableProfileFiles : public ProfileFiles {
public:
    std::u16string readString(const std::u16string& file, const std::u16string& section,
                              const std::u16string& key, const std::u16string& def) override;
    std::vector<std::u16string> readKeys(const std::u16string& file,
                                         const std::u16string& section) override;
    std::vector<ProfileEntry> readSection(const std::u16string& file, const std::u16string& section) override;
    bool writeString(const std::u16string& file, const std::u16string& section,
                     const std::u16string& key, const std::u16string& value) override;
    bool eraseSection(const std::u16string& file, const std::u16string& section) override;

    bool fileExists(const std::u16string& file) override;
    bool folderExists(const std::u16string& folder) override;
    bool createFolder(const std::u16string& folder) override;
};

}  // namespace hebrew
