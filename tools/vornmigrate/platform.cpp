#include "platform.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <shellapi.h>
#else
#include <unistd.h>
#endif

namespace vornmigrate::platform {

#ifdef _WIN32

std::FILE* openFile(const std::filesystem::path& path, const char* mode) {
    std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
    return _wfopen(path.c_str(), wideMode.c_str());
}

bool replaceFile(const std::filesystem::path& from, const std::filesystem::path& to) {
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool isTerminal(std::FILE* f) { return _isatty(_fileno(f)) != 0; }

std::vector<std::string> arguments(int, char**) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 1; wide && i < count; ++i) {
        const int n = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string s(n > 0 ? n - 1 : 0, '\0');
        if (n > 1) WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, s.data(), n, nullptr, nullptr);
        args.push_back(std::move(s));
    }
    LocalFree(wide);
    return args;
}

void binaryStandardStreams() {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

#else

std::FILE* openFile(const std::filesystem::path& path, const char* mode) { return std::fopen(path.c_str(), mode); }

bool replaceFile(const std::filesystem::path& from, const std::filesystem::path& to) {
    std::error_code ec;
    std::filesystem::rename(from, to, ec);
    return !ec;
}

bool isTerminal(std::FILE* f) { return isatty(fileno(f)) != 0; }

std::vector<std::string> arguments(int argc, char** argv) { return std::vector<std::string>(argv + 1, argv + argc); }

void binaryStandardStreams() {}

#endif

}  // namespace vornmigrate::platform
