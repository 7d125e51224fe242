// UV islands: the connected pieces of an object's UV layout that never cross a change of
// material.
#pragma once

#include <cstdint>
#include <vector>

#include "host/host.h"

namespace pigmora {

struct UVBorderEdge {
  int32_t a = 0, b = 0;  // the side's corner points, in the polygon's corner order
  int32_t polygon = 0;
  int32_t across = -1;  // the polygon across the side, or -1 at a mesh border
  int32_t side = 0;     // 0 a-b, 1 b-c, 2 c-d (c-a on a triangle), 3 d-a
};

struct UVIsland {
  std::vector<int32_t> polygons;  // in the order the island grew
  host::Link material;            // empty when its polygons have none
  int32_t tile = 0;               // the UDIM tile of its UV centre
  std::vector<UVBorderEdge> borders;
};

using UVIslandList = std::vector<UVIsland>;

// The polygon selection tag named by the texture tag's restriction, or null.
host::SelectionTag* restrictionSelectionTag(host::PolygonObject* obj, host::TextureTag* tag);

// Polygon index -> material (null for none), from the object's texture tags in tag order.
std::vector<host::Material*> polygonMaterials(host::PolygonObject* obj);

// Finds the islands of the object's polygons (of `selection` when given); materials come from
// all texture tags, or from `tag` alone when one is given.
void findUVIslands(UVIslandList& list, host::UVWTag* uvw, host::PolygonObject* obj,
                   const host::Neighbour* neighbour, const host::Selection* selection,
                   host::TextureTag* tag);

}  // namespace pigmora
