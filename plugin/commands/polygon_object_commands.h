// The base of the commands that work on the document's active polygon object.
#pragma once

#include <cstdint>

#include "host/host.h"

namespace pigmora {

class PolygonObjectCommands : public host::CommandData {
 public:
  // Enabled while the document's active object is a polygon object.
  int32_t getState(host::Document* doc) override;

 protected:
  // The document's active object when it is a polygon object, else null.
  static host::PolygonObject* activePolygonObject(host::Document* doc);
};

}  // namespace pigmora
