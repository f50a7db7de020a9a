// The test host checking itself as a client would: the running object
// table and the object model through IDispatch by name, and message box
// capture. Each gives its findings as JSON.
#pragma once

#include <string>

#include "testhost/script.h"

namespace testhost {

// For each host program identifier: the application from the running
// object table, its document's utility, and one GetEntity through it.
std::string selfcheckRunningObjects();
std::string selfcheckMessageBox(const Selfcheck& check);
// The process's handles, window system objects and private memory, after
// letting COM unload the libraries no longer in use, and whether the server
// is still loaded.
std::string selfcheckResources();

}  // namespace testhost
