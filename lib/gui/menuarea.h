// The side menu of a view dialog: collapsible headers with their entries. Clicking a header
// folds it; clicking an entry runs the dialog's menu command with the entry's id.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/host.h"
#include "lib/host_array.h"

namespace pigmora {

class ViewDialogBase;

constexpr int32_t kMenuItemEntry = 0;
constexpr int32_t kMenuItemHeader = 1;

class MenuItem {
 public:
  MenuItem(const std::string& name, int32_t commandId, int32_t kind = kMenuItemEntry)
      : name_(name), commandId_(commandId), kind_(kind) {}
  virtual ~MenuItem() = default;
  MenuItem(const MenuItem&) = delete;
  MenuItem& operator=(const MenuItem&) = delete;

  // Draws the line at (x, y) up to `right`, or only places it when `measureOnly`; answers how far
  // the next line goes down (a header: the height of its entries).
  virtual int32_t draw(host::GeUserArea& area, int32_t x, int32_t y, int32_t right, int32_t bottom,
                       bool measureOnly);
  virtual void setName(const std::string& name) { name_ = name; }
  // The line under (x, y), or null.
  virtual MenuItem* hit(int32_t x, int32_t y);

  const std::string& name() const { return name_; }
  int32_t commandId() const { return commandId_; }
  int32_t kind() const { return kind_; }
  bool hovered() const { return hover_; }
  void setHover(bool on) { hover_ = on; }
  bool pressed() const { return pressed_; }
  void setPressed(bool on) { pressed_ = on; }
  host::UiRect rect() const { return {left_, top_, right_, bottom_}; }

 protected:
  // Draws (or places) this line alone; answers the line step, one text height and 5 pixels.
  int32_t drawLine(host::GeUserArea& area, int32_t x, int32_t y, int32_t right, bool measureOnly);

  std::string name_;
  bool hover_ = false, pressed_ = false;
  int32_t left_ = 0, right_ = 0, top_ = 0, bottom_ = 0;
  int32_t commandId_;
  int32_t kind_;
};

class MenuHeader : public MenuItem {
 public:
  explicit MenuHeader(const std::string& name) : MenuItem(name, 0, kMenuItemHeader) {}
  ~MenuHeader() override;

  int32_t draw(host::GeUserArea& area, int32_t x, int32_t y, int32_t right, int32_t bottom,
               bool measureOnly) override;
  MenuItem* hit(int32_t x, int32_t y) override;

  // Adds an entry that runs `commandId`; null when it cannot be had.
  MenuItem* addEntry(const std::string& name, int32_t commandId);
  size_t entryCount() const { return entries_.size(); }
  MenuItem* entry(size_t i) { return entries_[i]; }
  bool expanded() const { return expanded_; }
  void setExpanded(bool on) { expanded_ = on; }

 private:
  HostArray<MenuItem*> entries_;
  bool expanded_ = true;
};

class MenuArea : public host::GeUserArea {
 public:
  MenuArea() = default;
  ~MenuArea() override;

  void bind(ViewDialogBase* owner, int32_t scrollGroupId) {
    owner_ = owner;
    scrollGroupId_ = scrollGroupId;
  }
  // Adds a header, expanded; null when it cannot be had.
  MenuHeader* addHeader(const std::string& name);
  size_t headerCount() const { return headers_.size(); }
  MenuHeader* header(size_t i) { return headers_[i]; }
  // Frees every header and its entries.
  void clear();

  bool getMinSize(int32_t& width, int32_t& height) override;
  void sized(int32_t width, int32_t height) override;
  void draw(int32_t x1, int32_t y1, int32_t x2, int32_t y2) override;
  bool inputEvent(const host::InputEvent& event) override;
  bool cursorInfo(host::CursorInfo& info) override;
  bool listItems(std::vector<host::UiItem>& items) override;

 private:
  // Places (and, unless measuring, draws) every line; answers the height they take.
  int32_t layoutLines(bool measureOnly);
  MenuItem* hit(int32_t x, int32_t y);

  ViewDialogBase* owner_ = nullptr;
  int32_t scrollGroupId_ = 0;
  int32_t width_ = 0, height_ = 0;
  HostArray<MenuHeader*> headers_;
};

}  // namespace pigmora
