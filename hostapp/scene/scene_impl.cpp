#include "hostapp/scene/scene_impl.h"

#include <algorithm>

#include "hostapp/core/embedded_host.h"
#include "hostapp/scene/objects.h"
#include "hostapp/sculpt/sculpt_impl.h"
#include "hostapp/undo/node_state.h"

namespace hostapp {

namespace {
bool validPolygon(const host::Polygon& p, int32_t pointCount) {
  for (int k = 0; k < 4; ++k)
    if (p.corner(k) < 0 || p.corner(k) >= pointCount) return false;
  return true;
}
int sidesOf(const host::Polygon& p) {
  return p.isTriangle() ? 3 : 4;
}
}  // namespace

NeighbourImpl::NeighbourImpl(const host::PolygonObject& obj, const host::Selection* restrict)
    : polygons_(obj.polygons()), polygonCount_(obj.polygonCount()) {
  const int32_t pointCount = std::max(obj.pointCount(), 0);
  // The polygons that take part, each with its distinct corners (a point repeated within a
  // polygon lists the polygon once), in one bit per corner.
  LargeVector<uint8_t> distinct(static_cast<size_t>(std::max(polygonCount_, 0)), 0);
  offsets_.assign(static_cast<size_t>(pointCount) + 1, 0);
  for (int32_t i = 0; i < polygonCount_; ++i) {
    const host::Polygon& p = polygons_[i];
    if ((restrict && !restrict->isSelected(i)) || !validPolygon(p, pointCount)) continue;
    const int32_t c[4] = {p.a, p.b, p.c, p.d};
    uint8_t bits = 1;
    for (int k = 1; k < sidesOf(p); ++k) {
      bool seen = false;
      for (int j = 0; j < k; ++j) seen |= c[j] == c[k];
      if (!seen) bits |= static_cast<uint8_t>(1u << k);
    }
    // Bit 4 marks the polygon as taking part.
    distinct[static_cast<size_t>(i)] = static_cast<uint8_t>(bits | 16u);
    for (int k = 0; k < 4; ++k)
      if (bits & (1u << k)) ++offsets_[static_cast<size_t>(c[k]) + 1];
  }
  for (size_t i = 1; i < offsets_.size(); ++i) offsets_[i] += offsets_[i - 1];
  polys_.resize(static_cast<size_t>(offsets_.back()));
  LargeVector<int32_t> fill(offsets_.begin(), offsets_.end() - 1);
  for (int32_t i = 0; i < polygonCount_; ++i) {
    const uint8_t bits = distinct[static_cast<size_t>(i)];
    if (!bits) continue;
    const host::Polygon& p = polygons_[i];
    const int32_t c[4] = {p.a, p.b, p.c, p.d};
    for (int k = 0; k < 4; ++k)
      if (bits & (1u << k)) polys_[static_cast<size_t>(fill[static_cast<size_t>(c[k])]++)] = i;
  }
  sides_.assign(static_cast<size_t>(polygonCount_) * 4, -1);
  for (int32_t i = 0; i < polygonCount_; ++i) {
    if (!distinct[static_cast<size_t>(i)]) continue;
    const host::Polygon& p = polygons_[i];
    const int n = sidesOf(p);
    const int32_t c[4] = {p.a, p.b, p.c, p.d};
    for (int k = 0; k < n; ++k) {
      const int32_t a = c[k], b = c[(k + 1) % n];
      if (a == b) continue;
      for (int32_t q : pointPolygons(a)) {
        if (q == i) continue;
        // A triangle's fourth corner repeats its third, so all four can be compared.
        const host::Polygon& o = polygons_[q];
        if ((o.a == b) | (o.b == b) | (o.c == b) | (o.d == b)) {
          sides_[static_cast<size_t>(i) * 4 + k] = q;
          break;
        }
      }
    }
  }
}

int32_t NeighbourImpl::sideNeighbour(int32_t poly, int32_t side) const {
  if (poly < 0 || poly >= polygonCount_ || side < 0 || side > 3) return -1;
  return sides_[static_cast<size_t>(poly) * 4 + side];
}

int32_t NeighbourImpl::neighbour(int32_t a, int32_t b, int32_t poly) const {
  if (poly < 0 || poly >= polygonCount_) return -1;
  const host::Polygon& p = polygons_[poly];
  const int n = sidesOf(p);
  for (int k = 0; k < n; ++k) {
    const int32_t x = p.corner(k), y = p.corner((k + 1) % n);
    if ((x == a && y == b) || (x == b && y == a)) return sideNeighbour(poly, k);
  }
  return -1;
}

std::span<const int32_t> NeighbourImpl::pointPolygons(int32_t p) const {
  if (p < 0 || static_cast<size_t>(p) + 1 >= offsets_.size()) return {};
  const size_t from = static_cast<size_t>(offsets_[static_cast<size_t>(p)]);
  const size_t to = static_cast<size_t>(offsets_[static_cast<size_t>(p) + 1]);
  return {polys_.data() + from, to - from};
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

host::Node* SceneImpl::cloneNode(host::Node* node) {
  if (!node || host_.memory().refuseNext()) return nullptr;
  return hostapp::cloneNode(node).release();
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

DocumentImpl* SceneImpl::adoptDocument(std::unique_ptr<DocumentImpl> doc) {
  if (!doc) return nullptr;
  documents_.push_back(std::move(doc));
  active_ = documents_.back().get();
  return active_;
}

void SceneImpl::closeDocument(DocumentImpl* doc) {
  auto it = std::find_if(documents_.begin(), documents_.end(),
                         [doc](const auto& d) { return d.get() == doc; });
  if (it == documents_.end()) return;
  host_.sculptImpl().forgetDocument(doc);
  documents_.erase(it);
  if (active_ == doc) active_ = documents_.empty() ? nullptr : documents_.back().get();
}

void SceneImpl::freeDocuments() {
  active_ = nullptr;
  documents_.clear();
}

}  // namespace hostapp
