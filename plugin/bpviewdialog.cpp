#include "plugin/bpviewdialog.h"

#include <vector>

#include "host/binding.h"
#include "plugin/commands/material_creation.h"
#include "plugin/painting_lib_client.h"
#include "plugin/paintmaterials.h"
#include "plugin/paintundo.h"
#include "plugin/preferences.h"
#include "plugin/uvislands.h"
#include "plugin/uvwireframe.h"

namespace pigmora {

namespace {

constexpr double kZoomStart = 0.5;
constexpr int32_t kNewLayerMode = host::kModeARGB8;
constexpr int32_t kLayerDialogWidth = 100, kLayerDialogHeight = 50;
constexpr int32_t kScrollFlags = host::kScrollVertical | host::kGroupNoGapV | host::kScrollNoBlit;

// Entries the host carries out as the registered command of the same id.
constexpr int32_t kCommandEntries[] = {1035526, 1035670, 1036152, 1036169, 1037913,
                                       1037939, 1037940, 1037964, 1037970, 1037976,
                                       1037977, 1037978, 1037984, 1038000, 1038005};

// Channel of each add-channel entry, 1037916 onward; 3 Reflection and 8 Specular have ids but
// no entry in the menu.
constexpr ChannelIndex kEntryChannels[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 13, 12};

struct MenuEntry {
  const char* name;
  int32_t id;
};
struct MenuGroup {
  const char* header;
  std::vector<MenuEntry> entries;
};

const std::vector<MenuGroup>& menuTable() {
  static const std::vector<MenuGroup> table = {
      {"Layer Commands",
       {{"Add Layer", kMenuAddLayer},
        {"Create wireframe layer", kMenuWireframeLayer},
        {"Create Flood Fill layer", kMenuFloodFillLayer},
        {"Fill Current Layer", 1037977},
        {"Fill Current Layer UVs", 1038000},
        {"Fill UV Islands", 1037978},
        {"Bleed All", 1037976}}},
      {"Add Channel",
       {{"Color", 1037916},
        {"Diffusion", 1037928},
        {"Luminance", 1037917},
        {"Transparency", 1037918},
        {"Environment", 1037920},
        {"Fog", 1037921},
        {"Bump", 1037922},
        {"Normal", 1037927},
        {"Alpha", 1037923},
        {"Glow", 1037925},
        {"Displacement", 1037926}}},
      {"UDIM",
       {{"Create Single UDIM", 1037964},
        {"Setup UDIMs For Object", 1037970},
        {"UDIM Per UV Island", 1037940},
        {"UDIM Per Polygon", 1037913}}},
      {"Standard",
       {{"Create Single Material", 1035670},
        {"Material Per UV Island", 1036152},
        {"Material Per Polygon", 1035526}}},
      {"Commands", {{"Select Edges", 1036169}, {"Flip UVs Vertical", 1038005}}},
  };
  return table;
}

host::Document* activeDocument() {
  host::Host* h = host::bound();
  return h ? h->scene().activeDocument() : nullptr;
}

host::PolygonObject* asPolygonObject(host::Object* obj) {
  return obj && obj->type() == host::kTypePolygonObject ? static_cast<host::PolygonObject*>(obj)
                                                        : nullptr;
}

// Stores `now` in `kept` when they differ; answers whether they did.
template <class List>
bool storeIfChanged(HostArray<host::Material*>* kept, const List& now) {
  if (!kept) return false;
  bool same = kept->size() == now.size();
  for (size_t i = 0; same && i < now.size(); ++i) same = (*kept)[i] == now[i];
  if (same) return false;
  kept->clear();
  if (kept->reserve(now.size()))
    for (host::Material* m : now) kept->push(m);
  return true;
}

}  // namespace

ChannelIndex channelOfMenuEntry(int32_t id) {
  return id >= kMenuChannelFirst && id <= kMenuChannelLast ? kEntryChannels[id - kMenuChannelFirst]
                                                           : -1;
}

bool SetLayerNameDiag::createLayout() {
  setTitle("Set Layer Name");
  groupBegin(0, host::kScaleFit, 3, 0);
  addEditText(kName, host::kScaleH | host::kFitV, 200, 10);
  addButton(kOk, 0, 0, 0, "OK");
  addButton(kCancel, 0, 0, 0, "Cancel");
  groupEnd();
  return true;
}

bool SetLayerNameDiag::initValues() {
  name_ = "New Layer";
  confirmed_ = false;
  setString(kName, name_);
  return true;
}

bool SetLayerNameDiag::command(int32_t id, const host::Settings& msg) {
  (void)msg;
  if (id == kOk) {
    getString(kName, name_);
    confirmed_ = true;
    close();
  } else if (id == kCancel) {
    name_.clear();
    close();
  }
  return true;
}

void SetLayerNameDiag::destroyWindow() {
  if (!confirmed_) name_.clear();
}

BPViewDialog::BPViewDialog() : ViewDialogBase(true) {
  title_ = "Pigmora Material View";
  activeMaterial_ = host::make<host::Link>();
  activeSelection_ = host::make<HostArray<host::Material*>>();
  activeObject_ = host::make<host::Link>();
  objectMaterials_ = host::make<HostArray<host::Material*>>();
}

BPViewDialog::~BPViewDialog() {
  host::destroy(activeSelection_);
  host::destroy(activeMaterial_);
  host::destroy(objectMaterials_);
  host::destroy(activeObject_);
}

bool BPViewDialog::initValues() {
  ViewDialogBase::initValues();
  setReal(kViewZoomSlider, kZoomStart);
  setCellSize(cellSizeOfZoom(kZoomStart));
  return true;
}

bool BPViewDialog::createContent() {
  tabGroupBegin(kPaintViewTabs, host::kScaleFit);
  groupBegin(kPaintViewMaterialsTab, host::kScaleH | host::kFitV, 1, 0, "Materials");
  groupBegin(0, host::kScaleH | host::kFitV, 1, 0, "Materials");
  addStaticText(kLabelLayer, host::kFit, 300, 20, "Layer: ");
  addStaticText(kLabelChannel, host::kFit, 400, 20, "Channel:");
  groupEnd();
  scrollGroupBegin(kPaintViewScroll, host::kScaleFit, kScrollFlags);
  addUserArea(kPaintViewArea, host::kScaleFit);
  groupEnd();
  groupEnd();
  groupEnd();
  return true;
}

void BPViewDialog::attachAreas() {
  materials_.bind(this, kPaintViewScroll);
  attachUserArea(materials_, kPaintViewArea);
}

void BPViewDialog::setCellSize(int32_t size) {
  materials_.setCellSize(size);
}

void BPViewDialog::buildMenus() {
  if (menusBuilt_) return;
  menusBuilt_ = 1;
  for (const MenuGroup& group : menuTable()) {
    MenuHeader* header = menuArea_.addHeader(group.header);
    if (!header) return;
    for (const MenuEntry& e : group.entries) header->addEntry(e.name, e.id);
  }
}

void BPViewDialog::rebuild(int32_t reason) {
  (void)reason;
  materials_.rebuild();
}

void BPViewDialog::refresh() {
  materials_.refresh();
}

void BPViewDialog::menuCommand(int32_t id) {
  lastMenuCommand_ = id;
  const ChannelIndex channel = channelOfMenuEntry(id);
  if (channel >= 0) {
    addChannel(channel);
    return;
  }
  for (int32_t command : kCommandEntries) {
    if (command != id) continue;
    host::api().registration().callCommand(id, 0);
    refresh();
    return;
  }
  if (id == kMenuAddLayer || id == kMenuWireframeLayer || id == kMenuFloodFillLayer)
    layerAction(id);
}

void BPViewDialog::addChannel(ChannelIndex c) {
  const int32_t format = preferenceOr(kPrefTextureFormat, host::kFormatTIFF);
  int32_t width = preferenceOr(kPrefTextureWidth, 1024);
  int32_t height = preferenceOr(kPrefTextureHeight, 1024);
  const int32_t polyWidth = preferenceOr(kPrefPolyTextureWidth, 128);
  const int32_t polyHeight = preferenceOr(kPrefPolyTextureHeight, 128);
  host::Document* doc = activeDocument();
  if (!doc) return;
  host::Paint& paint = host::api().paint();
  doc->startUndo();
  if (host::PolygonObject* obj = asPolygonObject(doc->activeObject())) {
    for (host::TextureTag* tag : textureTags(obj)) {
      host::Material* mat = tag->material();
      if (!mat || mat->type() != host::kTypeMaterial) continue;
      doc->addUndo(host::kUndoChange, mat);
      // Materials made per polygon keep their small textures in every channel.
      host::PaintTexture* color =
          mat->channel(kChannelColor) ? paint.textureOf(mat, kChannelColor, doc) : nullptr;
      if (color && color->width() == polyWidth && color->height() == polyHeight) {
        width = polyWidth;
        height = polyHeight;
      }
      if (!mat->channel(c)) mat->enableChannel(c, true);
      if (!mat->channel(c)) continue;
      if (paint.textureOf(mat, c, doc)) continue;
      mat->data().setVector(host::kMatColor, host::Vector(0.75, 0.75, 0.75));
      mat->data().setInt32(host::kMatColorUsed, 1);
      createChannelTexture(mat, c, texturePath(obj, mat, c, format), format, width, height);
    }
  }
  addChannelChangeEntry(doc, c);
  doc->endUndo();
  materials_.selectChannel(c, "");
  host::Events& events = host::api().events();
  events.drawViews(host::kDrawFlagsFull);
  events.post(host::kEventForceRedraw);
}

void BPViewDialog::layerAction(int32_t id) {
  std::string name;
  if (id == kMenuAddLayer) {
    SetLayerNameDiag ask;
    int32_t x = 0, y = 0;
    localToScreen(x, y);
    if (!ask.open(kLayerNameDialogId, x, y, kLayerDialogWidth, kLayerDialogHeight)) return;
    name = ask.name();
  } else {
    name = id == kMenuWireframeLayer ? "Wireframe" : "Filled";
  }
  if (name.empty()) return;
  host::Document* doc = activeDocument();
  if (!doc) return;
  host::Paint& paint = host::api().paint();
  doc->startUndo();
  library::beginUndoStep();
  // Textures that got a new layer; one that finds no room here is told at once.
  HostArray<host::PaintTexture*> touched;
  if (host::PolygonObject* obj = asPolygonObject(doc->activeObject())) {
    for (host::TextureTag* tag : textureTags(obj)) {
      host::Material* mat = tag->material();
      if (!mat) continue;
      doc->addUndo(host::kUndoChange, mat);
      for (ChannelIndex c = 0; c < kChannelCount; ++c) {
        if (!mat->channel(c)) continue;
        host::PaintTexture* tex = paint.textureOf(mat, c, doc);
        if (!tex) continue;
        host::PaintBitmap* target = nullptr;
        for (host::PaintBitmap* l = tex->firstLayer(); l && !target; l = l->next())
          if (l->name() == name) target = l;
        const bool reused = target != nullptr;
        if (!target) {
          target = tex->addLayer(name, kNewLayerMode);
          if (target) {
            doc->addUndo(host::kUndoNew, target);
            if (!touched.push(tex)) tex->layerChanged(1);
          }
        }
        host::SelectionTag* sel = restrictionSelectionTag(obj, tag);
        auto* uvw = static_cast<host::UVWTag*>(obj->tag(host::kTypeUVWTag));
        if (id == kMenuWireframeLayer && target && target->isInstanceOf(host::kTypeBitmapLayer)) {
          // A layer drawn into again keeps what it held for undo.
          if (reused) library::saveLayerForUndo(target);
          drawWireframe(target, obj, sel, uvw);
        } else if (id == kMenuFloodFillLayer) {
          // The fill paints the active layer: the layer of that name, found or made.
          if (target && target->isInstanceOf(host::kTypeBitmapLayer)) tex->setActiveLayer(target);
          library::fillPolygons(obj, mat, c, sel ? &sel->selection() : nullptr);
        }
      }
    }
  }
  library::endUndoStep();
  addLayerChangeEntry(doc, name);
  doc->endUndo();
  for (host::PaintTexture* tex : touched) tex->layerChanged(1);
  materials_.refreshLabels();
  host::Events& events = host::api().events();
  events.drawViews(host::kDrawFlagsFull);
  events.post(host::kEventForceRedraw);
}

bool BPViewDialog::coreMessage(int32_t id, const host::Settings& msg) {
  (void)msg;
  if (id != host::kCoreDocumentChanged && id != host::kCoreViewsChanged &&
      id != host::kCoreMaterialsChanged && id != host::kCoreObjectsChanged)
    return true;
  host::Document* doc = activeDocument();
  if (!doc || !activeMaterial_ || !activeObject_) return true;

  host::Material* mat = doc->activeMaterial();
  if (mat != activeMaterial_->get()) {
    activeMaterial_->set(mat);
    rebuild(id);
    return true;
  }
  if (mat && storeIfChanged(activeSelection_, doc->selectedMaterials())) {
    rebuild(id);
    return true;
  }

  host::Object* obj = doc->activeObject();
  host::PolygonObject* poly = asPolygonObject(obj);
  if (obj != activeObject_->get()) {
    activeObject_->set(obj);
    if (!poly) polygonSeen_ = false;
    rebuild(id);
    return true;
  }
  if (!poly) {
    polygonSeen_ = false;
  } else if (!polygonSeen_) {
    polygonSeen_ = true;
    rebuild(id);
    return true;
  } else {
    HostArray<host::Material*> materials;
    bool listed = true;
    for (host::TextureTag* tag : textureTags(poly))
      listed = listed && materials.push(tag->material());
    // A list that could not be made counts as a change: the dialog is rebuilt rather than stale.
    if (!listed || storeIfChanged(objectMaterials_, materials)) {
      rebuild(id);
      return true;
    }
    polygonSeen_ = false;
  }
  refresh();
  return true;
}

}  // namespace pigmora
