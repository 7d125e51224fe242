// The parameters the host itself offers for editing: those of a document and of the world
// settings, described the way plug-ins describe theirs, so that the same lookups by id and name
// serve both.
#pragma once

#include "host/description.h"

namespace hostapp {

// Document parameters: 1012 document path, 1019 editing mode, 1020 active tool.
const host::Description& documentDescription();
// World settings: 1018 undo depth. (The painting preferences, sub-container 1037934, have their
// own page.)
const host::Description& worldDescription();

}  // namespace hostapp
