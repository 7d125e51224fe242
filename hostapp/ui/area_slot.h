// A user area attached to a user-area gadget: its picture, its drawing state, and the mouse the
// scripted user moves over it.
#pragma once

#include <cstdint>
#include <deque>
#include <string>

#include "host/ui_area.h"
#include "hostapp/ui/canvas.h"

namespace hostapp {

class DialogScope;
class Window;
struct Widget;

class AreaSlot : public host::AreaPort {
 public:
  AreaSlot(Window& window, DialogScope& scope, Widget& widget, host::GeUserArea& area);
  ~AreaSlot() override;

  int32_t width() const override;
  int32_t height() const override;
  void redraw() override { dirty_ = true; }
  void layoutChanged() override;
  host::Vector colorOf(int32_t colorId) const override;
  void setPen(const host::Vector& rgb) override;
  void fillRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2) override;
  void line(int32_t x1, int32_t y1, int32_t x2, int32_t y2) override;
  void border(int32_t style, int32_t x1, int32_t y1, int32_t x2, int32_t y2) override;
  void setTextColor(const host::Vector& fg, const host::Vector& bg,
                    bool transparentBackground) override;
  void text(const std::string& text, int32_t x, int32_t y, int32_t align) override;
  int32_t textWidth(const std::string& text) const override;
  int32_t textHeight() const override;
  void bitmap(const host::Bitmap& bmp, int32_t x, int32_t y, int32_t w, int32_t h, int32_t sx,
              int32_t sy, int32_t sw, int32_t sh, int32_t mode) override;
  bool localToScreen(int32_t& x, int32_t& y) const override;
  bool pollMouse(host::MouseState& state) override;
  void idle(int32_t ms) override;
  // Milliseconds drag loops have waited, in the headless host's own time.
  int64_t idleTime() const { return idled_; }
  bool startDrag(int32_t type, const std::string& data) override;
  bool setTimer(int32_t ms) override;
  host::GeDialog* dialog() const override;
  void released() override { area_ = nullptr; }

  // Host side.
  host::GeUserArea* area() const { return area_; }
  Widget& widget() const { return widget_; }
  // Asks the area for its minimum size; false when it has no wish or is gone.
  bool minimumSize(int32_t& width, int32_t& height);
  // Tells the area its size when it changed, and draws it when it asked for a draw.
  void update();
  // The area's picture, drawn up to date.
  const Canvas& picture();
  // Counts what was drawn into the picture, so that a viewer can tell when it changed.
  uint64_t drawings() const { return drawings_; }
  // Delivers input; during it the area polls `path` (positions after the press).
  bool input(const host::InputEvent& event, std::deque<host::MouseState> path);
  // Timers: runs the area's timer for every full interval in `ms`.
  void advance(int32_t ms);

 private:
  void drawNow();
  Window& window_;
  DialogScope& scope_;
  Widget& widget_;
  host::GeUserArea* area_;
  Canvas canvas_;
  int32_t sizedW_ = -1, sizedH_ = -1;
  bool dirty_ = true;
  bool drawing_ = false;
  uint64_t drawings_ = 0;
  Rgba pen_{0, 0, 0, 255}, textFg_{0, 0, 0, 255}, textBg_{0, 0, 0, 255};
  bool textTransparent_ = true;
  std::deque<host::MouseState> path_;
  host::MouseState last_;
  int32_t timerMs_ = 0, timerElapsed_ = 0;
  int64_t idled_ = 0;
};

}  // namespace hostapp
