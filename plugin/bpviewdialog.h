// The paint view window: the active object's materials with their channels and layers.
#pragma once

#include "host/ui.h"

namespace pigmora {

class BPViewDialog : public host::GeDialog {
 public:
  bool createLayout() override;
};

}  // namespace pigmora
