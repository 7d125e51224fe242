#include "plugin/commands/uv_commands.h"

#include "plugin/uvedits.h"

namespace pigmora {

namespace {
constexpr int32_t kModeWithoutSelection = 11;
}

bool SelectIslandsEdgeCmd::execute(host::Document* doc) {
  return selectIslandEdges(doc);
}

int32_t SelectIslandsEdgeCmd::getState(host::Document* doc) {
  if (!PolygonObjectCommands::getState(doc)) return 0;
  return doc->data().getInt32(host::kDocMode) == kModeWithoutSelection ? 0 : kStateEnabled;
}

bool FlipUVsCmd::execute(host::Document* doc) {
  if (!doc || !(flags_ & kFlipOutsideFirstRow)) return false;
  flipUVsVertical(doc);
  return true;
}

}  // namespace pigmora
