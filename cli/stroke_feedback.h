// Telling the user why a stroke painted nothing: every dab off the surface, no texture to paint,
// channel textures of differing sizes, strength 0, restricted to a selection the dabs missed.
#pragma once

#include <map>
#include <string>

#include "cli/job_context.h"
#include "hostapp/sculpt/stroke_engine.h"

namespace hostapp {
class PaintTextureImpl;
}

namespace pigmora::cli {

// How many pixel writes changed every open texture of the document so far.
using PaintWatch = std::map<const hostapp::PaintTextureImpl*, uint64_t>;
PaintWatch watchTextures(const JobContext& ctx);
// Whether any pixel of any texture changed since the watch began.
bool paintedSince(const JobContext& ctx, const PaintWatch& watch);

// The reason a stroke with these results painted nothing on obj, as a clause ("every dab was off
// the surface of \"Ball\"").
std::string whyNothingPainted(JobContext& ctx, host::PolygonObject* obj,
                              const hostapp::StrokeStats& stats, const hostapp::StrokeInput& input);

}  // namespace pigmora::cli
