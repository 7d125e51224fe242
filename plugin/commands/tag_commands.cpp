#include "plugin/commands/tag_commands.h"

#include "host/binding.h"
#include "plugin/paintmaterials.h"

namespace pigmora {

bool DeleteAllTextureTags::execute(host::Document* doc) {
  if (!doc) return false;
  host::Scene& scene = host::api().scene();
  doc->startUndo();
  host::forEachObject(doc->firstObject(), [&](host::Object* obj) {
    while (host::Tag* tag = obj->tag(host::kTypeTextureTag)) {
      doc->addUndo(host::kUndoDelete, tag);
      host::Tag* removed = obj->removeTag(tag);
      if (!removed) break;
      scene.freeNode(removed);
    }
  });
  doc->endUndo();
  host::api().events().update();
  return true;
}

bool ToggleTilingCmd::execute(host::Document* doc) {
  host::PolygonObject* obj = activePolygonObject(doc);
  if (!obj) return false;
  for (bool tiling : {false, true}) {
    for (host::TextureTag* tag : textureTags(obj)) {
      tag->data().setBool(host::kTexTiling, tiling);
      tag->setDirty(host::kDirtyAll);
    }
    host::api().events().update();
  }
  return true;
}

}  // namespace pigmora
