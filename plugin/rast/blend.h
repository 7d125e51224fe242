// The per-pixel blend through which every painted pixel goes, in every paintable colour mode.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/paint.h"

namespace pigmora {

// How a paintable colour mode lays out one pixel. The blend kernels are chosen from it.
struct PixelLayout {
  int32_t mode = 0;
  int32_t bits = 0;  // per component: 8, 16 or 32 (float)
  int32_t components = 0;
  int32_t pixelBytes = 0;
  bool alpha = false;   // alpha is the first component
  bool blends = false;  // false for the alpha-only mode, whose pixels are never changed
};

// The layout of a paintable mode; false (layout untouched) for every other mode.
bool pixelLayout(int32_t mode, PixelLayout& layout);

// The largest pixel of any paintable mode (float alpha + RGB).
constexpr int32_t kMaxPixelBytes = 16;

// Blends one pixel of a row buffer held in `mode` at row + offset, and moves offset on by the
// pixel size whatever happens. `color` is one pixel in `mode`.
// - opacity <= 0 (or not a number) leaves the pixel alone; above 1 counts as 1.
// - With a stamp, the stamp pixel at (x, y) becomes the colour; with stampAlpha its alpha scales
//   the opacity. Unless useStampColor is set, an RGB stamp is a mask instead: its brightness
//   scales the opacity and `replacement` (when given) is painted.
// - Without a stamp but with a source, the source pixel at (x, y) is painted.
// A stamp or source pixel that cannot be read leaves the pixel alone.
void BlendPixel(int32_t mode, size_t& offset, uint8_t* row, double opacity, const uint8_t* color,
                bool stampAlpha, bool useStampColor, const uint8_t* replacement,
                const host::Bitmap* stamp, const host::PaintBitmap* source, int32_t x, int32_t y);

// BlendPixel's stamp case with the stamp pixel already read in the layout's mode: `alpha`, when
// given, is the stamp's alpha byte (the caller passes it only with stampAlpha), and the pixel
// at `p` is blended the same way to the same bytes.
void blendStampPixel(const PixelLayout& layout, uint8_t* p, double opacity, const uint8_t* sampled,
                     const uint8_t* alpha, bool useStampColor, const uint8_t* replacement);

// blendStampPixel over `count` pixels of a row segment: pixel k from the kept stamp pixel at
// index at[k] of `kept` (pixels in the layout's mode; alpha bytes in `keptAlpha`, given only with
// stampAlpha), at[k] < 0 for a pixel left alone, at opacity[k]. The same bytes as one pixel at a
// time, without a dispatch per pixel. `spanOpacity` (count floats) and `spanColours` (count
// pixels) are scratch.
void blendStampSpan(const PixelLayout& layout, uint8_t* row, int32_t count, const float* opacity,
                    const int32_t* at, const uint8_t* kept, const uint8_t* keptAlpha,
                    bool useStampColor, const uint8_t* replacement, float* spanOpacity,
                    uint8_t* spanColours);

// Blends `count` pixels of a row segment in place, pixel k at opacity[k * opacityStep] with the
// colour at color + k * colorStep (steps of 0 repeat one value). The rasterisers' span form of
// BlendPixel: same results, no per-pixel dispatch.
void blendSpan(const PixelLayout& layout, uint8_t* row, int32_t count, const float* opacity,
               size_t opacityStep, const uint8_t* color, size_t colorStep);

}  // namespace pigmora
