#include "lib/gui/decorations.h"

#include "lib/gui/viewarea.h"

namespace pigmora {

void FileOnServerDecoration::draw(ViewAreaBase& area, host::Bitmap* preview,
                                  const host::UiRect& cell) {
  (void)preview;
  // A 10 x 10 square 20 to 30 pixels left of and 5 to 15 pixels above the bottom-right corner.
  area.setPen(host::Vector(1, 1, 0));
  area.fillRect(cell.x2 - 30, cell.y2 - 15, cell.x2 - 21, cell.y2 - 6);
}

}  // namespace pigmora
