// The multiline paths of the commands: the multiline branch of Edit and the
// Mtext command, each with one multiline editor window.
#pragma once

#include "automation/host_dispatch.h"

namespace automation {

// Edit on a picked multiline text: load it, show the editor, write it on OK.
void editMultilineText(const HostObject& entity);

// Mtext after the connection: ask for the placement, show the editor empty,
// create the text on OK.
void createMultilineText();

}  // namespace automation
