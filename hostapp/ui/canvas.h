// A software RGBA picture: what user areas draw on and what windows render into. Every drawing
// call clips against the canvas and an optional clip rectangle, so callers never check bounds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/paint.h"
#include "host/ui_types.h"

namespace hostapp {

struct Rgba {
  uint8_t r = 0, g = 0, b = 0, a = 255;
  constexpr bool operator==(const Rgba&) const = default;
};

// A colour with components from 0 to 1, clamped.
Rgba toRgba(const host::Vector& rgb);
host::Vector toVector(Rgba c);

class Canvas {
 public:
  Canvas() = default;
  Canvas(int32_t width, int32_t height, Rgba fill = {});

  // Resizes and fills; a negative size counts as 0.
  void reset(int32_t width, int32_t height, Rgba fill);
  int32_t width() const { return width_; }
  int32_t height() const { return height_; }
  bool empty() const { return width_ <= 0 || height_ <= 0; }

  // Drawing is limited to the clip rectangle (inclusive) and the canvas.
  void setClip(const host::UiRect& clip);
  void clearClip();
  const host::UiRect& clip() const { return clip_; }

  Rgba at(int32_t x, int32_t y) const;  // black outside
  void set(int32_t x, int32_t y, Rgba c);
  // Mixes `c` over the pixel with coverage 0 .. 255 (times c's own alpha).
  void blend(int32_t x, int32_t y, Rgba c, uint8_t coverage);
  void fill(int32_t x1, int32_t y1, int32_t x2, int32_t y2, Rgba c);  // inclusive corners
  void line(int32_t x1, int32_t y1, int32_t x2, int32_t y2, Rgba c);
  void frame(int32_t x1, int32_t y1, int32_t x2, int32_t y2, Rgba c);
  // Copies another canvas with its top-left at (x, y).
  void draw(const Canvas& src, int32_t x, int32_t y);
  // Draws the source rectangle of a bitmap scaled (nearest pixel) into (x, y, w, h); with
  // kBlitAlpha the bitmap's alpha blends it.
  void draw(const host::Bitmap& src, int32_t x, int32_t y, int32_t w, int32_t h, int32_t sx,
            int32_t sy, int32_t sw, int32_t sh, int32_t mode);

  // RGBA bytes, row after row.
  const std::vector<uint8_t>& pixels() const { return pixels_; }
  // Writes the canvas as an image file (PNG by suffix, or any format OpenImageIO writes). False
  // with `error` set to one sentence naming the file on failure.
  bool save(const std::string& path, std::string& error) const;

 private:
  bool writable(int32_t x, int32_t y) const { return clip_.contains(x, y) && inside(x, y); }
  bool inside(int32_t x, int32_t y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }
  int32_t width_ = 0, height_ = 0;
  host::UiRect clip_{0, 0, -1, -1};
  std::vector<uint8_t> pixels_;
};

}  // namespace hostapp
