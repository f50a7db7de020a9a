// vornmigrate's command line: which drawings, where their migrated copies
// go, the report, and the run over all of them.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "migrate.h"

namespace vornmigrate {

extern const char* const kUsage;

enum ExitCode { kAllMigrated = 0, kSomeFailed = 1, kBadUsage = 2 };

struct CommandLine {
    Target target = Target::Host;
    std::string font = "arial.ttf";
    std::optional<std::string> mapFile, reportFile, outDir, learnMapFile;
    bool dryRun = false, quiet = false, help = false;
    unsigned jobs = 0;  // 0: the number of processors
    std::vector<std::string> paths;
    std::string error;  // non-empty: bad usage
};

CommandLine parseCommandLine(const std::vector<std::string>& args);

// Makes Ctrl+C, SIGINT and SIGTERM remove the run's unfinished files before
// the process ends; once, before runCommand.
void removeTemporariesOnInterrupt();

// Runs the command; progress and messages go to err, the summary to out.
int runCommand(const CommandLine& command, std::FILE* out, std::FILE* err);

}  // namespace vornmigrate
