// exit_status PROGRAM [ARGS...]: runs PROGRAM with this process's streams and
// ends with its exit code. When that code is not 0 it also writes the code as
// Windows reports it on the error stream: under Wine a Unix parent sees only
// its low byte, so a crash (0xC0000005) and an exit(5) look alike there.
// PROGRAM ends with this process, as it would without it: a test that kills
// this process on a timeout leaves no program behind on the desktop.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <initializer_list>

namespace {

// The command line after this program's own name, as it was given.
const wchar_t* commandAfterOwnName() {
    const wchar_t* p = GetCommandLineW();
    if (*p == L'"') {
        ++p;
        while (*p && *p != L'"') ++p;
        if (*p) ++p;
    } else {
        while (*p && *p != L' ' && *p != L'\t') ++p;
    }
    while (*p == L' ' || *p == L'\t') ++p;
    return p;
}

const char* nameOf(DWORD code) {
    switch (code) {
        case 0xC0000005: return "access violation";
        case 0xC00000FD: return "stack overflow";
        case 0xC0000409: return "stack buffer overrun or fail-fast";
        case 0xC0000374: return "heap corruption";
        case 0xC0000135: return "a DLL was not found";
        case 0xC0000142: return "a DLL failed to initialise";
        case 0xE06D7363: return "unhandled C++ exception";
        case 0x80000003: return "breakpoint";
        case 0x40010004: return "ended by a debugger";
        default: return nullptr;
    }
}

void inheritable(DWORD which) {
    HANDLE h = GetStdHandle(which);
    if (h && h != INVALID_HANDLE_VALUE) SetHandleInformation(h, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
}

// A job that ends its process when this one ends. What that process starts
// (Wine's desktop, a debugger) stays out of it.
HANDLE jobEndingWithThisProcess() {
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (!job) return nullptr;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_SILENT_BREAKAWAY_OK;
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        CloseHandle(job);
        return nullptr;
    }
    return job;
}

}  // namespace

int wmain() {
    static wchar_t command[32768];
    std::wcsncpy(command, commandAfterOwnName(), 32767);
    if (!*command) {
        std::fputs("usage: exit_status PROGRAM [ARGS...]\n", stderr);
        return 2;
    }
    for (DWORD which : {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) inheritable(which);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    // Wine reports ERROR_INTERNAL_ERROR when the new process ended before
    // its own start was done: the program has not run a line, and the start
    // is made again. Said on the error stream, so that it never goes unseen.
    constexpr int kStarts = 3;
    for (int start = 1;; ++start) {
        if (CreateProcessW(nullptr, command, nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr, nullptr, &startup,
                           &process))
            break;
        const DWORD error = GetLastError();
        if (error != ERROR_INTERNAL_ERROR || start == kStarts) {
            std::fprintf(stderr, "exit_status: %ls could not be started: error %lu\n", command, error);
            return 1;
        }
        std::fprintf(stderr, "exit_status: %ls ended before it started (error %lu); starting it again\n", command,
                     error);
        Sleep(200);
    }
    // Kept open until this process ends, with the job's process.
    if (HANDLE job = jobEndingWithThisProcess()) AssignProcessToJobObject(job, process.hProcess);
    ResumeThread(process.hThread);
    CloseHandle(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    if (code != 0) {
        const char* name = nameOf(code);
        std::fprintf(stderr, "exit_status: the program ended with exit code 0x%08lX (%lu%s%s)\n", code, code,
                     name ? ", " : "", name ? name : "");
    }
    return static_cast<int>(code);
}
