// A headless page of the preferences window: the host creates the registered page's node, loads
// its description and lets the user read, change and check the enabling of its parameters.
#pragma once

#include <vector>

#include "host/host.h"

namespace hostapp {

class EmbeddedHost;

class PrefsPageNode : public host::Node {
 public:
  explicit PrefsPageNode(int32_t id) : id_(id) {}
  int32_t type() const override { return id_; }

 private:
  int32_t id_;
};

class PrefsWindow {
 public:
  PrefsWindow(EmbeddedHost& host, int32_t pageId);
  ~PrefsWindow();
  PrefsWindow(const PrefsWindow&) = delete;
  PrefsWindow& operator=(const PrefsWindow&) = delete;

  // True when the page exists and its description loaded.
  bool open() const { return open_; }
  const std::vector<host::DescriptionParameter>& parameters() const { return desc_.parameters(); }
  const host::Description& description() const { return desc_; }
  host::Value get(int32_t id);
  bool set(int32_t id, const host::Value& v);
  bool enabled(int32_t id);

 private:
  EmbeddedHost& host_;
  host::NodeData* data_ = nullptr;
  PrefsPageNode node_;
  host::Description desc_;
  bool open_ = false;
};

}  // namespace hostapp
