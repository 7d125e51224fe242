// The undo scene hook, the paint message plug-in and the host undo entries they answer to.
#include "plugin/paintundo.h"

#include <charconv>

namespace pigmora {

const char kUndoText[] = "SculptPaintUndo";
const char kChannelChangeText[] = "_ChannelChange_";
const char kLayerChangeText[] = "_LayerChange_";

namespace {
constexpr int32_t kUndoHookInfo = 0x20000004;
constexpr int32_t kUndoHookPriority = 5000;
constexpr int32_t kUndoHookDiskLevel = 1;

// Stores the entry's text in the hook and adds the host undo entry in a group of its own.
bool addHookEntry(host::Document* doc, const std::string& text) {
  host::HookNode* hook = findUndoHook(doc);
  if (!hook) return false;
  hook->data().setString(kUndoTextId, text);
  if (!doc->startUndo()) return false;
  const bool added = doc->addUndo(host::kUndoSceneHook, hook);
  return doc->endUndo() && added;
}

// The text after `marker`, when the marker follows the start of the text.
bool textAfter(const std::string& text, const char* marker, std::string& rest) {
  const size_t at = text.find(marker, 1);
  if (at == std::string::npos) return false;
  rest = text.substr(at + std::char_traits<char>::length(marker));
  return true;
}
}  // namespace

PaintUndoSystem::~PaintUndoSystem() {
  host::destroy(store_);
}

host::NodeData* PaintUndoSystem::alloc() {
  return host::make<PaintUndoSystem>();
}

bool PaintUndoSystem::init(host::Node* node) {
  (void)node;
  if (!store_) store_ = host::make<PaintUndoStore>();
  return store_ != nullptr;
}

bool PaintUndoSystem::saveTile(host::PaintBitmap* bitmap, int32_t x, int32_t y) {
  return store_ && store_->saveTile(bitmap, x, y);
}

void PaintUndoSystem::replay(const std::string& text, bool redo) {
  const int32_t event = redo ? kEventInterfaceRedo : kEventInterfaceUndo;
  if (text == kUndoText) {
    if (!store_ || !tryLock()) return;
    if (redo)
      store_->redo();
    else
      store_->undo();
    unlock();
    // Objects learn about the restored pixels even when there was nothing to restore.
    PaintMaterialRegistry* registry = PaintMaterialRegistry::existing();
    if (registry && registry->textureUpdateMode() != kTextureUpdateNever)
      registry->updateTextures();
    return;
  }
  std::string rest;
  if (textAfter(text, kChannelChangeText, rest)) {
    int64_t number = 0;
    const char* end = rest.data() + rest.size();
    const auto [ptr, ec] = std::from_chars(rest.data(), end, number);
    if (ec == std::errc() && ptr == end && !rest.empty() && number > 0)
      host::api().events().special(event, kInterfaceChannel, number);
    return;
  }
  if (textAfter(text, kLayerChangeText, rest) && !rest.empty())
    host::api().events().special(event, kInterfaceLayer, 0);
}

bool PaintUndoSystem::message(host::Node* node, int32_t type, void* data) {
  if (type == host::kMessageSceneHookUndo && data) {
    const auto* undo = static_cast<const host::SceneHookUndoData*>(data);
    if (undo->text && undo->text->find(kUndoText) != std::string::npos)
      replay(*undo->text, undo->redo);
  }
  return host::SceneHookData::message(node, type, data);
}

bool PaintMessage::coreMessage(int32_t id, const host::Settings& msg) {
  (void)id;
  (void)msg;
  return true;
}

bool registerUndoPlugins() {
  host::Registration& reg = host::api().registration();
  PaintMessage* msg = host::make<PaintMessage>();
  if (!msg) return false;
  if (!reg.registerMessage(kPaintMessageId, "Paint Message", 0, msg)) {
    host::destroy(msg);  // the host took nothing
    return false;
  }
  return reg.registerSceneHook(kUndoHookId, "QOR Pigmora", kUndoHookInfo, &PaintUndoSystem::alloc,
                               kUndoHookPriority, kUndoHookDiskLevel);
}

host::HookNode* findUndoHook(host::Document* doc) {
  return doc ? static_cast<host::HookNode*>(doc->sceneHook(kUndoHookId)) : nullptr;
}

PaintUndoStore* findUndoStore(host::Document* doc) {
  host::HookNode* hook = findUndoHook(doc);
  auto* system = hook ? dynamic_cast<PaintUndoSystem*>(hook->nodeData()) : nullptr;
  return system ? system->store() : nullptr;
}

void beginStep(host::Document* doc) {
  if (PaintUndoStore* store = findUndoStore(doc)) store->beginStep();
}

bool endStep(host::Document* doc) {
  PaintUndoStore* store = findUndoStore(doc);
  // Without a step to go with it a host entry would undo an older step when the user undoes it.
  if (!store || !store->closeStep()) return false;
  return addHookEntry(doc, kUndoText);
}

bool addChannelChangeEntry(host::Document* doc, int32_t number) {
  return addHookEntry(doc, std::string(kUndoText) + kChannelChangeText + std::to_string(number));
}

bool addLayerChangeEntry(host::Document* doc, const std::string& text) {
  return addHookEntry(doc, std::string(kUndoText) + kLayerChangeText + text);
}

}  // namespace pigmora
