// Commands on the texture tags: removing all of them, and making the host evaluate their tiling.
#pragma once

#include "host/host.h"
#include "plugin/commands/polygon_object_commands.h"

namespace pigmora {

// "QOR Delete Texture Tags": every texture tag of every object of the document, as one undo.
class DeleteAllTextureTags : public host::CommandData {
 public:
  bool execute(host::Document* doc) override;
};

// "QOR Toggle Tiling": turns tiling off and on again on every texture tag of the active object, so
// that the host re-evaluates them; every tag ends tiling.
class ToggleTilingCmd : public PolygonObjectCommands {
 public:
  bool execute(host::Document* doc) override;
};

}  // namespace pigmora
