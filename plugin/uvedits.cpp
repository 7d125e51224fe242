#include "plugin/uvedits.h"

#include <cmath>

#include "host/binding.h"
#include "plugin/uvislands.h"

namespace pigmora {

namespace {
constexpr int32_t kModePoints = 5;
constexpr int32_t kModeEdges = 6;
constexpr int32_t kModePolygons = 7;

// Redraws, closes the undo group and posts the update event, in that order.
void finish(host::Document* doc) {
  host::api().events().drawViews(host::kDrawFlagsFull);
  doc->endUndo();
  host::api().events().update();
}
}  // namespace

double flipV(double v) {
  auto mirror = [](double x) {
    const double whole = std::trunc(x);
    return whole + 1 - (x - whole);
  };
  if (v < 0) return mirror(1 - v);
  if (v > 1) return mirror(v);
  return v;
}

bool selectIslandEdges(host::Document* doc) {
  if (!doc) return false;
  doc->startUndo();
  host::Object* active = doc->activeObject();
  if (!active || active->type() != host::kTypePolygonObject) {
    doc->endUndo();
    return false;
  }
  auto* obj = static_cast<host::PolygonObject*>(active);
  doc->addUndo(host::kUndoChangeSelection, obj);
  std::unique_ptr<host::Neighbour> neighbour = host::api().scene().buildNeighbour(obj, nullptr);
  UVIslandList islands;
  // Without the memory for the islands the selection is left as it was.
  if (!findUVIslands(islands, static_cast<host::UVWTag*>(obj->tag(host::kTypeUVWTag)), obj,
                     neighbour.get(), nullptr, nullptr)) {
    doc->endUndo();
    return false;
  }
  const int32_t mode = doc->data().getInt32(host::kDocMode);
  host::Selection* sel = mode == kModePoints     ? &obj->pointSelection()
                         : mode == kModeEdges    ? &obj->edgeSelection()
                         : mode == kModePolygons ? &obj->polygonSelection()
                                                 : nullptr;
  if (!sel) {
    doc->endUndo();
    return false;
  }
  sel->deselectAll();
  for (const UVIsland* island : islands) {
    for (const UVBorderEdge& e : island->borders) {
      if (mode == kModePoints) {
        const host::Polygon& p = obj->polygons()[e.polygon];
        for (int k = 0; k < 4; ++k) sel->select(p.corner(k));
      } else if (mode == kModeEdges) {
        sel->select(4 * e.polygon + e.side);
      } else {
        sel->select(e.polygon);
      }
    }
  }
  obj->message(host::kMessageUpdate, nullptr);
  finish(doc);
  return true;
}

void flipUVsVertical(host::Document* doc) {
  if (!doc) return;
  doc->startUndo();
  auto flip = [doc](host::Object* o) {
    if (!o || o->type() != host::kTypePolygonObject) return;
    auto* uvw = static_cast<host::UVWTag*>(o->tag(host::kTypeUVWTag));
    if (!uvw) return;
    doc->addUndo(host::kUndoChange, uvw);
    auto* obj = static_cast<host::PolygonObject*>(o);
    const int32_t count = std::min(obj->polygonCount(), uvw->count());
    for (int32_t i = 0; i < count; ++i) {
      host::UVWPolygon uv = uvw->get(i);
      for (int k = 0; k < 4; ++k) uv.corner(k).y = flipV(uv.corner(k).y);
      uvw->set(i, uv);
    }
    obj->message(host::kMessageUpdate, nullptr);
  };
  if (host::Object* active = doc->activeObject())
    flip(active);
  else
    for (host::Object* o : doc->selectedObjects()) flip(o);
  // The group is closed before the views redraw, so that they show the flip as one undo step.
  doc->endUndo();
  host::api().events().drawViews(host::kDrawFlagsFull);
  host::api().events().update();
}

}  // namespace pigmora
