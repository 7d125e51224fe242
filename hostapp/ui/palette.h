// The host's colours by id: one dark theme, shared by window chrome and user areas.
#pragma once

#include <cstdint>

#include "host/ui_types.h"
#include "hostapp/ui/canvas.h"

namespace hostapp {

// Unknown ids give the text colour, so that nothing drawn with them disappears.
Rgba paletteColor(int32_t colorId);

}  // namespace hostapp
