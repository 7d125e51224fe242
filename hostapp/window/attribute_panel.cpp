#include "hostapp/window/attribute_panel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "hostapp/ui/font.h"
#include "hostapp/window/window_theme.h"

namespace hostapp {

namespace {

constexpr int32_t kRowHeight = 22;
constexpr int32_t kCurveHeight = 72;
constexpr int32_t kLabelX = 8;
constexpr int32_t kControlX = 124;  // where the controls begin, right of the labels
constexpr int32_t kRight = AttributePanel::kWidth - 8;
constexpr int32_t kValueBox = 56;  // the number box right of a slider
using theme::kAccent;
using theme::kButton;
using theme::kDim;
using theme::kEdge;
using theme::kField;
using theme::kHeading;
using theme::kTabBack;
using theme::kText;
constexpr Rgba kBack = theme::kPanel;

// Text cut to a width, ending in an ellipsis when cut.
std::string fitted(Font& font, const std::string& text, int32_t width) {
  if (font.width(text) <= width) return text;
  std::string t = text;
  while (!t.empty() && font.width(t + "...") > width) t.erase(utf8Before(t, t.size()));
  return t + "...";
}

// The text of a field being typed, with the cursor drawn as a bar.
std::string withCursor(const std::string& text, size_t cursor) {
  return text.substr(0, cursor) + "|" + text.substr(cursor);
}

Rgba channel(double v) {
  const auto c = static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0));
  return {c, c, c, 255};
}

}  // namespace

size_t utf8Before(const std::string& text, size_t at) {
  at = std::min(at, text.size());
  if (at == 0) return 0;
  size_t p = at - 1;
  // Back over continuation bytes to the lead byte of at most a four-byte sequence.
  while (p > 0 && at - p < 4 && (static_cast<uint8_t>(text[p]) & 0xC0) == 0x80) --p;
  return utf8After(text, p) == at ? p : at - 1;
}

size_t utf8After(const std::string& text, size_t at) {
  if (at >= text.size()) return text.size();
  const auto lead = static_cast<uint8_t>(text[at]);
  const size_t length = lead < 0x80           ? 1
                        : (lead >> 5) == 0x6  ? 2
                        : (lead >> 4) == 0xE  ? 3
                        : (lead >> 3) == 0x1E ? 4
                                              : 1;
  if (at + length > text.size()) return at + 1;
  for (size_t k = 1; k < length; ++k)
    if ((static_cast<uint8_t>(text[at + k]) & 0xC0) != 0x80) return at + 1;
  return at + length;
}

void AttributePanel::insert(const std::string& text) {
  editText_.insert(cursor_, text);
  cursor_ += text.size();
}

void AttributePanel::erase(bool forward) {
  const size_t from = forward ? cursor_ : utf8Before(editText_, cursor_);
  const size_t to = forward ? utf8After(editText_, cursor_) : cursor_;
  editText_.erase(from, to - from);
  cursor_ = from;
}

void AttributePanel::moveCursor(int32_t characters) {
  for (; characters < 0; ++characters) cursor_ = utf8Before(editText_, cursor_);
  for (; characters > 0; --characters) cursor_ = utf8After(editText_, cursor_);
}

int32_t AttributePanel::heightOf(const AttributeRow& row) {
  return row.kind == RowKind::kCurve ? kCurveHeight + 6 : kRowHeight;
}

int32_t AttributePanel::rowTop(int32_t row) const {
  int32_t y = kTabHeight + 4 - scroll_;
  for (int32_t i = 0; i < row && i < static_cast<int32_t>(rows_.size()); ++i)
    y += heightOf(rows_[static_cast<size_t>(i)]);
  return y;
}

void AttributePanel::scroll(int32_t pixels, int32_t height) {
  int32_t total = 0;
  for (const AttributeRow& r : rows_) total += heightOf(r);
  const int32_t room = std::max(height - kTabHeight - 8, 0);
  scroll_ = std::clamp(scroll_ + pixels, 0, std::max(total - room, 0));
}

host::UiRect AttributePanel::barOf(const AttributeRow& row, int32_t top) const {
  const int32_t right = row.kind == RowKind::kSlider ? kRight - kValueBox - 6 : kRight;
  return {kControlX, top + 3, right, top + kRowHeight - 4};
}

host::UiRect AttributePanel::curveOf(int32_t top) const {
  return {kControlX, top + 3, kRight, top + 3 + kCurveHeight - 1};
}

host::UiRect AttributePanel::colorBar(int32_t top, int32_t component) const {
  // A swatch of 22 pixels, then the red, green and blue bars side by side.
  const int32_t x0 = kControlX + 26, span = (kRight - x0 + 4) / 3;
  return {x0 + component * span, top + 5, x0 + (component + 1) * span - 5, top + kRowHeight - 6};
}

double AttributePanel::sliderPosition(const AttributeRow& row, double value) {
  if (!(row.max > row.min)) return 0.0;
  if (row.logScale && row.min > 0)
    return std::clamp(std::log(std::max(value, row.min) / row.min) / std::log(row.max / row.min),
                      0.0, 1.0);
  return std::clamp((value - row.min) / (row.max - row.min), 0.0, 1.0);
}

