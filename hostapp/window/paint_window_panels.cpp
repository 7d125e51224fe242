// The paint window's attribute panel and popup menus: the mouse and the keyboard over them.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "hostapp/core/embedded_host.h"
#include "hostapp/scene/document.h"
#include "hostapp/ui/ui_host.h"
#include "hostapp/window/attribute_models.h"
#include "hostapp/window/gl_scene.h"
#include "hostapp/window/paint_window.h"

namespace hostapp {

namespace {

constexpr int32_t kBarHeight = 24;  // as the window's menu and status bars
constexpr int32_t kRadius = 10200;

// The character a key types into a field, or 0.
char typed(const InputRecord& e) {
  const std::string& k = e.key;
  if (k == "space") return ' ';
  if (k.size() == 8 && k.compare(0, 7, "keypad ") == 0) return k[7];
  if (k.size() != 1) return 0;
  const char c = k[0];
  if (e.shift && c >= 'a' && c <= 'z') return static_cast<char>(c - 'a' + 'A');
  if (e.shift && c == '-') return '_';
  return c;
}

}  // namespace

int32_t PaintWindow::attributeWidth() const {
  return showAttributes_ && width_ > AttributePanel::kWidth ? AttributePanel::kWidth : 0;
}

AttributeModel& PaintWindow::attributeModel() {
  if (attributes_.activeTab() == 1) return *prefsModel_;
  return *toolModel_;
}

void PaintWindow::follow(const std::function<void(int32_t, int32_t)>& moved) {
  InputRecord e;
  for (;;) {
    if (!nextEvent(e, true)) {
      if (scripted_) return;  // a script that ends mid-drag lets go of the button
      continue;
    }
    if (e.type == InputRecord::Type::kMove || e.type == InputRecord::Type::kUp) {
      mouseX_ = e.x;
      mouseY_ = e.y;
      moved(e.x, e.y);
      if (e.type == InputRecord::Type::kUp) return;
      frame();
      continue;
    }
    deferred_.push_back(e);
    if (e.type == InputRecord::Type::kQuit) return;
  }
}

int32_t PaintWindow::pickMenu(const std::vector<host::PopupMenu::Entry>& entries, int32_t x,
                              int32_t y) {
  if (entries.empty()) return host::kMenuDismissed;
  popup_.open(entries, x, y, host_.uiHost().font(), width_, height_);
  popup_.hover(mouseX_, mouseY_);
  const int32_t openX = mouseX_, openY = mouseY_;
  bool moved = false;  // a release picks only after the mouse went somewhere
  int32_t picked = host::kMenuDismissed;
  while (popup_.isOpen()) {
    frame();
    InputRecord e;
    if (!nextEvent(e, true)) {
      if (scripted_) break;  // a script that ends with a menu open dismisses it
      continue;
    }
    using Type = InputRecord::Type;
    if (e.type == Type::kMove || e.type == Type::kDown || e.type == Type::kUp) {
      mouseX_ = e.x;
      mouseY_ = e.y;
      moved = moved || std::abs(e.x - openX) > 4 || std::abs(e.y - openY) > 4;
      popup_.hover(e.x, e.y);
      if (e.type == Type::kMove) continue;
      if (e.type == Type::kDown && !popup_.contains(e.x, e.y)) break;
      const MenuOverlay::Entry* hit = popup_.entryAt(e.x, e.y);
      if (hit && !hit->isSubmenu() && (e.type == Type::kDown || moved)) {
        picked = hit->id;
        break;
      }
    } else if (e.type == Type::kKey && e.key == "escape") {
      break;
    } else if (e.type == Type::kQuit) {
      deferred_.push_back(e);
      break;
    } else if (e.type == Type::kResize) {
      handle(e);
    }
  }
  popup_.close();
  return picked;
}

bool PaintWindow::changeAttribute(const AttributeRow& row, const host::Value& value) {
  AttributeModel& model = attributeModel();
  const bool ok = model.change(row, value);
  if (!ok && !model.message.empty()) status(model.message);
  return ok;
}

void PaintWindow::mouseInAttributes(const InputRecord& press) {
  AttributeModel& model = attributeModel();
  attributes_.refresh(model);
  const int32_t px = press.x, py = press.y - kBarHeight;
  const AttributePanel::Hit hit = attributes_.hit(px, py);
  using Part = AttributePanel::Part;
  if (attributes_.editRow() >= 0 &&
      (hit.row != attributes_.editRow() || hit.part != Part::kValueBox))
    commitEdit();
  if (hit.part == Part::kTab) {
    attributes_.setActiveTab(hit.row);
    return;
  }
  if (hit.part == Part::kNone || hit.row < 0) return;
  const AttributeRow row = attributes_.rows()[static_cast<size_t>(hit.row)];
  if (!row.enabled && row.kind != RowKind::kHeading) {
    status(row.label + " cannot be changed with the current settings.");
    return;
  }
  const int32_t top = attributes_.rowTop(hit.row);
  switch (row.kind) {
    case RowKind::kHeading:
      return;
    case RowKind::kCheck:
      changeAttribute(row, host::Value::ofBool(!row.value.toBool()));
      break;
    case RowKind::kButton:
      if (model.press(row))
        status("Pressed " + row.label + ".");
      else
        status(model.message.empty() ? row.label + " did nothing." : model.message);
      scene_->invalidateMeshes();
      break;
    case RowKind::kChoice: {
      std::vector<host::PopupMenu::Entry> entries;
      for (size_t i = 0; i < row.choices.size(); ++i) {
        std::string text = row.choices[i].second;
        if (row.choices[i].first == row.value.toInt32()) text += host::kCheckMarkSuffix;
        entries.push_back({static_cast<int32_t>(i + 1), text, {}});
      }
      const int32_t pick = pickMenu(entries, attributes_.barOf(row, top).x1, press.y + 10);
      if (pick > 0 && pick <= static_cast<int32_t>(row.choices.size()))
        changeAttribute(row,
                        host::Value::ofInt32(row.choices[static_cast<size_t>(pick - 1)].first));
      break;
    }
    case RowKind::kSlider: {
      if (hit.part == Part::kValueBox) {
        attributes_.edit(hit.row, AttributePanel::numberText(row, row.value.toReal()));
        return;
      }
      if (hit.part != Part::kBar) return;
      const host::UiRect bar = attributes_.barOf(row, top);
      auto set = [&](int32_t x, int32_t) {
        changeAttribute(row, host::Value::ofReal(AttributePanel::sliderValue(row, bar, x)));
      };
      set(press.x, press.y);
      follow(set);
      break;
    }
    case RowKind::kText:
      attributes_.edit(hit.row, row.value.toString());
      return;
    case RowKind::kColor: {
      if (hit.part != Part::kRed && hit.part != Part::kGreen && hit.part != Part::kBlue) return;
      const int32_t c = hit.part == Part::kRed ? 0 : hit.part == Part::kGreen ? 1 : 2;
      const host::UiRect bar = attributes_.colorBar(top, c);
      host::Vector rgb = row.value.toVector();
      auto set = [&](int32_t x, int32_t) {
        const double v =
            std::clamp(static_cast<double>(x - bar.x1) / std::max(bar.width() - 1, 1), 0.0, 1.0);
        (c == 0 ? rgb.x : c == 1 ? rgb.y : rgb.z) = v;
        changeAttribute(row, host::Value::ofVector(rgb));
      };
      set(press.x, press.y);
      follow(set);
      break;
    }
    case RowKind::kCurve: {
      if (hit.part != Part::kCurve) return;
      const host::UiRect g = attributes_.curveOf(top);
      host::Spline curve = row.value.toSpline();
      if (curve.knots.empty()) return;
      auto at = [&](int32_t x, int32_t y) {
        return std::pair<double, double>(
            std::clamp(static_cast<double>(x - g.x1) / std::max(g.width(), 1), 0.0, 1.0),
            std::clamp(static_cast<double>(g.y2 - y) / std::max(g.height(), 1), 0.0, 1.0));
      };
      // The knot nearest the press follows the mouse; the end knots keep their x.
      const auto [x0, y0] = at(press.x, press.y);
      size_t knot = 0;
      for (size_t k = 1; k < curve.knots.size(); ++k)
        if (std::hypot(curve.knots[k].x - x0, curve.knots[k].y - y0) <
            std::hypot(curve.knots[knot].x - x0, curve.knots[knot].y - y0))
          knot = k;
      auto set = [&](int32_t x, int32_t y) {
        const auto [cx, cy] = at(x, y);
        host::Spline::Knot& k = curve.knots[knot];
        if (knot > 0 && knot + 1 < curve.knots.size())
          k.x = std::clamp(cx, curve.knots[knot - 1].x, curve.knots[knot + 1].x);
        k.y = cy;
        changeAttribute(row, host::Value::ofSpline(curve));
      };
      set(press.x, press.y);
      follow(set);
      break;
    }
  }
  host_.uiHost().settle();
}

void PaintWindow::wheelInAttributes(const InputRecord& e) {
  AttributeModel& model = attributeModel();
  attributes_.refresh(model);
  const AttributePanel::Hit hit = attributes_.hit(e.x, e.y - kBarHeight);
  if (hit.part == AttributePanel::Part::kBar || hit.part == AttributePanel::Part::kValueBox) {
    // The wheel over a slider steps it: by a hundredth of its range, or by a tenth of its value
    // on a logarithmic one.
    const AttributeRow row = attributes_.rows()[static_cast<size_t>(hit.row)];
    if (!row.enabled) return;
    const double v = row.value.toReal();
    double next =
        row.logScale ? v * std::pow(1.1, e.wheel) : v + e.wheel * (row.max - row.min) / 100;
    if (row.whole) next = std::round(next) == v ? v + (e.wheel > 0 ? 1 : -1) : std::round(next);
    changeAttribute(row, host::Value::ofReal(std::clamp(next, row.min, row.max)));
    return;
  }
  attributes_.scroll(-e.wheel * 44, height_ - 2 * kBarHeight);
}

bool PaintWindow::typesIn(const InputRecord& e) {
  return attributes_.editRow() >= 0 && typed(e) != 0 && !e.ctrl && !e.alt;
}

void PaintWindow::editText(const InputRecord& e) {
  if (attributes_.editRow() < 0) return;  // text typed beside every field goes nowhere
  // Control characters have keys of their own; the rest goes in as typed.
  std::string text;
  for (char c : e.text)
    if (static_cast<uint8_t>(c) >= 0x20 && c != 0x7F) text += c;
  attributes_.insert(text);
}

bool PaintWindow::editKey(const InputRecord& e) {
  if (attributes_.editRow() < 0) return false;
  if (e.key == "return" || e.key == "keypad enter" || e.key == "tab") {
    commitEdit();
  } else if (e.key == "escape") {
    attributes_.edit(-1, "");
  } else if (e.key == "backspace" || e.key == "delete") {
    attributes_.erase(e.key == "delete");
  } else if (e.key == "left" || e.key == "right") {
    attributes_.moveCursor(e.key == "left" ? -1 : 1);
  } else if (e.key == "home" || e.key == "end") {
    attributes_.cursorTo(e.key == "end");
  } else if (const char c = typed(e); c && !e.ctrl) {
    attributes_.insert(std::string(1, c));
  } else {
    return e.ctrl ? false : true;  // shortcuts still work while typing
  }
  return true;
}

void PaintWindow::commitEdit() {
  const int32_t index = attributes_.editRow();
  const std::string text = attributes_.editText();
  attributes_.edit(-1, "");
  AttributeModel& model = attributeModel();
  attributes_.refresh(model);
  if (index < 0 || index >= static_cast<int32_t>(attributes_.rows().size())) return;
  const AttributeRow row = attributes_.rows()[static_cast<size_t>(index)];
  if (row.kind == RowKind::kText) {
    changeAttribute(row, host::Value::ofString(text));
    return;
  }
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (text.empty() || !end || *end != '\0' || !std::isfinite(v)) {
    status(row.label + " takes a number, not \"" + text + "\".");
    return;
  }
  if (changeAttribute(row, host::Value::ofReal(v)))
    status(row.label + " " + AttributePanel::numberText(row, v) + ".");
}

void PaintWindow::stepRadius(double factor) {
  attributes_.refresh(*toolModel_);
  for (const AttributeRow& row : attributes_.rows()) {
    if (row.id != kRadius || row.kind != RowKind::kSlider) continue;
    const double v = std::clamp(row.value.toReal() * factor, row.min, row.max);
    if (toolModel_->change(row, host::Value::ofReal(v)))
      status("Radius " + AttributePanel::numberText(row, v) + ".");
  }
}

}  // namespace hostapp
