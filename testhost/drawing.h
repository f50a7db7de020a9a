// The host's objects and drawing from the script, with the user's answers
// and the failures to inject.
#pragma once

#include "testhost/host.h"
#include "testhost/script.h"

namespace testhost {

void buildDrawing(const Script& script, Host& host);

}  // namespace testhost
