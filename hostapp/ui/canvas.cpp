#include "hostapp/ui/canvas.h"

#include "hostapp/paint/image_writer.h"

#include <algorithm>
#include <cstdlib>

namespace hostapp {

namespace {
uint8_t toByte(double v) {
  return static_cast<uint8_t>(std::clamp(v, 0.0, 1.0) * 255.0 + 0.5);
}
uint8_t mix(uint8_t dst, uint8_t src, uint32_t weight) {  // weight 0 .. 255 * 255
  return static_cast<uint8_t>((dst * (65025u - weight) + src * weight + 32512u) / 65025u);
}
}  // namespace

Rgba toRgba(const host::Vector& rgb) {
  return {toByte(rgb.x), toByte(rgb.y), toByte(rgb.z), 255};
}

host::Vector toVector(Rgba c) {
  return {c.r / 255.0, c.g / 255.0, c.b / 255.0};
}

Canvas::Canvas(int32_t width, int32_t height, Rgba fill) {
  reset(width, height, fill);
}

void Canvas::reset(int32_t width, int32_t height, Rgba fill) {
  width_ = std::max(0, width);
  height_ = std::max(0, height);
  pixels_.resize(static_cast<size_t>(width_) * height_ * 4);
  for (size_t i = 0; i < pixels_.size(); i += 4) {
    pixels_[i] = fill.r;
    pixels_[i + 1] = fill.g;
    pixels_[i + 2] = fill.b;
    pixels_[i + 3] = fill.a;
  }
  clearClip();
}

void Canvas::setClip(const host::UiRect& clip) {
  clip_ = clip;
}

void Canvas::clearClip() {
  clip_ = {0, 0, width_ - 1, height_ - 1};
}

Rgba Canvas::at(int32_t x, int32_t y) const {
  if (!inside(x, y)) return {0, 0, 0, 255};
  const uint8_t* p = &pixels_[(static_cast<size_t>(y) * width_ + x) * 4];
  return {p[0], p[1], p[2], p[3]};
}

void Canvas::set(int32_t x, int32_t y, Rgba c) {
  if (!writable(x, y)) return;
  uint8_t* p = &pixels_[(static_cast<size_t>(y) * width_ + x) * 4];
  p[0] = c.r;
  p[1] = c.g;
  p[2] = c.b;
  p[3] = c.a;
}

void Canvas::blend(int32_t x, int32_t y, Rgba c, uint8_t coverage) {
  if (!writable(x, y) || coverage == 0 || c.a == 0) return;
  uint8_t* p = &pixels_[(static_cast<size_t>(y) * width_ + x) * 4];
  const uint32_t w = static_cast<uint32_t>(coverage) * c.a;
  p[0] = mix(p[0], c.r, w);
  p[1] = mix(p[1], c.g, w);
  p[2] = mix(p[2], c.b, w);
  p[3] = std::max(p[3], static_cast<uint8_t>(w / 255));
}

void Canvas::fill(int32_t x1, int32_t y1, int32_t x2, int32_t y2, Rgba c) {
  if (x1 > x2) std::swap(x1, x2);
  if (y1 > y2) std::swap(y1, y2);
  x1 = std::max({x1, clip_.x1, 0});
  y1 = std::max({y1, clip_.y1, 0});
  x2 = std::min({x2, clip_.x2, width_ - 1});
  y2 = std::min({y2, clip_.y2, height_ - 1});
  for (int32_t y = y1; y <= y2; ++y) {
    for (int32_t x = x1; x <= x2; ++x) set(x, y, c);
  }
}

void Canvas::line(int32_t x1, int32_t y1, int32_t x2, int32_t y2, Rgba c) {
  // Bresenham, both end points drawn.
  const int32_t dx = std::abs(x2 - x1), dy = -std::abs(y2 - y1);
  const int32_t sx = x1 < x2 ? 1 : -1, sy = y1 < y2 ? 1 : -1;
  int32_t err = dx + dy;
  for (;;) {
    set(x1, y1, c);
    if (x1 == x2 && y1 == y2) break;
    const int32_t e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x1 += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y1 += sy;
    }
  }
}

void Canvas::frame(int32_t x1, int32_t y1, int32_t x2, int32_t y2, Rgba c) {
  fill(x1, y1, x2, y1, c);
  fill(x1, y2, x2, y2, c);
  fill(x1, y1, x1, y2, c);
  fill(x2, y1, x2, y2, c);
}

void Canvas::draw(const Canvas& src, int32_t x, int32_t y) {
  const int32_t x1 = std::max({x, clip_.x1, 0});
  const int32_t x2 = std::min({x + src.width_ - 1, clip_.x2, width_ - 1});
  const int32_t y1 = std::max({y, clip_.y1, 0});
  const int32_t y2 = std::min({y + src.height_ - 1, clip_.y2, height_ - 1});
  if (x1 > x2) return;
  for (int32_t row = y1; row <= y2; ++row) {
    const uint8_t* from = &src.pixels_[(static_cast<size_t>(row - y) * src.width_ + x1 - x) * 4];
    uint8_t* to = &pixels_[(static_cast<size_t>(row) * width_ + x1) * 4];
    std::copy(from, from + static_cast<size_t>(x2 - x1 + 1) * 4, to);
  }
}

void Canvas::draw(const host::Bitmap& src, int32_t x, int32_t y, int32_t w, int32_t h, int32_t sx,
                  int32_t sy, int32_t sw, int32_t sh, int32_t mode) {
  if (w <= 0 || h <= 0 || sw <= 0 || sh <= 0) return;
  for (int32_t j = 0; j < h; ++j) {
    const int32_t py = y + j;
    if (py < clip_.y1 || py > clip_.y2 || py < 0 || py >= height_) continue;
    const int32_t srcY = sy + static_cast<int32_t>(static_cast<int64_t>(j) * sh / h);
    for (int32_t i = 0; i < w; ++i) {
      const int32_t px = x + i;
      if (!writable(px, py)) continue;
      const int32_t srcX = sx + static_cast<int32_t>(static_cast<int64_t>(i) * sw / w);
      if (srcX < 0 || srcY < 0 || srcX >= src.width() || srcY >= src.height()) continue;
      Rgba c;
      src.getPixel(srcX, srcY, c.r, c.g, c.b);
      if (mode == host::kBlitAlpha)
        blend(px, py, c, src.getAlpha(srcX, srcY));
      else
        set(px, py, c);
    }
  }
}

bool Canvas::save(const std::string& path, std::string& error) const {
  if (empty()) {
    error = "The picture for " + path + " is empty; nothing was written.";
    return false;
  }
  ImageFormat spec;
  spec.width = width_;
  spec.height = height_;
  spec.channels = 4;
  return writeImageRows(
      path, spec, SampleType::kUInt8,
      [&](int32_t y) -> const void* { return &pixels_[static_cast<size_t>(y) * width_ * 4]; },
      error);
}

}  // namespace hostapp
