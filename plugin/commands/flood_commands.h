// The fill and bleed commands.
#pragma once

#include <cstdint>

#include "host/host.h"
#include "plugin/commands/polygon_object_commands.h"

namespace pigmora {

// "QOR Apply Bleed" (20001), "QOR Fill Current Layer" (20003 with the fill colour),
// "QOR Fill Current Layer UVs" (20003 without) and "QOR Fill UV Islands" (20004).
class ApplyFloodCmd : public PolygonObjectCommands {
 public:
  ApplyFloodCmd(int32_t mode, int32_t fillColor) : mode_(mode), fillColor_(fillColor) {}
  bool execute(host::Document* doc) override;
  int32_t mode() const { return mode_; }
  int32_t fillColor() const { return fillColor_; }

 private:
  int32_t mode_;
  int32_t fillColor_;
};

}  // namespace pigmora
