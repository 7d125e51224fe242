#include "lib/gui/materialviewarea.h"

#include <vector>

#include "host/binding.h"
#include "plugin/commands/material_creation.h"
#include "plugin/painting_lib_client.h"
#include "plugin/paintmaterials.h"
#include "plugin/paintundo.h"
#include "plugin/preferences.h"

namespace pigmora {

namespace {
constexpr int32_t kGap = 10;
constexpr int32_t kDocumentMessageSelection = 6;

host::Document* activeDocument() {
  host::Host* h = host::bound();
  return h ? h->scene().activeDocument() : nullptr;
}

// The paint textures of every channel of the texture tags' materials of an object.
template <class Fn>
void forEachTagTexture(host::PolygonObject* obj, Fn&& fn) {
  if (!obj || !obj->document()) return;
  host::Paint& paint = host::api().paint();
  for (host::TextureTag* tag : textureTags(obj)) {
    host::Material* mat = tag->material();
    for (int32_t c = 0; mat && c < kChannelCount; ++c)
      if (host::PaintTexture* tex = paint.textureOf(mat, c, obj->document())) fn(tex);
  }
}
}  // namespace

host::PolygonObject* MaterialViewArea::activePolygonObject() const {
  host::Document* doc = activeDocument();
  host::Object* obj = doc ? doc->activeObject() : nullptr;
  return obj && obj->type() == host::kTypePolygonObject ? static_cast<host::PolygonObject*>(obj)
                                                        : nullptr;
}

TextureTagElement* MaterialViewArea::cell(int32_t index) const {
  return layout_ ? static_cast<TextureTagElement*>(layout_->element(index)) : nullptr;
}

bool MaterialViewArea::init() {
  if (!ensureLayout()) return true;
  // Captions go under the cells: the rows are one text line further apart.
  if (auto* grid = dynamic_cast<LayoutAutoGrid*>(layout_)) grid->setGap(kGap, kGap + textHeight());
  clear();
  populate();
  return true;
}

void MaterialViewArea::populate(std::vector<TextureTagElement::KeptPreview>* kept) {
  if (!layout_) return;
  host::PolygonObject* obj = activePolygonObject();
  if (!obj) return;
  const auto tags = textureTags(obj);
  bool unrestricted = false;
  for (host::TextureTag* tag : tags)
    unrestricted = unrestricted || tag->data().getString(host::kTexRestriction).empty();
  if (!unrestricted) {
    // The polygons no selection tag holds get a cell of their own.
    host::Selection rest;
    rest.selectAll(obj->polygonCount());
    for (host::SelectionTag* sel : selectionTags(obj))
      for (const auto& seg : sel->selection().segments())
        for (int32_t i = seg.first; i <= seg.last && i < obj->polygonCount(); ++i) rest.deselect(i);
    if (!rest.empty()) {
      auto* element = host::make<TextureTagElement>();
      if (element && element->setNoMaterial(obj, rest))
        layout_->addElement(element);
      else
        host::destroy(element);
    }
  }
  host::Paint& paint = host::api().paint();
  for (host::TextureTag* tag : tags) {
    host::Material* mat = tag->material();
    if (!mat) continue;
    auto* element = host::make<TextureTagElement>();
    if (!element) continue;
    element->setFromTag(tag, channel_, kept);
    layout_->addElement(element);
    host::PaintTexture* tex = paint.textureOf(mat, channel_, obj->document());
    if (host::PaintBitmap* active = tex ? tex->activeLayer() : nullptr) layerName_ = active->name();
  }
  refreshLabels();
}

void MaterialViewArea::rebuild() {
  if (!layout_) return;
  ++rebuilds_;
  std::vector<host::Link> selected;
  std::vector<TextureTagElement::KeptPreview> kept;
  std::vector<PickMapsPtr> maps;
  for (int32_t i = 0; i < cellCount(); ++i) {
    TextureTagElement* e = cell(i);
    if (e->selected())
      selected.emplace_back(e->tag() ? static_cast<host::Node*>(e->tag())
                                     : static_cast<host::Node*>(e->object()));
    // Previews of layers that did not change since are not rendered again, and the picking maps
    // are built again only when the mesh, its UVs or the cell size changed.
    e->keepPreview(kept);
    e->keepMaps(maps);
  }
  clear();
  populate(&kept);
  // A cell that was selected stays selected when its tag is still shown.
  for (int32_t i = 0; i < cellCount(); ++i) {
    TextureTagElement* e = cell(i);
    e->adoptMaps(maps);
    host::Node* key =
        e->tag() ? static_cast<host::Node*>(e->tag()) : static_cast<host::Node*>(e->object());
    for (const host::Link& l : selected)
      if (l.get() == key) e->setSelected(true);
  }
  layoutChanged();
  redraw();
}

void MaterialViewArea::refreshLabels() {
  host::GeDialog* dlg = owner_;
  if (!dlg) return;
  host::PainterState& painter = host::api().paint().painter();
  host::PaintTexture* tex = painter.selectedTexture();
  host::PaintBitmap* layer = tex ? tex->activeLayer() : nullptr;
  dlg->setString(kLabelLayer, "Layer: " + (layer ? layer->name() : std::string("Unknown")));
  if (painter.multiChannel()) {
    dlg->setString(kLabelChannel, "Channel: MultiMode");
    std::string text = "Channel: MultiMode (";
    for (int32_t c = 0; c < kChannelCount; ++c)
      if (painter.channelEnabled(c)) text += std::string(ChannelKeys[c]) + ",";
    dlg->setString(kLabelChannel, text + ")");
    return;
  }
  for (int32_t c = 0; c < kChannelCount; ++c) {
    if (!painter.channelEnabled(c)) continue;
    dlg->setString(kLabelChannel, std::string("Channel: ") + ChannelKeys[c]);
    return;
  }
}

void MaterialViewArea::selectChannel(ChannelIndex c, const std::string& layer) {
  channel_ = c;
  for (int32_t i = 0; i < cellCount(); ++i) cell(i)->setChannel(c);
  for (int32_t i = 0; i < cellCount(); ++i) {
    host::PaintTexture* tex = cell(i)->texture(c);
    if (!tex) continue;
    host::PaintBitmap* active = tex->activeLayer();
    if (active && active->isInstanceOf(host::kTypeBitmapLayer)) continue;
    for (host::PaintBitmap* l = tex->firstLayer(); l && l->isInstanceOf(host::kTypePaintLayer);
         l = l->next()) {
      if (l->isInstanceOf(host::kTypeBitmapLayer) && (layer.empty() || l->name() == layer)) {
        tex->setActiveLayer(l);
        break;
      }
    }
  }
  host::PainterState& painter = host::api().paint().painter();
  painter.activateChannel(c, painter.multiChannel(), true);
  refreshLabels();
  refresh();
  redraw();
}

void MaterialViewArea::refresh() {
  ++refreshes_;
  refreshLabels();
  for (int32_t i = 0; i < cellCount(); ++i) cell(i)->update();
  if (layout_) layout_->update();
  redraw();
}

bool MaterialViewArea::coreMessage(int32_t id, const host::Settings& msg) {
  if (id == kEventInterfaceUndo || id == kEventInterfaceRedo) {
    const int64_t kind = msg.getInt64(host::kCoreParam1);
    if (kind == kInterfaceChannel || kind == kInterfaceLayer) {
      refresh();
      redraw();
      return true;
    }
  }
  return ViewAreaBase::coreMessage(id, msg);
}

bool MaterialViewArea::canDropAt(int32_t x, int32_t y) {
  return layout_ && layout_->elementAt(x, y) != nullptr;
}

void MaterialViewArea::dropFile(const std::string& file, int32_t x, int32_t y) {
  TextureTagElement* target = layout_ ? cell(layout_->indexAt(x, y)) : nullptr;
  host::PaintBitmap* layer = target ? target->currentLayer() : nullptr;
  if (!layer || layer->width() <= 0 || layer->height() <= 0) return;
  host::Paint& paint = host::api().paint();
  std::unique_ptr<host::Bitmap> image = paint.createBitmap();
  if (!image || image->load(file) != host::kImageOk) return;
  std::unique_ptr<host::Bitmap> scaled = paint.createBitmap();
  if (!scaled || !scaled->init(layer->width(), layer->height(), 24)) return;
  library::beginUndoStep();
  library::saveLayerForUndo(layer);
  image->scaleInto(*scaled, 256, true, false);
  paint.replaceLayerPixels(layer, *scaled);
  library::endUndoStep();
  refresh();
}

bool MaterialViewArea::inputEvent(const host::InputEvent& event) {
  if (event.device != host::kDeviceMouse) return false;
  textureFormat_ = preferenceOr(kPrefTextureFormat, 1100);
  textureWidth_ = preferenceOr(kPrefTextureWidth, 1024);
  bleedWidth_ = preferenceOr(kPrefBleedWidth, 10);
  if (event.channel == host::kMouseLeft) {
    if (layout_) {
      inClick_ = true;
      LayoutElement* hit = layout_->click(*this, event, event.x, event.y);
      inClick_ = false;
      redraw();
      if (hit) return true;
    }
    clearComponentSelection();
    return true;
  }
  if (event.channel == host::kMouseRight) {
    contextMenu(event);
    return true;
  }
  return false;
}

void MaterialViewArea::clearComponentSelection() {
  host::PolygonObject* obj = activePolygonObject();
  host::Document* doc = obj ? obj->document() : nullptr;
  if (!doc) return;
  host::Selection* sel = nullptr;
  switch (doc->data().getInt32(host::kDocMode)) {
    case 5:
    case 13:
      sel = &obj->pointSelection();
      break;
    case 6:
      sel = &obj->edgeSelection();
      break;
    case 7:
    case 11:
    case 14:
      sel = &obj->polygonSelection();
      break;
    default:
      return;
  }
  if (sel->empty()) return;
  doc->startUndo();
  doc->addUndo(host::kUndoChangeSelection, obj);
  sel->deselectAll();
  doc->endUndo();
  doc->message(kDocumentMessageSelection, nullptr);
  host::api().events().post(host::kEventForceRedraw);
}

host::PopupMenu MaterialViewArea::buildMenu(MenuMaps& maps) const {
  host::PopupMenu menu;
  menu.setItem(kMenuPaintAll, "Paint All");
  menu.addSeparator();
  menu.setItem(kMenuNewMaterial, "New Material");
  menu.setItem(kMenuNewUdim, "New UDIM");
  menu.addSeparator();
  menu.setItem(kMenuSelectEdges, "Select Edges");
  menu.setItem(kMenuFloodFill, "Flood Fill");
  menu.addSeparator();
  menu.setItem(kMenuDelete, "Delete");
  menu.addSeparator();
  menu.setItem(kMenuBleed, "Bleed");
  menu.setItem(kMenuBleedActive, "Bleed Active Layers");
  menu.addSeparator();
  host::PopupMenu channels, layers, visibility;
  host::PolygonObject* obj = activePolygonObject();
  if (obj && obj->document()) {
    host::Paint& paint = host::api().paint();
    for (host::TextureTag* tag : textureTags(obj)) {
      host::Material* mat = tag->material();
      if (!mat) continue;
      for (int32_t c = 0; c < kChannelCount; ++c)
        if (paint.textureOf(mat, c, obj->document()))
          channels.setItem(kMenuChannelBase + c, ChannelKeys[c]);
      host::PaintTexture* color = paint.textureOf(mat, kChannelColor, obj->document());
      int32_t bitmaps = 0, all = 0;
      for (host::PaintBitmap* l = color ? color->firstLayer() : nullptr; l; l = l->next()) {
        if (l->isInstanceOf(host::kTypeBitmapLayer)) {
          const int32_t id = kMenuLayerBase + bitmaps++;
          layers.setItem(id, l->name());
          maps.names[id] = l->name();
        }
        const int32_t id = kMenuVisibilityBase + all++;
        visibility.setItem(id, l->name() + (l->visible() ? host::kCheckMarkSuffix : ""));
        maps.names[id] = l->name();
        maps.shown[id] = l->visible();
      }
    }
  }
  menu.addSubmenu(kMenuViewChannel, "View Channel", channels);
  menu.addSubmenu(kMenuViewLayer, "View Layer", layers);
  menu.addSubmenu(kMenuHideShowLayer, "Hide/Show Layer", visibility);
  return menu;
}

void MaterialViewArea::contextMenu(const host::InputEvent& event) {
  MenuMaps maps;
  const host::PopupMenu menu = buildMenu(maps);
  TextureTagElement* target = layout_ ? cell(layout_->indexAt(event.x, event.y)) : nullptr;
  int32_t sx = event.x, sy = event.y;
  localToScreen(sx, sy);
  const int32_t id = host::showPopupMenu(menu, sx, sy, host::kPopupContext);
  if (id == host::kMenuDismissed) return;
  if (target) target->handleMenuResult(id);
  handleMenu(id, target, maps);
}

void MaterialViewArea::handleMenu(int32_t id, TextureTagElement* target, const MenuMaps& maps) {
  host::Events& events = host::api().events();
  if (id >= kMenuChannelBase && id < kMenuChannelBase + kChannelCount) {
    const ChannelIndex c = id - kMenuChannelBase;
    selectChannel(c, "");
    addChannelChangeEntry(activeDocument(), c);
    return;
  }
  if (id >= kMenuLayerBase && id < kMenuLayerBase + 1000) {
    const auto it = maps.names.find(id);
    if (it != maps.names.end()) viewLayer(it->second);
    return;
  }
  if (id >= kMenuVisibilityBase && id < kMenuVisibilityBase + 1000) {
    const auto it = maps.names.find(id);
    if (it == maps.names.end()) return;
    const auto shown = maps.shown.find(id);
    toggleLayer(it->second, shown == maps.shown.end() ? false : shown->second);
    return;
  }
  switch (id) {
    case kMenuPaintAll:
      paintAll(target);
      break;
    case kMenuNewMaterial:
    case kMenuNewUdim:
      newMaterial(target, id == kMenuNewUdim);
      break;
    case kMenuSelectEdges:
      host::api().registration().callCommand(kCommandSelectEdges, 0);
      break;
    case kMenuFloodFill:
      floodFill(target);
      break;
    case kMenuDelete:
      deleteCell(target);
      break;
    case kMenuBleed: {
      host::PolygonObject* obj = target ? target->object() : nullptr;
      host::SelectionTag* sel = target ? target->selectionTag() : nullptr;
      host::PaintBitmap* layer = target ? target->currentLayer() : nullptr;
      if (!obj || !sel || !layer) break;
      library::bleedLayer(obj, layer, sel, bleedWidth_);
      refresh();
      events.post(host::kEventForceRedraw);
      break;
    }
    case kMenuBleedActive: {
      host::PolygonObject* obj = target ? target->object() : nullptr;
      if (!obj) break;
      library::bleedObject(obj, bleedWidth_);
      refresh();
      events.post(host::kEventForceRedraw);
      break;
    }
    default:
      break;
  }
}

void MaterialViewArea::paintAll(TextureTagElement* target) {
  host::PolygonObject* obj = target ? target->object() : nullptr;
  host::Document* doc = obj ? obj->document() : nullptr;
  if (!doc) return;
  host::Paint& paint = host::api().paint();
  doc->startUndo();
  for (host::TextureTag* tag : textureTags(obj)) {
    host::Material* mat = tag->material();
    if (!mat) continue;
    doc->addUndo(host::kUndoChange, mat);
    mat->data().setInt32(host::kMatColorUsed, 1);
    paint.makePaintable(mat, doc);
    mat->setDirty(host::kDirtyAll);
  }
  doc->endUndo();
  host::api().events().post(host::kEventForceRedraw);
}

void MaterialViewArea::newMaterial(TextureTagElement* target, bool udim) {
  host::PolygonObject* obj = target ? target->object() : nullptr;
  host::Document* doc = obj ? obj->document() : nullptr;
  if (!doc) return;
  doc->startUndo();
  host::UVWTag* uvw = target->uvwTag();
  if (!uvw) uvw = static_cast<host::UVWTag*>(obj->tag(host::kTypeUVWTag));
  if (uvw) {
    host::SelectionTag* sel = target->selectionTag();
    createMaterialFromPolygons(uvw, obj, target->tag(), sel, textureWidth_, textureFormat_,
                               sel ? &sel->selection() : nullptr, udim);
  }
  if (host::TextureTag* tag = target->tag()) tag->setDirty(host::kDirtyAll);
  doc->endUndo();
  host::api().events().post(host::kEventForceRedraw);
  host::api().registration().callCommand(kCommandToggleTiling, 0);
}

void MaterialViewArea::floodFill(TextureTagElement* target) {
  host::PolygonObject* obj = target ? target->object() : nullptr;
  if (!obj || target->channel() < 0) return;
  host::UVWTag* uvw = target->uvwTag();
  if (!uvw) uvw = static_cast<host::UVWTag*>(obj->tag(host::kTypeUVWTag));
  if (!uvw) return;
  host::TextureTag* tag = target->tag();
  if (tag) {
    if (host::SelectionTag* sel = target->selectionTag()) {
      library::beginUndoStep();
      library::fillPolygons(obj, tag->material(), target->channel(), &sel->selection());
      library::endUndoStep();
    }
    tag->setDirty(host::kDirtyAll);
  }
  host::api().events().post(host::kEventForceRedraw);
}

void MaterialViewArea::deleteCell(TextureTagElement* target) {
  host::PolygonObject* obj = target ? target->object() : nullptr;
  host::Document* doc = obj ? obj->document() : nullptr;
  if (!doc) return;
  host::Scene& scene = host::api().scene();
  doc->startUndo();
  for (host::Tag* tag :
       {static_cast<host::Tag*>(target->tag()), static_cast<host::Tag*>(target->selectionTag())}) {
    if (!tag || tag->object() != obj) continue;
    doc->addUndo(host::kUndoDelete, tag);
    scene.freeNode(obj->removeTag(tag));
  }
  doc->endUndo();
  layout_->removeElement(target);
  layoutChanged();
  refresh();
}

void MaterialViewArea::viewLayer(const std::string& name) {
  layerName_ = name;
  addLayerChangeEntry(activeDocument(), name);
  refreshLabels();
  forEachTagTexture(activePolygonObject(), [&](host::PaintTexture* tex) {
    for (host::PaintBitmap* l = tex->firstLayer(); l; l = l->next())
      if (l->isInstanceOf(host::kTypeBitmapLayer) && l->name() == name) tex->setActiveLayer(l);
  });
  refresh();
}

void MaterialViewArea::toggleLayer(const std::string& name, bool shown) {
  const bool now = !shown;
  forEachTagTexture(activePolygonObject(), [&](host::PaintTexture* tex) {
    for (host::PaintBitmap* l = tex->firstLayer(); l; l = l->next()) {
      if (l->name() != name) continue;
      l->setVisible(now);
      l->layerChanged(0);
    }
  });
  refresh();
  host::api().events().post(host::kEventForceRedraw);
}

}  // namespace pigmora
