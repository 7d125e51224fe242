#include "hostapp/ui/palette.h"

namespace hostapp {

Rgba paletteColor(int32_t colorId) {
  switch (colorId) {
    case host::kColorBackground:
      return {58, 58, 60, 255};
    case host::kColorField:
      return {34, 34, 36, 255};
    case host::kColorLine:
      return {24, 24, 26, 255};
    case host::kColorHighlight:
      return {232, 160, 48, 255};
    case host::kColorLineBackground:
      return {50, 50, 52, 255};
    case host::kColorTextHover:
      return {255, 214, 120, 255};
    case host::kColorText:
    default:
      return {218, 218, 218, 255};
  }
}

}  // namespace hostapp
