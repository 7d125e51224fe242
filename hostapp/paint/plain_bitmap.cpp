#include "hostapp/paint/plain_bitmap.h"

#include <algorithm>
#include <cstring>

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
  const auto n = static_cast<size_t>(x1 - x0);
  const uint8_t* p = &rgba_[(static_cast<size_t>(y) * width_ + static_cast<size_t>(x0)) * 4];
  auto* out = static_cast<uint8_t*>(buffer) + (x0 - x) * dst->pixelBytes();
  // Stored as RGBA; the paint modes put alpha first. The 8-bit colour modes are a reordering of
  // bytes; the others go through 8-bit ARGB for the whole span at once.
  if (mode == host::kModeRGB8) {
    for (size_t i = 0; i < n; ++i, p += 4, out += 3) std::memcpy(out, p, 3);
    return true;
  }
  std::vector<uint8_t> span;
  uint8_t* argb = out;
  if (mode != host::kModeARGB8) {
    span.resize(n * 4);
    argb = span.data();
  }
  for (size_t i = 0; i < n; ++i, p += 4) {
    uint8_t* o = argb + i * 4;
    o[0] = bits_ == 32 ? p[3] : 255;
    o[1] = p[0];
    o[2] = p[1];
    o[3] = p[2];
  }
  if (mode != host::kModeARGB8)
    convertPixels(host::kModeARGB8, argb, mode, out, static_cast<int32_t>(n));
  return true;
}

bool PlainBitmap::setPixelRow(int32_t x, int32_t y, int32_t count, const void* buffer,
                              int32_t mode) {
  const ModeLayout* src = modeLayout(mode);
  if (!src || !buffer || count <= 0 || y < 0 || y >= height_) return false;
  const int64_t x0 = std::max<int64_t>(x, 0), x1 = std::min<int64_t>(int64_t{x} + count, width_);
  if (x0 >= x1) return false;
  const auto n = static_cast<size_t>(x1 - x0);
  const auto* in = static_cast<const uint8_t*>(buffer) + (x0 - x) * src->pixelBytes();
  uint8_t* p = &rgba_[(static_cast<size_t>(y) * width_ + static_cast<size_t>(x0)) * 4];
  if (mode == host::kModeRGB8) {
    for (size_t i = 0; i < n; ++i, p += 4, in += 3) std::memcpy(p, in, 3);
    return true;
  }
  std::vector<uint8_t> span;
  const uint8_t* argb = in;
  if (mode != host::kModeARGB8) {
    span.resize(n * 4);
    convertPixels(mode, in, host::kModeARGB8, span.data(), static_cast<int32_t>(n));
    argb = span.data();
  }
  for (size_t i = 0; i < n; ++i, p += 4) {
    const uint8_t* a = argb + i * 4;
    p[0] = a[1];
    p[1] = a[2];
    p[2] = a[3];
    if (bits_ == 32) p[3] = a[0];
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
  // The source columns and rows under each destination pixel, worked out once.
  std::vector<int32_t> cx0(static_cast<size_t>(tw)), cx1(static_cast<size_t>(tw));
  for (int32_t x = 0; x < tw; ++x) {
    if (sample) {
      cx0[x] = std::min(width_ - 1, static_cast<int32_t>((x + 0.5) * sx));
      cx1[x] = cx0[x] + 1;
    } else {
      cx0[x] = std::min(width_ - 1, static_cast<int32_t>(x * sx));
      cx1[x] = std::max(cx0[x] + 1, std::min(width_, static_cast<int32_t>((x + 1) * sx)));
    }
  }
  std::vector<uint8_t> out(static_cast<size_t>(tw) * 3);
  for (int32_t y = 0; y < th; ++y) {
    int32_t y0, y1;
    if (sample) {
      y0 = std::min(height_ - 1, static_cast<int32_t>((y + 0.5) * sy));
      y1 = y0 + 1;
    } else {
      y0 = std::min(height_ - 1, static_cast<int32_t>(y * sy));
      y1 = std::max(y0 + 1, std::min(height_, static_cast<int32_t>((y + 1) * sy)));
    }
    for (int32_t x = 0; x < tw; ++x) {
      uint32_t acc[3] = {0, 0, 0};
      for (int32_t yy = y0; yy < y1; ++yy) {
        const uint8_t* p = &rgba_[(static_cast<size_t>(yy) * width_ + cx0[x]) * 4];
        for (int32_t xx = cx0[x]; xx < cx1[x]; ++xx, p += 4) {
          acc[0] += p[0];
          acc[1] += p[1];
          acc[2] += p[2];
        }
      }
      const double n = static_cast<double>(y1 - y0) * (cx1[x] - cx0[x]);
      for (int c = 0; c < 3; ++c) out[static_cast<size_t>(x) * 3 + c] = scale(acc[c] / n);
    }
    dst.setPixelRow(ox, oy + y, tw, out.data(), host::kModeRGB8);
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
