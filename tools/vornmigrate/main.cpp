// vornmigrate: migrates the Hebrew texts of DXF drawings to a True Type font.
#include "batch.h"
#include "platform.h"

int main(int argc, char** argv) {
    vornmigrate::platform::binaryStandardStreams();
    vornmigrate::removeTemporariesOnInterrupt();
    const auto command = vornmigrate::parseCommandLine(vornmigrate::platform::arguments(argc, argv));
    return vornmigrate::runCommand(command, stdout, stderr);
}
