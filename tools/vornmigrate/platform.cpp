#include "platform.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <random>
#include <thread>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <shellapi.h>
#else
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vornmigrate::platform {

std::uint64_t randomNumber() {
    static std::mt19937_64 generator = [] {
        std::random_device device;
        const auto now = static_cast<std::uint64_t>(std::chrono::high_resolution_clock::now().time_since_epoch().count());
        return std::mt19937_64((static_cast<std::uint64_t>(device()) << 32) ^ device() ^ now ^ processId());
    }();
    static std::mutex lock;
    std::lock_guard<std::mutex> guard(lock);
    return generator();
}

std::string lastError() { return std::strerror(errno); }

#ifdef _WIN32

namespace {

std::string windowsMessage(DWORD code) {
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                                   reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string out;
    if (n && text) {
        const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(n), nullptr, 0, nullptr, nullptr);
        out.resize(static_cast<std::size_t>(bytes));
        WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(n), out.data(), bytes, nullptr, nullptr);
        while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' ' || out.back() == '.'))
            out.pop_back();
    }
    LocalFree(text);
    return out.empty() ? "Windows error " + std::to_string(code) : out;
}

void (*interruptCleanUp)() = nullptr;

BOOL WINAPI onConsoleEvent(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) return FALSE;
    static std::once_flag once;
    std::call_once(once, [] { interruptCleanUp(); });
    ExitProcess(130);
    return TRUE;
}

}  // namespace

unsigned long processId() { return GetCurrentProcessId(); }

std::FILE* openFile(const std::filesystem::path& path, const char* mode) {
    std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
    return _wfopen(path.c_str(), wideMode.c_str());
}

std::optional<FileId> fileId(const std::filesystem::path& path) {
    HANDLE h = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool ok = GetFileInformationByHandle(h, &info) != 0;
    CloseHandle(h);
    if (!ok) return std::nullopt;
    return FileId{info.dwVolumeSerialNumber, (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

Entry entryAt(const std::filesystem::path& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return Entry::Missing;
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) return Entry::Other;
    return Entry::Regular;
}

std::FILE* createNew(const std::filesystem::path& path, std::string& error) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error = windowsMessage(GetLastError());
        return nullptr;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(h);
        error = "no file descriptor";
        return nullptr;
    }
    std::FILE* f = _fdopen(fd, "wb");
    if (!f) {
        _close(fd);
        error = lastError();
    }
    return f;
}

void takePermissionsOf(std::FILE*, const std::filesystem::path&) {}  // the folder's permissions are inherited

bool flushToDisk(std::FILE* f, std::string& error) {
    if (std::fflush(f) != 0) {
        error = lastError();
        return false;
    }
    if (!FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(f))))) {
        error = windowsMessage(GetLastError());
        return false;
    }
    return true;
}

bool replaceFile(const std::filesystem::path& from, const std::filesystem::path& to, std::string& error) {
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    error = windowsMessage(GetLastError());
    return false;
}

void onInterrupt(void (*cleanUp)()) {
    interruptCleanUp = cleanUp;
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
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

unsigned long processId() { return static_cast<unsigned long>(getpid()); }

std::FILE* openFile(const std::filesystem::path& path, const char* mode) { return std::fopen(path.c_str(), mode); }

std::optional<FileId> fileId(const std::filesystem::path& path) {
    struct stat st{};
    if (stat(path.c_str(), &st) != 0) return std::nullopt;
    return FileId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

Entry entryAt(const std::filesystem::path& path) {
    struct stat st{};
    if (lstat(path.c_str(), &st) != 0) return errno == ENOENT || errno == ENOTDIR ? Entry::Missing : Entry::Other;
    return S_ISREG(st.st_mode) ? Entry::Regular : Entry::Other;
}

std::FILE* createNew(const std::filesystem::path& path, std::string& error) {
    // O_EXCL fails on anything already there, a link included.
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = lastError();
        return nullptr;
    }
    std::FILE* f = fdopen(fd, "wb");
    if (!f) {
        error = lastError();
        close(fd);
    }
    return f;
}

void takePermissionsOf(std::FILE* created, const std::filesystem::path& replaced) {
    struct stat st{};
    if (stat(replaced.c_str(), &st) != 0) return;
    const int fd = fileno(created);
    if (fchown(fd, st.st_uid, st.st_gid) != 0) {
        // Only the owner's group, or none, can be given by someone else: the mode still is.
    }
    fchmod(fd, st.st_mode & 07777);
}

bool flushToDisk(std::FILE* f, std::string& error) {
    if (std::fflush(f) != 0 || fsync(fileno(f)) != 0) {
        error = lastError();
        return false;
    }
    return true;
}

bool replaceFile(const std::filesystem::path& from, const std::filesystem::path& to, std::string& error) {
    if (std::rename(from.c_str(), to.c_str()) != 0) {
        error = lastError();
        return false;
    }
    // The rename itself reaches the disk with the folder.
    const std::filesystem::path folder = to.has_parent_path() ? to.parent_path() : std::filesystem::path(".");
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
    return true;
}

void onInterrupt(void (*cleanUp)()) {
    // The signals go to one thread of their own, which cleans up outside any
    // signal handler and ends the process.
    static sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::thread([cleanUp] {
        int signal = 0;
        sigwait(&signals, &signal);
        cleanUp();
        _exit(128 + signal);
    }).detach();
}

bool isTerminal(std::FILE* f) { return isatty(fileno(f)) != 0; }

std::vector<std::string> arguments(int argc, char** argv) { return std::vector<std::string>(argv + 1, argv + argc); }

void binaryStandardStreams() {}

#endif

}  // namespace vornmigrate::platform
