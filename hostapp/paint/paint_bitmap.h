// Layered paint textures and their bitmap layers.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/paint.h"
#include "hostapp/paint/colormode.h"

namespace hostapp {

class CountingMemory;
class PaintTextureImpl;

// Pixel storage in one colour mode, with clipped row access in any mode.
// Layer pixels give their bytes back to the memory budget when freed.
struct PixelRelease {
  CountingMemory* memory = nullptr;
  uint64_t bytes = 0;
  void operator()(uint8_t* p) const;
};

class PixelStore {
 public:
  // False when the memory cannot be had or the size or mode is invalid.
  bool allocate(CountingMemory& memory, int32_t width, int32_t height, int32_t mode);
  int32_t width() const { return width_; }
  int32_t height() const { return height_; }
  int32_t mode() const { return layout_ ? layout_->mode : 0; }
  const ModeLayout* layout() const { return layout_; }
  uint8_t* row(int32_t y) { return data_.get() + static_cast<size_t>(y) * rowBytes(); }
  const uint8_t* row(int32_t y) const { return data_.get() + static_cast<size_t>(y) * rowBytes(); }
  size_t rowBytes() const { return static_cast<size_t>(width_) * layout_->pixelBytes(); }
  bool read(int32_t x, int32_t y, int32_t count, void* buffer, int32_t mode) const;
  bool write(int32_t x, int32_t y, int32_t count, const void* buffer, int32_t mode);
  void fill(const PixelF& p);
  // Row writes that changed at least one byte.
  uint64_t changedWrites() const { return changedWrites_; }

 private:
  std::unique_ptr<uint8_t[], PixelRelease> data_;
  uint64_t changedWrites_ = 0;
  int32_t width_ = 0, height_ = 0;
  const ModeLayout* layout_ = nullptr;
};

struct ChangedRect {
  int32_t xmin, ymin, xmax, ymax, flags;
};

class PaintLayerImpl : public host::PaintBitmap {
 public:
  explicit PaintLayerImpl(PaintTextureImpl* owner) : owner_(owner) {}
  int32_t type() const override { return host::kTypeBitmapLayer; }
  bool isInstanceOf(int32_t t) const override {
    return t == host::kTypeBitmapLayer || t == host::kTypePaintLayer;
  }
  int32_t width() const override { return pixels_.width(); }
  int32_t height() const override { return pixels_.height(); }
  int32_t colorMode() const override { return pixels_.mode(); }
  bool getPixelRow(int32_t x, int32_t y, int32_t count, void* buffer, int32_t mode) const override {
    return pixels_.read(x, y, count, buffer, mode);
  }
  // Every write counts as a change, so that previews notice pixels written without a notice.
  bool setPixelRow(int32_t x, int32_t y, int32_t count, const void* buffer, int32_t mode) override;
  void notifyChanged(int32_t xmin, int32_t ymin, int32_t xmax, int32_t ymax,
                     int32_t flags) override;
  void layerChanged(int32_t flag) override;
  host::PaintBitmap* next() const override;
  uint64_t changeCount() const override;

  PixelStore& pixels() { return pixels_; }
  const PixelStore& pixels() const { return pixels_; }
  bool visible() const override { return visible_; }
  void setVisible(bool on) override;
  PaintTextureImpl* owner() const { return owner_; }
  // The texture the layer belongs to while it is in one; undo takes layers out and back.
  void setOwner(PaintTextureImpl* owner) { owner_ = owner; }

 private:
  PaintTextureImpl* owner_;
  PixelStore pixels_;
  bool visible_ = true;
};

class PaintTextureImpl : public host::PaintTexture {
 public:
  PaintTextureImpl(CountingMemory& memory, std::string path);
  int32_t type() const override { return host::kTypePaintTexture; }
  int32_t width() const override { return width_; }
  int32_t height() const override { return height_; }
  int32_t colorMode() const override { return mode_; }
  // Reads the visible layers composited bottom to top.
  bool getPixelRow(int32_t x, int32_t y, int32_t count, void* buffer, int32_t mode) const override;
  // Writes into the active layer.
  bool setPixelRow(int32_t x, int32_t y, int32_t count, const void* buffer, int32_t mode) override;
  void notifyChanged(int32_t xmin, int32_t ymin, int32_t xmax, int32_t ymax,
                     int32_t flags) override;
  void layerChanged(int32_t flag) override;
  host::PaintBitmap* next() const override { return nullptr; }
  uint64_t changeCount() const override { return changes_; }

  host::PaintBitmap* firstLayer() const override;
  host::PaintBitmap* activeLayer() const override;
  void setActiveLayer(host::PaintBitmap* layer) override;
  int32_t layerCount() const override { return static_cast<int32_t>(layers_.size()); }
  host::PaintBitmap* addLayer(const std::string& name, int32_t mode) override;
  std::string filePath() const override { return path_; }

  // Sets the size and mode of the texture; layers are added afterwards.
  void setFormat(int32_t width, int32_t height, int32_t mode);
  host::PaintBitmap* layerAfter(const PaintLayerImpl* layer) const;
  PaintLayerImpl* layer(int32_t index) const { return layers_[static_cast<size_t>(index)].get(); }
  // Position of a layer from the bottom, or -1.
  int32_t indexOf(const host::PaintBitmap* layer) const;
  // Takes a layer out (the caller owns it) and puts one back at a position; both keep the active
  // layer where it was when it stays.
  std::unique_ptr<PaintLayerImpl> removeLayer(host::PaintBitmap* layer);
  void insertLayer(std::unique_ptr<PaintLayerImpl> layer, int32_t index);
  void bumpChanges() { ++changes_; }
  void recordChange(const ChangedRect& r);
  const std::vector<ChangedRect>& changes() const { return changed_; }
  // Row writes into any layer that changed at least one byte.
  uint64_t changedWrites() const;
  void clearChanges() { changed_.clear(); }
  // Where row writes into the layers landed since the last takeWritten(), in square tiles of
  // kWrittenTile texels, so that a viewer can send only those texels again.
  static constexpr int32_t kWrittenTile = 64;
  struct Written {
    int32_t columns = 0, rows = 0;
    std::vector<uint8_t> tiles;  // row-major, 1 where a write landed
    uint64_t writes = 0;         // the row writes, each of which counted as a change
  };
  Written takeWritten();
  void noteWrite(int32_t x, int32_t y, int32_t count);

 private:
  CountingMemory& memory_;
  std::string path_;
  int32_t width_ = 0, height_ = 0, mode_ = host::kModeARGB8;
  std::vector<std::unique_ptr<PaintLayerImpl>> layers_;  // bottom first
  int32_t active_ = -1;
  uint64_t changes_ = 0;
  std::vector<ChangedRect> changed_;
  Written written_;
};

}  // namespace hostapp
