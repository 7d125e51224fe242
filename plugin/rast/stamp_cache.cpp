#include "plugin/rast/stamp_cache.h"

#include <cstddef>

namespace pigmora {

namespace {
// Larger stamps are read pixel by pixel rather than held twice.
constexpr size_t kMostBytes = size_t{64} << 20;
}  // namespace

bool StampCache::fill(Entry& e, const host::Bitmap* stamp, int32_t mode, int32_t pixelBytes) {
  e.filled = false;
  e.stamp = stamp;
  e.mode = mode;
  e.width = stamp->width();
  e.height = stamp->height();
  e.bits = stamp->bits();
  if (e.width <= 0 || e.height <= 0 || pixelBytes <= 0) return false;
  const size_t w = static_cast<size_t>(e.width), h = static_cast<size_t>(e.height);
  const size_t bytes = w * h * static_cast<size_t>(pixelBytes);
  if (w > kMostBytes / h / static_cast<size_t>(pixelBytes) || bytes > kMostBytes) return false;
  if (!e.pixels.resize(bytes)) return false;
  if (e.bits == 32 && !e.alpha.resize(w * h)) return false;
  for (int32_t y = 0; y < e.height; ++y) {
    uint8_t* row = e.pixels.data() + static_cast<size_t>(y) * w * static_cast<size_t>(pixelBytes);
    if (!stamp->getPixelRow(0, y, e.width, row, mode)) return false;
    if (e.bits == 32)
      for (int32_t x = 0; x < e.width; ++x)
        e.alpha.data()[static_cast<size_t>(y) * w + static_cast<size_t>(x)] = stamp->getAlpha(x, y);
  }
  e.filled = true;
  return true;
}

bool StampCache::get(const host::Bitmap* stamp, int32_t mode, int32_t pixelBytes,
                     const uint8_t*& pixels, const uint8_t*& alpha) {
  if (!inStroke_ || !stamp) return false;
  Entry* found = nullptr;
  for (Entry& e : entries_)
    if (e.stamp == stamp && e.mode == mode && e.width == stamp->width() &&
        e.height == stamp->height() && e.bits == stamp->bits())
      found = &e;
  if (!found) {
    found = &entries_[next_];
    next_ = (next_ + 1) % kChannelCount;
    if (!fill(*found, stamp, mode, pixelBytes)) return false;
  }
  if (!found->filled) return false;
  pixels = found->pixels.data();
  alpha = found->bits == 32 ? found->alpha.data() : nullptr;
  return true;
}

void StampCache::forget() {
  for (Entry& e : entries_) e = Entry{};
  next_ = 0;
}

void StampCache::strokeBegins() {
  forget();
  inStroke_ = true;
}

void StampCache::strokeEnds() {
  forget();
  inStroke_ = false;
}

}  // namespace pigmora
