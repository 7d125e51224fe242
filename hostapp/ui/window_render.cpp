// Drawing a window's widgets into a picture, and describing its widget tree as text.
#include <algorithm>
#include <functional>
#include <sstream>

#include "hostapp/ui/font.h"
#include "hostapp/ui/gadget_text.h"
#include "hostapp/ui/layout.h"
#include "hostapp/ui/palette.h"
#include "hostapp/ui/ui_host.h"
#include "hostapp/ui/window.h"

namespace hostapp {

namespace {

const Rgba kTitleBar{36, 36, 38, 255};
const Rgba kButton{86, 86, 90, 255};
const Rgba kTabActive{74, 74, 78, 255};
const Rgba kDimText{128, 128, 128, 255};

class Painter {
 public:
  Painter(Canvas& canvas, Font& font) : canvas_(canvas), font_(font) {}

  void paint(Widget& w) {
    if (!w.shown || w.clip.x1 > w.clip.x2 || w.clip.y1 > w.clip.y2) return;
    canvas_.setClip(w.clip);
    switch (w.kind) {
      case WidgetKind::kGroup:
        groupFrame(w);
        break;
      case WidgetKind::kTabGroup:
        tabBar(w);
        break;
      case WidgetKind::kGadget:
        gadget(w);
        return;
      default:
        break;
    }
    for (auto& c : w.children) paint(*c);
    if (w.kind == WidgetKind::kScrollGroup) scrollBars(w);
  }

 private:
  Rgba textColor(const Widget& w) const {
    return w.enabled ? paletteColor(host::kColorText) : kDimText;
  }
  int32_t centreY(const Widget& w) const {
    return w.rect.y1 + (w.rect.height() - font_.lineHeight()) / 2;
  }
  void field(const Widget& w, int32_t x1, int32_t x2, const std::string& text) {
    canvas_.fill(x1, w.rect.y1, x2, w.rect.y2, paletteColor(host::kColorField));
    canvas_.frame(x1, w.rect.y1, x2, w.rect.y2, paletteColor(host::kColorLine));
    const host::UiRect keep = canvas_.clip();
    canvas_.setClip(intersect(keep, {x1 + 1, w.rect.y1, x2 - 1, w.rect.y2}));
    font_.draw(canvas_, text, x1 + 4, centreY(w), textColor(w));
    canvas_.setClip(keep);
  }
  void button(const Widget& w, int32_t x1, int32_t x2, const std::string& text) {
    canvas_.fill(x1, w.rect.y1, x2, w.rect.y2, kButton);
    canvas_.frame(x1, w.rect.y1, x2, w.rect.y2, paletteColor(host::kColorLine));
    const int32_t tw = font_.width(text);
    font_.draw(canvas_, text, x1 + (x2 - x1 + 1 - tw) / 2, centreY(w), textColor(w));
  }

  void groupFrame(const Widget& w) {
    const Rgba line = paletteColor(host::kColorLine);
    if (w.border == host::kBorderTitled) {
      const int32_t top = w.rect.y1 + font_.lineHeight() / 2;
      canvas_.frame(w.rect.x1, top, w.rect.x2, w.rect.y2, line);
      const int32_t tw = font_.width(w.text);
      if (tw > 0) {
        canvas_.fill(w.rect.x1 + 6, w.rect.y1, w.rect.x1 + 10 + tw, top + 1,
                     paletteColor(host::kColorBackground));
        font_.draw(canvas_, w.text, w.rect.x1 + 8, w.rect.y1, paletteColor(host::kColorText));
      }
    } else if (w.border != host::kBorderNone) {
      canvas_.frame(w.rect.x1, w.rect.y1, w.rect.x2, w.rect.y2, line);
    }
  }

  void tabBar(const Widget& w) {
    const int32_t h = tabBarHeight(font_);
    int32_t x = w.rect.x1;
    canvas_.fill(w.rect.x1, w.rect.y1 + h - 1, w.rect.x2, w.rect.y1 + h - 1,
                 paletteColor(host::kColorLine));
    for (size_t i = 0; i < w.children.size(); ++i) {
      const std::string& title = w.children[i]->text;
      const int32_t tw = font_.width(title) + 16;
      const bool active = static_cast<int32_t>(i) == w.activeTab;
      canvas_.fill(x, w.rect.y1, x + tw - 1, w.rect.y1 + h - (active ? 1 : 2),
                   active ? kTabActive : kButton);
      canvas_.frame(x, w.rect.y1, x + tw - 1, w.rect.y1 + h - 1, paletteColor(host::kColorLine));
      if (active) canvas_.fill(x + 1, w.rect.y1 + h - 1, x + tw - 2, w.rect.y1 + h - 1, kTabActive);
      font_.draw(canvas_, title, x + 8, w.rect.y1 + 4,
                 active ? paletteColor(host::kColorTextHover) : paletteColor(host::kColorText));
      x += tw + 2;
    }
  }

