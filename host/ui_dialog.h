// User interface family: the dialog base classes. A plug-in dialog overrides the virtual
// operations; the host calls them while the window is open. Everything else forwards to the
// window the host bound the dialog to, and answers false while there is none.
#pragma once

#include <cstdint>
#include <string>

#include "host/settings.h"
#include "host/ui_ports.h"
#include "host/ui_types.h"

namespace host {

class GeDialog {
 public:
  GeDialog() = default;
  GeDialog(const GeDialog&) = delete;
  GeDialog& operator=(const GeDialog&) = delete;
  virtual ~GeDialog() {
    if (port_) port_->released();
  }

  // The host's operations, in its slot order.
  // Builds the gadgets; false refuses the window.
  virtual bool createLayout() { return true; }
  // Puts the first values into the gadgets, after the layout.
  virtual bool initValues() { return true; }
  // Host change messages (604, 650, -1012, -1009) and special events, with their parameters
  // under kCoreParam1 and kCoreParam2.
  virtual bool coreMessage(int32_t id, const Settings& msg) {
    (void)id;
    (void)msg;
    return true;
  }
  // A gadget changed or was clicked.
  virtual bool command(int32_t id, const Settings& msg) {
    (void)id;
    (void)msg;
    return true;
  }
  // Any other window message; 0 leaves it to the host.
  virtual int32_t message(int32_t id, const Settings& msg) {
    (void)id;
    (void)msg;
    return 0;
  }
  // The user asks to close the window; true keeps it open.
  virtual bool askClose() { return false; }
  // The window is going away; gadget values can still be read.
  virtual void destroyWindow() {}
  virtual void timer(const Settings& msg) { (void)msg; }

  // Opening, through the host's user interface (plug-in side). Position and size in screen
  // pixels; kDefaultPosition lets the host choose.
  bool open(int32_t type, int32_t pluginId, int32_t x, int32_t y, int32_t defaultWidth,
            int32_t defaultHeight);
  // Reopens the window the host had open under `pluginId` when it rebuilds its layout.
  bool restore(int32_t pluginId, void* secret);

  bool close() { return port_ && port_->close(); }
  bool isOpen() const { return port_ && port_->isOpen(); }

  // Layout, inside createLayout.
  bool setTitle(const std::string& title) { return port_ && port_->setTitle(title); }
  bool groupBegin(int32_t id, int32_t flags, int32_t columns, int32_t rows,
                  const std::string& title = {}, int32_t groupFlags = 0) {
    return port_ && port_->groupBegin(id, flags, columns, rows, title, groupFlags);
  }
  bool tabGroupBegin(int32_t id, int32_t flags) { return port_ && port_->tabGroupBegin(id, flags); }
  bool scrollGroupBegin(int32_t id, int32_t flags, int32_t scrollFlags, int32_t width = 0,
                        int32_t height = 0) {
    return port_ && port_->scrollGroupBegin(id, flags, scrollFlags, width, height);
  }
  bool groupEnd() { return port_ && port_->groupEnd(); }
  bool groupBorder(int32_t style) { return port_ && port_->groupBorder(style); }
  bool groupBorderSpace(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    return port_ && port_->groupBorderSpace(left, top, right, bottom);
  }
  bool groupSpace(int32_t x, int32_t y) { return port_ && port_->groupSpace(x, y); }
  bool addStaticText(int32_t id, int32_t flags, int32_t width, int32_t height,
                     const std::string& text) {
    return add(GadgetKind::kStaticText, id, flags, width, height, text);
  }
  bool addButton(int32_t id, int32_t flags, int32_t width, int32_t height,
                 const std::string& text) {
    return add(GadgetKind::kButton, id, flags, width, height, text);
  }
  bool addEditText(int32_t id, int32_t flags, int32_t width = 0, int32_t height = 0) {
    return add(GadgetKind::kEditText, id, flags, width, height, {});
  }
  bool addEditNumber(int32_t id, int32_t flags, int32_t width = 0, int32_t height = 0) {
    return add(GadgetKind::kEditNumber, id, flags, width, height, {});
  }
  bool addCheckbox(int32_t id, int32_t flags, int32_t width, int32_t height,
                   const std::string& text) {
    return add(GadgetKind::kCheckBox, id, flags, width, height, text);
  }
  bool addSlider(int32_t id, int32_t flags, int32_t width = 0, int32_t height = 0) {
    return add(GadgetKind::kSlider, id, flags, width, height, {});
  }
  bool addUserArea(int32_t id, int32_t flags, int32_t width = 0, int32_t height = 0) {
    return add(GadgetKind::kUserArea, id, flags, width, height, {});
  }
  // A file-name field: a label, the name and a button that would browse for a file.
  bool addFilename(int32_t id, int32_t flags, const std::string& label) {
    return add(GadgetKind::kFilename, id, flags, 0, 0, label);
  }
  bool addSeparator(int32_t flags) { return add(GadgetKind::kSeparator, 0, flags, 0, 0, {}); }
  bool addSubDialog(int32_t id, int32_t flags, int32_t width = 0, int32_t height = 0) {
    return add(GadgetKind::kSubDialog, id, flags, width, height, {});
  }
  bool attachUserArea(GeUserArea& area, int32_t id) {
    return port_ && port_->attachUserArea(area, id);
  }
  bool attachSubDialog(SubDialog& dialog, int32_t id) {
    return port_ && port_->attachSubDialog(dialog, id);
  }

