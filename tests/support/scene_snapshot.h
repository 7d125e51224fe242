// Test support: the whole scene of a document as text (objects with their tags, selections and
// UVs in order, materials with their channels in order), to compare a scene before a command with
// the scene after undoing it.
#pragma once

#include <cstdio>
#include <string>

#include "host/host.h"

inline std::string sceneText(host::Document* doc) {
  std::string out;
  auto num = [](double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return std::string(buf);
  };
  auto sel = [](const host::Selection& s) {
    std::string t;
    for (int32_t i : s.indices()) t += " " + std::to_string(i);
    return t;
  };
  host::forEachObject(doc->firstObject(), [&](host::Object* o) {
    out += "object " + o->name() + " type " + std::to_string(o->type()) +
           (o->isSelected() ? " selected" : "") + (doc->activeObject() == o ? " active" : "") +
           "\n";
    if (o->type() == host::kTypePolygonObject) {
      auto* p = static_cast<host::PolygonObject*>(o);
      out += "  polygons selected" + sel(p->polygonSelection()) + "\n";
      out += "  points selected" + sel(p->pointSelection()) + "\n";
      out += "  edges selected" + sel(p->edgeSelection()) + "\n";
    }
    for (int32_t i = 0; i < o->tagCount(); ++i) {
      host::Tag* t = o->tagAt(i);
      out += "  tag " + std::to_string(t->type()) + " \"" + t->name() + "\"";
      if (t->type() == host::kTypeTextureTag) {
        host::Material* m = static_cast<host::TextureTag*>(t)->material();
        out += " material " + (m ? m->name() : std::string("none")) + " restriction \"" +
               t->data().getString(host::kTexRestriction) + "\" tiling " +
               std::to_string(t->data().getInt32(host::kTexTiling)) + " projection " +
               std::to_string(t->data().getInt32(host::kTexProjection));
      } else if (t->type() == host::kTypePolygonSelectionTag) {
        out += sel(static_cast<host::SelectionTag*>(t)->selection());
      } else if (t->type() == host::kTypeUVWTag) {
        auto* uvw = static_cast<host::UVWTag*>(t);
        for (int32_t p = 0; p < uvw->count(); ++p) {
          const host::UVWPolygon uv = uvw->get(p);
          out += "\n    uv";
          for (int k = 0; k < 4; ++k)
            out +=
                " " + num(uv.corner(k).x) + "," + num(uv.corner(k).y) + "," + num(uv.corner(k).z);
        }
      }
      out += "\n";
    }
  });
  for (host::Material* m = doc->firstMaterial(); m; m = m->next()) {
    const host::Vector c = m->data().getVector(host::kMatColor);
    out += "material " + m->name() + " colour " + num(c.x) + "," + num(c.y) + "," + num(c.z) +
           " used " + std::to_string(m->data().getInt32(host::kMatColorUsed)) + "\n";
    for (int32_t ch = 0; ch < 14; ++ch) {
      if (!m->channel(ch)) continue;
      out += "  channel " + std::to_string(ch) + " \"" +
             m->channel(ch)->data().getString(host::kChannelFile) + "\" in \"" +
             m->channel(ch)->data().getString(host::kChannelDirectory) + "\"\n";
    }
  }
  for (host::Material* m : doc->selectedMaterials()) out += "selected material " + m->name() + "\n";
  return out;
}
