// Tile-based undo and redo of painted pixels, tied into the host's undo list through a scene hook.
// Before the first change to a 64 x 64 tile of a bitmap within a step the tile is copied; undoing
// the step writes the copies back after keeping the current pixels for redo.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "host/binding.h"
#include "host/host.h"
#include "host/link.h"
#include "lib/owned_array.h"
#include "plugin/paintmaterials.h"

namespace pigmora {

constexpr int32_t kUndoTileSize = 64;
constexpr int32_t kUndoTilePixels = kUndoTileSize * kUndoTileSize;

constexpr int32_t kUndoHookId = 1037022;
constexpr int32_t kPaintMessageId = 1036254;
// The id under which the undo hook's data container holds the text of its host undo entry.
constexpr int32_t kUndoTextId = 9996;
// Special events posted when an interface entry is undone or redone; argument 1 says what changed.
constexpr int32_t kEventInterfaceUndo = 1037988;
constexpr int32_t kEventInterfaceRedo = 1037990;
constexpr int64_t kInterfaceChannel = 1;
constexpr int64_t kInterfaceLayer = 2;
constexpr int32_t kRedrawAfterRestore = 1290;

extern const char kUndoText[];           // "SculptPaintUndo"
extern const char kChannelChangeText[];  // "_ChannelChange_"
extern const char kLayerChangeText[];    // "_LayerChange_"

// Tile buffers of steps that were let go, kept for the next tiles of the same size so that saving
// writes into memory that is already mapped instead of fresh pages. Holds at least kLimitBytes,
// and as much as the largest step it was handed back (the memory that step already held), up to
// kCeilingBytes.
class TileBufferPool {
 public:
  static constexpr int64_t kLimitBytes = int64_t{64} << 20;
  static constexpr int64_t kCeilingBytes = int64_t{1} << 30;
  TileBufferPool() = default;
  TileBufferPool(const TileBufferPool&) = delete;
  TileBufferPool& operator=(const TileBufferPool&) = delete;
  ~TileBufferPool();
  // A kept buffer of that size, or null.
  uint8_t* take(int64_t bytes);
  // Keeps the buffer, or frees it when the pool is full.
  void give(uint8_t* buffer, int64_t bytes);
  int64_t keptBytes() const { return kept_; }
  // Lets the pool hold the buffers of a step of that many bytes, within the ceiling.
  void allowFor(int64_t stepBytes);
  int64_t limitBytes() const { return limit_; }

 private:
  static constexpr int kSizes = 17;  // by bytes per pixel, 1 .. 16
  void* heads_[kSizes] = {};         // each kept buffer starts with the next one's address
  int64_t kept_ = 0;
  int64_t limit_ = kLimitBytes;
};

// The saved pixels of one tile: 64 rows of 64 pixels in the colour mode the bitmap had when the
// tile was saved.
class PaintUndoTile {
 public:
  PaintUndoTile() = default;
  PaintUndoTile(const PaintUndoTile&) = delete;
  PaintUndoTile& operator=(const PaintUndoTile&) = delete;
  virtual ~PaintUndoTile();

  // Copies the tile containing (x, y) out of the bitmap. False when the bitmap cannot be saved
  // (unpaintable mode, pixel outside it) or the buffer cannot be had.
  bool capture(host::PaintBitmap* bitmap, int32_t x, int32_t y, TileBufferPool* pool = nullptr);
  // Hands the buffer to the caller; the tile keeps nothing.
  uint8_t* takeBuffer();
  // Writes the saved pixels back; false when the bitmap is gone or cannot be painted.
  bool restore() const;

  host::PaintBitmap* bitmap() const { return bitmap_.getAs<host::PaintBitmap>(); }
  const uint8_t* buffer() const { return buffer_; }
  int64_t bufferSize() const { return bufferSize_; }
  int64_t originX() const { return originX_; }
  int64_t originY() const { return originY_; }
  int32_t column() const { return column_; }
  int32_t row() const { return row_; }
  int32_t mode() const { return mode_; }
  uint64_t key() const {
    return tileKey(static_cast<uint32_t>(column_), static_cast<uint32_t>(row_));
  }

 private:
  host::Link bitmap_;
  uint8_t* buffer_ = nullptr;  // owned, host memory
  int64_t bufferSize_ = 0;
  int64_t originX_ = 0, originY_ = 0;
  int32_t column_ = 0, row_ = 0;
  int32_t mode_ = 0;
};

// One undo step: its tiles in save order, found again by (bitmap, tile key).
class PaintUndoStep {
 public:
  PaintUndoStep() = default;
  PaintUndoStep(const PaintUndoStep&) = delete;
  PaintUndoStep& operator=(const PaintUndoStep&) = delete;
  ~PaintUndoStep();

