#include "plugin/commands/creation_commands.h"

#include <memory>
#include <string>

#include "host/binding.h"
#include "plugin/commands/material_creation.h"
#include "plugin/commands/uv_layout.h"
#include "plugin/paintchannels.h"
#include "plugin/paintmaterials.h"
#include "plugin/uvislands.h"

namespace pigmora {

namespace {
host::UVWTag* uvwTagOf(host::PolygonObject* obj) {
  return obj ? static_cast<host::UVWTag*>(obj->tag(host::kTypeUVWTag)) : nullptr;
}

// The UVs of one cell of the UDIM grid, or of the whole texture square.
host::UVWPolygon cellUVs(double u, double v) {
  return {{u, v, 0}, {u, v + 1, 0}, {u + 1, v + 1, 0}, {u + 1, v, 0}};
}

void activateMaterialTexture(host::Material* mat, host::Document* doc) {
  host::Paint& paint = host::api().paint();
  if (host::PaintTexture* tex = paint.materialTexture(mat, doc))
    paint.painter().setSelectedTexture(tex);
}

void finish(host::PolygonObject* obj) {
  obj->message(host::kMessageUpdate, nullptr);
  host::api().events().update();
}
}  // namespace

bool CreateSingleMaterialCmd::execute(host::Document* doc) {
  const CreationSettings settings = creationSettings();
  host::PolygonObject* obj = activePolygonObject(doc);
  host::UVWTag* uvw = uvwTagOf(obj);
  if (!uvw) return false;
  doc->startUndo();
  const bool made = createMaterialFromPolygons(uvw, obj, nullptr, nullptr, settings.size,
                                               settings.format, nullptr, udim_ != 0);
  doc->endUndo();
  finish(obj);
  return made;
}

bool CreateMaterialPerPolyCmd::execute(host::Document* doc) {
  const CreationSettings settings = creationSettings();
  if (!doc) return false;
  doc->startUndo();
  host::PolygonObject* obj = activePolygonObject(doc);
  if (!obj) {
    doc->endUndo();
    return false;
  }
  const int32_t count = obj->polygonCount();
  if (count > kAskAbove) {
    const std::string question = "Warning: Are you sure you want to do this? This will create " +
                                 std::to_string(count) + " materials and textures on this object.";
    if (host::messageBox(question, host::kMessageYesNo) != host::kAnswerYes) {
      doc->endUndo();
      return false;
    }
  }
  host::Scene& scene = host::api().scene();
  IslandColorGenerator& colors = materialColorGenerator();
  host::UVWTag* uvw = uvwTagOf(obj);
  // The polygons' UVs are replaced: undo puts them back.
  if (uvw) doc->addUndo(host::kUndoChange, uvw);
  int32_t column = 0, row = 0;
  for (int32_t i = 0; i < count; ++i) {
    int32_t tile = 0;
    if (udim_) {
      tile = 1001 + column + 10 * row;
      if (uvw) uvw->set(i, cellUVs(column, row));
      if (++column == 10) {
        column = 0;
        ++row;
      }
    } else if (uvw) {
      uvw->set(i, cellUVs(0, 0));
    }
    const std::string name =
        obj->name() + (udim_ ? "_UDIM_" + std::to_string(tile) : "_POLY_" + std::to_string(i));
    host::Material* mat = scene.createMaterial(host::kTypeMaterial);
    if (!mat) break;
    mat->setName(name);
    doc->insertMaterial(mat, nullptr);
    doc->addUndo(host::kUndoNew, mat);
    mat->enableChannel(kChannelColor, true);
    const double d1 = colors.draw(), d2 = colors.draw(), d3 = colors.draw();
    mat->data().setVector(host::kMatColor, {d3, d2, d1});
    mat->data().setInt32(host::kMatColorUsed, 1);
    createChannelTexture(mat, kChannelColor, documentFilePath(doc, name, settings.format),
                         settings.format, settings.polyWidth, settings.polyHeight);

    auto* tag = static_cast<host::TextureTag*>(obj->makeTag(host::kTypeTextureTag, nullptr));
    if (!tag) break;
    doc->addUndo(host::kUndoNew, tag);
    tag->data().setInt32(host::kTexProjection, 6);
    tag->data().setBool(host::kTexTiling, true);
    tag->setMaterial(mat);
    auto* sel =
        static_cast<host::SelectionTag*>(obj->makeTag(host::kTypePolygonSelectionTag, nullptr));
    if (!sel) break;
    doc->addUndo(host::kUndoNew, sel);
    sel->setName(name);
    sel->selection().select(i);
    tag->data().setString(host::kTexRestriction, name);
    activateMaterialTexture(mat, doc);
  }
  obj->message(host::kMessageUpdate, nullptr);
  doc->endUndo();
  host::api().events().drawViews(host::kDrawFlagsFull);
  host::api().events().update();
  return true;
}

bool CreateMaterialIslandsCmd::execute(host::Document* doc) {
  const CreationSettings settings = creationSettings();
  host::PolygonObject* obj = activePolygonObject(doc);
  host::UVWTag* uvw = uvwTagOf(obj);
  if (!uvw) return false;
  doc->startUndo();
  doc->addUndo(host::kUndoChange, uvw);
  std::unique_ptr<host::Neighbour> neighbour = host::api().scene().buildNeighbour(obj, nullptr);
  UVIslandList islands;
  findUVIslands(islands, uvw, obj, neighbour.get(), nullptr, nullptr);

  host::Scene& scene = host::api().scene();
  host::Tag* previous = nullptr;  // the last tag made for the island before
  for (size_t k = 0; k < islands.size(); ++k) {
    const UVIsland& island = *islands[k];
    const int32_t n = static_cast<int32_t>(k);
    int32_t tile = 0;
    double offU = 0, offV = 0;
    std::string name = "UV_" + std::to_string(n);
    if (udim_) {
      tile = 1001 + n;
      udimTileOffsets(tile, offU, offV);
      name = "UDIM_" + std::to_string(tile);
    }
    host::Material* mat = scene.createMaterial(host::kTypeMaterial);
    if (!mat) break;
    doc->insertMaterial(mat, nullptr);
    doc->addUndo(host::kUndoNew, mat);
    auto* sel =
        static_cast<host::SelectionTag*>(obj->makeTag(host::kTypePolygonSelectionTag, previous));
    if (!sel) break;
    doc->addUndo(host::kUndoNew, sel);
    sel->setName(name);
    for (int32_t p : island.polygons) sel->selection().select(p);
    previous = sel;

    UVBounds bounds;
    for (int32_t p : island.polygons)
      if (p < uvw->count()) bounds.add(uvw->get(p));
    UVScale scale;
    if (!bounds.scaleFor(settings.size, scale)) continue;
    for (int32_t p : island.polygons)
      if (p < uvw->count()) uvw->set(p, UVBounds::fill(uvw->get(p), scale, true, offU, offV));

    host::TextureTag* tag = createMaterialSet(mat, nullptr, sel, sel, n, obj, settings.size,
                                              settings.format, true, tile, true);
    if (tag) {
      doc->addUndo(host::kUndoNew, tag);
      previous = tag;
    }
    doc->setActiveMaterial(mat, k != 0);
  }
  doc->endUndo();
  finish(obj);
  return true;
}

}  // namespace pigmora