  void scrollBars(const Widget& w) {
    canvas_.setClip(w.clip);
    const int32_t viewH = w.rect.height();
    if (w.contentHeight > viewH && viewH > 0) {
      const int32_t barH = std::max(8, viewH * viewH / w.contentHeight);
      const int32_t top =
          w.rect.y1 + (viewH - barH) * w.scrollY / std::max(1, w.contentHeight - viewH);
      canvas_.fill(w.rect.x2 - 3, top, w.rect.x2, top + barH - 1, kButton);
    }
    const int32_t viewW = w.rect.width();
    if (w.contentWidth > viewW && viewW > 0) {
      const int32_t barW = std::max(8, viewW * viewW / w.contentWidth);
      const int32_t left =
          w.rect.x1 + (viewW - barW) * w.scrollX / std::max(1, w.contentWidth - viewW);
      canvas_.fill(left, w.rect.y2 - 3, left + barW - 1, w.rect.y2, kButton);
    }
  }

  void gadget(Widget& w) {
    const host::UiRect& r = w.rect;
    switch (w.gadget) {
      case host::GadgetKind::kStaticText:
        font_.draw(canvas_, w.value.toString(), r.x1 + 2, centreY(w), textColor(w));
        break;
      case host::GadgetKind::kButton:
        button(w, r.x1, r.x2, w.text);
        break;
      case host::GadgetKind::kEditText:
        field(w, r.x1, r.x2, w.value.toString());
        break;
      case host::GadgetKind::kEditNumber:
        field(w, r.x1, r.x2, formatNumber(w));
        break;
      case host::GadgetKind::kCheckBox: {
        const int32_t y = r.y1 + (r.height() - 12) / 2;
        canvas_.fill(r.x1, y, r.x1 + 11, y + 11, paletteColor(host::kColorField));
        canvas_.frame(r.x1, y, r.x1 + 11, y + 11, paletteColor(host::kColorLine));
        if (w.value.toBool()) {
          const Rgba tick = paletteColor(host::kColorHighlight);
          canvas_.line(r.x1 + 2, y + 6, r.x1 + 4, y + 9, tick);
          canvas_.line(r.x1 + 4, y + 9, r.x1 + 9, y + 2, tick);
          canvas_.line(r.x1 + 3, y + 6, r.x1 + 5, y + 9, tick);
        }
        font_.draw(canvas_, w.text, r.x1 + 18, centreY(w), textColor(w));
        break;
      }
      case host::GadgetKind::kSlider: {
        const std::string number = formatNumber(w);
        const int32_t numberW = font_.width(number) + 6;
        const int32_t x1 = r.x1 + 4, x2 = std::max(x1, r.x2 - numberW - 4);
        const int32_t y = r.y1 + r.height() / 2;
        canvas_.fill(x1, y - 1, x2, y + 1, paletteColor(host::kColorField));
        const double span = w.max - w.min;
        const double f = span > 0.0 ? (w.value.toReal() - w.min) / span : 0.0;
        const int32_t knob = x1 + static_cast<int32_t>(f * (x2 - x1));
        canvas_.fill(knob - 3, y - 5, knob + 3, y + 5, paletteColor(host::kColorHighlight));
        font_.draw(canvas_, number, r.x2 - numberW + 2, centreY(w), textColor(w));
        break;
      }
      case host::GadgetKind::kUserArea:
        if (w.area)
          canvas_.draw(w.area->picture(), r.x1, r.y1);
        else
          canvas_.fill(r.x1, r.y1, r.x2, r.y2, paletteColor(host::kColorField));
        break;
      case host::GadgetKind::kFilename: {
        int32_t x = r.x1;
        if (!w.text.empty()) {
          font_.draw(canvas_, w.text, x + 2, centreY(w), textColor(w));
          x += font_.width(w.text) + 8;
        }
        field(w, x, r.x2 - 26, w.value.toString());
        button(w, r.x2 - 22, r.x2, "...");
        break;
      }
      case host::GadgetKind::kSeparator:
        canvas_.fill(r.x1, r.y1 + r.height() / 2, r.x2, r.y1 + r.height() / 2,
                     paletteColor(host::kColorLine));
        break;
      case host::GadgetKind::kSubDialog:
        break;
    }
  }

