// Per-material paint state and the registry that binds the painted object.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "host/host.h"
#include "host/link.h"
#include "lib/host_array.h"
#include "lib/host_map.h"
#include "plugin/paintchannels.h"
#include "plugin/rast/raster_types.h"
#include "plugin/rast/stamp_cache.h"

namespace pigmora {

// Tool settings read when a target is configured.
constexpr int32_t kSettingWholePolygon = 20007;
constexpr int32_t kSettingBleedDistance = 20002;
constexpr int32_t kSettingTextureUpdate = 20009;
constexpr int32_t kSettingFixedStrength = 20013;
constexpr int32_t kSettingStencilColor = 20014;
constexpr int32_t kSettingPerChannelStamps = 20015;
constexpr int32_t kSettingFixedStrengthValue = 10207;
constexpr int32_t kSettingStampAlpha = 10413;
constexpr int32_t kSettingStampOn = 10601;
constexpr int32_t kSettingStencilOn = 10401;
constexpr int32_t kSettingBrushMode = 10221;

// TextureUpdateMode: when the document is told that textures changed.
constexpr int32_t kTextureUpdateNever = 20010;
constexpr int32_t kTextureUpdateOnNotify = 20011;
constexpr int32_t kTextureUpdateStrokeEnd = 20012;

// DabFlags bits.
constexpr int32_t kDabSecondaryColor = 1 << 0;
constexpr int32_t kDabBlur = 1 << 2;

constexpr int32_t kPaintModeColor = 0;
constexpr int32_t kPaintModeBlur = 2;

// What the painting tool reports about the current dab; brushes fill it in.
struct ToolContext {
  const host::Settings* settings = nullptr;  // the tool's settings of this dab
  host::Object* currentObject = nullptr;     // the object the tool paints
  int32_t dabFlags = 0;
  double strength = 0.0;
  double radius = 0.0;
  host::Vector centre;
};

// Saves a bitmap tile into the open undo step of a document; the undo system implements it.
class TileSaver {
 public:
  virtual ~TileSaver() = default;
  virtual bool saveTile(host::PaintBitmap* bitmap, int32_t x, int32_t y) = 0;
};
// The tile saver of the document's undo hook, or null.
TileSaver* findTileSaver(host::Document* doc);

// UDIM tile number and offsets read from a name such as "Left_UDIM_1012".
struct UdimTile {
  int32_t number = 0;
  double u = 0.0, v = 0.0;
};
// Applies the UDIM name rule: false when the name has no "UDIM_"; true when a number was read,
// with offsets set only for numbers above 1000 (`hasOffsets`).
bool parseUdimName(const std::string& name, int32_t& number, double& u, double& v,
                   bool& hasOffsets);
// The UV offsets of tile n: ((n mod 10, 0 read as 10) - 1, (n - 1001) div 10); false (offsets
// untouched) for n of 1000 or below.
bool udimTileOffsets(int32_t number, double& u, double& v);

class PaintTarget {
 public:
  PaintTarget();
  ~PaintTarget();
  PaintTarget(const PaintTarget&) = delete;
  PaintTarget& operator=(const PaintTarget&) = delete;

  // Dirty rectangles and triangle records for the current slots; false on allocation failure.
  bool allocateArrays();
  void freeArrays();
  // Sets up the triangles of one polygon in every channel, saves the undo tiles it touches and
  // grows the dirty rectangles. uv and pos hold the corners a, b, c, d; stamp, when given, holds
  // the corners' stamp coordinates. False when the UVs are not finite numbers (nothing is set up).
  bool markTriangle(bool quad, const host::Vector uv[4], const host::Vector pos[4],
                    const float (*stamp)[2] = nullptr);
  // Tells the host which rectangle of every painted channel changed.
  void flushDirty();
  int32_t dirtyIndex(int32_t channel, int32_t tile) const;
  int32_t triangleIndex(int32_t channel) const;
  void subtractUdimOffset(host::Vector uv[4]) const;
  bool hasAnyChannel() const;
  // Reads the UDIM number and offsets from a name into the target.
  void parseUdim(const std::string& name);
  // Recomputes the same-size flag from the slots.
  void computeSameSize();

  DirtyRect& dirty(int32_t channel, int32_t tile = 0) {
    return dirtyRects[channel + kChannelCount * tile];
  }
  RasterTriangle& triangle(int32_t index) { return triangles[index]; }

