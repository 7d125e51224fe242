// Naming a texture or one of its layers in a step: "material", "channel" (color by default) and
// "layer" (an index from 0 at the bottom, or a name).
#pragma once

#include "cli/job_context.h"

namespace pigmora::cli {

struct LayerRef {
  host::PaintTexture* texture = nullptr;
  host::PaintBitmap* layer = nullptr;  // null when the step names the texture as a whole
  int32_t channel = 0;
  int32_t layerIndex = -1;
  std::string material;
  // "<material>_<channel>" or "<material>_<channel>_<layer name>", for default file names.
  std::string label() const;
};

// With `activeByDefault` a step without "layer" means the active layer, else the whole texture.
LayerRef layerRef(JobContext& ctx, const Json& step, bool activeByDefault);

}  // namespace pigmora::cli
