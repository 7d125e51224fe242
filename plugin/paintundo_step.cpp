// Undo tiles and the steps that hold them.
#include <algorithm>
#include <cstring>

#include "plugin/paintchannels.h"
#include "plugin/paintundo.h"

namespace pigmora {

TileBufferPool::~TileBufferPool() {
  for (void*& head : heads_) {
    while (head) {
      void* next = nullptr;
      std::memcpy(&next, head, sizeof next);
      host::release(head);
      head = next;
    }
  }
}

uint8_t* TileBufferPool::take(int64_t bytes) {
  const int64_t pixelBytes = bytes / kUndoTilePixels;
  if (pixelBytes <= 0 || pixelBytes >= kSizes || !heads_[pixelBytes]) return nullptr;
  void* buffer = heads_[pixelBytes];
  std::memcpy(&heads_[pixelBytes], buffer, sizeof(void*));
  kept_ -= bytes;
  return static_cast<uint8_t*>(buffer);
}

void TileBufferPool::give(uint8_t* buffer, int64_t bytes) {
  if (!buffer) return;
  const int64_t pixelBytes = bytes / kUndoTilePixels;
  if (pixelBytes <= 0 || pixelBytes >= kSizes || kept_ + bytes > limit_) {
    host::release(buffer);
    return;
  }
  std::memcpy(buffer, &heads_[pixelBytes], sizeof(void*));
  heads_[pixelBytes] = buffer;
  kept_ += bytes;
}

void TileBufferPool::allowFor(int64_t stepBytes) {
  limit_ = std::max(limit_, std::min(stepBytes, kCeilingBytes));
}

PaintUndoTile::~PaintUndoTile() {
  host::release(buffer_);
}

uint8_t* PaintUndoTile::takeBuffer() {
  uint8_t* buffer = buffer_;
  buffer_ = nullptr;
  return buffer;
}

bool PaintUndoTile::capture(host::PaintBitmap* bitmap, int32_t x, int32_t y, TileBufferPool* pool) {
  if (!bitmap || x < 0 || y < 0) return false;
  const int32_t width = bitmap->width(), height = bitmap->height();
  if (x >= width || y >= height) return false;
  const int32_t mode = bitmap->colorMode();
  const int32_t pixelBytes = bytesPerPixel(mode);
  if (pixelBytes <= 0) return false;
  const int64_t size = int64_t{pixelBytes} * kUndoTilePixels;
  uint8_t* buffer = pool ? pool->take(size) : nullptr;
  if (!buffer) buffer = static_cast<uint8_t*>(host::allocate(static_cast<size_t>(size)));
  if (!buffer) return false;

  bitmap_.set(bitmap);
  buffer_ = buffer;
  bufferSize_ = size;
  mode_ = mode;
  column_ = x / kUndoTileSize;
  row_ = y / kUndoTileSize;
  originX_ = int64_t{column_} * kUndoTileSize;
  originY_ = int64_t{row_} * kUndoTileSize;
  // The host leaves pixels past the bitmap's edge untouched; keep them defined.
  if (originX_ + kUndoTileSize > width || originY_ + kUndoTileSize > height)
    std::memset(buffer_, 0, static_cast<size_t>(size));
  const int32_t rowBytes = pixelBytes * kUndoTileSize;
  for (int32_t i = 0; i < kUndoTileSize; ++i)
    bitmap->getPixelRow(static_cast<int32_t>(originX_), static_cast<int32_t>(originY_) + i,
                        kUndoTileSize, buffer_ + i * rowBytes, mode_);
  return true;
}

bool PaintUndoTile::restore() const {
  host::PaintBitmap* bmp = bitmap();
  if (!bmp || !buffer_ || !isPaintableMode(bmp->colorMode())) return false;
  // Rows are written in the mode they were saved in; the host converts should the bitmap's mode
  // have changed since, and drops what lies outside the bitmap.
  const int32_t rowBytes = bytesPerPixel(mode_) * kUndoTileSize;
  const int32_t x = static_cast<int32_t>(originX_), y = static_cast<int32_t>(originY_);
  for (int32_t i = 0; i < kUndoTileSize; ++i)
    bmp->setPixelRow(x, y + i, kUndoTileSize, buffer_ + i * rowBytes, mode_);
  bmp->notifyChanged(x, y, x + kUndoTileSize, y + kUndoTileSize, host::kUpdateLayerChanged);
  return true;
}

void PaintUndoStep::recycle(TileBufferPool& pool) {
  int64_t bytes = 0;
  for (size_t i = 0; i < tiles_.size(); ++i) bytes += tiles_[i]->bufferSize();
  pool.allowFor(bytes);
  for (size_t i = 0; i < tiles_.size(); ++i)
    pool.give(tiles_[i]->takeBuffer(), tiles_[i]->bufferSize());
}

PaintUndoStep::~PaintUndoStep() {
  host::destroyArray(slots_);
}

size_t PaintUndoStep::slotOf(const host::PaintBitmap* bitmap, uint64_t key) const {
  // slotCount_ is a power of two; mix the pointer and the key before masking.
  uint64_t h = reinterpret_cast<uintptr_t>(bitmap) * 0x9E3779B97F4A7C15ull;
  h ^= (key + 0x632BE59BD9B4E019ull) * 0xBF58476D1CE4E5B9ull;
  h ^= h >> 31;
  size_t i = static_cast<size_t>(h) & (slotCount_ - 1);
  while (slots_[i].tile && (slots_[i].bitmap != bitmap || slots_[i].key != key))
    i = (i + 1) & (slotCount_ - 1);
  return i;
}

PaintUndoTile* PaintUndoStep::find(const host::PaintBitmap* bitmap, uint64_t key) const {
  if (!slotCount_) return nullptr;
  return slots_[slotOf(bitmap, key)].tile;
}

bool PaintUndoStep::growMap() {
  const size_t count = slotCount_ ? slotCount_ * 2 : 64;
  Slot* slots = host::makeArray<Slot>(count);
  if (!slots) return false;
  Slot* old = slots_;
  const size_t oldCount = slotCount_;
  slots_ = slots;
  slotCount_ = count;
  for (size_t i = 0; i < oldCount; ++i)
    if (old[i].tile) slots_[slotOf(old[i].bitmap, old[i].key)] = old[i];
  host::destroyArray(old);
  return true;
}

bool PaintUndoStep::add(PaintUndoTile* tile) {
  const host::PaintBitmap* bmp = tile ? tile->bitmap() : nullptr;
  if (!bmp) return false;
  // Keep the map at or below 65 % full after this insertion.
  if ((tiles_.size() + 1) * 100 > slotCount_ * 65 && !growMap()) return false;
  const size_t slot = slotOf(bmp, tile->key());
  if (slots_[slot].tile) return false;  // one tile per (bitmap, key)
  if (!tiles_.push(tile)) return false;
  slots_[slot] = Slot{bmp, tile->key(), tile};
  return true;
}

}  // namespace pigmora
