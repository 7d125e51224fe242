// Tags of the embedded host's scene.
#pragma once

#include <vector>

#include "host/scene.h"

namespace hostapp {

template <class I>
class TagBase : public I {
 public:
  host::Object* object() const override { return object_; }
  host::Object* object_ = nullptr;
};

class UVWTagImpl : public TagBase<host::UVWTag> {
 public:
  int32_t type() const override { return host::kTypeUVWTag; }
  int32_t count() const override { return static_cast<int32_t>(uvw_.size()); }
  // Out-of-range entries read as zero and are not written.
  host::UVWPolygon get(int32_t polygon) const override;
  const host::UVWPolygon* uvwArray() const override { return uvw_.data(); }
  void set(int32_t polygon, const host::UVWPolygon& uvw) override;
  bool resize(int32_t count) override;

 private:
  std::vector<host::UVWPolygon> uvw_;
};

class TextureTagImpl : public TagBase<host::TextureTag> {
 public:
  TextureTagImpl();
  int32_t type() const override { return host::kTypeTextureTag; }
  host::Material* material() const override { return material_.getAs<host::Material>(); }
  void setMaterial(host::Material* material) override { material_.set(material); }

 private:
  host::Link material_;
};

class SelectionTagImpl : public TagBase<host::SelectionTag> {
 public:
  int32_t type() const override { return host::kTypePolygonSelectionTag; }
  host::Selection& selection() override { return selection_; }

 private:
  host::Selection selection_;
};

class DataTagImpl : public TagBase<host::DataTag> {
 public:
  explicit DataTagImpl(int32_t type) : type_(type) {}
  int32_t type() const override { return type_; }
  int32_t count() const override;

 private:
  int32_t type_;
};

}  // namespace hostapp
