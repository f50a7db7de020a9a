// The few calls that differ between Windows and elsewhere: files named by
// Unicode paths, replacing a file by renaming, telling a terminal, and the
// command line as UTF-8.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace vornmigrate::platform {

std::FILE* openFile(const std::filesystem::path& path, const char* mode);
// Renames from to to, replacing to when it exists.
bool replaceFile(const std::filesystem::path& from, const std::filesystem::path& to);
bool isTerminal(std::FILE* f);
// The arguments after the program name, in UTF-8.
std::vector<std::string> arguments(int argc, char** argv);
// Standard output and error take bytes as they are.
void binaryStandardStreams();

}  // namespace vornmigrate::platform
