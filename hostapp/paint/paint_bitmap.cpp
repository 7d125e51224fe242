#include "hostapp/paint/paint_bitmap.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "hostapp/core/large_pages.h"
#include "hostapp/core/memory.h"

namespace hostapp {

namespace {

// dst = src over dst, for `count` ARGB float pixels with straight alpha:
//   a = sa + da (1 - sa),  c = (sc sa + dc da (1 - sa)) / a  (0 where a is not above 0).
// The three colours of a pixel are worked out in one vector, each lane with the same float
// operations in the same order as the formula alone, so the results are the same to the bit.
void overPixels(float* dst, const float* src, int32_t count) {
  for (int32_t i = 0; i < count; ++i, dst += 4, src += 4) {
    const float sa = src[0], da = dst[0];
    const float a = sa + da * (1.f - sa);
#if defined(__SSE2__)
    if (a > 0.f) {
      const __m128 s = _mm_loadu_ps(src), d = _mm_loadu_ps(dst);
      const __m128 num =
          _mm_add_ps(_mm_mul_ps(s, _mm_set1_ps(sa)),
                     _mm_mul_ps(_mm_mul_ps(d, _mm_set1_ps(da)), _mm_set1_ps(1.f - sa)));
      _mm_storeu_ps(dst, _mm_div_ps(num, _mm_set1_ps(a)));
    } else {
      dst[1] = dst[2] = dst[3] = 0.f;
    }
#else
    for (int k = 1; k < 4; ++k)
      dst[k] = a > 0.f ? (src[k] * sa + dst[k] * da * (1.f - sa)) / a : 0.f;
#endif
    dst[0] = a;
  }
}

}  // namespace

void PixelRelease::operator()(uint8_t* p) const {
  if (memory) memory->release(bytes);
  std::free(p);
}

bool PixelStore::allocate(CountingMemory& memory, int32_t width, int32_t height, int32_t mode) {
  const ModeLayout* layout = modeLayout(mode);
  if (!layout || width <= 0 || height <= 0 || width > 65536 || height > 65536) return false;
  if (memory.refuseNext()) return false;
  const size_t bytes = static_cast<size_t>(width) * height * layout->pixelBytes();
  if (!memory.reserve(bytes)) return false;
  std::unique_ptr<uint8_t[], PixelRelease> data(static_cast<uint8_t*>(allocateLarge(bytes)),
                                                {&memory, bytes});
  if (!data) {
    memory.release(bytes);
    return false;
  }
  std::memset(data.get(), 0, bytes);
  data_ = std::move(data);
  width_ = width;
  height_ = height;
  layout_ = layout;
  return true;
}

namespace {
constexpr size_t kPrefetchedBytes = 4096;
}  // namespace

bool PixelStore::read(int32_t x, int32_t y, int32_t count, void* buffer, int32_t mode) const {
  const ModeLayout* dst = modeLayout(mode);
  if (!data_ || !dst || !buffer || count <= 0 || y < 0 || y >= height_) return false;
  const int64_t x0 = std::max<int64_t>(x, 0), x1 = std::min<int64_t>(int64_t{x} + count, width_);
  if (x0 >= x1) return false;
  auto* out = static_cast<uint8_t*>(buffer) + (x0 - x) * dst->pixelBytes();
  const uint8_t* in = row(y) + x0 * layout_->pixelBytes();
  // In the bitmap's own mode a row read is one copy of the clipped bytes.
  if (mode == layout_->mode) {
    const size_t bytes = static_cast<size_t>(x1 - x0) * layout_->pixelBytes();
    std::memcpy(out, in, bytes);
    // Painters walk a shape row after row: the same stretch of the next row is asked for next,
    // and rows lie too far apart for the processor to see it coming.
    if (y + 1 < height_ && bytes <= kPrefetchedBytes)
      for (size_t at = 0; at < bytes; at += 64) __builtin_prefetch(in + rowBytes() + at, 1);
    return true;
  }
  return convertPixels(layout_->mode, in, mode, out, static_cast<int32_t>(x1 - x0));
}

bool PixelStore::write(int32_t x, int32_t y, int32_t count, const void* buffer, int32_t mode) {
  const ModeLayout* src = modeLayout(mode);
  if (!data_ || !src || !buffer || count <= 0 || y < 0 || y >= height_) return false;
  const int64_t x0 = std::max<int64_t>(x, 0), x1 = std::min<int64_t>(int64_t{x} + count, width_);
  if (x0 >= x1) return false;
  const auto* in = static_cast<const uint8_t*>(buffer) + (x0 - x) * src->pixelBytes();
  uint8_t* out = row(y) + x0 * layout_->pixelBytes();
  const size_t bytes = static_cast<size_t>(x1 - x0) * layout_->pixelBytes();
  // Writes are counted when they change a byte, so that the host can tell a stroke that painted
  // from one that only went through the motions.
  if (mode == layout_->mode) {
    if (std::memcmp(out, in, bytes) == 0) return true;
    std::memcpy(out, in, bytes);
    ++changedWrites_;
    return true;
  }
  thread_local std::vector<uint8_t> converted;
  converted.resize(bytes);
  if (!convertPixels(mode, in, layout_->mode, converted.data(), static_cast<int32_t>(x1 - x0)))
    return false;
  if (std::memcmp(out, converted.data(), bytes) == 0) return true;
  std::memcpy(out, converted.data(), bytes);
  ++changedWrites_;
  return true;
}

void PixelStore::fill(const PixelF& p) {
  if (!data_) return;
  const size_t pixelBytes = static_cast<size_t>(layout_->pixelBytes());
  uint8_t* first = row(0);
  encodePixel(*layout_, p, first);
  // The first row doubles itself, then every other row is a copy of it.
  for (size_t done = pixelBytes; done < rowBytes(); done *= 2)
    std::memcpy(first + done, first, std::min(done, rowBytes() - done));
  for (int32_t y = 1; y < height_; ++y) std::memcpy(row(y), first, rowBytes());
}

void PaintLayerImpl::notifyChanged(int32_t xmin, int32_t ymin, int32_t xmax, int32_t ymax,
                                   int32_t flags) {
  // An empty rectangle (nothing painted) is not a change.
  // A layer that undo took out of its texture shows nowhere.
  if (xmin > xmax || ymin > ymax || !owner_) return;
  owner_->recordChange({xmin, ymin, xmax, ymax, flags});
}

void PaintLayerImpl::layerChanged(int32_t flag) {
  if (owner_) owner_->recordChange({0, 0, width(), height(), flag});
}

host::PaintBitmap* PaintLayerImpl::next() const {
  return owner_ ? owner_->layerAfter(this) : nullptr;
}

uint64_t PaintTextureImpl::changedWrites() const {
  uint64_t n = 0;
  for (const auto& l : layers_) n += l->pixels().changedWrites();
  return n;
}

uint64_t PaintLayerImpl::changeCount() const {
  return owner_ ? owner_->changeCount() : 0;
}

bool PaintLayerImpl::setPixelRow(int32_t x, int32_t y, int32_t count, const void* buffer,
                                 int32_t mode) {
  if (!pixels_.write(x, y, count, buffer, mode)) return false;
  if (owner_) owner_->noteWrite(x, y, count);
  return true;
}

void PaintLayerImpl::setVisible(bool on) {
  if (visible_ == on) return;
  visible_ = on;
  if (owner_) owner_->bumpChanges();
}

PaintTextureImpl::PaintTextureImpl(CountingMemory& memory, std::string path)
    : memory_(memory), path_(std::move(path)) {
  setName(path_.substr(path_.find_last_of('/') + 1));
}

void PaintTextureImpl::setFormat(int32_t width, int32_t height, int32_t mode) {
  width_ = width;
  height_ = height;
  mode_ = mode;
}

bool PaintTextureImpl::getPixelRow(int32_t x, int32_t y, int32_t count, void* buffer,
                                   int32_t mode) const {
  const ModeLayout* dst = modeLayout(mode);
  if (!dst || !buffer || count <= 0 || y < 0 || y >= height_) return false;
  const int32_t x0 = std::max(x, 0),
                x1 = static_cast<int32_t>(std::min<int64_t>(int64_t{x} + count, width_));
  if (x0 >= x1) return false;
  // Composite the visible layers with the over operator in float ARGB.
  const size_t floats = static_cast<size_t>(x1 - x0) * 4;
  thread_local std::vector<float> acc, src;
  acc.assign(floats, 0.f);
  src.resize(floats);
  for (const auto& layer : layers_) {
    if (!layer->visible() || !layer->pixels().read(x0, y, x1 - x0, src.data(), host::kModeARGBF))
      continue;
    overPixels(acc.data(), src.data(), x1 - x0);
  }
  auto* out = static_cast<uint8_t*>(buffer) + static_cast<size_t>(x0 - x) * dst->pixelBytes();
  return convertPixels(host::kModeARGBF, acc.data(), mode, out, x1 - x0);
}

bool PaintTextureImpl::setPixelRow(int32_t x, int32_t y, int32_t count, const void* buffer,
                                   int32_t mode) {
  host::PaintBitmap* layer = activeLayer();
  return layer && layer->setPixelRow(x, y, count, buffer, mode);
}

void PaintTextureImpl::notifyChanged(int32_t xmin, int32_t ymin, int32_t xmax, int32_t ymax,
                                     int32_t flags) {
  if (xmin > xmax || ymin > ymax) return;
  recordChange({xmin, ymin, xmax, ymax, flags});
}

void PaintTextureImpl::layerChanged(int32_t flag) {
  recordChange({0, 0, width_, height_, flag});
}

void PaintTextureImpl::noteWrite(int32_t x, int32_t y, int32_t count) {
  ++changes_;
  Written& w = written_;
  const int32_t columns = (width_ + kWrittenTile - 1) / kWrittenTile,
                rows = (height_ + kWrittenTile - 1) / kWrittenTile;
  if (w.columns != columns || w.rows != rows) {
    w.columns = columns;
    w.rows = rows;
    w.tiles.assign(static_cast<size_t>(columns) * rows, 0);
  }
  ++w.writes;
  const int32_t x0 = std::max(x, 0),
                x1 = static_cast<int32_t>(std::min<int64_t>(int64_t{x} + count, width_)) - 1;
  if (x0 > x1 || y < 0 || y >= height_) return;
  uint8_t* line = &w.tiles[static_cast<size_t>(y / kWrittenTile) * columns];
  for (int32_t c = x0 / kWrittenTile; c <= x1 / kWrittenTile; ++c) line[c] = 1;
}

PaintTextureImpl::Written PaintTextureImpl::takeWritten() {
  Written out = written_;
  written_.writes = 0;
  std::fill(written_.tiles.begin(), written_.tiles.end(), uint8_t{0});
  return out;
}

void PaintTextureImpl::recordChange(const ChangedRect& r) {
  ++changes_;
  // Keep a bounded history; callers look at the latest changes.
  if (changed_.size() >= 4096) changed_.erase(changed_.begin(), changed_.begin() + 2048);
  changed_.push_back(r);
}

host::PaintBitmap* PaintTextureImpl::firstLayer() const {
  return layers_.empty() ? nullptr : layers_.front().get();
}

host::PaintBitmap* PaintTextureImpl::activeLayer() const {
  return active_ >= 0 && active_ < layerCount() ? layers_[static_cast<size_t>(active_)].get()
                                                : nullptr;
}

void PaintTextureImpl::setActiveLayer(host::PaintBitmap* layer) {
  const int32_t at = indexOf(layer);
  if (at < 0 || at == active_) return;
  active_ = at;
  // What the texture offers for painting changed: previews made before are out of date.
  ++changes_;
}

int32_t PaintTextureImpl::indexOf(const host::PaintBitmap* layer) const {
  for (size_t i = 0; i < layers_.size(); ++i)
    if (layers_[i].get() == layer) return static_cast<int32_t>(i);
  return -1;
}

std::unique_ptr<PaintLayerImpl> PaintTextureImpl::removeLayer(host::PaintBitmap* layer) {
  const int32_t at = indexOf(layer);
  if (at < 0) return nullptr;
  std::unique_ptr<PaintLayerImpl> out = std::move(layers_[static_cast<size_t>(at)]);
  layers_.erase(layers_.begin() + at);
  if (active_ > at || active_ >= layerCount()) --active_;
  if (active_ < 0 && !layers_.empty()) active_ = 0;
  out->setOwner(nullptr);
  ++changes_;
  return out;
}

void PaintTextureImpl::insertLayer(std::unique_ptr<PaintLayerImpl> layer, int32_t index) {
  if (!layer) return;
  const int32_t at = std::clamp(index, 0, layerCount());
  layer->setOwner(this);
  layers_.insert(layers_.begin() + at, std::move(layer));
  if (active_ >= at) ++active_;
  if (active_ < 0) active_ = at;
  ++changes_;
}

host::PaintBitmap* PaintTextureImpl::layerAfter(const PaintLayerImpl* layer) const {
  for (size_t i = 0; i + 1 < layers_.size(); ++i)
    if (layers_[i].get() == layer) return layers_[i + 1].get();
  return nullptr;
}

host::PaintBitmap* PaintTextureImpl::addLayer(const std::string& name, int32_t mode) {
  auto layer = std::make_unique<PaintLayerImpl>(this);
  if (!layer->pixels().allocate(memory_, width_, height_, mode)) return nullptr;
  layer->setName(name);
  const size_t at = active_ < 0 ? layers_.size() : static_cast<size_t>(active_) + 1;
  layers_.insert(layers_.begin() + static_cast<std::ptrdiff_t>(at), std::move(layer));
  active_ = static_cast<int32_t>(at);
  ++changes_;
  return layers_[at].get();
}

}  // namespace hostapp
