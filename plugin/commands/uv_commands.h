// Commands that edit UVs and selections from them: the island borders and the vertical flip.
#pragma once

#include <cstdint>

#include "host/host.h"
#include "plugin/commands/polygon_object_commands.h"

namespace pigmora {

// "QOR Select Edges": selects the UV island borders in the selection the document's mode edits.
class SelectIslandsEdgeCmd : public PolygonObjectCommands {
 public:
  bool execute(host::Document* doc) override;
  // Disabled in mode 11 too, where no element selection is edited.
  int32_t getState(host::Document* doc) override;
};

// "QOR Flip UVs Vertical".
class FlipUVsCmd : public host::CommandData {
 public:
  static constexpr int32_t kFlipOutsideFirstRow = 4;
  explicit FlipUVsCmd(int32_t flags) : flags_(flags) {}
  bool execute(host::Document* doc) override;
  int32_t flags() const { return flags_; }

 private:
  int32_t flags_;
};

}  // namespace pigmora
