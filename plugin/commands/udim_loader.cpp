#include "plugin/commands/udim_loader.h"

#include <memory>
#include <vector>

#include "host/binding.h"
#include "plugin/commands/material_creation.h"
#include "plugin/paintchannels.h"
#include "plugin/paintmaterials.h"
#include "plugin/preferences.h"
#include "plugin/uvislands.h"

namespace pigmora {

namespace {
// Groups get this much room inside their borders: left, top, right, bottom.
void borderSpace(host::GeDialog& d) {
  d.groupBorderSpace(20, 10, 20, 10);
}

host::Settings* tokenContainer(bool create) {
  host::Settings* prefs = preferencesContainer();
  if (!prefs) return nullptr;
  if (host::Settings* tokens = prefs->getContainer(kPrefUdimTokens)) return tokens;
  if (!create) return nullptr;
  host::Settings tokens(kPrefUdimTokens);
  for (int32_t c = 0; c < kChannelCount; ++c) tokens.setString(kUdimTokenKey + c, channelKey(c));
  prefs->setContainer(kPrefUdimTokens, tokens);
  return prefs->getContainer(kPrefUdimTokens);
}

bool isPolygonObject(const host::Object* obj) {
  return obj && obj->type() == host::kTypePolygonObject;
}

// Calls fn for the objects a button works on: the active object, or else every selected polygon
// object.
template <class Fn>
void forEachTargetObject(host::Document* doc, Fn&& fn) {
  if (host::Object* active = doc->activeObject()) {
    fn(active);
    return;
  }
  for (host::Object* o : doc->selectedObjects())
    if (isPolygonObject(o)) fn(o);
}

// Painting binds its targets to the channels' textures: those have changed.
void forgetPaintTargets() {
  if (PaintMaterialRegistry* registry = PaintMaterialRegistry::existing())
    registry->dropAllTargets();
}

// The existing home of a tile: the selection tag that a texture tag restricted to a name holding
// the tile number names.
host::SelectionTag* tileHome(host::PolygonObject* obj, const std::string& number) {
  for (host::TextureTag* tag : textureTags(obj)) {
    const std::string restriction = tag->data().getString(host::kTexRestriction);
    if (restriction.empty() || restriction.find(number) == std::string::npos) continue;
    if (host::SelectionTag* sel = restrictionSelectionTag(obj, tag)) return sel;
  }
  return nullptr;
}
}  // namespace

bool UDIMLoadDialog::createLayout() {
  setTitle("UDIM Loader");
  groupBegin(0, host::kScaleFit, 1, 0);
  borderSpace(*this);

  groupBegin(0, host::kScaleH, 1, 0, "Texture");
  groupBorder(host::kBorderTitled);
  borderSpace(*this);
  addFilename(kUdimFileField, host::kScaleH, "Texture");
  groupEnd();

  groupBegin(0, host::kScaleH, 1, 0, "Create");
  groupBorder(host::kBorderTitled);
  borderSpace(*this);
  addCheckbox(kUdimCreateCheck, host::kAlignLeft, 0, 0, "Create New Textures");
  groupEnd();

  groupBegin(0, host::kScaleH, 2, 0, "Texture Tokens");
  groupBorder(host::kBorderTitled);
  borderSpace(*this);
  for (int32_t c = 0; c < kChannelCount; ++c) {
    addStaticText(0, host::kAlignLeft, 0, 0, channelKey(c));
    addEditText(kUdimTokenField + c, host::kScaleH);
  }
  groupEnd();

  groupBegin(0, host::kScaleH, 3, 0);
  borderSpace(*this);
  addButton(kUdimSetupButton, host::kScaleH, 0, 0, "Setup Selected");
  addButton(kUdimLoadButton, host::kScaleH, 0, 0, "Load Textures");
  addButton(kUdimCloseButton, host::kScaleH, 0, 0, "Close");
  groupEnd();

  groupEnd();
  return true;
}

bool UDIMLoadDialog::initValues() {
  for (int32_t c = 0; c < kChannelCount; ++c) setString(kUdimTokenField + c, textureToken(c));
  setBool(kUdimCreateCheck, true);
  createTextures_ = true;
  return true;
}

bool UDIMLoadDialog::createNewTextures() const {
  bool on = createTextures_;
  getBool(kUdimCreateCheck, on);
  return on;
}

bool UDIMLoadDialog::command(int32_t id, const host::Settings& msg) {
  (void)msg;
  host::Host* h = host::bound();
  host::Document* doc = h ? h->scene().activeDocument() : nullptr;
  std::string file;
  switch (id) {
    case kUdimCreateCheck:
      createTextures_ = createNewTextures();
      return true;
    case kUdimSetupButton:
      if (!doc) return true;
      // Tokens edited since the window opened match files from this press on.
      storeTokens();
      getFilename(kUdimFileField, file);
      doc->startUndo();
      forEachTargetObject(doc, [&](host::Object* obj) { setupUdimTiles(this, doc, obj, file); });
      doc->endUndo();
      return true;
    case kUdimLoadButton:
      getFilename(kUdimFileField, file);
      if (file.empty() || !doc) return true;
      storeTokens();
      doc->startUndo();
      forEachTargetObject(doc, [&](host::Object* obj) { loadUdimTextures(doc, obj, file); });
      doc->endUndo();
      return true;
    case kUdimCloseButton:
      close();
      return true;
    default:
      return true;
  }
}

void UDIMLoadDialog::destroyWindow() {
  createTextures_ = createNewTextures();
  storeTokens();
}

void UDIMLoadDialog::storeTokens() {
  host::Settings* tokens = tokenContainer(false);
  if (!tokens) return;
  for (int32_t c = 0; c < kChannelCount; ++c) {
    std::string token;
    if (getString(kUdimTokenField + c, token)) tokens->setString(kUdimTokenKey + c, token);
  }
}

std::string textureToken(int32_t channel) {
  if (channel < 0 || channel >= kChannelCount) return {};
  host::Settings* tokens = tokenContainer(true);
  return tokens ? tokens->getString(kUdimTokenKey + channel) : channelKey(channel);
}

std::string folderOfChosenFile(const std::string& file) {
  host::Host* h = host::bound();
  if (file.empty() || !h) return {};
  if (h->files().isDirectory(file)) return file;
  const size_t slash = file.rfind('/');
  if (slash == std::string::npos) return {};
  return slash == 0 ? "/" : file.substr(0, slash);
}

void linkUdimFiles(int32_t tile, const std::string& folder, host::Material* mat) {
  host::Host* h = host::bound();
  if (!h || !mat || folder.empty()) return;
  std::string tokens[kChannelCount];
  for (int32_t c = 0; c < kChannelCount; ++c) tokens[c] = textureToken(c);
  const std::string number = std::to_string(tile);
  const std::string prefix = folder.back() == '/' ? folder : folder + "/";
  for (const std::string& name : h->files().listDirectory(folder)) {
    if (name.find(number) == std::string::npos) continue;
    if (h->files().isDirectory(prefix + name)) continue;
    // "specularcolor" holds "color": the longest token a name holds says what the file is. An
    // emptied token names no channel.
    int32_t channel = -1;
    size_t longest = 0;
    for (int32_t c = 0; c < kChannelCount; ++c) {
      if (tokens[c].size() > longest && name.find(tokens[c]) != std::string::npos) {
        channel = c;
        longest = tokens[c].size();
      }
    }
    if (channel < 0) continue;
    setTexturedColor(mat);
    mat->enableChannel(channel, true);
    if (host::Channel* ch = mat->channel(channel)) linkChannelFile(ch, name, folder);
  }
}

void loadUdimTextures(host::Document* doc, host::Object* obj, const std::string& file) {
  if (!doc || !obj || file.empty() || !isPolygonObject(obj)) return;
  const std::string folder = folderOfChosenFile(file);
  for (host::TextureTag* tag : textureTags(obj)) {
    host::Material* mat = tag->material();
    if (!mat || mat->type() != host::kTypeMaterial) continue;
    doc->addUndo(host::kUndoChange, mat);
    int32_t number = 0;
    double u = 0, v = 0;
    bool offsets = false;
    const std::string restriction = tag->data().getString(host::kTexRestriction);
    if (parseUdimName(restriction, number, u, v, offsets) && offsets)
      linkUdimFiles(number, folder, mat);
  }
  forgetPaintTargets();
  host::api().events().update();
}

void setupUdimTiles(const UDIMLoadDialog* dialog, host::Document* doc, host::Object* object,
                    const std::string& file) {
  if (!doc || !isPolygonObject(object)) return;
  auto* obj = static_cast<host::PolygonObject*>(object);
  const CreationSettings settings = creationSettings();
  auto* uvw = static_cast<host::UVWTag*>(obj->tag(host::kTypeUVWTag));
  if (uvw) doc->addUndo(host::kUndoChange, uvw);

  std::unique_ptr<host::Neighbour> neighbour = host::api().scene().buildNeighbour(obj, nullptr);
  UVIslandList islands;
  findUVIslands(islands, uvw, obj, neighbour.get(), nullptr, nullptr);

  const std::string folder = folderOfChosenFile(file);
  const bool createTextures = file.empty() && dialog && dialog->createNewTextures();
  host::SelectionTag* lastNew = nullptr;
  for (size_t k = 0; k < islands.size(); ++k) {
    const UVIsland& island = *islands[k];
    const int32_t tile = island.tile;
    if (tile == 0) continue;
    const std::string number = std::to_string(tile);
    if (host::SelectionTag* home = tileHome(obj, number)) {
      doc->addUndo(host::kUndoChange, home);
      for (int32_t p : island.polygons) home->selection().select(p);
      continue;
    }
    host::Material* mat = host::api().scene().createMaterial(host::kTypeMaterial);
    if (!mat) break;
    doc->insertMaterial(mat, nullptr);
    doc->addUndo(host::kUndoNew, mat);
    auto* sel =
        static_cast<host::SelectionTag*>(obj->makeTag(host::kTypePolygonSelectionTag, lastNew));
    if (!sel) break;
    doc->addUndo(host::kUndoNew, sel);
    sel->setName("UDIM_" + number);
    for (int32_t p : island.polygons) sel->selection().select(p);
    lastNew = sel;
    host::TextureTag* tag =
        createMaterialSet(mat, nullptr, sel, sel, static_cast<int32_t>(k), obj, settings.size,
                          settings.format, false, tile, createTextures);
    if (!file.empty()) linkUdimFiles(tile, folder, mat);
    if (tag) doc->addUndo(host::kUndoNew, tag);
    doc->setActiveMaterial(mat, k != 0);
  }
  obj->message(host::kMessageUpdate, nullptr);
  forgetPaintTargets();
  host::api().events().update();
}

}  // namespace pigmora
