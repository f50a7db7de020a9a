// The platform's own profile functions.
#pragma once

#include "profile.h"

namespace hebrew {

class Win32ProfileFiles : public ProfileFiles {
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
    // Accepts both '\' and '/' between the folder names.
    bool createFolder(const std::u16string& folder) override;
};

}  // namespace hebrew
