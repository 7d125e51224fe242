#include "plugin/bpviewdialog.h"

namespace pigmora {

bool BPViewDialog::createLayout() {
  return setTitle("Pigmora Material View");
}

}  // namespace pigmora
