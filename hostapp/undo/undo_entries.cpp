#include "hostapp/undo/undo_entries.h"

#include <string>

#include "hostapp/scene/document.h"
#include "hostapp/undo/node_state.h"

namespace hostapp {

namespace {

// Change: the node's contents swap with the recorded ones, which makes undo and redo the same move.
class ChangeEntry : public UndoEntry {
 public:
  explicit ChangeEntry(host::Node* node) : node_(node), contents_(captureContents(node)) {}
  void undo() override { swap(); }
  void redo() override { swap(); }
  int32_t kind() const override { return host::kUndoChange; }

 private:
  void swap() {
    host::Node* node = node_.get();
    if (!node) return;
    NodeContents now = captureContents(node);
    applyContents(node, contents_);
    contents_ = std::move(now);
  }
  host::Link node_;
  NodeContents contents_;
};

class SelectionEntry : public UndoEntry {
 public:
  SelectionEntry(DocumentImpl& doc, host::Object* obj)
      : doc_(doc), obj_(obj), state_(captureSelection(doc, obj)) {}
  void undo() override { swap(); }
  void redo() override { swap(); }
  int32_t kind() const override { return host::kUndoChangeSelection; }

 private:
  void swap() {
    auto* obj = obj_.getAs<host::Object>();
    if (!obj) return;
    SelectionState now = captureSelection(doc_, obj);
    applySelection(doc_, obj, state_);
    state_ = std::move(now);
  }
  DocumentImpl& doc_;
  host::Link obj_;
  SelectionState state_;
};

// New object, recorded after it was inserted: undo takes it out and keeps it; redo puts it back.
class NewEntry : public UndoEntry {
 public:
  NewEntry(DocumentImpl& doc, host::Node* node) : doc_(doc), node_(node) {}
  void undo() override {
    if (host::Node* node = node_.get()) kept_ = detachNode(doc_, node, where_);
  }
  void redo() override { attachNode(doc_, kept_, where_); }
  int32_t kind() const override { return host::kUndoNew; }

 private:
  DocumentImpl& doc_;
  host::Link node_;  // the node while it is in the document; stays valid while kept
  Placement where_;
  std::unique_ptr<host::Node> kept_;
};

// Delete, recorded before the caller removes and frees the node: a copy made now goes back at the
// node's place on undo, and comes out again on redo.
class DeleteEntry : public UndoEntry {
 public:
  DeleteEntry(DocumentImpl& doc, std::unique_ptr<host::Node> copy, const Placement& where)
      : doc_(doc), where_(where), kept_(std::move(copy)) {}
  void undo() override {
    host::Node* copy = kept_.get();
    if (attachNode(doc_, kept_, where_)) inserted_.set(copy);
  }
  int32_t kind() const override { return host::kUndoDelete; }
  void redo() override {
    if (host::Node* node = inserted_.get()) kept_ = detachNode(doc_, node, where_);
  }

 private:
  DocumentImpl& doc_;
  Placement where_;
  std::unique_ptr<host::Node> kept_;
  host::Link inserted_;
};

// Scene-hook entry: the hook is told with the text its data held when the entry was added.
class SceneHookEntry : public UndoEntry {
 public:
  explicit SceneHookEntry(host::Node* hook)
      : hook_(hook), text_(hook->data().getString(host::kUndoSceneHook)) {}
  void undo() override { tell(false); }
  void redo() override { tell(true); }
  int32_t kind() const override { return host::kUndoSceneHook; }
  std::string text() const override { return text_; }

 private:
  void tell(bool redo) {
    host::Node* hook = hook_.get();
    if (!hook) return;
    host::SceneHookUndoData data{&text_, redo};
    hook->message(host::kMessageSceneHookUndo, &data);
  }
  host::Link hook_;
  std::string text_;
};

}  // namespace

std::unique_ptr<UndoEntry> makeUndoEntry(DocumentImpl& doc, int32_t kind, host::Node* node) {
  if (!node) return nullptr;
  switch (kind) {
    case host::kUndoChange:
      return std::make_unique<ChangeEntry>(node);
    case host::kUndoChangeSelection: {
      auto* obj = dynamic_cast<host::Object*>(node);
      if (!obj) return nullptr;
      return std::make_unique<SelectionEntry>(doc, obj);
    }
    case host::kUndoNew: {
      Placement where;
      if (!placementOf(doc, node, where)) return nullptr;
      return std::make_unique<NewEntry>(doc, node);
    }
    case host::kUndoDelete: {
      Placement where;
      if (!placementOf(doc, node, where)) return nullptr;
      std::unique_ptr<host::Node> copy = cloneNode(node);
      if (!copy) return nullptr;
      return std::make_unique<DeleteEntry>(doc, std::move(copy), where);
    }
    case host::kUndoSceneHook:
      if (node->type() != host::kTypeSceneHookNode) return nullptr;
      return std::make_unique<SceneHookEntry>(node);
    default:
      return nullptr;
  }
}

}  // namespace hostapp