  // Values by gadget id.
  bool setString(int32_t id, const std::string& text) {
    return port_ && port_->setValue(id, Value::ofString(text));
  }
  bool getString(int32_t id, std::string& out) const {
    Value v;
    if (!port_ || !port_->getValue(id, v)) return false;
    out = v.toString();
    return true;
  }
  bool setFilename(int32_t id, const std::string& path) {
    return port_ && port_->setValue(id, Value::ofFilename(path));
  }
  bool getFilename(int32_t id, std::string& out) const { return getString(id, out); }
  bool setBool(int32_t id, bool on) { return port_ && port_->setValue(id, Value::ofBool(on)); }
  bool getBool(int32_t id, bool& out) const {
    Value v;
    if (!port_ || !port_->getValue(id, v) || !v.isNumeric()) return false;
    out = v.toBool();
    return true;
  }
  bool setInt32(int32_t id, int32_t value) {
    return port_ && port_->setValue(id, Value::ofInt32(value));
  }
  bool getInt32(int32_t id, int32_t& out) const {
    Value v;
    if (!port_ || !port_->getValue(id, v) || !v.isNumeric()) return false;
    out = v.toInt32();
    return true;
  }
  // Sets a slider or number field with its range, step and display format.
  bool setReal(int32_t id, double value, double min, double max, double step, int32_t format) {
    return port_ && port_->setRange(id, min, max, step, format) &&
           port_->setValue(id, Value::ofReal(value));
  }
  bool setReal(int32_t id, double value) {
    return port_ && port_->setValue(id, Value::ofReal(value));
  }
  bool getReal(int32_t id, double& out) const {
    Value v;
    if (!port_ || !port_->getValue(id, v) || !v.isNumeric()) return false;
    out = v.toReal();
    return true;
  }
  bool enable(int32_t id, bool on) { return port_ && port_->enable(id, on); }

  bool localToScreen(int32_t& x, int32_t& y) const { return port_ && port_->localToScreen(x, y); }
  bool visibleArea(int32_t scrollId, UiRect& rect) const {
    return port_ && port_->visibleArea(scrollId, rect);
  }
  bool setTimer(int32_t ms) { return port_ && port_->setTimer(ms); }
  void layoutChanged() {
    if (port_) port_->layoutChanged();
  }

  // Host side: the host binds the dialog to its window when it opens it, and unbinds it.
  void bindPort(DialogPort* port) { port_ = port; }
  DialogPort* port() const { return port_; }

 private:
  bool add(GadgetKind kind, int32_t id, int32_t flags, int32_t width, int32_t height,
           const std::string& text) {
    return port_ && port_->addGadget(kind, id, flags, width, height, text);
  }
  DialogPort* port_ = nullptr;
};

// A dialog whose open() returns only when the user has closed it. The subclass keeps the user's
// answer in its own fields.
class GeModalDialog : public GeDialog {
 public:
  bool open(int32_t pluginId, int32_t x, int32_t y, int32_t defaultWidth, int32_t defaultHeight);
};

// A dialog that lives inside a sub-dialog gadget of another dialog. It has its own gadget ids
// and receives their commands; it is never opened as a window of its own.
class SubDialog : public GeDialog {};

}  // namespace host
