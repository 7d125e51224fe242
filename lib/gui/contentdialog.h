// The content browser window: stamp and stencil images and the host's content libraries.
#pragma once

#include "host/ui.h"

namespace pigmora {

class ContentDialog : public host::GeDialog {
 public:
  bool createLayout() override;
};

}  // namespace pigmora
