// UV islands: the connected pieces of an object's UV layout that never cross a change of
// material.
#pragma once

#include <cstdint>

#include "host/host.h"
#include "lib/host_array.h"
#include "lib/owned_array.h"

namespace pigmora {

struct UVBorderEdge {
  int32_t a = 0, b = 0;  // the side's corner points, in the polygon's corner order
  int32_t polygon = 0;
  int32_t across = -1;  // the polygon across the side, or -1 at a mesh border
  int32_t side = 0;     // 0 a-b, 1 b-c, 2 c-d (c-a on a triangle), 3 d-a
};

struct UVIsland {
  HostArray<int32_t> polygons;  // in the order the island grew
  host::Link material;          // empty when its polygons have none
  int32_t tile = 0;             // the UDIM tile of its UV centre
  HostArray<UVBorderEdge> borders;
};

using UVIslandList = OwnedArray<UVIsland>;

// The polygon selection tag named by the texture tag's restriction, or null.
host::SelectionTag* restrictionSelectionTag(host::PolygonObject* obj, host::TextureTag* tag);

// Polygon index -> material (null for none), from the object's texture tags in tag order; false
// (and `map` empty) when memory runs out.
bool polygonMaterials(HostArray<host::Material*>& map, host::PolygonObject* obj);

// Finds the islands of the object's polygons (of `selection` when given); materials come from
// all texture tags, or from `tag` alone when one is given. When memory runs out the list is left
// empty and the result is false, so that callers skip their work rather than do part of it.
bool findUVIslands(UVIslandList& list, host::UVWTag* uvw, host::PolygonObject* obj,
                   const host::Neighbour* neighbour, const host::Selection* selection,
                   host::TextureTag* tag);

}  // namespace pigmora
