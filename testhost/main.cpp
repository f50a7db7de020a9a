// testhost SCRIPT...: plays the CAD host for the automation server. Builds the
// script's drawing, publishes the application, calls the server's commands
// and prints what happened as JSON; several scripts run one after another,
// each in a COM session of its own, and print an array of their reports.
// Exit code 0 when the scripts ran, 2 when one could not be read, 1 when one
// could not be run; what went wrong is written on the error stream first.
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <objbase.h>
#include <ole2.h>

#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "testhost/drawing.h"
#include "testhost/entities.h"
#include "testhost/host_objects.h"
#include "testhost/json.h"
#include "testhost/report.h"
#include "testhost/selfcheck.h"

using namespace testhost;

namespace {

constexpr int kBadScript = 2;

bool readFile(const wchar_t* path, std::string& bytes) {
    FILE* file = _wfopen(path, L"rb");
    if (!file) return false;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) bytes.append(buffer, n);
    std::fclose(file);
    return true;
}

void complain(const std::wstring& message) {
    const std::string text = "testhost: " + json::toUtf8(message) + "\n";
    std::fwrite(text.data(), 1, text.size(), stderr);
}

// A crash in the host or in the server it loaded says what and where before
// the process ends: the test that ran it sees only an exit code otherwise.
LONG WINAPI reportCrash(EXCEPTION_POINTERS* info) {
    char text[160];
    const EXCEPTION_RECORD* record = info->ExceptionRecord;
    const int n = std::snprintf(text, sizeof text, "testhost: unhandled exception 0x%08lX at %p\n",
                                static_cast<unsigned long>(record->ExceptionCode), record->ExceptionAddress);
    DWORD written = 0;
    if (n > 0) WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, static_cast<DWORD>(n), &written, nullptr);
    return EXCEPTION_CONTINUE_SEARCH;
}

// CAD programs declare themselves aware of each monitor's DPI: the system
// then enlarges none of their windows, the server's included, which must
// scale themselves. Where the system has no per-monitor awareness, the
// whole process is declared aware of the screen's DPI.
void declareDpiAware() {
    using SetContext = BOOL(WINAPI*)(HANDLE);
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    const auto setContext = reinterpret_cast<SetContext>(
        reinterpret_cast<void*>(GetProcAddress(user32, "SetProcessDpiAwarenessContext")));
    const HANDLE perMonitorV2 = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4));
    if (!setContext || !setContext(perMonitorV2)) SetProcessDPIAware();
}

std::vector<std::wstring> writtenSteps(const std::vector<UiStep>& steps) {
    std::vector<std::wstring> out;
    for (const UiStep& step : steps) out.push_back(step.written);
    return out;
}

// Performs the script's actions in order, each command with the window
// watcher on.
class Runner {
public:
    Runner(const Script& script, WindowWatcher& watcher, RunRecord& run)
        : watcher_(watcher), run_(run), servers_(script.serverProgId, script.serverClsid) {}

    void perform(const Action& action) {
        switch (action.kind) {
            case Action::Kind::SelectServer: return servers_.select(action.server);
            case Action::Kind::ReleaseServer: return servers_.release(action.server);
            case Action::Kind::Call: return command(action, [&](CommandRecord& r) { servers_.call(action.call, r); });
            case Action::Kind::Selfcheck: return command(action, [&](CommandRecord& r) { selfcheck(action.check, r); });
        }
    }
    void releaseServers() { servers_.releaseAll(); }

private:
    template <class Work>
    void command(const Action& action, Work work) {
        CommandRecord record;
        record.written = action.written;
        const int index = static_cast<int>(run_.commands.size());
        const std::vector<UiStep> left = watcher_.watch(index, action.steps, [&] { work(record); });
        record.uiPending = writtenSteps(left);
        run_.commands.push_back(std::move(record));
    }

    static void selfcheck(const Selfcheck& check, CommandRecord& record) {
        switch (check.kind) {
            case Selfcheck::Kind::Rot: record.selfcheck = selfcheckRunningObjects(); break;
            case Selfcheck::Kind::MessageBox: record.selfcheck = selfcheckMessageBox(check); break;
            case Selfcheck::Kind::Resources: record.selfcheck = selfcheckResources(); break;
        }
    }

    WindowWatcher& watcher_;
    RunRecord& run_;
    ServerObjects servers_;
};

// One script from the start of COM to its end, which unloads the server.
int run(const Script& script, bool interactive, std::string& text) {
    if (HRESULT hr = OleInitialize(nullptr); FAILED(hr)) {
        wchar_t code[16];
        std::swprintf(code, 16, L"0x%08lX", static_cast<unsigned long>(hr));
        complain(std::wstring(L"OleInitialize failed: ") + code);
        return 1;
    }
    // The pointer starts in the screen's corner, away from the windows, so
    // that no control is hot under it whatever ran before.
    if (!interactive) SetCursorPos(0, 0);
    Host host;
    buildDrawing(script, host);
    RunningObjects rot;
    rot.publish(host.drawing.application, script.rotProgIds);
    RunRecord record;
    WindowWatcher watcher;
    watcher.setInteractive(interactive);
    {
        Runner runner(script, watcher, record);
        for (const Action& action : script.actions) runner.perform(action);
        runner.releaseServers();
    }
    // The server's library goes, and with it its references to the host's objects.
    CoFreeUnusedLibrariesEx(0, 0);
    rot.revoke();
    OleUninitialize();
    record.watcher = &watcher;
    record.rot = &rot;
    text = report(host, record);
    return 0;
}

bool readScript(const wchar_t* file, Script& script) {
    std::string bytes;
    if (!readFile(file, bytes)) {
        complain(std::wstring(L"cannot read ") + file);
        return false;
    }
    std::wstring error;
    if (!parseScript(bytes, hostClassNames(), script, error)) {
        complain(std::wstring(file) + L": " + error);
        return false;
    }
    return true;
}

void print(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    SetUnhandledExceptionFilter(reportCrash);
    declareDpiAware();
    _setmode(_fileno(stdout), _O_BINARY);
    // --interactive: the user answers the windows; nothing is closed for them.
    const bool interactive = argc == 3 && lstrcmpiW(argv[1], L"--interactive") == 0;
    if (argc < 2 || (lstrcmpiW(argv[1], L"--interactive") == 0 && !interactive)) {
        complain(L"usage: testhost --interactive SCRIPT | testhost SCRIPT...");
        return kBadScript;
    }
    std::vector<Script> scripts(interactive ? 1 : static_cast<std::size_t>(argc - 1));
    for (std::size_t i = 0; i < scripts.size(); ++i)
        if (!readScript(argv[argc - static_cast<int>(scripts.size()) + static_cast<int>(i)], scripts[i]))
            return kBadScript;
    const bool several = scripts.size() > 1;
    if (several) print("[\n");
    for (std::size_t i = 0; i < scripts.size(); ++i) {
        std::string text;
        int status = 1;
        try {
            status = run(scripts[i], interactive, text);
        } catch (const std::exception& e) {
            complain(L"script " + std::to_wstring(i + 1) + L" ended by an exception: " +
                     std::wstring(e.what(), e.what() + std::strlen(e.what())));
        }
        if (status) return status;
        print((i ? ",\n" : "") + text);
    }
    if (several) print("]\n");
    return 0;
}
