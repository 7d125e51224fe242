#include "hostapp/scene/document.h"

#include <algorithm>

#include "hostapp/core/embedded_host.h"
#include "hostapp/paint/paint_bitmap.h"
#include "hostapp/scene/objects.h"
#include "hostapp/ui/ui_host.h"
#include "hostapp/undo/undo_entries.h"

namespace hostapp {

namespace {
// Undo depth when the world settings cannot be read.
constexpr int32_t kDefaultUndoDepth = 30;
}  // namespace

HookNodeImpl::HookNodeImpl(EmbeddedHost& host, host::Document* doc, int32_t id,
                           host::NodeData* data)
    : host_(host), doc_(doc), id_(id), data_(data) {}

HookNodeImpl::~HookNodeImpl() {
  freeData();
}

void HookNodeImpl::freeData() {
  data_->free(this);
  data_->~NodeData();
  host_.memory().free(data_);
}

void HookNodeImpl::replaceData(host::NodeData* data) {
  if (!data || data == data_) return;
  freeData();
  data_ = data;
}

RenderDataImpl::RenderDataImpl() {
  data().setInt32(host::kRenderWidth, 800);
  data().setInt32(host::kRenderHeight, 600);
  data().setInt32(host::kRenderEngine, 0);
}

DocumentImpl::DocumentImpl(EmbeddedHost& host)
    : host_(host), view_(*this, host.events()), renderData_(std::make_unique<RenderDataImpl>()) {
  data().setFilename(host::kDocPath, "");
  data().setInt32(host::kDocMode, 7);
  data().setInt32(host::kDocActiveTool, 0);
}

DocumentImpl::~DocumentImpl() {
  // Undo entries keep nodes taken out of the scene; they go before the scene they refer to.
  undo_.clear();
  // Hooks go first: they may still look at the scene while they are freed.
  hooks_.clear();
  for (host::Object* o = first_; o;) {
    host::Object* following = o->next();
    delete o;
    o = following;
  }
  materials_.clear();
  textures_.clear();
  replaced_.clear();
}

void DocumentImpl::createHooks() {
  for (const auto& p : host_.registration().plugins()) {
    if (p.kind != PluginKind::kSceneHook) continue;
    host::NodeData* data = p.allocator();
    if (!data) continue;
    auto node = std::make_unique<HookNodeImpl>(host_, this, p.id, data);
    if (!data->init(node.get())) continue;  // the node's destructor frees the data
    hooks_.push_back(std::move(node));
  }
}

bool DocumentImpl::replaceHookData(int32_t id, host::NodeData* data) {
  for (const auto& h : hooks_) {
    if (h->pluginId() != id) continue;
    h->replaceData(data);
    return data != nullptr;
  }
  return false;
}

host::Node* DocumentImpl::sceneHook(int32_t id) const {
  for (const auto& h : hooks_)
    if (h->pluginId() == id) return h.get();
  return nullptr;
}

bool DocumentImpl::startUndo() {
  undo_.start();
  return true;
}

bool DocumentImpl::addUndo(int32_t kind, host::Node* node) {
  return undo_.add(makeUndoEntry(*this, kind, node));
}

bool DocumentImpl::endUndo() {
  const host::Settings* world = host_.settings().world();
  const int32_t depth =
      world ? world->getInt32(host::kWorldUndoDepth, kDefaultUndoDepth) : kDefaultUndoDepth;
  return undo_.end(static_cast<size_t>(std::max(depth, 0)));
}

bool DocumentImpl::undo() {
  if (!undo_.undo()) return false;
  changed(host::kCoreDocumentChanged);
  return true;
}

bool DocumentImpl::redo() {
  if (!undo_.redo()) return false;
  changed(host::kCoreDocumentChanged);
  return true;
}

namespace {
void setDocumentRecursive(host::Object* o, DocumentImpl* doc) {
  for (; o; o = o->next()) {
    treeLinks(o)->doc_ = doc;
    setDocumentRecursive(o->down(), doc);
  }
}
}  // namespace

void DocumentImpl::insertObject(host::Object* obj, host::Object* parent, host::Object* after) {
  TreeLinks* links = obj ? treeLinks(obj) : nullptr;
  if (!links) return;
  links->up_ = parent;
  links->prev_ = nullptr;
  links->next_ = nullptr;
  host::Object*& head = parent ? treeLinks(parent)->down_ : first_;
  if (after && after->up() == parent) {
    TreeLinks* a = treeLinks(after);
    links->prev_ = after;
    links->next_ = a->next_;
    if (a->next_) treeLinks(a->next_)->prev_ = obj;
    a->next_ = obj;
  } else {
    links->next_ = head;
    if (head) treeLinks(head)->prev_ = obj;
    head = obj;
  }
  links->doc_ = this;
  setDocumentRecursive(obj->down(), this);
  changed(host::kCoreObjectsChanged);
}

host::Object* DocumentImpl::removeObject(host::Object* obj) {
  TreeLinks* links = obj ? treeLinks(obj) : nullptr;
  if (!links || links->doc_ != this) return nullptr;
  if (links->prev_)
    treeLinks(links->prev_)->next_ = links->next_;
  else if (links->up_)
    treeLinks(links->up_)->down_ = links->next_;
  else
    first_ = links->next_;
  if (links->next_) treeLinks(links->next_)->prev_ = links->prev_;
  links->next_ = links->prev_ = links->up_ = nullptr;
  links->doc_ = nullptr;
  setDocumentRecursive(obj->down(), nullptr);
  changed(host::kCoreObjectsChanged);
  return obj;
}

void DocumentImpl::changed(int32_t message) {
  host_.uiHost().post(message);
}

void DocumentImpl::setActiveObject(host::Object* obj) {
  for (host::Object* o : allObjects()) o->setSelected(false);
  active_.set(obj);
  if (obj) obj->setSelected(true);
  changed(host::kCoreObjectsChanged);
}

void DocumentImpl::makeActive(host::Object* obj) {
  active_.set(obj);
  changed(host::kCoreObjectsChanged);
}

void DocumentImpl::setActiveTag(host::Tag* tag) {
  activeTag_.set(tag);
  changed(host::kCoreObjectsChanged);
}

std::vector<host::Object*> DocumentImpl::allObjects() const {
  std::vector<host::Object*> out;
  host::forEachObject(first_, [&out](host::Object* o) { out.push_back(o); });
  return out;
}

std::vector<host::Object*> DocumentImpl::selectedObjects() const {
  std::vector<host::Object*> out;
  for (host::Object* o : allObjects())
    if (o->isSelected()) out.push_back(o);
  return out;
}

host::Material* DocumentImpl::firstMaterial() const {
  return materials_.empty() ? nullptr : materials_.front().get();
}

void DocumentImpl::insertMaterial(host::Material* mat, host::Material* after) {
  auto* impl = dynamic_cast<MaterialImpl*>(mat);
  if (!impl) return;
  impl->doc_ = this;
  auto pos = materials_.begin();
  if (after) {
    auto it = std::find_if(materials_.begin(), materials_.end(),
                           [after](auto& m) { return m.get() == after; });
    if (it != materials_.end()) pos = it + 1;
  }
  materials_.insert(pos, std::unique_ptr<host::Material>(mat));
  changed(host::kCoreMaterialsChanged);
}

host::Material* DocumentImpl::removeMaterial(host::Material* mat) {
  auto it =
      std::find_if(materials_.begin(), materials_.end(), [mat](auto& m) { return m.get() == mat; });
  if (it == materials_.end()) return nullptr;
  host::Material* raw = it->release();
  materials_.erase(it);
  static_cast<MaterialImpl*>(raw)->doc_ = nullptr;
  changed(host::kCoreMaterialsChanged);
  return raw;
}

host::Material* DocumentImpl::materialAfter(const host::Material* mat) const {
  for (size_t i = 0; i + 1 < materials_.size(); ++i)
    if (materials_[i].get() == mat) return materials_[i + 1].get();
  return nullptr;
}

host::Material* DocumentImpl::activeMaterial() const {
  // A material taken out of the document (by an undo) is no longer selectable.
  for (const auto& link : selectedMaterials_)
    if (auto* m = link.getAs<host::Material>(); m && m->document() == this) return m;
  return nullptr;
}

void DocumentImpl::setActiveMaterial(host::Material* mat, bool add) {
  if (!add) selectedMaterials_.clear();
  if (!mat) {
    changed(host::kCoreMaterialsChanged);
    return;
  }
  // The active material leads the selection.
  std::erase_if(selectedMaterials_, [mat](const host::Link& l) { return l.get() == mat; });
  selectedMaterials_.insert(selectedMaterials_.begin(), host::Link(mat));
  changed(host::kCoreMaterialsChanged);
}

std::vector<host::Material*> DocumentImpl::selectedMaterials() const {
  std::vector<host::Material*> out;
  for (const auto& link : selectedMaterials_)
    if (auto* m = link.getAs<host::Material>(); m && m->document() == this) out.push_back(m);
  return out;
}

PaintTextureImpl* DocumentImpl::textureAt(const std::string& path) const {
  auto it = textures_.find(path);
  return it == textures_.end() ? nullptr : it->second.get();
}

void DocumentImpl::addTexture(const std::string& path, std::unique_ptr<PaintTextureImpl> tex) {
  std::unique_ptr<PaintTextureImpl>& slot = textures_[path];
  if (slot) replaced_.push_back(std::move(slot));
  slot = std::move(tex);
}

RenderDataImpl* DocumentImpl::ensureRenderData() {
  if (!renderData_) renderData_ = std::make_unique<RenderDataImpl>();
  return renderData_.get();
}

}  // namespace hostapp
