// UV edits: selecting the borders of the UV islands and flipping UVs outside the first row.
#pragma once

#include "host/host.h"

namespace pigmora {

// Selects the island borders of the active polygon object in the selection that the document's
// mode edits (5 points, 6 edges, 7 polygons), as one undo group. False when nothing was done.
bool selectIslandEdges(host::Document* doc);

// Mirrors v of every UV point below 0 or above 1 inside its own unit row, on the active object or
// else on every selected polygon object, as one undo group.
void flipUVsVertical(host::Document* doc);

// The flip of one v coordinate: 1.25 -> 1.75, 2.0 -> 3.0, -0.25 -> 1.75; 0 .. 1 stays.
double flipV(double v);

}  // namespace pigmora
