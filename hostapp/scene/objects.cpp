#include "hostapp/scene/objects.h"

#include <algorithm>
#include <limits>

#include "hostapp/scene/document.h"
#include "hostapp/scene/tags.h"

namespace hostapp {

template <class I>
ObjectBase<I>::~ObjectBase() {
  // Children are owned by their parent.
  for (host::Object* child = down_; child;) {
    host::Object* following = child->next();
    delete child;
    child = following;
  }
}

template <class I>
host::Document* ObjectBase<I>::document() const {
  return doc_;
}

template <class I>
host::Tag* ObjectBase<I>::tagAt(int32_t index) const {
  return index >= 0 && index < tagCount() ? tags_[static_cast<size_t>(index)].get() : nullptr;
}

template <class I>
host::Tag* ObjectBase<I>::tag(int32_t type, int32_t nr) const {
  for (const auto& t : tags_)
    if (t->type() == type && nr-- == 0) return t.get();
  return nullptr;
}

template <class I>
void ObjectBase<I>::insertTag(host::Tag* tag, host::Tag* after) {
  if (!tag) return;
  attachTag(tag, this);
  auto pos = tags_.begin();
  if (after) {
    auto it =
        std::find_if(tags_.begin(), tags_.end(), [after](auto& t) { return t.get() == after; });
    if (it != tags_.end()) pos = it + 1;
  }
  tags_.insert(pos, std::unique_ptr<host::Tag>(tag));
}

template <class I>
host::Tag* ObjectBase<I>::makeTag(int32_t type, host::Tag* after) {
  std::unique_ptr<host::Tag> tag = createTagOfType(type);
  if (!tag) return nullptr;
  host::Tag* raw = tag.release();
  insertTag(raw, after);
  return raw;
}

template <class I>
host::Tag* ObjectBase<I>::removeTag(host::Tag* tag) {
  auto it = std::find_if(tags_.begin(), tags_.end(), [tag](auto& t) { return t.get() == tag; });
  if (it == tags_.end()) return nullptr;
  host::Tag* raw = it->release();
  tags_.erase(it);
  attachTag(raw, nullptr);
  return raw;
}

template <class I>
host::Matrix ObjectBase<I>::globalMatrix() const {
  return up_ ? up_->globalMatrix() * local_ : local_;
}

template <class I>
void ObjectBase<I>::setGlobalMatrix(const host::Matrix& m) {
  if (!up_) {
    local_ = m;
    return;
  }
  // Local = inverse(parent global) * m, for parent matrices made of orthogonal axes.
  const host::Matrix p = up_->globalMatrix();
  auto inv = [&p](const host::Vector& d) {
    return host::Vector(host::dot(d, p.v1) / host::dot(p.v1, p.v1),
                        host::dot(d, p.v2) / host::dot(p.v2, p.v2),
                        host::dot(d, p.v3) / host::dot(p.v3, p.v3));
  };
  local_ = {inv(m.off - p.off), inv(m.v1), inv(m.v2), inv(m.v3)};
}

template class ObjectBase<host::Object>;
template class ObjectBase<host::PolygonObject>;
template class ObjectBase<host::CameraObject>;

bool PolygonObjectImpl::resize(int32_t pointCount, int32_t polygonCount) {
  if (pointCount < 0 || polygonCount < 0) return false;
  ++pointsRevision_;
  ++polygonsRevision_;
  points_.resize(static_cast<size_t>(pointCount));
  polygons_.resize(static_cast<size_t>(polygonCount));
  return true;
}

host::Vector PolygonObjectImpl::boundingRadius() const {
  if (points_.empty()) return {};
  host::Vector lo = points_[0], hi = points_[0];
  for (const auto& p : points_) {
    lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
    hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
  }
  return (hi - lo) * 0.5;
}

host::Vector PolygonObjectImpl::boundingCenter() const {
  if (points_.empty()) return {};
  host::Vector lo = points_[0], hi = points_[0];
  for (const auto& p : points_) {
    lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
    hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
  }
  return (hi + lo) * 0.5;
}

std::unique_ptr<host::Object> createObjectOfType(int32_t type) {
  switch (type) {
    case host::kTypePolygonObject:
      return std::make_unique<PolygonObjectImpl>();
    case host::kTypeCamera:
      return std::make_unique<CameraObjectImpl>();
    case host::kTypeNull:
      return std::make_unique<NullObjectImpl>();
    default:
      return nullptr;
  }
}

std::unique_ptr<host::Tag> createTagOfType(int32_t type) {
  switch (type) {
    case host::kTypeUVWTag:
      return std::make_unique<UVWTagImpl>();
    case host::kTypeTextureTag:
      return std::make_unique<TextureTagImpl>();
    case host::kTypePolygonSelectionTag:
      return std::make_unique<SelectionTagImpl>();
    case host::kTypePointTag:
    case host::kTypePolygonTag:
      return std::make_unique<DataTagImpl>(type);
    default:
      return nullptr;
  }
}

void attachTag(host::Tag* tag, host::Object* object) {
  switch (tag->type()) {
    case host::kTypeUVWTag:
      static_cast<UVWTagImpl*>(tag)->object_ = object;
      break;
    case host::kTypeTextureTag:
      static_cast<TextureTagImpl*>(tag)->object_ = object;
      break;
    case host::kTypePolygonSelectionTag:
      static_cast<SelectionTagImpl*>(tag)->object_ = object;
      break;
    default:
      static_cast<DataTagImpl*>(tag)->object_ = object;
      break;
  }
}

}  // namespace hostapp
