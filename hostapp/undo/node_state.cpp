#include "hostapp/undo/node_state.h"

#include <algorithm>

#include "hostapp/paint/paint_bitmap.h"
#include "hostapp/scene/document.h"
#include "hostapp/scene/material.h"
#include "hostapp/scene/objects.h"
#include "hostapp/scene/tags.h"

namespace hostapp {

namespace {

host::PolygonObject* asPolygonObject(host::Node* node) {
  return node && node->type() == host::kTypePolygonObject ? static_cast<host::PolygonObject*>(node)
                                                          : nullptr;
}

template <class T>
bool copyLocalMatrix(const host::Object* from, host::Object* to) {
  const auto* f = dynamic_cast<const T*>(from);
  auto* t = dynamic_cast<T*>(to);
  if (!f || !t) return false;
  t->setLocalMatrix(f->localMatrix());
  return true;
}

// Siblings of an object in order: the children of its parent, or the top level.
std::vector<host::Object*> siblingsUnder(DocumentImpl& doc, host::Object* parent) {
  std::vector<host::Object*> out;
  for (host::Object* o = parent ? parent->down() : doc.firstObject(); o; o = o->next())
    out.push_back(o);
  return out;
}

std::vector<host::Material*> materialsOf(DocumentImpl& doc) {
  std::vector<host::Material*> out;
  for (host::Material* m = doc.firstMaterial(); m; m = m->next()) out.push_back(m);
  return out;
}

// The node to insert after: the recorded neighbour while it is still there, else the one now at
// the recorded position; null means first.
template <class T>
T* insertAfter(const Placement& where, const std::vector<T*>& siblings) {
  if (!where.hadPrev) return nullptr;
  T* prev = where.prev.getAs<T>();
  if (prev && std::find(siblings.begin(), siblings.end(), prev) != siblings.end()) return prev;
  const size_t at = std::min(static_cast<size_t>(std::max(where.index, 1)), siblings.size());
  return at ? siblings[at - 1] : nullptr;
}

std::unique_ptr<host::Tag> cloneTag(host::Tag* tag) {
  std::unique_ptr<host::Tag> copy = createTagOfType(tag->type());
  if (!copy) return nullptr;
  copy->setName(tag->name());
  copy->data() = tag->data();
  switch (tag->type()) {
    case host::kTypeUVWTag: {
      auto* from = static_cast<host::UVWTag*>(tag);
      auto* to = static_cast<host::UVWTag*>(copy.get());
      to->resize(from->count());
      for (int32_t i = 0; i < from->count(); ++i) to->set(i, from->get(i));
      break;
    }
    case host::kTypeTextureTag:
      static_cast<host::TextureTag*>(copy.get())
          ->setMaterial(static_cast<host::TextureTag*>(tag)->material());
      break;
    case host::kTypePolygonSelectionTag:
      static_cast<host::SelectionTag*>(copy.get())->selection() =
          static_cast<host::SelectionTag*>(tag)->selection();
      break;
    default:
      break;
  }
  return copy;
}

std::unique_ptr<host::Object> cloneObject(host::Object* obj) {
  std::unique_ptr<host::Object> copy = createObjectOfType(obj->type());
  if (!copy) return nullptr;
  copy->setName(obj->name());
  copy->data() = obj->data();
  copy->setSelected(obj->isSelected());
  (void)(copyLocalMatrix<PolygonObjectImpl>(obj, copy.get()) ||
         copyLocalMatrix<CameraObjectImpl>(obj, copy.get()) ||
         copyLocalMatrix<NullObjectImpl>(obj, copy.get()));
  if (auto* from = asPolygonObject(obj)) {
    auto* to = static_cast<host::PolygonObject*>(copy.get());
    to->resize(from->pointCount(), from->polygonCount());
    std::copy_n(from->points(), from->pointCount(), to->writablePoints());
    std::copy_n(from->polygons(), from->polygonCount(), to->writablePolygons());
    to->pointSelection() = from->pointSelection();
    to->edgeSelection() = from->edgeSelection();
    to->polygonSelection() = from->polygonSelection();
  }
  auto* fromCamera = dynamic_cast<CameraObjectImpl*>(obj);
  if (fromCamera) static_cast<CameraObjectImpl*>(copy.get())->setLens(fromCamera->lens());
  host::Tag* lastTag = nullptr;
  for (int32_t i = 0; i < obj->tagCount(); ++i) {
    std::unique_ptr<host::Tag> tag = cloneTag(obj->tagAt(i));
    if (!tag) continue;
    host::Tag* raw = tag.release();
    copy->insertTag(raw, lastTag);
    lastTag = raw;
  }
  // Children are chained by hand: the copy is in no document yet.
  TreeLinks* parentLinks = treeLinks(copy.get());
  host::Object* lastChild = nullptr;
  for (host::Object* child = obj->down(); child; child = child->next()) {
    std::unique_ptr<host::Object> c = cloneObject(child);
    if (!c || !parentLinks) continue;
    host::Object* raw = c.release();
    TreeLinks* links = treeLinks(raw);
    links->up_ = copy.get();
    links->prev_ = lastChild;
    if (lastChild)
      treeLinks(lastChild)->next_ = raw;
    else
      parentLinks->down_ = raw;
    lastChild = raw;
  }
  return copy;
}

std::unique_ptr<host::Material> cloneMaterial(host::Material* mat) {
  auto copy = std::make_unique<MaterialImpl>();
  copy->setName(mat->name());
  copy->data() = mat->data();
  for (int32_t i = 0; i < 14; ++i) {
    copy->enableChannel(i, mat->channelEnabled(i));
    if (mat->channel(i) && copy->channel(i)) copy->channel(i)->data() = mat->channel(i)->data();
  }
  return copy;
}

}  // namespace

NodeContents captureContents(host::Node* node) {
  NodeContents c;
  c.name = node->name();
  c.data = node->data();
  if (auto* obj = asPolygonObject(node)) {
    c.polygonObject = true;
    c.points.assign(obj->points(), obj->points() + obj->pointCount());
    c.polygons.assign(obj->polygons(), obj->polygons() + obj->polygonCount());
    c.pointSelection = obj->pointSelection();
    c.edgeSelection = obj->edgeSelection();
    c.polygonSelection = obj->polygonSelection();
  } else if (node->type() == host::kTypeUVWTag) {
    auto* tag = static_cast<host::UVWTag*>(node);
    c.uvwTag = true;
    for (int32_t i = 0; i < tag->count(); ++i) c.uvs.push_back(tag->get(i));
  } else if (node->type() == host::kTypePolygonSelectionTag) {
    c.selectionTag = true;
    c.selection = static_cast<host::SelectionTag*>(node)->selection();
  } else if (node->type() == host::kTypeMaterial) {
    auto* mat = static_cast<host::Material*>(node);
    c.material = true;
    for (int32_t i = 0; i < 14; ++i) {
      c.channelEnabled[i] = mat->channelEnabled(i);
      if (host::Channel* ch = mat->channel(i)) c.channelData[i] = ch->data();
    }
  }
  return c;
}

void applyContents(host::Node* node, const NodeContents& c) {
  node->setName(c.name);
  node->data() = c.data;
  if (auto* obj = asPolygonObject(node); obj && c.polygonObject) {
    obj->resize(static_cast<int32_t>(c.points.size()), static_cast<int32_t>(c.polygons.size()));
    std::copy(c.points.begin(), c.points.end(), obj->writablePoints());
    std::copy(c.polygons.begin(), c.polygons.end(), obj->writablePolygons());
    obj->pointSelection() = c.pointSelection;
    obj->edgeSelection() = c.edgeSelection;
    obj->polygonSelection() = c.polygonSelection;
  } else if (c.uvwTag) {
    auto* tag = static_cast<host::UVWTag*>(node);
    tag->resize(static_cast<int32_t>(c.uvs.size()));
    for (size_t i = 0; i < c.uvs.size(); ++i) tag->set(static_cast<int32_t>(i), c.uvs[i]);
  } else if (c.selectionTag) {
    static_cast<host::SelectionTag*>(node)->selection() = c.selection;
  } else if (c.material) {
    auto* mat = static_cast<host::Material*>(node);
    for (int32_t i = 0; i < 14; ++i) {
      mat->enableChannel(i, c.channelEnabled[i]);
      if (host::Channel* ch = mat->channel(i)) ch->data() = c.channelData[i];
    }
  }
  node->setDirty(host::kDirtyAll);
}

SelectionState captureSelection(DocumentImpl& doc, host::Object* obj) {
  SelectionState s;
  s.selected = obj->isSelected();
  s.active = doc.activeObject() == obj;
  if (auto* poly = asPolygonObject(obj)) {
    s.polygonObject = true;
    s.points = poly->pointSelection();
    s.edges = poly->edgeSelection();
    s.polygons = poly->polygonSelection();
  }
  return s;
}

void applySelection(DocumentImpl& doc, host::Object* obj, const SelectionState& s) {
  obj->setSelected(s.selected);
  if (s.active)
    doc.makeActive(obj);
  else if (doc.activeObject() == obj)
    doc.makeActive(nullptr);
  if (auto* poly = asPolygonObject(obj); poly && s.polygonObject) {
    poly->pointSelection() = s.points;
    poly->edgeSelection() = s.edges;
    poly->polygonSelection() = s.polygons;
  }
}

bool placementOf(DocumentImpl& doc, host::Node* node, Placement& where) {
  if (auto* layer = dynamic_cast<PaintLayerImpl*>(node)) {
    PaintTextureImpl* tex = layer->owner();
    if (!tex || doc.textureAt(tex->filePath()) != tex) return false;
    where.kind = Placement::Kind::kLayer;
    where.parent.set(tex);
    where.hadParent = true;
    where.index = tex->indexOf(layer);
    where.prev.set(where.index > 0 ? tex->layer(where.index - 1) : nullptr);
    where.hadPrev = where.index > 0;
    return true;
  }
  if (auto* obj = dynamic_cast<host::Object*>(node)) {
    if (obj->document() != &doc) return false;
    where.kind = Placement::Kind::kObject;
    where.parent.set(obj->up());
    where.hadParent = obj->up() != nullptr;
    where.prev.set(obj->prev());
    where.hadPrev = obj->prev() != nullptr;
    const auto siblings = siblingsUnder(doc, obj->up());
    where.index =
        static_cast<int32_t>(std::find(siblings.begin(), siblings.end(), obj) - siblings.begin());
    return true;
  }
  if (auto* tag = dynamic_cast<host::Tag*>(node)) {
    host::Object* owner = tag->object();
    if (!owner || owner->document() != &doc) return false;
    int32_t index = 0;
    while (index < owner->tagCount() && owner->tagAt(index) != tag) ++index;
    if (index == owner->tagCount()) return false;
    where.kind = Placement::Kind::kTag;
    where.parent.set(owner);
    where.hadParent = true;
    where.prev.set(index > 0 ? owner->tagAt(index - 1) : nullptr);
    where.hadPrev = index > 0;
    where.index = index;
    return true;
  }
  if (auto* mat = dynamic_cast<host::Material*>(node)) {
    if (mat->document() != &doc) return false;
    const auto all = materialsOf(doc);
    const auto it = std::find(all.begin(), all.end(), mat);
    if (it == all.end()) return false;
    where.kind = Placement::Kind::kMaterial;
    where.parent.clear();
    where.hadParent = false;
    where.prev.set(it == all.begin() ? nullptr : *(it - 1));
    where.hadPrev = it != all.begin();
    where.index = static_cast<int32_t>(it - all.begin());
    return true;
  }
  return false;
}

std::unique_ptr<host::Node> detachNode(DocumentImpl& doc, host::Node* node, Placement& where) {
  if (!placementOf(doc, node, where)) return nullptr;
  switch (where.kind) {
    case Placement::Kind::kObject:
      return std::unique_ptr<host::Node>(doc.removeObject(static_cast<host::Object*>(node)));
    case Placement::Kind::kTag: {
      auto* tag = static_cast<host::Tag*>(node);
      return std::unique_ptr<host::Node>(tag->object()->removeTag(tag));
    }
    case Placement::Kind::kMaterial:
      return std::unique_ptr<host::Node>(doc.removeMaterial(static_cast<host::Material*>(node)));
    case Placement::Kind::kLayer: {
      auto* layer = static_cast<PaintLayerImpl*>(node);
      return std::unique_ptr<host::Node>(layer->owner()->removeLayer(layer).release());
    }
  }
  return nullptr;
}

bool attachNode(DocumentImpl& doc, std::unique_ptr<host::Node>& node, const Placement& where) {
  if (!node) return false;
  switch (where.kind) {
    case Placement::Kind::kObject: {
      // A parent that is gone puts the object at the top level.
      host::Object* parent = where.parent.getAs<host::Object>();
      if (parent && parent->document() != &doc) parent = nullptr;
      host::Object* after = insertAfter(where, siblingsUnder(doc, parent));
      doc.insertObject(static_cast<host::Object*>(node.release()), parent, after);
      return true;
    }
    case Placement::Kind::kTag: {
      host::Object* owner = where.parent.getAs<host::Object>();
      if (!owner) return false;
      std::vector<host::Tag*> tags;
      for (int32_t i = 0; i < owner->tagCount(); ++i) tags.push_back(owner->tagAt(i));
      host::Tag* after = insertAfter(where, tags);
      owner->insertTag(static_cast<host::Tag*>(node.release()), after);
      return true;
    }
    case Placement::Kind::kMaterial: {
      host::Material* after = insertAfter(where, materialsOf(doc));
      doc.insertMaterial(static_cast<host::Material*>(node.release()), after);
      return true;
    }
    case Placement::Kind::kLayer: {
      auto* tex = where.parent.getAs<PaintTextureImpl>();
      auto* layer = dynamic_cast<PaintLayerImpl*>(node.get());
      if (!tex || !layer || doc.textureAt(tex->filePath()) != tex) return false;
      // Above the layer that was below it while that one is still there, else at its position.
      int32_t at = where.index;
      if (where.hadPrev) {
        const int32_t prev = tex->indexOf(where.prev.getAs<host::PaintBitmap>());
        if (prev >= 0) at = prev + 1;
      }
      node.release();
      tex->insertLayer(std::unique_ptr<PaintLayerImpl>(layer), at);
      return true;
    }
  }
  return false;
}

std::unique_ptr<host::Node> cloneNode(host::Node* node) {
  if (auto* obj = dynamic_cast<host::Object*>(node)) return cloneObject(obj);
  if (auto* tag = dynamic_cast<host::Tag*>(node)) return cloneTag(tag);
  if (auto* mat = dynamic_cast<host::Material*>(node)) return cloneMaterial(mat);
  return nullptr;
}

}  // namespace hostapp
