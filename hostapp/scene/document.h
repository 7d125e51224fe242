// Documents of the embedded host: the object tree, materials, open paint textures and one
// instance of every registered scene hook.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/host.h"
#include "hostapp/scene/material.h"
#include "hostapp/scene/view.h"
#include "hostapp/undo/undo_list.h"

namespace hostapp {

class EmbeddedHost;
class PaintTextureImpl;

class HookNodeImpl : public host::HookNode {
 public:
  HookNodeImpl(EmbeddedHost& host, host::Document* doc, int32_t id, host::NodeData* data);
  ~HookNodeImpl() override;
  int32_t type() const override { return host::kTypeSceneHookNode; }
  host::NodeData* nodeData() const override { return data_; }
  host::Document* document() const override { return doc_; }
  int32_t pluginId() const { return id_; }
  bool message(int32_t id, void* data) override { return data_->message(this, id, data); }
  // Frees the node data and takes `data` (host memory, not initialised by the host) instead.
  void replaceData(host::NodeData* data);

 private:
  void freeData();

  EmbeddedHost& host_;
  host::Document* doc_;
  int32_t id_;
  host::NodeData* data_;
};

class RenderDataImpl : public host::RenderData {
 public:
  RenderDataImpl();
  int32_t type() const override { return host::kTypeRenderData; }
};

// A chunk of a document file that this host did not know, kept as it was read so that the next
// save writes it again.
struct KeptChunk {
  uint32_t type = 0;
  uint32_t flags = 0;
  std::string payload;
  bool operator==(const KeptChunk&) const = default;
};

class DocumentImpl : public host::Document {
 public:
  explicit DocumentImpl(EmbeddedHost& host);
  ~DocumentImpl() override;

  int32_t type() const override { return host::kTypeDocument; }
  host::Object* firstObject() const override { return first_; }
  void insertObject(host::Object* obj, host::Object* parent, host::Object* after) override;
  host::Object* activeObject() const override { return active_.getAs<host::Object>(); }
  void setActiveObject(host::Object* obj) override;
  std::vector<host::Object*> selectedObjects() const override;
  host::Tag* activeTag() const override { return activeTag_.getAs<host::Tag>(); }
  void setActiveTag(host::Tag* tag) override;

  host::Material* firstMaterial() const override;
  void insertMaterial(host::Material* mat, host::Material* after) override;
  host::Material* activeMaterial() const override;
  void setActiveMaterial(host::Material* mat, bool add) override;
  std::vector<host::Material*> selectedMaterials() const override;

  host::Node* sceneHook(int32_t id) const override;
  ViewImpl* activeView() override { return &view_; }
  RenderDataImpl* activeRenderData() override { return renderData_.get(); }
  // Takes the render settings away (for testing what needs them).
  void clearRenderData() { renderData_.reset(); }
  // Fresh default render settings, when there are none.
  RenderDataImpl* ensureRenderData();

  bool startUndo() override;
  bool addUndo(int32_t kind, host::Node* node) override;
  bool endUndo() override;
  // Undoes (redoes) the newest undo (redo) group; false when there is none.
  bool undo();
  bool redo();
  const UndoList& undoList() const { return undo_; }
  // Makes an object the active one without changing which objects are selected.
  void makeActive(host::Object* obj);

  // Creates the instances of every registered scene hook (hooks whose initialisation fails are
  // left out).
  void createHooks();
  // Gives the instance of scene hook `id` other node data (host memory, taken over as it is),
  // to put a hook into a state it cannot reach by itself. False when there is no instance.
  bool replaceHookData(int32_t id, host::NodeData* data);
  // The scene hook instances in registration order.
  const std::vector<std::unique_ptr<HookNodeImpl>>& hooks() const { return hooks_; }
  // Chunks of the file the document was loaded from that no part of this host knew.
  std::vector<KeptChunk>& keptChunks() { return kept_; }
  const std::vector<KeptChunk>& keptChunks() const { return kept_; }
  // Every object depth first, children before the next sibling.
  std::vector<host::Object*> allObjects() const;
  host::Material* materialAfter(const host::Material* mat) const;
  // Takes a material out of the document; the caller owns it.
  host::Material* removeMaterial(host::Material* mat);
  // Takes an object (with its children) out of the tree; the caller owns it.
  host::Object* removeObject(host::Object* obj);

  // Open paint textures by file path. A texture created again at a path that is open already
  // takes the path; the one it replaces is kept (unreachable by path) until the document goes,
  // because painting state and views may still point at it.
  PaintTextureImpl* textureAt(const std::string& path) const;
  void addTexture(const std::string& path, std::unique_ptr<PaintTextureImpl> tex);
  const std::map<std::string, std::unique_ptr<PaintTextureImpl>>& textures() const {
    return textures_;
  }

 private:
  // Open windows hear of it, as they hear of every change of the scene and its selections.
  void changed(int32_t message);
  EmbeddedHost& host_;
  host::Object* first_ = nullptr;
  std::vector<std::unique_ptr<host::Material>> materials_;
  std::vector<host::Link> selectedMaterials_;
  host::Link active_;
  host::Link activeTag_;
  std::map<std::string, std::unique_ptr<PaintTextureImpl>> textures_;
  std::vector<std::unique_ptr<PaintTextureImpl>> replaced_;
  std::vector<std::unique_ptr<HookNodeImpl>> hooks_;
  ViewImpl view_;
  std::unique_ptr<RenderDataImpl> renderData_;
  std::vector<KeptChunk> kept_;
  UndoList undo_;
};

}  // namespace hostapp