double AttributePanel::sliderValue(const AttributeRow& row, const host::UiRect& bar, int32_t x) {
  const double t =
      std::clamp(static_cast<double>(x - bar.x1) / std::max(bar.width() - 1, 1), 0.0, 1.0);
  double v = row.logScale && row.min > 0 ? row.min * std::pow(row.max / row.min, t)
                                         : row.min + t * (row.max - row.min);
  if (row.whole) v = std::round(v);
  return std::clamp(v, row.min, row.max);
}

std::string AttributePanel::numberText(const AttributeRow& row, double value) {
  char text[48];
  if (row.whole)
    std::snprintf(text, sizeof text, "%.0f", value);
  else if (std::fabs(value) >= 100)
    std::snprintf(text, sizeof text, "%.1f", value);
  else
    std::snprintf(text, sizeof text, "%.3g", value);
  return text;
}

AttributePanel::Hit AttributePanel::hit(int32_t x, int32_t y) const {
  Hit h;
  if (x < 0 || x >= kWidth || y < 0) return h;
  if (y < kTabHeight) {
    if (tabs_.empty()) return h;
    h.part = Part::kTab;
    h.row = std::min(x * static_cast<int32_t>(tabs_.size()) / kWidth,
                     static_cast<int32_t>(tabs_.size()) - 1);
    return h;
  }
  for (int32_t i = 0; i < static_cast<int32_t>(rows_.size()); ++i) {
    const AttributeRow& row = rows_[static_cast<size_t>(i)];
    const int32_t top = rowTop(i);
    if (y < top || y >= top + heightOf(row) || top < kTabHeight) continue;
    h.row = i;
    h.part = Part::kRow;
    if (row.kind == RowKind::kSlider) {
      if (x > kRight - kValueBox)
        h.part = Part::kValueBox;
      else if (x >= kControlX)
        h.part = Part::kBar;
    } else if (row.kind == RowKind::kColor) {
      for (int32_t c = 0; c < 3; ++c) {
        const host::UiRect bar = colorBar(top, c);
        if (x >= bar.x1 - 2 && x <= bar.x2 + 2)
          h.part = c == 0 ? Part::kRed : c == 1 ? Part::kGreen : Part::kBlue;
      }
    } else if (row.kind == RowKind::kCurve) {
      if (curveOf(top).contains(x, y)) h.part = Part::kCurve;
    } else if (row.kind == RowKind::kText) {
      if (x >= kControlX) h.part = Part::kValueBox;
    }
    return h;
  }
  return h;
}