  size_t tileCount() const { return tiles_.size(); }
  const PaintUndoTile* tile(size_t i) const { return tiles_[i]; }
  PaintUndoTile* find(const host::PaintBitmap* bitmap, uint64_t key) const;
  // Takes ownership of the tile on success. A tile whose bitmap is gone is refused.
  bool add(PaintUndoTile* tile);
  // Gives the tiles' buffers to the pool (the step is about to go).
  void recycle(TileBufferPool& pool);

 private:
  struct Slot {
    const host::PaintBitmap* bitmap;
    uint64_t key;
    PaintUndoTile* tile;  // null: empty slot
  };
  bool growMap();
  size_t slotOf(const host::PaintBitmap* bitmap, uint64_t key) const;

  OwnedArray<PaintUndoTile> tiles_;
  Slot* slots_ = nullptr;  // open addressing, kept below a load factor of 0.65
  size_t slotCount_ = 0;
};

// The undo and redo steps of one document.
class PaintUndoStore {
 public:
  PaintUndoStore() = default;
  PaintUndoStore(const PaintUndoStore&) = delete;
  PaintUndoStore& operator=(const PaintUndoStore&) = delete;
  ~PaintUndoStore();

  // Opens a pending step (or keeps recording into the open one) and drops redo steps.
  void beginStep();
  // Saves the tile containing (x, y) into the pending step unless it is there already.
  bool saveTile(host::PaintBitmap* bitmap, int32_t x, int32_t y);
  // Saves every tile of the bitmap.
  void saveBitmap(host::PaintBitmap* bitmap);
  // Moves the pending step to the undo list; false when there was none to move.
  bool closeStep();
  // Restore the newest undo (redo) step. False when there was none.
  bool undo();
  bool redo();

  size_t undoCount() const { return undo_.size(); }
  size_t redoCount() const { return redo_.size(); }
  const PaintUndoStep* undoStep(size_t i) const { return undo_[i]; }
  const PaintUndoStep* pending() const { return pending_; }
  int32_t stepCounter() const { return counter_; }

 private:
  bool restore(OwnedArray<PaintUndoStep>& from, OwnedArray<PaintUndoStep>& to);
  void freeStep(PaintUndoStep* step);
  void clearRedo();

  TileBufferPool pool_;             // declared first so that it outlives the steps
  OwnedArray<PaintUndoStep> undo_;  // oldest first
  OwnedArray<PaintUndoStep> redo_;  // the next to redo last
  PaintUndoStep* pending_ = nullptr;
  int32_t counter_ = 0;
};

// The undo scene hook: one per document, owning the document's undo store.
class PaintUndoSystem : public host::SceneHookData, public TileSaver {
 public:
  ~PaintUndoSystem() override;
  static host::NodeData* alloc();

  bool init(host::Node* node) override;
  bool message(host::Node* node, int32_t type, void* data) override;
  bool saveTile(host::PaintBitmap* bitmap, int32_t x, int32_t y) override;

  PaintUndoStore* store() const { return store_; }

 private:
  // Undo and redo skip their work instead of waiting when the word is taken.
  bool tryLock() { return lock_.exchange(1, std::memory_order_acquire) == 0; }
  void unlock() { lock_.store(0, std::memory_order_release); }
  void replay(const std::string& text, bool redo);

  PaintUndoStore* store_ = nullptr;
  std::atomic<int32_t> lock_{0};
};

// The paint message plug-in: present so that the host delivers core messages; it needs no timer.
class PaintMessage : public host::MessageData {
 public:
  int32_t getTimer() override { return 0; }
  bool coreMessage(int32_t id, const host::Settings& msg) override;
};

// Registers the paint message plug-in, then the undo scene hook.
bool registerUndoPlugins();

// The document's undo hook, or null.
host::HookNode* findUndoHook(host::Document* doc);
// The undo store of the document's undo hook, or null.
PaintUndoStore* findUndoStore(host::Document* doc);
// Opens (or continues) the pending step of the document's undo store.
void beginStep(host::Document* doc);
// Closes the pending step and adds the host undo entry "SculptPaintUndo".
bool endStep(host::Document* doc);
// Host undo entries whose undo and redo tell the views that a channel or layers changed.
bool addChannelChangeEntry(host::Document* doc, int32_t number);
bool addLayerChangeEntry(host::Document* doc, const std::string& text);

}  // namespace pigmora
