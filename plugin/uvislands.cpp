#include "plugin/uvislands.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "plugin/paintmaterials.h"

namespace pigmora {

namespace {
bool sameUVW(const host::Vector& x, const host::Vector& y) {
  return std::bit_cast<uint64_t>(x.x) == std::bit_cast<uint64_t>(y.x) &&
         std::bit_cast<uint64_t>(x.y) == std::bit_cast<uint64_t>(y.y) &&
         std::bit_cast<uint64_t>(x.z) == std::bit_cast<uint64_t>(y.z);
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
  // Is side (s, t) of p continuous in UV with the polygon across it?
  auto continuous = [&](int32_t p, int32_t q, int s, int t) {
    if (q < 0 || p >= uvCount || q >= uvCount) return false;
    const host::UVWPolygon& up = uvs[p];
    const host::UVWPolygon& uq = uvs[q];
    bool hasS = false, hasT = false;
    for (int k = 0; k < 4; ++k) {
      hasS = hasS || sameUVW(uq.corner(k), up.corner(s));
      hasT = hasT || sameUVW(uq.corner(k), up.corner(t));
    }
    return hasS && hasT;
  };

  auto fail = [&list] {
    list.clear();
    return false;
  };
  HostArray<int32_t> stack;
  for (int32_t i = 0; i < count; ++i) {
    if (selection && !selection->isSelected(i)) {
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
    while (!stack.empty()) {
      const int32_t p = stack.pop();
      if (!island.polygons.push(p)) return fail();
      host::Material* mp = material[static_cast<size_t>(p)];
      if (!linked) {
        island.material.set(mp);
        linked = mp != nullptr;
      }
      const host::Polygon& poly = polys[p];
      const int sides = poly.isTriangle() ? 3 : 4;
      for (int k = 0; k < sides; ++k) {
        const int s = k, t = (k + 1) % sides;
        const int32_t q = neighbour->sideNeighbour(p, k);
        if (continuous(p, q, s, t)) {
          if (material[static_cast<size_t>(q)] == mp && !testAndSet(q) && !stack.push(q))
            return fail();
        } else if (!island.borders.push({poly.corner(s), poly.corner(t), p, q, k})) {
          return fail();
        }
      }
    }
  }

  for (UVIsland* each : list) {
    UVIsland& island = *each;
    double su = 0, sv = 0;
    for (int32_t p : island.polygons) {
      if (p >= uvCount) continue;
      const host::UVWPolygon& uv = uvs[p];
      const bool tri = polys[p].isTriangle();
      for (int k = 0; k < 4; ++k) {
        const host::Vector& c = tri && k == 3 ? uv.c : uv.corner(k);
        su += c.x;
        sv += c.y;
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
