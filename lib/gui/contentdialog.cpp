#include "lib/gui/contentdialog.h"

namespace pigmora {

bool ContentDialog::createLayout() {
  return setTitle("Pigmora Content View");
}

}  // namespace pigmora
