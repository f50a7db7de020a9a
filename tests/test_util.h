// Small helpers shared by the tests.
#pragma once

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <random>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <process.h>
#define VORN_TEST_PID _getpid()
#else
#include <unistd.h>
#define VORN_TEST_PID getpid()
#endif

#include "hebrew/codepage.h"
#include "hebrew/utf8.h"

namespace testutil {

// The 8-bit form of a UTF-8 literal, for readable test tables.
inline std::string bytes(const std::string& utf8) { return hebrew::toBytes(*hebrew::utf8ToUtf16(utf8)); }

inline std::u16string u16(const std::string& utf8) { return *hebrew::utf8ToUtf16(utf8); }

inline std::string utf8(const std::u16string& s) { return hebrew::utf16ToUtf8(s); }

// Shows byte strings as their numbers, so failures are readable.
inline std::string show(const std::string& b) {
    std::string out;
    for (unsigned char c : b) {
        if (!out.empty()) out += ' ';
        out += (c >= 0x20 && c < 0x7F) ? std::string(1, static_cast<char>(c)) : std::to_string(c);
    }
    return "[" + out + "]";
}

inline std::string show(const std::u16string& s) {
    std::string out;
    for (char16_t c : s) {
        if (!out.empty()) out += ' ';
        if (c >= 0x20 && c < 0x7F) out += static_cast<char>(c);
        else {
            char buf[12];
            std::snprintf(buf, sizeof buf, "U+%04X", static_cast<unsigned>(c));
            out += buf;
        }
    }
    return "[" + out + "]";
}

// A folder of its own under the temporary folder, removed with everything in
// it at the end. Its name holds the process ID and a random part, and it is
// created only if it did not exist: tests running at the same time never
// share a file. (msvcrt's tmpfile() names its files after the process ID in
// the drive's root, and two Wine prefixes hand out the same IDs.)
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& tag = "test") {
        std::random_device device;
        std::mt19937_64 random(device() ^ static_cast<std::uint64_t>(
                                              std::chrono::steady_clock::now().time_since_epoch().count()));
        for (;;) {
            path_ = std::filesystem::temp_directory_path() /
                    ("vorn-" + tag + "-" + std::to_string(VORN_TEST_PID) + "-" + std::to_string(random()));
            if (std::filesystem::create_directories(path_)) return;
        }
    }
    ~ScratchFolder() {
        std::error_code error;
        for (const auto& item : std::filesystem::recursive_directory_iterator(path_, error))
            std::filesystem::permissions(item.path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, error);
        std::filesystem::remove_all(path_, error);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path path(const std::string& name) const { return path_ / std::filesystem::u8path(name); }
    std::u16string name(const std::string& name) const { return path(name).u16string(); }

private:
    std::filesystem::path path_;
};

// What std::tmpfile() gives, in this process's own scratch folder: a new
// file open for reading and writing, gone when the process ends.
inline std::FILE* scratchFile() {
    static ScratchFolder folder("files");
    static int count = 0;
    const std::filesystem::path name = folder.path("f" + std::to_string(++count));
#ifdef _WIN32
    return _wfopen(name.c_str(), L"w+b");
#else
    return std::fopen(name.c_str(), "w+b");
#endif
}

}  // namespace testutil
