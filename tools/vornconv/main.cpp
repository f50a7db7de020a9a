// vornconv: converts a drawing's stored strings to editor text and back.
#include <cstdio>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "converter.h"

int main(int argc, char** argv) {
#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    std::vector<std::string> args(argv + 1, argv + argc);
    vornconv::Arguments parsed = vornconv::parseArguments(args);
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "%s\n", parsed.error.c_str());
        return 2;
    }
    if (parsed.help) {
        std::fputs(vornconv::kUsage, stdout);
        return 0;
    }
    auto surface = hebrew::makeLeftToRightSurface();
    if (!vornconv::convertStream(stdin, stdout, stderr, parsed.options, *surface)) {
        std::perror("vornconv");
        return 1;
    }
    return 0;
}
