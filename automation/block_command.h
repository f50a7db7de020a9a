// The block attributes branch of Edit: the attribute editor on a picked block
// reference, with its host objects behind the editor's seams.
#pragma once

#include "automation/host_dispatch.h"

namespace automation {

// entity: the picked block reference, as IGcadEntity. Throws on failure.
void editBlockAttributes(const HostObject& entity);

}  // namespace automation
