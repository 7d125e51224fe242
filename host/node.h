// The base of every host object that the plug-in can see: a typed node with a name and a
// settings container of parameters.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "host/settings.h"

namespace host {

// Host type ids.
constexpr int32_t kTypePolygonObject = 5100;
constexpr int32_t kTypeCamera = 5103;
constexpr int32_t kTypeNull = 5140;
constexpr int32_t kTypePointTag = 5600;
constexpr int32_t kTypePolygonTag = 5604;
constexpr int32_t kTypeTextureTag = 5616;
constexpr int32_t kTypeUVWTag = 5671;
constexpr int32_t kTypePolygonSelectionTag = 5673;
constexpr int32_t kTypeMaterial = 5703;
constexpr int32_t kTypeBitmapLayer = 501;
constexpr int32_t kTypePaintLayer = 544;
constexpr int32_t kTypePaintTexture = 500;
constexpr int32_t kTypeDocument = 110059;
constexpr int32_t kTypeSceneHookNode = 100004;

class Node {
 public:
  Node() : alive_(std::make_shared<int>(0)) {}
  Node(const Node&) = delete;
  Node& operator=(const Node&) = delete;
  virtual ~Node() = default;

  virtual int32_t type() const = 0;
  // True when the node is of the given type or derives from it (a bitmap layer 501 is also a
  // paint layer 544).
  virtual bool isInstanceOf(int32_t t) const { return t == type(); }
  virtual std::string name() const { return name_; }
  virtual void setName(const std::string& name) { name_ = name; }
  // The node's parameters. Owned by the node.
  virtual Settings& data() { return data_; }
  const Settings& data() const { return const_cast<Node*>(this)->data(); }
  // Marks the node changed; flags -1 means everything.
  virtual void setDirty(int32_t flags) { dirtyCount_ += flags != 0 ? 1 : 0; }
  // Object message (5 = update); answers whether it was handled.
  virtual bool message(int32_t id, void* data) {
    (void)id;
    (void)data;
    return true;
  }

  uint32_t dirtyCount() const { return dirtyCount_; }
  std::weak_ptr<const void> lifetime() const { return alive_; }

 private:
  std::shared_ptr<int> alive_;
  std::string name_;
  Settings data_;
  uint32_t dirtyCount_ = 0;
};

inline void Link::set(Node* node) {
  node_ = node;
  alive_ = node ? node->lifetime() : std::weak_ptr<const void>();
}

}  // namespace host
