#include "cli/layer_ref.h"

namespace pigmora::cli {

std::string LayerRef::label() const {
  std::string s = material + "_" + channelKey(channel);
  if (layer) s += "_" + (layer->name().empty() ? std::to_string(layerIndex) : layer->name());
  return s;
}

LayerRef layerRef(JobContext& ctx, const Json& step, bool activeByDefault) {
  LayerRef ref;
  ref.material = stringOf(step, "material");
  ref.channel = step.contains("channel") ? channelOf(step["channel"]) : 0;
  ref.texture = ctx.texture(ref.material, ref.channel);
  int32_t index = 0;
  for (host::PaintBitmap* l = ref.texture->firstLayer(); l; l = l->next(), ++index) {
    const bool wanted =
        step.contains("layer")
            ? (step["layer"].is_number_integer()
                   ? step["layer"].get<int64_t>() == index
                   : step["layer"].is_string() && step["layer"].get<std::string>() == l->name())
            : activeByDefault && l == ref.texture->activeLayer();
    if (wanted) {
      ref.layer = l;
      ref.layerIndex = index;
      return ref;
    }
  }
  if (step.contains("layer"))
    throw StepError("the texture of " + ref.material + " " + channelKey(ref.channel) +
                    " has no layer " + step["layer"].dump() + " (it has " +
                    std::to_string(ref.texture->layerCount()) + ")");
  return ref;
}

}  // namespace pigmora::cli
