#include "hostapp/paint/plain_bitmap.h"

#include <algorithm>

#include "hostapp/core/memory.h"
#include "hostapp/paint/colormode.h"
#include "hostapp/paint/image_io.h"

namespace hostapp {

bool PlainBitmap::init(int32_t width, int32_t height, int32_t bits) {
  if (width <= 0 || height <= 0 || width > 65536 || height > 65536 || (bits != 24 && bits != 32))
    return false;
  if (memory_.refuseNext()) return false;
  width_ = width;
  height_ = height;
  bits_ = bits;
  rgba_.assign(static_cast<size_t>(width) * height * 4, 0);
  for (size_t i = 3; i < rgba_.size(); i += 4) rgba_[i] = 255;
  return true;
}

void PlainBitmap::getPixel(int32_t x, int32_t y, uint8_t& r, uint8_t& g, uint8_t& b) const {
  if (!inside(x, y)) {
    r = g = b = 0;
    return;
  }
  const uint8_t* p = &rgba_[(static_cast<size_t>(y) * width_ + x) * 4];
  r = p[0];
  g = p[1];
  b = p[2];
}

void PlainBitmap::setPixel(int32_t x, int32_t y, uint8_t r, uint8_t g, uint8_t b) {
  if (!inside(x, y)) return;
  uint8_t* p = &rgba_[(static_cast<size_t>(y) * width_ + x) * 4];
  p[0] = r;
  p[1] = g;
  p[2] = b;
}

uint8_t PlainBitmap::getAlpha(int32_t x, int32_t y) const {
  if (!inside(x, y) || bits_ != 32) return 255;
  return rgba_[(static_cast<size_t>(y) * width_ + x) * 4 + 3];
}

void PlainBitmap::setAlpha(int32_t x, int32_t y, uint8_t a) {
  if (inside(x, y) && bits_ == 32) rgba_[(static_cast<size_t>(y) * width_ + x) * 4 + 3] = a;
}

void PlainBitmap::clear(uint8_t r, uint8_t g, uint8_t b) {
  for (size_t i = 0; i < rgba_.size(); i += 4) {
    rgba_[i] = r;
    rgba_[i + 1] = g;
    rgba_[i + 2] = b;
  }
}

bool PlainBitmap::getPixelRow(int32_t x, int32_t y, int32_t count, void* buffer,
                              int32_t mode) const {
  const ModeLayout* dst = modeLayout(mode);
  if (!dst || !buffer || count <= 0 || y < 0 || y >= height_) return false;
  const int64_t x0 = std::max<int64_t>(x, 0), x1 = std::min<int64_t>(int64_t{x} + count, width_);
  if (x0 >= x1) return false;
  // Stored as RGBA; the paint modes put alpha first.
  uint8_t argb[4];
  auto* out = static_cast<uint8_t*>(buffer) + (x0 - x) * dst->pixelBytes();
  for (int64_t i = x0; i < x1; ++i, out += dst->pixelBytes()) {
    const uint8_t* p = &rgba_[(static_cast<size_t>(y) * width_ + static_cast<size_t>(i)) * 4];
    argb[0] = bits_ == 32 ? p[3] : 255;
    argb[1] = p[0];
    argb[2] = p[1];
    argb[3] = p[2];
    convertPixels(bits_ == 32 ? 5 : 4, bits_ == 32 ? argb : argb + 1, mode, out, 1);
  }
  return true;
}

bool PlainBitmap::setPixelRow(int32_t x, int32_t y, int32_t count, const void* buffer,
                              int32_t mode) {
  const ModeLayout* src = modeLayout(mode);
  if (!src || !buffer || count <= 0 || y < 0 || y >= height_) return false;
  const int64_t x0 = std::max<int64_t>(x, 0), x1 = std::min<int64_t>(int64_t{x} + count, width_);
  if (x0 >= x1) return false;
  const auto* in = static_cast<const uint8_t*>(buffer) + (x0 - x) * src->pixelBytes();
  uint8_t argb[4];
  for (int64_t i = x0; i < x1; ++i, in += src->pixelBytes()) {
    convertPixels(mode, in, 5, argb, 1);
    uint8_t* p = &rgba_[(static_cast<size_t>(y) * width_ + static_cast<size_t>(i)) * 4];
    p[0] = argb[1];
    p[1] = argb[2];
    p[2] = argb[3];
    if (bits_ == 32) p[3] = argb[0];
  }
  return true;
}

void PlainBitmap::scaleInto(host::Bitmap& dst, int32_t intensity, bool sample,
                            bool keepProportions) const {
  const int32_t dw = dst.width(), dh = dst.height();
  if (dw <= 0 || dh <= 0 || width_ <= 0 || height_ <= 0) return;
  double sx = static_cast<double>(width_) / dw, sy = static_cast<double>(height_) / dh;
  int32_t ox = 0, oy = 0, tw = dw, th = dh;
  if (keepProportions) {
    const double s = std::max(sx, sy);
    sx = sy = s;
    tw = std::max(1, static_cast<int32_t>(width_ / s));
    th = std::max(1, static_cast<int32_t>(height_ / s));
    ox = (dw - tw) / 2;
    oy = (dh - th) / 2;
  }
  auto scale = [intensity](double v) {
    return static_cast<uint8_t>(std::clamp(v * intensity / 256.0 + 0.5, 0.0, 255.0));
  };
  for (int32_t y = 0; y < th; ++y) {
    for (int32_t x = 0; x < tw; ++x) {
      double acc[3] = {0, 0, 0};
      int32_t n = 0;
      if (sample) {
        const int32_t px = std::min(width_ - 1, static_cast<int32_t>((x + 0.5) * sx));
        const int32_t py = std::min(height_ - 1, static_cast<int32_t>((y + 0.5) * sy));
        const uint8_t* p = &rgba_[(static_cast<size_t>(py) * width_ + px) * 4];
        acc[0] = p[0];
        acc[1] = p[1];
        acc[2] = p[2];
        n = 1;
      } else {
        const int32_t x0 = static_cast<int32_t>(x * sx), y0 = static_cast<int32_t>(y * sy);
        const int32_t x1 = std::max(x0 + 1, std::min(width_, static_cast<int32_t>((x + 1) * sx)));
        const int32_t y1 = std::max(y0 + 1, std::min(height_, static_cast<int32_t>((y + 1) * sy)));
        for (int32_t yy = y0; yy < y1 && yy < height_; ++yy)
          for (int32_t xx = x0; xx < x1 && xx < width_; ++xx, ++n) {
            const uint8_t* p = &rgba_[(static_cast<size_t>(yy) * width_ + xx) * 4];
            acc[0] += p[0];
            acc[1] += p[1];
            acc[2] += p[2];
          }
      }
      if (n == 0) continue;
      dst.setPixel(ox + x, oy + y, scale(acc[0] / n), scale(acc[1] / n), scale(acc[2] / n));
    }
  }
}

int32_t PlainBitmap::load(const std::string& path) {
  std::string error;
  std::unique_ptr<PlainBitmap> image = loadPlainBitmap(memory_, path, error);
  if (!image) return host::kImageFailed;
  width_ = image->width_;
  height_ = image->height_;
  bits_ = image->bits_;
  rgba_ = std::move(image->rgba_);
  return host::kImageOk;
}

}  // namespace hostapp
