// Weak references to host objects.
#pragma once

#include <memory>

namespace host {

class Node;

// Every node carries a lifetime token; a link keeps a weak reference to it, so that it resolves
// to null once its target has been freed.
class Link {
 public:
  Link() = default;
  explicit Link(Node* node) { set(node); }

  void set(Node* node);
  void clear() { set(nullptr); }
  // The node, or null when none was set or the node is gone. Not owned by the caller.
  Node* get() const { return alive_.expired() ? nullptr : node_; }
  template <class T>
  T* getAs() const {
    return static_cast<T*>(get());
  }
  bool operator==(const Link& o) const { return get() == o.get(); }

 private:
  Node* node_ = nullptr;
  std::weak_ptr<const void> alive_;
};

}  // namespace host