  Canvas& canvas_;
  Font& font_;
};

const char* kindName(const Widget& w) {
  switch (w.kind) {
    case WidgetKind::kGroup:
      return "group";
    case WidgetKind::kTabGroup:
      return "tabs";
    case WidgetKind::kScrollGroup:
      return "scroll";
    case WidgetKind::kSubDialog:
      return "subdialog";
    case WidgetKind::kGadget:
      break;
  }
  switch (w.gadget) {
    case host::GadgetKind::kStaticText:
      return "static";
    case host::GadgetKind::kButton:
      return "button";
    case host::GadgetKind::kEditText:
      return "edit";
    case host::GadgetKind::kEditNumber:
      return "number";
    case host::GadgetKind::kCheckBox:
      return "checkbox";
    case host::GadgetKind::kSlider:
      return "slider";
    case host::GadgetKind::kUserArea:
      return "area";
    case host::GadgetKind::kFilename:
      return "filename";
    case host::GadgetKind::kSeparator:
      return "separator";
    case host::GadgetKind::kSubDialog:
      return "subdialog";
  }
  return "gadget";
}

void describeWidget(const Widget& w, int depth, std::ostringstream& out) {
  out << std::string(static_cast<size_t>(depth) * 2, ' ') << kindName(w) << ' ' << w.id;
  if (!w.text.empty()) out << " \"" << w.text << '"';
  if (w.kind == WidgetKind::kGadget) {
    if (w.is(host::GadgetKind::kSlider) || w.is(host::GadgetKind::kEditNumber))
      out << " = " << formatNumber(w);
    else if (w.is(host::GadgetKind::kCheckBox))
      out << " = " << (w.value.toBool() ? "on" : "off");
    else if (w.value.type() == host::ValueType::kString ||
             w.value.type() == host::ValueType::kFilename)
      out << " = \"" << w.value.toString() << '"';
  }
  if (w.kind == WidgetKind::kGroup && w.columns != 1) out << " columns " << w.columns;
  out << " [" << w.rect.x1 << ',' << w.rect.y1 << ' ' << w.rect.width() << 'x' << w.rect.height()
      << ']';
  if (!w.shown) out << " hidden";
  if (!w.enabled) out << " disabled";
  out << '\n';
  for (const auto& c : w.children) describeWidget(*c, depth + 1, out);
}

}  // namespace

Canvas Window::render() {
  settle();
  Font& font = host_.font();
  const int32_t bar = titleBarHeight(font);
  Canvas out(width_, height_, paletteColor(host::kColorBackground));
  Canvas content(width_, height_ - bar, paletteColor(host::kColorBackground));
  Painter(content, font).paint(*rootWidget_);
  out.draw(content, 0, bar);
  out.fill(0, 0, width_ - 1, bar - 1, kTitleBar);
  font.draw(out, title_, 8, (bar - font.lineHeight()) / 2, paletteColor(host::kColorText));
  out.frame(0, 0, width_ - 1, height_ - 1, paletteColor(host::kColorLine));
  return out;
}

namespace {

struct StampMixer {
  uint64_t h = 1469598103934665603ull;
  void add(uint64_t v) { h = (h ^ v) * 1099511628211ull + 0x9e3779b97f4a7c15ull; }
  void add(double v) { add(static_cast<uint64_t>(std::hash<double>{}(v))); }
  void add(const std::string& s) { add(static_cast<uint64_t>(std::hash<std::string>{}(s))); }
  void add(const host::UiRect& r) {
    for (int32_t v : {r.x1, r.y1, r.x2, r.y2}) add(static_cast<uint64_t>(static_cast<uint32_t>(v)));
  }
};

void stampWidget(const Widget& w, StampMixer& m) {
  m.add(static_cast<uint64_t>(w.kind) << 32 | static_cast<uint32_t>(w.gadget));
  m.add(static_cast<uint64_t>(static_cast<uint32_t>(w.id)));
  m.add(w.text);
  m.add(static_cast<uint64_t>(w.value.type()));
  m.add(w.value.toString());
  if (w.value.isNumeric()) m.add(w.value.toReal());
  m.add(w.min);
  m.add(w.max);
  m.add(static_cast<uint64_t>(w.format) << 2 | (w.enabled ? 2u : 0u) | (w.shown ? 1u : 0u));
  m.add(static_cast<uint64_t>(static_cast<uint32_t>(w.activeTab)));
  m.add(static_cast<uint64_t>(static_cast<uint32_t>(w.scrollX)) << 32 |
        static_cast<uint32_t>(w.scrollY));
  m.add(static_cast<uint64_t>(static_cast<uint32_t>(w.contentWidth)) << 32 |
        static_cast<uint32_t>(w.contentHeight));
  m.add(w.rect);
  m.add(w.clip);
  if (w.area) m.add(w.area->drawings());
  for (const auto& c : w.children) stampWidget(*c, m);
}

}  // namespace

uint64_t Window::pictureStamp() {
  settle();
  StampMixer m;
  m.add(title_);
  m.add(static_cast<uint64_t>(static_cast<uint32_t>(width_)) << 32 |
        static_cast<uint32_t>(height_));
  m.add(static_cast<uint64_t>(open_));
  stampWidget(*rootWidget_, m);
  return m.h;
}

bool Window::savePicture(const std::string& path, std::string& error) {
  return render().save(path, error);
}

std::string Window::describe() const {
  const_cast<Window*>(this)->settle();
  std::ostringstream out;
  out << "window \"" << title_ << "\" plugin " << pluginId_ << ' ' << width_ << 'x' << height_
      << (open_ ? "" : " closed") << '\n';
  describeWidget(*rootWidget_, 1, out);
  return out.str();
}

}  // namespace hostapp
