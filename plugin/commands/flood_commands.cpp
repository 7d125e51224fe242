#include "plugin/commands/flood_commands.h"

#include "plugin/fill/floodlayers.h"

namespace pigmora {

bool ApplyFloodCmd::execute(host::Document* doc) {
  if (!doc) return false;
  if (mode_ != kFloodFillLayer) return runFloodCommand(doc, mode_);
  if (fillColor_)
    fillCurrentLayer(doc);
  else
    fillCurrentLayerUVs(doc);
  return true;
}

}  // namespace pigmora
