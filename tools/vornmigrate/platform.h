// The few calls that differ between Windows and elsewhere: files named by
// Unicode paths, file identities, exclusive creation, flushing to the disk,
// replacing a file by renaming, the reasons of failed calls, telling a
// terminal, the signals that end a run, and the command line as UTF-8.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vornmigrate::platform {

std::FILE* openFile(const std::filesystem::path& path, const char* mode);

// What a file is, whatever path names it: device and inode, or Windows'
// volume serial number and file index.
struct FileId {
    std::uint64_t device = 0, index = 0;
    bool operator==(const FileId& o) const { return device == o.device && index == o.index; }
    bool operator<(const FileId& o) const { return device != o.device ? device < o.device : index < o.index; }
};
// The identity of the file or folder path names (links followed); none when
// nothing is there.
std::optional<FileId> fileId(const std::filesystem::path& path);
// What is at path itself, a link not followed.
enum class Entry { Missing, Regular, Other };
Entry entryAt(const std::filesystem::path& path);

// A new file for writing, created only where nothing was (no link followed,
// no file shared with another process); nullptr with the reason in error.
std::FILE* createNew(const std::filesystem::path& path, std::string& error);
// Gives the file created by createNew the permissions (and, where allowed,
// the owner) of the file it is to replace.
void takePermissionsOf(std::FILE* created, const std::filesystem::path& replaced);
// Writes what the stream holds through to the disk; false with the reason.
bool flushToDisk(std::FILE* f, std::string& error);
// Renames from to to, replacing to when it exists, and writes the rename of
// the folder through to the disk; false with the reason.
bool replaceFile(const std::filesystem::path& from, const std::filesystem::path& to, std::string& error);
// The reason of the last failed C library call.
std::string lastError();

// A random number for names no other process can predict, and this
// process's ID.
std::uint64_t randomNumber();
unsigned long processId();

// Calls cleanUp once, away from the signal itself, when the run is ended by
// Ctrl+C, SIGINT or SIGTERM, and then ends the process with 130 (SIGINT) or
// 143 (SIGTERM). Set once, before any other thread starts.
void onInterrupt(void (*cleanUp)());

bool isTerminal(std::FILE* f);
// The arguments after the program name, in UTF-8.
std::vector<std::string> arguments(int argc, char** argv);
// Standard output and error take bytes as they are.
void binaryStandardStreams();

}  // namespace vornmigrate::platform
