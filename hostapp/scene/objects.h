// Objects of the embedded host's scene: polygon objects, cameras and nulls.
#pragma once

#include <memory>
#include <vector>

#include "host/scene.h"

namespace hostapp {

class DocumentImpl;

// Hierarchy links of an object, maintained by its document.
struct TreeLinks {
  virtual ~TreeLinks() = default;
  host::Object *next_ = nullptr, *prev_ = nullptr, *down_ = nullptr, *up_ = nullptr;
  DocumentImpl* doc_ = nullptr;
};
// The links of an object the embedded host created; null for any other object.
inline TreeLinks* treeLinks(host::Object* o) {
  return dynamic_cast<TreeLinks*>(o);
}

// Hierarchy, tags and matrices shared by every object kind.
template <class I>
class ObjectBase : public I, public TreeLinks {
 public:
  ~ObjectBase() override;

  host::Object* next() const override { return next_; }
  host::Object* prev() const override { return prev_; }
  host::Object* down() const override { return down_; }
  host::Object* up() const override { return up_; }
  host::Document* document() const override;

  int32_t tagCount() const override { return static_cast<int32_t>(tags_.size()); }
  host::Tag* tagAt(int32_t index) const override;
  host::Tag* tag(int32_t type, int32_t nr) const override;
  void insertTag(host::Tag* tag, host::Tag* after) override;
  host::Tag* makeTag(int32_t type, host::Tag* after) override;
  host::Tag* removeTag(host::Tag* tag) override;

  host::Matrix globalMatrix() const override;
  void setGlobalMatrix(const host::Matrix& m) override;
  bool isSelected() const override { return selected_; }
  void setSelected(bool on) override { selected_ = on; }
  host::Vector boundingRadius() const override { return {}; }
  host::Vector boundingCenter() const override { return {}; }

  host::Matrix localMatrix() const { return local_; }
  void setLocalMatrix(const host::Matrix& m) { local_ = m; }

 private:
  std::vector<std::unique_ptr<host::Tag>> tags_;
  host::Matrix local_;
  bool selected_ = false;
};

class PolygonObjectImpl : public ObjectBase<host::PolygonObject> {
 public:
  int32_t type() const override { return host::kTypePolygonObject; }
  int32_t pointCount() const override { return static_cast<int32_t>(points_.size()); }
  int32_t polygonCount() const override { return static_cast<int32_t>(polygons_.size()); }
  const host::Vector* points() const override { return points_.data(); }
  host::Vector* writablePoints() override {
    ++pointsRevision_;
    return points_.data();
  }
  const host::Polygon* polygons() const override { return polygons_.data(); }
  host::Polygon* writablePolygons() override {
    ++polygonsRevision_;
    return polygons_.data();
  }
  bool resize(int32_t pointCount, int32_t polygonCount) override;
  host::Selection& pointSelection() override { return pointSel_; }
  host::Selection& edgeSelection() override { return edgeSel_; }
  host::Selection& polygonSelection() override { return polygonSel_; }
  host::Vector boundingRadius() const override;
  host::Vector boundingCenter() const override;

  // Counters that move whenever the points or the polygons may have changed: each hand-out of a
  // writable array and each resize counts. Writers ask for the writable array when they write
  // (an array kept from before and written through later goes unseen). Marking the object dirty
  // does not count: painting marks every object dirty after each stroke to refresh its textures.
  uint64_t pointsRevision() const { return pointsRevision_; }
  uint64_t polygonsRevision() const { return polygonsRevision_; }

 private:
  uint64_t pointsRevision_ = 0, polygonsRevision_ = 0;
  std::vector<host::Vector> points_;
  std::vector<host::Polygon> polygons_;
  host::Selection pointSel_, edgeSel_, polygonSel_;
};

// What a camera sees through: a perspective lens on a 36 mm film unless told otherwise.
struct CameraLens {
  int32_t projection = 0;
  double focalLength = 36.0;
  double zoom = 1.0;
  host::Vector filmOffset;
  double aperture = 36.0;
  bool operator==(const CameraLens&) const = default;
};

class CameraObjectImpl : public ObjectBase<host::CameraObject> {
 public:
  int32_t type() const override { return host::kTypeCamera; }
  int32_t projection() const override { return lens_.projection; }
  double focalLength() const override { return lens_.focalLength; }
  void setFocalLength(double mm) override { lens_.focalLength = mm; }
  double zoom() const override { return lens_.zoom; }
  host::Vector filmOffset() const override { return lens_.filmOffset; }
  double aperture() const override { return lens_.aperture; }

  const CameraLens& lens() const { return lens_; }
  void setLens(const CameraLens& lens) { lens_ = lens; }

 private:
  CameraLens lens_;
};

class NullObjectImpl : public ObjectBase<host::Object> {
 public:
  int32_t type() const override { return host::kTypeNull; }
};

// Creates an object of a host type; null for unknown types.
std::unique_ptr<host::Object> createObjectOfType(int32_t type);
// Creates a tag of a host type; null for unknown types.
std::unique_ptr<host::Tag> createTagOfType(int32_t type);
// Sets the object a tag belongs to.
void attachTag(host::Tag* tag, host::Object* object);

}  // namespace hostapp
