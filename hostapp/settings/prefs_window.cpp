#include "hostapp/settings/prefs_window.h"

#include "hostapp/core/embedded_host.h"

namespace hostapp {

PrefsWindow::PrefsWindow(EmbeddedHost& host, int32_t pageId) : host_(host), node_(pageId) {
  const RegisteredPlugin* page = host.registration().find(pageId);
  if (!page || page->kind != PluginKind::kPrefsPage) return;
  data_ = page->allocator();
  if (!data_) return;
  if (!data_->init(&node_)) return;
  int32_t flags = host::kDescFlagNeedDefaults;
  open_ = data_->getDescription(&node_, desc_, flags);
}

PrefsWindow::~PrefsWindow() {
  if (!data_) return;
  data_->free(&node_);
  data_->~NodeData();
  host_.memory().free(data_);
}

host::Value PrefsWindow::get(int32_t id) {
  host::Value v;
  int32_t flags = 0;
  if (data_ && data_->getParameter(&node_, id, v, flags)) return v;
  const host::Value* stored = node_.data().find(id);
  return stored ? *stored : host::Value();
}

bool PrefsWindow::set(int32_t id, const host::Value& v) {
  int32_t flags = 0;
  if (data_ && data_->setParameter(&node_, id, v, flags)) return true;
  node_.data().set(id, v);
  return true;
}

bool PrefsWindow::enabled(int32_t id) {
  return data_ ? data_->getEnabling(&node_, id, get(id), 0) : false;
}

}  // namespace hostapp
