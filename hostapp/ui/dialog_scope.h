// One dialog's part of a window: the root dialog or a sub-dialog. It builds the dialog's widgets
// from its layout calls, keeps their values and delivers their commands.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/ui_dialog.h"
#include "hostapp/ui/widget.h"

namespace hostapp {

class Window;

class DialogScope : public host::DialogPort {
 public:
  DialogScope(Window& window, host::GeDialog& dialog, Widget& root);
  ~DialogScope() override;
  DialogScope(const DialogScope&) = delete;
  DialogScope& operator=(const DialogScope&) = delete;

  bool setTitle(const std::string& title) override;
  bool groupBegin(int32_t id, int32_t flags, int32_t columns, int32_t rows,
                  const std::string& title, int32_t groupFlags) override;
  bool tabGroupBegin(int32_t id, int32_t flags) override;
  bool scrollGroupBegin(int32_t id, int32_t flags, int32_t scrollFlags, int32_t width,
                        int32_t height) override;
  bool groupEnd() override;
  bool groupBorder(int32_t style) override;
  bool groupBorderSpace(int32_t left, int32_t top, int32_t right, int32_t bottom) override;
  bool groupSpace(int32_t x, int32_t y) override;
  bool addGadget(host::GadgetKind kind, int32_t id, int32_t flags, int32_t width, int32_t height,
                 const std::string& text) override;
  bool attachUserArea(host::GeUserArea& area, int32_t id) override;
  bool attachSubDialog(host::SubDialog& dialog, int32_t id) override;
  bool setValue(int32_t id, const host::Value& value) override;
  bool getValue(int32_t id, host::Value& out) const override;
  bool setRange(int32_t id, double min, double max, double step, int32_t format) override;
  bool enable(int32_t id, bool on) override;
  bool close() override;
  bool isOpen() const override;
  bool localToScreen(int32_t& x, int32_t& y) const override;
  bool visibleArea(int32_t scrollId, host::UiRect& rect) const override;
  bool setTimer(int32_t ms) override;
  void layoutChanged() override;
  void released() override;

  // Host side.
  host::GeDialog* dialog() const { return dialog_; }
  Widget& root() const { return root_; }
  // This dialog's gadget with the id (not a sub-dialog's), or null.
  Widget* find(int32_t id) const;
  // Tells the dialog that gadget `id` changed; false when the dialog is gone.
  bool command(int32_t id);
  void advance(int32_t ms);
  // Forgets the dialog object, which no longer reaches this window.
  void detach();

 private:
  Widget* add(WidgetKind kind, int32_t id, int32_t flags);
  Window& window_;
  host::GeDialog* dialog_;
  Widget& root_;
  std::vector<Widget*> stack_;
  int32_t timerMs_ = 0, timerElapsed_ = 0;
};

}  // namespace hostapp
