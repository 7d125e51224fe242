#include "hostapp/scene/scene_impl.h"

#include <algorithm>

#include "hostapp/core/embedded_host.h"
#include "hostapp/scene/objects.h"

namespace hostapp {

NeighbourImpl::NeighbourImpl(const host::PolygonObject& obj, const host::Selection* restrict) {
  const int32_t pointCount = obj.pointCount();
  const host::Polygon* polys = obj.polygons();
  pointPolys_.resize(static_cast<size_t>(std::max(pointCount, 0)));
  for (int32_t i = 0; i < obj.polygonCount(); ++i) {
    if (restrict && !restrict->isSelected(i)) continue;
    const host::Polygon& p = polys[i];
    const int sides = p.isTriangle() ? 3 : 4;
    bool valid = true;
    for (int k = 0; k < sides; ++k) valid &= p.corner(k) >= 0 && p.corner(k) < pointCount;
    if (!valid) continue;  // polygons with bad point indices have no neighbours
    for (int k = 0; k < sides; ++k) {
      auto& list = pointPolys_[static_cast<size_t>(p.corner(k))];
      if (list.empty() || list.back() != i) list.push_back(i);
      const int32_t a = p.corner(k), b = p.corner((k + 1) % sides);
      if (a != b) edges_.push_back({edgeKey(a, b), i, -1});
    }
  }
  std::sort(edges_.begin(), edges_.end(), [](const Edge& x, const Edge& y) {
    return x.key < y.key || (x.key == y.key && x.first < y.first);
  });
  // Fold the two polygons of a shared edge into one record.
  std::vector<Edge> folded;
  for (const Edge& e : edges_) {
    if (!folded.empty() && folded.back().key == e.key) {
      if (folded.back().second < 0 && folded.back().first != e.first)
        folded.back().second = e.first;
    } else {
      folded.push_back(e);
    }
  }
  edges_ = std::move(folded);
}

int64_t NeighbourImpl::edgeKey(int32_t a, int32_t b) {
  const int64_t lo = std::min(a, b), hi = std::max(a, b);
  return (hi << 32) | lo;
}

int32_t NeighbourImpl::neighbour(int32_t a, int32_t b, int32_t poly) const {
  const int64_t key = edgeKey(a, b);
  auto it = std::lower_bound(edges_.begin(), edges_.end(), key,
                             [](const Edge& e, int64_t k) { return e.key < k; });
  if (it == edges_.end() || it->key != key) return -1;
  if (it->first == poly) return it->second;
  if (it->second == poly) return it->first;
  return -1;
}

const std::vector<int32_t>& NeighbourImpl::pointPolygons(int32_t p) const {
  if (p < 0 || static_cast<size_t>(p) >= pointPolys_.size()) return none_;
  return pointPolys_[static_cast<size_t>(p)];
}

host::Object* SceneImpl::createObject(int32_t type) {
  if (host_.memory().refuseNext()) return nullptr;
  return createObjectOfType(type).release();
}

host::Material* SceneImpl::createMaterial(int32_t type) {
  if (type != host::kTypeMaterial || host_.memory().refuseNext()) return nullptr;
  return new MaterialImpl();
}

host::Tag* SceneImpl::createTag(int32_t type) {
  if (host_.memory().refuseNext()) return nullptr;
  return createTagOfType(type).release();
}

void SceneImpl::freeNode(host::Node* node) {
  delete node;
}

std::unique_ptr<host::Neighbour> SceneImpl::buildNeighbour(host::PolygonObject* obj,
                                                           const host::Selection* restrict) {
  if (!obj || host_.memory().refuseNext()) return nullptr;
  return std::make_unique<NeighbourImpl>(*obj, restrict);
}

DocumentImpl* SceneImpl::newDocument() {
  documents_.push_back(std::make_unique<DocumentImpl>(host_));
  DocumentImpl* doc = documents_.back().get();
  doc->createHooks();
  active_ = doc;
  return doc;
}

void SceneImpl::freeDocuments() {
  active_ = nullptr;
  documents_.clear();
}

}  // namespace hostapp