void AttributePanel::draw(Canvas& c, Font& font, int32_t height) {
  c.reset(kWidth, std::max(height, 1), kBack);
  const int32_t line = font.lineHeight();
  for (size_t i = 0; i < rows_.size(); ++i) {
    const AttributeRow& row = rows_[i];
    const int32_t top = rowTop(static_cast<int32_t>(i));
    if (top + heightOf(row) < kTabHeight || top > height) continue;
    const int32_t textY = top + (kRowHeight - line) / 2;
    const Rgba ink = row.enabled ? kText : kDim;
    const host::UiRect bar = barOf(row, top);
    const bool editing = editRow_ == static_cast<int32_t>(i);
    switch (row.kind) {
      case RowKind::kHeading:
        c.fill(0, top + 1, kWidth - 1, top + kRowHeight - 2, kTabBack);
        font.draw(c, fitted(font, row.label, kWidth - 2 * kLabelX), kLabelX, textY, kHeading);
        continue;
      case RowKind::kButton:
        c.fill(kLabelX, top + 2, kRight, top + kRowHeight - 3, row.enabled ? kButton : kField);
        c.frame(kLabelX, top + 2, kRight, top + kRowHeight - 3, kEdge);
        font.draw(c, row.label, (kWidth - font.width(row.label)) / 2, textY, ink);
        continue;
      default:
        break;
    }
    font.draw(c, fitted(font, row.label, kControlX - kLabelX - 6), kLabelX, textY, ink);
    switch (row.kind) {
      case RowKind::kCheck: {
        const int32_t bx = kControlX, by = top + 5;
        c.fill(bx, by, bx + 11, by + 11, kField);
        c.frame(bx, by, bx + 11, by + 11, kEdge);
        if (row.value.toBool())
          c.fill(bx + 3, by + 3, bx + 8, by + 8, row.enabled ? kAccent : kDim);
        break;
      }
      case RowKind::kSlider: {
        const double v = row.value.toReal();
        c.fill(bar.x1, bar.y1 + 4, bar.x2, bar.y2 - 4, kField);
        const int32_t knob =
            bar.x1 + static_cast<int32_t>(std::lround(sliderPosition(row, v) * (bar.width() - 1)));
        c.fill(bar.x1, bar.y1 + 4, knob, bar.y2 - 4, row.enabled ? kAccent : kDim);
        c.fill(knob - 2, bar.y1, knob + 2, bar.y2, ink);
        const int32_t bx = kRight - kValueBox + 1;
        c.fill(bx, top + 2, kRight, top + kRowHeight - 3, kField);
        c.frame(bx, top + 2, kRight, top + kRowHeight - 3, editing ? kAccent : kEdge);
        font.draw(c, editing ? withCursor(editText_, cursor_) : numberText(row, v), bx + 4, textY,
                  ink);
        break;
      }
      case RowKind::kChoice: {
        std::string text = "-";
        for (const auto& [id, name] : row.choices)
          if (id == row.value.toInt32()) text = name;
        c.fill(bar.x1, top + 2, bar.x2, top + kRowHeight - 3, kField);
        c.frame(bar.x1, top + 2, bar.x2, top + kRowHeight - 3, kEdge);
        font.draw(c, fitted(font, text, bar.width() - 22), bar.x1 + 5, textY, ink);
        // A small triangle says the field opens a list.
        for (int32_t k = 0; k < 4; ++k)
          c.line(bar.x2 - 12 + k, top + 9 + k, bar.x2 - 6 - k, top + 9 + k, ink);
        break;
      }
      case RowKind::kText: {
        c.fill(bar.x1, top + 2, bar.x2, top + kRowHeight - 3, kField);
        c.frame(bar.x1, top + 2, bar.x2, top + kRowHeight - 3, editing ? kAccent : kEdge);
        std::string text = editing ? withCursor(editText_, cursor_) : row.value.toString();
        // Paths show their end, which names the file; a field being typed shows its cursor.
        const size_t keep = editing ? cursor_ + 1 : text.size();
        size_t from = 0;
        while (from < keep && font.width(text.substr(from)) > bar.width() - 10)
          from = utf8After(text, from);
        if (from >= keep) from = utf8Before(text, keep);
        text.erase(0, from);
        font.draw(c, text, bar.x1 + 5, textY, ink);
        break;
      }
      case RowKind::kColor: {
        const host::Vector rgb = row.value.toVector();
        c.fill(kControlX, top + 3, kControlX + 20, top + kRowHeight - 4, toRgba(rgb));
        c.frame(kControlX, top + 3, kControlX + 20, top + kRowHeight - 4, kEdge);
        const double parts[3] = {rgb.x, rgb.y, rgb.z};
        const Rgba tints[3] = {{200, 70, 70, 255}, {70, 180, 70, 255}, {80, 110, 220, 255}};
        for (int32_t k = 0; k < 3; ++k) {
          const host::UiRect b = colorBar(top, k);
          c.fill(b.x1, b.y1, b.x2, b.y2, kField);
          const int32_t end =
              b.x1 +
              static_cast<int32_t>(std::lround(std::clamp(parts[k], 0.0, 1.0) * (b.width() - 1)));
          c.fill(b.x1, b.y1, end, b.y2, tints[k]);
          c.frame(b.x1, b.y1, b.x2, b.y2, channel(0.4));
        }
        break;
      }
      case RowKind::kCurve: {
        const host::UiRect g = curveOf(top);
        c.fill(g.x1, g.y1, g.x2, g.y2, kField);
        c.frame(g.x1, g.y1, g.x2, g.y2, kEdge);
        const host::Spline& s = row.value.toSpline();
        auto px = [&](double x) { return g.x1 + static_cast<int32_t>(std::lround(x * g.width())); };
        auto py = [&](double y) {
          return g.y2 - static_cast<int32_t>(std::lround(std::clamp(y, 0.0, 1.0) * g.height()));
        };
        int32_t lx = px(0), ly = py(s.evaluate(0));
        for (int32_t k = 1; k <= 48; ++k) {
          const double x = k / 48.0;
          const int32_t nx = px(x), ny = py(s.evaluate(x));
          c.line(lx, ly, nx, ny, row.enabled ? kAccent : kDim);
          lx = nx;
          ly = ny;
        }
        for (const host::Spline::Knot& k : s.knots)
          c.fill(px(k.x) - 2, py(k.y) - 2, px(k.x) + 2, py(k.y) + 2, ink);
        break;
      }
      default:
        break;
    }
  }
  // The tabs stay on top of rows scrolled under them.
  c.fill(0, 0, kWidth - 1, kTabHeight - 1, kTabBack);
  const int32_t n = static_cast<int32_t>(tabs_.size());
  for (int32_t t = 0; t < n; ++t) {
    const int32_t x1 = t * kWidth / n, x2 = (t + 1) * kWidth / n - 1;
    if (t == activeTab_) c.fill(x1, 0, x2, kTabHeight - 1, kBack);
    if (t == activeTab_) c.fill(x1, kTabHeight - 3, x2, kTabHeight - 1, kAccent);
    const std::string& name = tabs_[static_cast<size_t>(t)];
    font.draw(c, name, (x1 + x2 - font.width(name)) / 2, (kTabHeight - line) / 2,
              t == activeTab_ ? kText : kDim);
  }
  c.line(kWidth - 1, 0, kWidth - 1, height - 1, kEdge);
}

}  // namespace hostapp
