// The brush's blur: each pixel of a span moves toward the average of its 5 x 5 neighbourhood as
// the bitmap holds it now.
#pragma once

#include <cstddef>
#include <cstdint>

#include "plugin/rast/raster_slots.h"

namespace pigmora {

constexpr int32_t kBlurReach = 2;  // the blur averages (2 * 2 + 1)^2 pixels

// Scratch of the blur for spans of up to `widest` pixels, carved out of the rasteriser's one
// allocation: reserve() before the allocation, place() after it.
class BlurScratch {
 public:
  void reserve(ScratchLayout& layout, size_t widest);
  void place(uint8_t* base);

  uint8_t* rows = nullptr;    // one neighbourhood row, up to 16 bytes a pixel
  float* sums = nullptr;      // per column: four sums
  int32_t* counts = nullptr;  // per column: pixels delivered
  float* average = nullptr;   // per pixel, float RGB
  float* opacity = nullptr;   // per pixel
  uint8_t* colors = nullptr;  // per pixel, in the bitmap's mode

 private:
  size_t at_[6] = {};
};

// Blurs `count` pixels of row y from x0 on, held in `row` in the bitmap's mode, pixel k at
// opacity[k]. Neighbours the host cannot deliver are left out.
// - Without alpha, the colour moves toward the plain average of the neighbourhood, as the blend
//   paints a colour.
// - With alpha, the neighbours' colours are weighted by their alpha and the pixel's alpha and
//   premultiplied colour move toward the mean alpha and the mean premultiplied colour, so that
//   transparent neighbours thin a colour out instead of darkening it. A neighbourhood with no
//   alpha at all leaves the pixel as it is.
// False when nothing was blurred (the averages could not be converted into the bitmap's mode).
bool blurSpan(const SlotPass& p, int32_t y, int32_t x0, int32_t count, const float* opacity,
              BlurScratch& s, uint8_t* row);

}  // namespace pigmora
