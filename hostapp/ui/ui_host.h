// The embedded host's user interface: headless. Dialogs open as windows holding widget trees,
// user areas draw on software pictures, and what a person would do (pick a menu entry, answer a
// message box, fill in a modal dialog) comes from answers that tests and the command line queue
// beforehand. Everything shown is recorded.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "host/ui.h"
#include "hostapp/ui/font.h"
#include "hostapp/ui/window.h"

namespace hostapp {

class UiHost : public host::UserInterface {
 public:
  UiHost();
  ~UiHost() override;
  UiHost(const UiHost&) = delete;
  UiHost& operator=(const UiHost&) = delete;

  bool openDialog(host::GeDialog& dialog, int32_t type, int32_t pluginId, int32_t x, int32_t y,
                  int32_t defaultWidth, int32_t defaultHeight) override;
  bool restoreDialog(host::GeDialog& dialog, int32_t pluginId, void* secret) override;
  int32_t popupMenu(const host::PopupMenu& menu, int32_t screenX, int32_t screenY,
                    int32_t flags) override;
  int32_t messageBox(const std::string& text, int32_t type) override;
  bool showFile(const std::string& path) override;

  // Windows, front-most last.
  std::vector<Window*> windows() const;
  Window* window(int32_t pluginId) const;
  Window* window(const std::string& title) const;
  Window* windowOf(const host::GeDialog& dialog) const;
  bool contains(const Window* window) const;

  // The scripted user's answers, used in order. A menu pick names an entry by its text (without
  // a check mark), or by "Submenu/Entry", or by id; with none queued a menu is dismissed.
  // Built in place: moving a variant that holds the id trips a false maybe-uninitialized
  // warning of GCC 12 at -O3.
  void queueMenuPick(const std::string& text) {
    menuPicks_.emplace_back(std::in_place_index<0>, text);
  }
  void queueMenuPick(int32_t id) { menuPicks_.emplace_back(std::in_place_index<1>, id); }
  // Message-box answers (kAnswerYes ...); with none queued a question is answered No.
  void queueAnswer(int32_t answer) { answers_.push_back(answer); }
  // Forgets answers no message box took.
  void clearAnswers() { answers_.clear(); }
  // What the user does in the next modal dialog; with none queued the user closes it at once.
  using ModalScript = std::function<void(Window&)>;
  void queueModal(ModalScript script) { modalScripts_.push_back(std::move(script)); }
  size_t queuedModals() const { return modalScripts_.size(); }
  size_t queuedMenuPicks() const { return menuPicks_.size(); }
  // Forgets answers nothing asked for, so that they do not answer a later question.
  void dropQueuedAnswers() {
    modalScripts_.clear();
    menuPicks_.clear();
    answers_.clear();
  }

  struct ShownMenu {
    host::PopupMenu menu;
    int32_t x = 0, y = 0, flags = 0;
    int32_t picked = host::kMenuDismissed;
  };
  struct ShownMessage {
    std::string text;
    int32_t type = 0, answer = 0;
  };
  const std::vector<ShownMenu>& menus() const { return menus_; }
  const std::vector<ShownMessage>& messages() const { return messages_; }
  const std::vector<std::string>& shownFiles() const { return shownFiles_; }
  // Queued answers that matched nothing, as sentences.
  const std::vector<std::string>& scriptErrors() const { return scriptErrors_; }

  // A drag an area started, until it is dropped somewhere.
  struct Drag {
    int32_t type = 0;
    std::string data;
  };
  const Drag* pendingDrag() const { return drag_ ? &*drag_ : nullptr; }
  void startDrag(int32_t type, const std::string& data) { drag_ = Drag{type, data}; }
  // Drops the pending drag on a user area; the cursor the area showed, or kCursorForbidden.
  int32_t dropPending(Window& window, int32_t areaId, int32_t x, int32_t y);

  // Sends a core message (host change message or special event) to every open dialog and to the
  // user areas in them, now.
  void coreMessage(int32_t id, int64_t p1 = 0, int64_t p2 = 0);
  // Queues a core message, as the host's event loop delivers it once the code that caused it has
  // returned: the next settle() delivers it. A change message (604, 650, -1012, -1009) equal to
  // one already waiting is not queued again.
  void post(int32_t id, int64_t p1 = 0, int64_t p2 = 0);
  size_t pendingMessages() const { return pending_.size(); }
  // Every core message delivered so far, in order (id, first parameter).
  const std::vector<std::pair<int32_t, int64_t>>& delivered() const { return delivered_; }

  // While the user's action runs (a click, a command, a modal dialog), queued messages wait.
  class Busy {
   public:
    explicit Busy(UiHost& host) : host_(host) { ++host_.busy_; }
    ~Busy() { --host_.busy_; }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

   private:
    UiHost& host_;
  };
  // Lets `ms` milliseconds pass: timers run.
  void advance(int32_t ms);
  // Delivers the queued core messages unless an action is still running, then brings every
  // window up to date: layout and pending draws.
  void settle();
  // Closes every open window (the plug-in is about to go).
  void closeAll();

  // A window on the screen answers popup menus and feeds the mouse of a press live: the user
  // picks from the menu drawn there, and an area's polled drag loop sees the real moves (in area
  // coordinates) until the button comes up. Queued picks still come first.
  using LiveMenu = std::function<int32_t(const host::PopupMenu&)>;
  using LiveMouse = std::function<void(host::MouseState&)>;
  void setLiveMenu(LiveMenu menu) { liveMenu_ = std::move(menu); }
  void setLiveMouse(LiveMouse mouse) { liveMouse_ = std::move(mouse); }
  const LiveMouse& liveMouse() const { return liveMouse_; }

  // Host side.
  Font& font() { return *font_; }
  // A dialog object went away: its window goes with it.
  void forget(Window* window);

 private:
  int32_t pickFrom(const host::PopupMenu& menu);
  void dispatch();
  // Tells every open dialog and area; windows are painted by the caller.
  void tell(int32_t id, int64_t p1, int64_t p2);
  void settleWindows();
  struct Pending {
    int32_t id;
    int64_t p1, p2;
  };
  std::deque<Pending> pending_;
  std::vector<std::pair<int32_t, int64_t>> delivered_;
  int32_t busy_ = 0;
  std::unique_ptr<Font> font_;
  std::vector<std::unique_ptr<Window>> windows_;
  std::map<int32_t, std::pair<int32_t, int32_t>> lastPositions_;
  std::deque<std::variant<std::string, int32_t>> menuPicks_;
  std::deque<int32_t> answers_;
  std::deque<ModalScript> modalScripts_;
  std::vector<ShownMenu> menus_;
  std::vector<ShownMessage> messages_;
  std::vector<std::string> shownFiles_, scriptErrors_;
  std::optional<Drag> drag_;
  int32_t opened_ = 0;
  LiveMenu liveMenu_;
  LiveMouse liveMouse_;
};

}  // namespace hostapp
