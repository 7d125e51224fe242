// User interface family: the ids, flags and small value types that dialogs, user areas, popup
// menus and message boxes pass between the plug-in and the host.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/values.h"

namespace host {

// Dialog kinds for opening a window.
constexpr int32_t kDialogModal = 10;  // runs until the user closes it
constexpr int32_t kDialogAsync = 20;  // stays open beside the host's own windows
// The host chooses the position (and the size, when the default size is 0).
constexpr int32_t kDefaultPosition = -1;

// Gadget layout flags: how a gadget fills the cell its group gives it. Without a horizontal or
// vertical flag it keeps its own size at the left or top of the cell.
constexpr int32_t kAlignLeft = 0x1;
constexpr int32_t kAlignRight = 0x2;
constexpr int32_t kFitH = kAlignLeft | kAlignRight;  // fills the cell's width
constexpr int32_t kScaleH = 0x4 | kFitH;             // and takes a share of spare width
constexpr int32_t kCenterH = 0x8;
constexpr int32_t kAlignTop = 0x10;
constexpr int32_t kAlignBottom = 0x20;
constexpr int32_t kFitV = kAlignTop | kAlignBottom;
constexpr int32_t kScaleV = 0x40 | kFitV;
constexpr int32_t kCenterV = 0x80;
constexpr int32_t kFit = kFitH | kFitV;
constexpr int32_t kScaleFit = kScaleH | kScaleV;

// Group flags.
constexpr int32_t kGroupNoGapV = 0x1;        // children touch vertically
constexpr int32_t kGroupNoGapH = 0x2;        // children touch horizontally
constexpr int32_t kScrollVertical = 0x10;    // scroll group: scrolls up and down
constexpr int32_t kScrollHorizontal = 0x20;  // scroll group: scrolls sideways
constexpr int32_t kScrollNoBlit = 0x40;      // scroll group: redraws instead of copying pixels

// Border styles of groups, static texts and user-area drawing.
constexpr int32_t kBorderNone = 0;
constexpr int32_t kBorderThin = 1;        // one-pixel frame in the line colour
constexpr int32_t kBorderIn = 2;          // sunken
constexpr int32_t kBorderOut = 3;         // raised
constexpr int32_t kBorderTitled = 4;      // group frame with the group's title in its top edge
constexpr int32_t kBorderHighlight = 15;  // frame in the highlight colour, around hovered lines

// How slider and number fields show their value.
constexpr int32_t kNumberInteger = 0;
constexpr int32_t kNumberReal = 1;
constexpr int32_t kNumberPercent = 2;

// Host colour ids. Colours given as vectors have components from 0 to 1.
constexpr int32_t kColorTransparent = -1;      // text background: draw the glyphs only
constexpr int32_t kColorBackground = 1;        // window and user-area background
constexpr int32_t kColorField = 2;             // background of edit fields
constexpr int32_t kColorLine = 3;              // frames and separators
constexpr int32_t kColorHighlight = 4;         // selection and highlight frames
constexpr int32_t kColorLineBackground = 999;  // background of list and menu lines
constexpr int32_t kColorText = 1003;           // text
constexpr int32_t kColorTextHover = 1004;      // text under the mouse

// Text alignment for drawing: x is the left edge, the centre or the right edge of the text.
constexpr int32_t kTextLeft = 0;
constexpr int32_t kTextCenter = 1;
constexpr int32_t kTextRight = 2;

// Bitmap drawing: copy the pixels, or blend them by their alpha.
constexpr int32_t kBlitCopy = 0;
constexpr int32_t kBlitAlpha = 1;

// Input devices and channels.
constexpr int32_t kDeviceMouse = 1;
constexpr int32_t kDeviceKeyboard = 2;
constexpr int32_t kMouseLeft = 1;
constexpr int32_t kMouseRight = 2;
constexpr int32_t kMouseMiddle = 3;
constexpr int32_t kMouseWheel = 100;
// Qualifier keys held during input.
constexpr int32_t kQualShift = 1;
constexpr int32_t kQualCtrl = 2;
constexpr int32_t kQualAlt = 4;

// Cursors an area asks for while the mouse or a drag is over it.
constexpr int32_t kCursorDefault = 0;
constexpr int32_t kCursorForbidden = 8;
constexpr int32_t kCursorDropCopy = 19;

// Drag contents.
constexpr int32_t kDragFilename = 202;   // data: a file name
constexpr int32_t kDragObjects = 204;    // scene objects
constexpr int32_t kDragMaterials = 205;  // materials

// Message boxes.
constexpr int32_t kMessageInfo = 0;    // text and an OK button
constexpr int32_t kMessageYesNo = 52;  // question with Yes and No
constexpr int32_t kAnswerOk = 1;
constexpr int32_t kAnswerYes = 6;
constexpr int32_t kAnswerNo = 7;

// Popup menus: shown at the mouse position as a context menu.
constexpr int32_t kPopupContext = 0x42;
constexpr int32_t kMenuDismissed = 0;  // what a popup answers when nothing was picked
inline constexpr const char* kCheckMarkSuffix = "&c&";  // entry text ending in it shows a tick

// Host change messages sent to dialogs and user areas as core messages.
constexpr int32_t kCoreDocumentChanged = 604;
constexpr int32_t kCoreViewsChanged = 650;
constexpr int32_t kCoreMaterialsChanged = -1012;
constexpr int32_t kCoreObjectsChanged = -1009;
// Keys of a core message's container: the event's two parameters.
constexpr int32_t kCoreParam1 = 1;
constexpr int32_t kCoreParam2 = 2;

// Gadgets a dialog's layout can hold besides groups.
enum class GadgetKind : int32_t {
  kStaticText,
  kButton,
  kEditText,
  kEditNumber,
  kCheckBox,
  kSlider,
  kUserArea,
  kFilename,  // a file-name field: the text holds its label
  kSeparator,
  kSubDialog,
};

struct UiRect {
  int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;  // inclusive corners
  constexpr int32_t width() const { return x2 - x1 + 1; }
  constexpr int32_t height() const { return y2 - y1 + 1; }
  constexpr bool contains(int32_t x, int32_t y) const {
    return x >= x1 && x <= x2 && y >= y1 && y <= y2;
  }
  constexpr bool operator==(const UiRect&) const = default;
};

// One input event. Mouse positions are local to the user area that receives them.
struct InputEvent {
  int32_t device = kDeviceMouse;
  int32_t channel = kMouseLeft;
  int32_t x = 0, y = 0;
  int32_t qualifiers = 0;
  bool doubleClick = false;
  int32_t key = 0;  // keyboard: the character
};

// The mouse as polled during a drag. Positions are local to the polling area.
struct MouseState {
  int32_t x = 0, y = 0;
  int32_t qualifiers = 0;
  bool held = false;  // the button that started the drag is still down
};

// The mouse over an area without a button held; the area may set the cursor and a help text.
struct CursorInfo {
  int32_t x = 0, y = 0;
  int32_t cursor = kCursorDefault;
  std::string help;
};

// Something dragged over an area. The area answers with the cursor to show (kCursorDropCopy
// when it would take the drop, kCursorForbidden when not); `finished` marks the release.
struct DragReceive {
  int32_t type = 0;
  std::string data;  // kDragFilename: the file name
  int32_t x = 0, y = 0;
  bool finished = false;
  int32_t cursor = kCursorForbidden;
};

// One thing an area shows that a user can point at (a cell of a grid, a line of a menu), as the
// area lists them for scripted users and assistive tools. Rectangles are in area coordinates.
struct UiItem {
  UiRect rect;
  std::string label;
  bool selected = false;
};

// A popup menu: entries, separators and submenus. Setting an entry whose id is already in the
// same (sub)menu replaces its text in place, so menus built from several sources keep one entry
// per id, the last one given.
class PopupMenu {
 public:
  struct Entry {
    int32_t id = 0;  // 0 for a separator
    std::string text;
    std::vector<Entry> children;  // a submenu when not empty; then `text` is its title
    bool isSeparator() const { return id == 0 && children.empty(); }
    bool isSubmenu() const { return !children.empty(); }
  };

  void setItem(int32_t id, const std::string& text) {
    for (Entry& e : entries_) {
      if (e.id == id && !e.isSubmenu() && id != 0) {
        e.text = text;
        return;
      }
    }
    entries_.push_back({id, text, {}});
  }
  void addSeparator() { entries_.push_back({}); }
  // A submenu; it is shown only when it gets entries.
  void addSubmenu(int32_t id, const std::string& title, const PopupMenu& sub) {
    if (sub.entries_.empty()) return;
    entries_.push_back({id, title, sub.entries_});
  }
  const std::vector<Entry>& entries() const { return entries_; }
  bool empty() const { return entries_.empty(); }

 private:
  std::vector<Entry> entries_;
};

}  // namespace host
