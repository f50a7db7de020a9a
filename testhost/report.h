// The JSON report of a run.
#pragma once

#include <string>
#include <vector>

#include "testhost/host.h"
#include "testhost/rot.h"
#include "testhost/script.h"
#include "testhost/server_calls.h"
#include "testhost/window_watch.h"

namespace testhost {

struct RunRecord {
    std::vector<CommandRecord> commands;
    const WindowWatcher* watcher = nullptr;
    const RunningObjects* rot = nullptr;
};

std::string report(const Host& host, const RunRecord& run);

}  // namespace testhost
