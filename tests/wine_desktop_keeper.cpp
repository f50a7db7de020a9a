// wine_desktop_keeper FLAG: holds the prefix's desktop open while FLAG exists.
//
// Wine starts its desktop process with the first program that needs a
// desktop, and that process keeps the program's output streams until the
// last program using the desktop has ended: ctest, which waits for those
// streams to close, would wait for a test as long as other tests run beside
// it. Started first, with no output streams, this program is the one the
// desktop starts with, and it keeps the desktop until FLAG is removed.
#include <windows.h>

#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return 2;
    GetDesktopWindow();  // the desktop process starts here
    const std::wstring ready = std::wstring(argv[1]) + L".ready";
    HANDLE marker = CreateFileW(ready.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (marker == INVALID_HANDLE_VALUE) return 1;
    CloseHandle(marker);
    // An hour at most, should nobody remove the flag.
    for (int tick = 0; tick < 3600 * 5 && GetFileAttributesW(argv[1]) != INVALID_FILE_ATTRIBUTES; ++tick) Sleep(200);
    DeleteFileW(ready.c_str());
    return 0;
}
