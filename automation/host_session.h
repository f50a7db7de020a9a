// The connection to the running host, kept from one command to the next.
#pragma once

#include <memory>

#include "automation/host_dispatch.h"
#include "hebrew/fntdef.h"

namespace automation {

struct HostSession {
    HostObject app;     // IGcadApplication
    HostObject doc;     // IGcadDocument, as read at the last connection
    HostObject entity;  // IGcadEntity of the current or last command
    int hostVersion = 0;
};

HostSession& hostSession();

// The font service, from the first successful connection until unload.
hebrew::TfrmFonts* frmFonts();

// The library is loaded: the remembered host version.
void initializeHostSession();

// Finds the running host, reads its active document and creates the font
// service once. False (after telling the user) when no host runs.
bool ConnectHost();

// No object and no lock is left, so the library may be unloaded (called by
// DllCanUnloadNow before it says so): the font service writes its settings
// and goes, and the host objects are released, here and not under the
// loader lock at unload. A later command, if the library stays, connects
// anew and reads the settings just written. When they cannot be written the
// font service stays, so that nothing of this session is lost before unload.
void releaseHostSession();

// The library is unloaded: what releaseHostSession left is done now. The
// font service writes its settings, then the host objects are released. At
// process exit the host may be gone already: its objects are then
// forgotten, not released.
void finalizeHostSession(bool processExit);

}  // namespace automation
