// An in-memory stand-in for the profile files, for tests of their callers.
#pragma once

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "hebrew/profile.h"

namespace testutil {

class MemoryProfiles : public hebrew::ProfileFiles {
public:
    struct Section {
        std::u16string name;
        std::vector<std::pair<std::u16string, std::u16string>> entries;
    };
    using File = std::vector<Section>;

    std::map<std::u16string, File> files;
    std::set<std::u16string> folders;
    std::set<std::u16string> readOnlyFiles;
    int writes = 0;

    std::u16string readString(const std::u16string& file, const std::u16string& section, const std::u16string& key,
                              const std::u16string& def) override {
        const Section* s = findSection(file, section);
        if (!s) return def;
        for (const auto& [k, v] : s->entries)
            if (same(k, key)) return v;
        return def;
    }

    std::vector<std::u16string> readKeys(const std::u16string& file, const std::u16string& section) override {
        std::vector<std::u16string> keys;
        if (const Section* s = findSection(file, section))
            for (const auto& entry : s->entries) keys.push_back(entry.first);
        return keys;
    }

    bool writeString(const std::u16string& file, const std::u16string& section, const std::u16string& key,
                     const std::u16string& value) override {
        if (!canWrite(file)) return false;
        ++writes;
        Section* s = findSection(file, section);
        if (!s) {
            files[file].push_back({section, {}});
            s = &files[file].back();
        }
        for (auto& [k, v] : s->entries)
            if (same(k, key)) {
                v = value;
                return true;
            }
        s->entries.emplace_back(key, value);
        return true;
    }

    bool eraseSection(const std::u16string& file, const std::u16string& section) override {
        if (!canWrite(file)) return false;
        ++writes;
        File& f = files[file];
        f.erase(std::remove_if(f.begin(), f.end(), [&](const Section& s) { return same(s.name, section); }), f.end());
        return true;
    }

    bool fileExists(const std::u16string& file) override { return files.count(file) != 0; }
    bool folderExists(const std::u16string& folder) override { return folders.count(folder) != 0; }
    bool createFolder(const std::u16string& folder) override {
        if (folder.rfind(u"\\Sulmoro", 0) == 0) return false;  // no drive: cannot be made
        folders.insert(folder);
        return true;
    }

    void set(const std::u16string& file, const std::u16string& section, const std::u16string& key,
             const std::u16string& value) {
        Section* s = findSection(file, section);
        if (!s) {
            files[file].push_back({section, {}});
            s = &files[file].back();
        }
        s->entries.emplace_back(key, value);
    }

private:
    static bool same(const std::u16string& a, const std::u16string& b) {
        auto up = [](char16_t c) { return (c >= 'a' && c <= 'z') ? char16_t(c - 32) : c; };
        return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char16_t x, char16_t y) {
                   return up(x) == up(y);
               });
    }
    Section* findSection(const std::u16string& file, const std::u16string& section) {
        auto f = files.find(file);
        if (f == files.end()) return nullptr;
        for (Section& s : f->second)
            if (same(s.name, section)) return &s;
        return nullptr;
    }
    bool canWrite(const std::u16string& file) const {
        if (readOnlyFiles.count(file)) return false;
        const std::u16string folder = file.substr(0, file.find_last_of(u"\\/") + 1);
        return folders.count(folder) != 0;
    }
};

}  // namespace testutil
