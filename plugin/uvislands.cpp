#include "plugin/uvislands.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "plugin/paintmaterials.h"

namespace pigmora {

namespace {
// Bitwise equality: -0 and +0 differ, a NaN equals only itself.
bool sameUVW(const host::Vector& x, const host::Vector& y) {
  static_assert(sizeof(host::Vector) == 3 * sizeof(double));
  return std::memcmp(&x, &y, sizeof(host::Vector)) == 0;
}

// Maps the polygons one texture tag assigns to its material.
void mapTag(HostArray<host::Material*>& map, host::PolygonObject* obj, host::TextureTag* tag) {
  host::Material* mat = tag->material();
  if (!mat) return;
  const int32_t count = obj->polygonCount();
  if (host::SelectionTag* sel = restrictionSelectionTag(obj, tag)) {
    sel->selection().forEachIndex([&](int32_t i) {
      if (i < count) map[static_cast<size_t>(i)] = mat;
    });
  } else {
    std::fill(map.begin(), map.end(), mat);
  }
}

bool validCorners(const host::Polygon& p, int32_t pointCount) {
  for (int k = 0; k < 4; ++k)
    if (p.corner(k) < 0 || p.corner(k) >= pointCount) return false;
  return true;
}
}  // namespace

host::SelectionTag* restrictionSelectionTag(host::PolygonObject* obj, host::TextureTag* tag) {
  if (!obj || !tag) return nullptr;
  const std::string name = tag->data().getString(host::kTexRestriction);
  if (name.empty()) return nullptr;
  for (host::SelectionTag* sel : selectionTags(obj))
    if (sel->name() == name) return sel;
  return nullptr;
}

bool polygonMaterials(HostArray<host::Material*>& map, host::PolygonObject* obj) {
  if (!map.assign(static_cast<size_t>(obj ? obj->polygonCount() : 0), nullptr)) return false;
  for (host::TextureTag* tag : textureTags(obj)) mapTag(map, obj, tag);
  return true;
}

bool findUVIslands(UVIslandList& list, host::UVWTag* uvw, host::PolygonObject* obj,
                   const host::Neighbour* neighbour, const host::Selection* selection,
                   host::TextureTag* tag) {
  list.clear();
  if (!uvw || !obj || !neighbour || obj->polygonCount() <= 0) return true;
  const int32_t count = obj->polygonCount(), pointCount = obj->pointCount();
  const host::Polygon* polys = obj->polygons();
  HostArray<uint64_t> visited;
  HostArray<host::Material*> material;
  if (!visited.assign((static_cast<size_t>(count) + 63) / 64, 0)) return false;
  auto testAndSet = [&visited](int32_t i) {
    uint64_t& word = visited[static_cast<size_t>(i) >> 6];
    const uint64_t bit = uint64_t{1} << (i & 63);
    const bool was = word & bit;
    word |= bit;
    return was;
  };

  if (!tag) {
    if (!polygonMaterials(material, obj)) return false;
  } else if (!material.assign(static_cast<size_t>(count), nullptr)) {
    return false;
  } else if (selection) {
    selection->forEachIndex([&](int32_t i) {
      if (i < count) material[static_cast<size_t>(i)] = tag->material();
    });
  } else {
    mapTag(material, obj, tag);
  }

  // Polygons past the end of the tag have no UVs and are continuous with nothing.
  const int32_t uvCount = std::min(uvw->count(), count);
  const host::UVWPolygon* uvs = uvw->uvwArray();
  // Is side (s, t) of p continuous in UV with the polygon across it, that is, does q have a
  // corner with the UV of each end? The corners of q at the side's own points nearly always do,
  // so they are tried first; only when one of them differs are all of q's corners searched.
  auto continuous = [&](int32_t p, int32_t q, const host::Polygon& pp, int s, int t) {
    if (q < 0 || p >= uvCount || q >= uvCount) return false;
    const host::UVWPolygon& up = uvs[p];
    const host::UVWPolygon& uq = uvs[q];
    const host::Polygon& pq = polys[q];
    const int32_t a = pp.corner(s), b = pp.corner(t);
    // q's corners at a and at b, as bit masks: comparing their UVs needs no branch on where in q
    // the points sit.
    const uint32_t atA = (pq.a == a) | (pq.b == a) << 1 | (pq.c == a) << 2 | (pq.d == a) << 3;
    const uint32_t atB = (pq.a == b) | (pq.b == b) << 1 | (pq.c == b) << 2 | (pq.d == b) << 3;
    bool hasS = atA && sameUVW(uq.corner(std::countr_zero(atA)), up.corner(s));
    bool hasT = atB && sameUVW(uq.corner(std::countr_zero(atB)), up.corner(t));
    if (hasS && hasT) return true;
    for (int k = 0; k < 4 && !hasS; ++k) hasS = sameUVW(uq.corner(k), up.corner(s));
    for (int k = 0; k < 4 && !hasT; ++k) hasT = sameUVW(uq.corner(k), up.corner(t));
    return hasS && hasT;
  };

  auto fail = [&list] {
    list.clear();
    return false;
  };
  auto searched = [&](int32_t i) { return !selection || selection->isSelected(i); };

  // Which sides of a polygon are continuous, a bit each.
  auto sideBits = [&](int32_t p) {
    const host::Polygon& poly = polys[p];
    const int sides = poly.isTriangle() ? 3 : 4;
    uint32_t bits = 0;
    for (int k = 0; k < sides; ++k)
      if (continuous(p, neighbour->sideNeighbour(p, k), poly, k, (k + 1) % sides)) bits |= 1u << k;
    return static_cast<uint8_t>(bits);
  };
  // They are found in polygon order first: the polygons across a side are mostly near in memory,
  // so this pass streams through the UVs, where the search below would reach each polygon's UVs
  // at random. Polygons outside the selection are left for the search, should it reach them.
  constexpr uint8_t kNotYet = 0xF0;
  HostArray<uint8_t> joins;
  if (!joins.assign(static_cast<size_t>(count), kNotYet)) return fail();
  for (int32_t p = 0; p < count; ++p)
    if (searched(p)) joins[static_cast<size_t>(p)] = sideBits(p);
  HostArray<int32_t> stack;
  for (int32_t i = 0; i < count; ++i) {
    if (!searched(i)) {
      testAndSet(i);
      continue;
    }
    if (testAndSet(i)) continue;
    // Polygons with point indices out of range belong to no island.
    if (!validCorners(polys[i], pointCount)) continue;
    UVIsland* made = list.emplace();
    if (!made || !stack.assign(1, i)) return fail();
    UVIsland& island = *made;
    bool linked = false;
    // The UV centre's sums, in the order the island grows.
    double su = 0, sv = 0;
    while (!stack.empty()) {
      const int32_t p = stack.pop();
      if (!island.polygons.push(p)) return fail();
      const host::Polygon& poly = polys[p];
      const int sides = poly.isTriangle() ? 3 : 4;
      if (p < uvCount) {
        const host::UVWPolygon& uv = uvs[p];
        for (int k = 0; k < 4; ++k) {
          const host::Vector& c = sides == 3 && k == 3 ? uv.c : uv.corner(k);
          su += c.x;
          sv += c.y;
        }
      }
      host::Material* mp = material[static_cast<size_t>(p)];
      if (!linked && mp) {
        island.material.set(mp);
        linked = true;
      }
      uint32_t bits = joins[static_cast<size_t>(p)];
      if (bits == kNotYet) bits = sideBits(p);
      for (int k = 0; k < sides; ++k) {
        const int s = k, t = (k + 1) % sides;
        const int32_t q = neighbour->sideNeighbour(p, k);
        if (bits & (1u << k)) {
          if (material[static_cast<size_t>(q)] == mp && !testAndSet(q)) {
            if (!stack.push(q)) return fail();
            // Its UVs are summed when it is taken from the stack.
            if (q < uvCount) {
              __builtin_prefetch(&uvs[q]);
              __builtin_prefetch(&uvs[q].d);
            }
          }
        } else if (!island.borders.push({poly.corner(s), poly.corner(t), p, q, k})) {
          return fail();
        }
      }
    }
    const double n = 4.0 * static_cast<double>(island.polygons.size());
    const double mu = su / n, mv = sv / n;
    island.tile = std::isfinite(mu) && std::isfinite(mv) && std::abs(mu) < 1e6 && std::abs(mv) < 1e6
                      ? 1001 + static_cast<int32_t>(std::floor(mu)) +
                            10 * static_cast<int32_t>(std::floor(mv))
                      : 0;
  }
  return true;
}

}  // namespace pigmora
