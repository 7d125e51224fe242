// What a gadget shows as text: shared by the layout (to size gadgets) and the renderer.
#pragma once

#include <string>

#include "hostapp/ui/widget.h"

namespace hostapp {

// A slider's or number field's value in its display format: integers plainly, reals with as
// many decimals as the step needs (two without a step), percentages of 1.
std::string formatNumber(const Widget& w);

}  // namespace hostapp
