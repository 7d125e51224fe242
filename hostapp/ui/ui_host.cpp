#include "hostapp/ui/ui_host.h"

#include <algorithm>

namespace hostapp {

namespace {

constexpr int32_t kCascadeStart = 80;
constexpr int32_t kCascadeStep = 24;

std::string withoutCheckMark(const std::string& text) {
  const std::string mark = host::kCheckMarkSuffix;
  if (text.size() >= mark.size() && text.compare(text.size() - mark.size(), mark.size(), mark) == 0)
    return text.substr(0, text.size() - mark.size());
  return text;
}

// The entry named by `path`: "Entry", or "Submenu/Entry" (titles may hold slashes themselves),
// else the first entry of that text in any submenu. Submenu titles are not entries.
int32_t findEntry(const std::vector<host::PopupMenu::Entry>& entries, const std::string& path) {
  for (const auto& e : entries) {
    if (!e.isSubmenu()) continue;
    const std::string title = withoutCheckMark(e.text) + "/";
    if (path.size() > title.size() && path.compare(0, title.size(), title) == 0) {
      if (const int32_t id = findEntry(e.children, path.substr(title.size()))) return id;
    }
  }
  for (const auto& e : entries) {
    if (!e.isSubmenu() && !e.isSeparator() && (e.text == path || withoutCheckMark(e.text) == path))
      return e.id;
  }
  for (const auto& e : entries) {
    if (!e.isSubmenu()) continue;
    if (const int32_t id = findEntry(e.children, path)) return id;
  }
  return host::kMenuDismissed;
}

bool hasId(const std::vector<host::PopupMenu::Entry>& entries, int32_t id) {
  for (const auto& e : entries) {
    if (e.isSubmenu() ? hasId(e.children, id) : (!e.isSeparator() && e.id == id)) return true;
  }
  return false;
}

}  // namespace

UiHost::UiHost() : font_(std::make_unique<Font>()) {}

UiHost::~UiHost() {
  // Dialogs and areas that outlive the host find themselves unbound.
  windows_.clear();
}

bool UiHost::openDialog(host::GeDialog& dialog, int32_t type, int32_t pluginId, int32_t x,
                        int32_t y, int32_t defaultWidth, int32_t defaultHeight) {
  if (type != host::kDialogAsync && type != host::kDialogModal) return false;
  if (Window* old = windowOf(dialog)) {
    if (old->isOpen()) {
      // Already open: to the front.
      auto it = std::find_if(windows_.begin(), windows_.end(),
                             [&](const auto& w) { return w.get() == old; });
      std::rotate(it, it + 1, windows_.end());
      return type == host::kDialogAsync;
    }
    forget(old);
  }
  if (x == host::kDefaultPosition || y == host::kDefaultPosition) {
    x = kCascadeStart + kCascadeStep * (opened_ % 10);
    y = kCascadeStart + kCascadeStep * (opened_ % 10);
  }
  // Opening is part of what the caller does: messages it causes wait until it has returned.
  Busy busy(*this);
  ++opened_;
  windows_.push_back(std::make_unique<Window>(
      *this, dialog, type, pluginId, x, y, std::max(0, defaultWidth), std::max(0, defaultHeight)));
  Window* window = windows_.back().get();
  lastPositions_[pluginId] = {x, y};
  if (!window->build()) {
    if (contains(window)) forget(window);
    return false;
  }
  if (type == host::kDialogModal) {
    // The user does what the script says, then the window is gone whatever the script left.
    if (!modalScripts_.empty()) {
      ModalScript script = std::move(modalScripts_.front());
      modalScripts_.pop_front();
      if (script && contains(window) && window->isOpen()) script(*window);
    }
    if (contains(window) && window->isOpen()) window->close();
  }
  settleWindows();
  return true;
}

bool UiHost::restoreDialog(host::GeDialog& dialog, int32_t pluginId, void* secret) {
  (void)secret;
  const auto it = lastPositions_.find(pluginId);
  const int32_t x = it == lastPositions_.end() ? host::kDefaultPosition : it->second.first;
  const int32_t y = it == lastPositions_.end() ? host::kDefaultPosition : it->second.second;
  return openDialog(dialog, host::kDialogAsync, pluginId, x, y, 0, 0);
}

int32_t UiHost::pickFrom(const host::PopupMenu& menu) {
  if (menuPicks_.empty()) return host::kMenuDismissed;
  const auto pick = std::move(menuPicks_.front());
  menuPicks_.pop_front();
  if (const auto* id = std::get_if<int32_t>(&pick)) {
    if (hasId(menu.entries(), *id)) return *id;
    scriptErrors_.push_back("The menu has no entry with id " + std::to_string(*id) + ".");
    return host::kMenuDismissed;
  }
  const std::string& text = std::get<std::string>(pick);
  const int32_t id = findEntry(menu.entries(), text);
  if (id == host::kMenuDismissed)
    scriptErrors_.push_back("The menu has no entry \"" + text + "\".");
  return id;
}

int32_t UiHost::popupMenu(const host::PopupMenu& menu, int32_t screenX, int32_t screenY,
                          int32_t flags) {
  ShownMenu shown{menu, screenX, screenY, flags, host::kMenuDismissed};
  if (!menu.empty())
    shown.picked = menuPicks_.empty() && liveMenu_ ? liveMenu_(menu) : pickFrom(menu);
  menus_.push_back(shown);
  return shown.picked;
}

int32_t UiHost::messageBox(const std::string& text, int32_t type) {
  int32_t answer = type == host::kMessageYesNo ? host::kAnswerNo : host::kAnswerOk;
  if (!answers_.empty()) {
    answer = answers_.front();
    answers_.pop_front();
  }
  messages_.push_back({text, type, answer});
  return answer;
}

bool UiHost::showFile(const std::string& path) {
  shownFiles_.push_back(path);
  return !path.empty();
}

std::vector<Window*> UiHost::windows() const {
  std::vector<Window*> out;
  for (const auto& w : windows_) out.push_back(w.get());
  return out;
}

Window* UiHost::window(int32_t pluginId) const {
  for (auto it = windows_.rbegin(); it != windows_.rend(); ++it) {
    if ((*it)->pluginId() == pluginId) return it->get();
  }
  return nullptr;
}

Window* UiHost::window(const std::string& title) const {
  for (auto it = windows_.rbegin(); it != windows_.rend(); ++it) {
    if ((*it)->title() == title) return it->get();
  }
  return nullptr;
}

Window* UiHost::windowOf(const host::GeDialog& dialog) const {
  for (const auto& w : windows_) {
    if (w->dialog() == &dialog) return w.get();
  }
  return nullptr;
}

bool UiHost::contains(const Window* window) const {
  return std::any_of(windows_.begin(), windows_.end(),
                     [&](const auto& w) { return w.get() == window; });
}

void UiHost::forget(Window* window) {
  auto it = std::find_if(windows_.begin(), windows_.end(),
                         [&](const auto& w) { return w.get() == window; });
  if (it == windows_.end()) return;
  // Out of the list first: the window's end may reach back here.
  std::unique_ptr<Window> gone = std::move(*it);
  windows_.erase(it);
  gone.reset();
}

int32_t UiHost::dropPending(Window& window, int32_t areaId, int32_t x, int32_t y) {
  if (!drag_) return host::kCursorForbidden;
  const Drag drag = *drag_;
  drag_.reset();
  return window.drop(areaId, x, y, drag.type, drag.data);
}

void UiHost::post(int32_t id, int64_t p1, int64_t p2) {
  const bool change = id == host::kCoreDocumentChanged || id == host::kCoreViewsChanged ||
                      id == host::kCoreMaterialsChanged || id == host::kCoreObjectsChanged;
  if (change && std::any_of(pending_.begin(), pending_.end(), [&](const Pending& m) {
        return m.id == id && m.p1 == p1 && m.p2 == p2;
      }))
    return;
  pending_.push_back({id, p1, p2});
}

// Windows are painted by settle() once the queue is empty, as a window system paints: a burst of
// change messages costs one picture, not one per message.
void UiHost::dispatch() {
  if (busy_ > 0) return;
  Busy busy(*this);
  // What a receiver posts while it is told waits for the next round; a few rounds settle any
  // sane window, and a window that keeps answering messages with messages cannot hang the host.
  for (int round = 0; round < 8 && !pending_.empty(); ++round) {
    std::deque<Pending> now;
    now.swap(pending_);
    for (const Pending& m : now) tell(m.id, m.p1, m.p2);
  }
}

void UiHost::coreMessage(int32_t id, int64_t p1, int64_t p2) {
  tell(id, p1, p2);
  settleWindows();
}

void UiHost::tell(int32_t id, int64_t p1, int64_t p2) {
  delivered_.emplace_back(id, p1);
  host::Settings msg(id);
  msg.setInt64(host::kCoreParam1, p1);
  msg.setInt64(host::kCoreParam2, p2);
  // Receivers may open, close or destroy windows: walk a snapshot and check each is still here.
  for (Window* window : windows()) {
    if (!contains(window) || !window->isOpen()) continue;
    std::vector<DialogScope*> scopes;
    for (const auto& s : window->scopes()) scopes.push_back(s.get());
    for (DialogScope* scope : scopes) {
      if (!contains(window)) break;
      if (scope->dialog()) scope->dialog()->coreMessage(id, msg);
    }
    if (!contains(window)) continue;
    std::vector<AreaSlot*> slots;
    for (const auto& s : window->areas()) slots.push_back(s.get());
    for (AreaSlot* slot : slots) {
      if (!contains(window)) break;
      if (slot->area()) slot->area()->coreMessage(id, msg);
    }
  }
}

void UiHost::advance(int32_t ms) {
  for (Window* window : windows()) {
    if (contains(window) && window->isOpen()) window->advance(ms);
  }
  settle();
}

void UiHost::settle() {
  dispatch();
  settleWindows();
}

void UiHost::settleWindows() {
  for (Window* window : windows()) {
    if (contains(window) && window->isOpen()) window->settle();
  }
}

void UiHost::closeAll() {
  for (Window* window : windows()) {
    if (contains(window) && window->isOpen()) window->close();
  }
}

}  // namespace hostapp