  host::Material* material = nullptr;
  host::Link materialLink;
  host::PaintBitmap* channels[kChannelCount] = {};
  int32_t activeChannel = -1;
  host::Vector primary[kChannelCount];
  host::Vector secondary[kChannelCount];
  RasterTriangle* triangles = nullptr;  // 2 per channel per tile, owned
  int32_t paintAllChannels = 0;
  int32_t perChannelStamps = 0;
  double strength = 0.0;
  int32_t stampOn = 0;
  int32_t stencilOn = 0;
  int32_t pointTest = 0;
  int32_t wholePolygon = 0;
  DirtyRect* dirtyRects = nullptr;  // one per channel per tile, tile-major, owned
  int32_t paintMode = kPaintModeColor;
  int32_t tileCount = 1;
  bool sameSize = false;  // computed with the arrays
  int32_t stampAlpha = 0;
  int32_t fixedStrength = 0;
  int32_t stampColor = 0;
  int32_t udimNumber = 0;
  double udimU = 0.0;
  double udimV = 0.0;
  FalloffTable falloff;
  double falloffSignature = 0.0;
};

class PaintMaterialRegistry {
 public:
  // The process-wide registry, created on first call; null when it cannot be created.
  static PaintMaterialRegistry* instance();
  // The registry if it exists, without creating it.
  static PaintMaterialRegistry* existing();
  // Destroys the registry (plug-in end).
  static void shutdown();

  void bind(const ToolContext* tool, host::PolygonObject* geometry, host::Object* tagOwner);
  PaintTarget* targetForPolygon(int32_t polygon) const;
  PaintTarget* targetForMaterial(host::Material* material);
  bool refreshTarget(PaintTarget* target, host::Material* material, const ToolContext* tool);
  // Fills a target's channel slots and colours for material on object with requested channel.
  bool loadChannels(PaintTarget& target, host::Material* material, host::Object* object,
                    int32_t requested);
  void updateAllStrength(const ToolContext& tool);
  void flushAll();
  void dropAllTargets();
  int32_t activeChannelOfSelection() const;
  void updateTextures();

  int32_t textureUpdateMode() const { return updateMode_; }
  host::PolygonObject* geometry() const { return geometryLink_->getAs<host::PolygonObject>(); }
  host::Object* tagOwner() const { return tagOwnerLink_->getAs<host::Object>(); }
  size_t targetCount() const { return targets_.size(); }
  // Per-channel stamps sampled from a material (owned).
  host::Bitmap* sampledChannel(int32_t i) const { return sampled_[i].get(); }
  void setSampledChannel(int32_t i, std::unique_ptr<host::Bitmap> bitmap);
  void freeSampledChannels();
  // The pixels of the current stroke's stamps in the layers' modes.
  StampCache& stampCache() { return stampCache_; }

  // Use instance(); the registry owns both links.
  PaintMaterialRegistry(host::Link* geometry, host::Link* tagOwner);
  ~PaintMaterialRegistry();

 private:
  void rebuild(const ToolContext* tool, host::PolygonObject* geometry, host::Object* tagOwner);
  void refresh(const ToolContext* tool, host::PolygonObject* geometry, host::Object* tagOwner);
  void mapPolygon(int32_t polygon, host::Material* material);
  void copyToolSettings(PaintTarget& target, const ToolContext& tool) const;

  HostMap<host::Material*, PaintTarget*> targets_;
  HostArray<host::Material*> polygonMap_;  // polygon index -> material, null when unmapped
  std::unique_ptr<host::Bitmap> sampled_[kChannelCount];
  host::Link* geometryLink_;
  host::Link* tagOwnerLink_;
  int32_t pointCount_ = 0;
  int32_t polygonCount_ = 0;
  int32_t updateMode_ = kTextureUpdateNever;
  StampCache stampCache_;
};

// The tags of one type on an object, in tag order, walked in place (nothing is allocated). The
// object's tags must not be added or removed during the walk.
template <class T, int32_t Type>
class TagsOfType {
 public:
  class Iterator {
   public:
    Iterator(host::Object* object, int32_t index) : object_(object), index_(index) { skip(); }
    T* operator*() const { return static_cast<T*>(object_->tagAt(index_)); }
    Iterator& operator++() {
      ++index_;
      skip();
      return *this;
    }
    bool operator!=(const Iterator& o) const { return index_ != o.index_; }

   private:
    void skip() {
      if (!object_) return;
      while (index_ < object_->tagCount()) {
        host::Tag* tag = object_->tagAt(index_);
        if (tag && tag->type() == Type) return;
        ++index_;
      }
    }
    host::Object* object_;
    int32_t index_;
  };
  explicit TagsOfType(host::Object* object) : object_(object) {}
  Iterator begin() const { return Iterator(object_, 0); }
  Iterator end() const { return Iterator(nullptr, object_ ? object_->tagCount() : 0); }

 private:
  host::Object* object_;
};

// Walks the texture tags of an object in tag order.
inline TagsOfType<host::TextureTag, host::kTypeTextureTag> textureTags(host::Object* object) {
  return TagsOfType<host::TextureTag, host::kTypeTextureTag>(object);
}
// Walks the polygon selection tags of an object in tag order.
inline TagsOfType<host::SelectionTag, host::kTypePolygonSelectionTag> selectionTags(
    host::Object* object) {
  return TagsOfType<host::SelectionTag, host::kTypePolygonSelectionTag>(object);
}

}  // namespace pigmora
