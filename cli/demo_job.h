// `pigmora demo`: the main job on its built-in scene. It needs no files of the user's: the
// meshes are made in code, the stamp and the stencil come with the program's data.
#pragma once

#include <filesystem>

#include "cli/job_context.h"

namespace pigmora::cli {

// The demo as a job: a UV sphere and a box with layered colour textures of size x size, painted
// with strokes (falloff, stamp, stencil, blur, secondary colours), the box's UV islands filled,
// bled, one stroke undone and redone, then every painted layer and a preview written out.
Json demoJob(int32_t size);

// The folder of the program's data (stamps, stencils, example jobs): beside the source tree the
// program was built from, or "data" in the working folder. Empty when neither exists.
std::filesystem::path dataFolder();

}  // namespace pigmora::cli
