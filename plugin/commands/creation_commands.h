// The commands that prepare an object for painting with materials, textures, texture tags and
// selections: for the selected polygons, per polygon and per UV island, optionally on UDIM tiles.
#pragma once

#include <cstdint>

#include "host/host.h"
#include "plugin/commands/polygon_object_commands.h"

namespace pigmora {

// "QOR Create Poly Materials" and "QOR Create UDIM Poly Materials".
class CreateMaterialPerPolyCmd : public PolygonObjectCommands {
 public:
  // Above this many polygons the user is asked first.
  static constexpr int32_t kAskAbove = 10;
  explicit CreateMaterialPerPolyCmd(int32_t udim) : udim_(udim) {}
  bool execute(host::Document* doc) override;
  int32_t udim() const { return udim_; }

 private:
  int32_t udim_;
};

// "QOR Create Single Material" and "QOR Create Single UDIM".
class CreateSingleMaterialCmd : public PolygonObjectCommands {
 public:
  explicit CreateSingleMaterialCmd(int32_t udim) : udim_(udim) {}
  bool execute(host::Document* doc) override;
  int32_t udim() const { return udim_; }

 private:
  int32_t udim_;
};

// "QOR Create Material Per UV Island" and "QOR Create UDIM Per UV Island".
class CreateMaterialIslandsCmd : public PolygonObjectCommands {
 public:
  explicit CreateMaterialIslandsCmd(int32_t udim) : udim_(udim) {}
  bool execute(host::Document* doc) override;
  int32_t udim() const { return udim_; }

 private:
  int32_t udim_;
};

}  // namespace pigmora
