// The undo store of a document: recording steps, and restoring them on undo and redo.
#include "plugin/paintundo.h"

namespace pigmora {

namespace {
// Undo depth used when the host's settings cannot be read.
constexpr int32_t kFallbackUndoDepth = 10;

int32_t undoDepth() {
  const host::Settings* world = host::api().settings().world();
  return world ? world->getInt32(host::kWorldUndoDepth, kFallbackUndoDepth) : kFallbackUndoDepth;
}
}  // namespace

PaintUndoStore::~PaintUndoStore() {
  host::destroy(pending_);
}

void PaintUndoStore::freeStep(PaintUndoStep* step) {
  if (!step) return;
  step->recycle(pool_);
  host::destroy(step);
}

void PaintUndoStore::clearRedo() {
  while (!redo_.empty()) freeStep(redo_.popBack());
}

void PaintUndoStore::beginStep() {
  clearRedo();
  // The counter runs one ahead of the depth before the oldest step goes, so a store keeps one
  // step more than the depth; the host's own list decides what the user can reach.
  if (undoDepth() < counter_ && !undo_.empty()) {
    freeStep(undo_.popFront());
    --counter_;
  }
  ++counter_;
  if (pending_) return;
  pending_ = host::make<PaintUndoStep>();
  if (!pending_)
    host::api().events().debugOutput(std::string("Stop (") + __FILE__ + ":" +
                                     std::to_string(__LINE__) + ")");
}

bool PaintUndoStore::saveTile(host::PaintBitmap* bitmap, int32_t x, int32_t y) {
  if (!pending_ || !bitmap || x < 0 || y < 0) return false;
  const uint64_t key =
      tileKey(static_cast<uint32_t>(x / kUndoTileSize), static_cast<uint32_t>(y / kUndoTileSize));
  if (pending_->find(bitmap, key)) return false;
  PaintUndoTile* tile = host::make<PaintUndoTile>();
  if (!tile) return false;
  if (!tile->capture(bitmap, x, y, &pool_) || !pending_->add(tile)) {
    host::destroy(tile);
    return false;
  }
  return true;
}

void PaintUndoStore::saveBitmap(host::PaintBitmap* bitmap) {
  if (!bitmap) return;
  const int32_t width = bitmap->width(), height = bitmap->height();
  for (int32_t y = 0; y < height; y += kUndoTileSize)
    for (int32_t x = 0; x < width; x += kUndoTileSize) saveTile(bitmap, x, y);
}

bool PaintUndoStore::closeStep() {
  if (!pending_) return false;
  PaintUndoStep* step = pending_;
  pending_ = nullptr;
  if (undo_.push(step)) return true;
  freeStep(step);  // the list could not grow: the step cannot be undone
  return false;
}

bool PaintUndoStore::undo() {
  if (!restore(undo_, redo_)) return false;
  --counter_;
  return true;
}

bool PaintUndoStore::redo() {
  return restore(redo_, undo_);
}

bool PaintUndoStore::restore(OwnedArray<PaintUndoStep>& from, OwnedArray<PaintUndoStep>& to) {
  PaintUndoStep* step = from.popBack();
  if (!step) return false;
  // Keep what is there now for the way back. Without memory for it the restore still happens;
  // only the way back is lost.
  if (PaintUndoStep* back = host::make<PaintUndoStep>()) {
    for (size_t i = 0; i < step->tileCount(); ++i) {
      const PaintUndoTile* saved = step->tile(i);
      PaintUndoTile* current = host::make<PaintUndoTile>();
      if (!current) continue;
      if (!current->capture(saved->bitmap(), static_cast<int32_t>(saved->originX()),
                            static_cast<int32_t>(saved->originY()), &pool_) ||
          !back->add(current))
        host::destroy(current);
    }
    if (!to.push(back)) host::destroy(back);
  }
  for (size_t i = 0; i < step->tileCount(); ++i) step->tile(i)->restore();
  host::api().events().drawViews(kRedrawAfterRestore);
  freeStep(step);
  return true;
}

}  // namespace pigmora
