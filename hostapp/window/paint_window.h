// The paint window: the embedded host's second user interface, on SDL2 and OpenGL 3.3. A lit 3D
// view of the document through its active view's camera, painted with the mouse through the
// host's stroke engine; the plug-in's dialogs docked beside it, drawn by the UI host and given
// the mouse; a Plug-ins menu of every registered command; a status bar with the host's status
// text. Input comes from the user or from a recorded script.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/host.h"
#include "hostapp/ui/canvas.h"
#include "hostapp/window/attribute_panel.h"
#include "hostapp/window/gl_overlay.h"
#include "hostapp/window/input_script.h"
#include "hostapp/window/menu_overlay.h"
#include "hostapp/window/view_navigation.h"

struct SDL_Window;

namespace hostapp {

class DocumentImpl;
class EmbeddedHost;
class GlScene;
class PreferenceAttributes;
class ToolAttributes;
class Window;

struct PaintWindowOptions {
  int32_t width = 1280, height = 800;
  std::string script;        // events to replay instead of the user's
  std::string record;        // where the user's events are written when the window closes
  std::string screenshot;    // the window as a PNG, written when it closes
  std::string documentPath;  // where Ctrl+S saves the document
  bool hidden = false;       // no window on the screen (replays that only want the picture)
};

class PaintWindow {
 public:
  PaintWindow(EmbeddedHost& host, DocumentImpl& doc, PaintWindowOptions options);
  ~PaintWindow();
  PaintWindow(const PaintWindow&) = delete;
  PaintWindow& operator=(const PaintWindow&) = delete;

  // Opens the window with an OpenGL 3.3 core context. False with `error` set to one sentence
  // when there is no display or no OpenGL 3.3.
  bool open(std::string& error);
  // Runs until the window is closed or the script has been replayed, then writes the record and
  // the screenshot that were asked for. False with `error` set when one could not be written.
  bool run(std::string& error);

  // The 3D view's rectangle in window pixels (inclusive corners, from the top left).
  host::UiRect viewport() const;
  // The camera the view shows: the document view's scene camera, or its editor camera.
  host::CameraObject& viewCamera();
  // Whether the document changed since it was loaded or last saved.
  bool modified() const;
  // Draws one frame now.
  void frame();
  // The window's pixels, as drawn last, into `out`.
  void readPixels(Canvas& out);

  struct Timing {
    std::vector<double> frameMs;        // whole frames: sync, draw, swap, finish
    std::vector<double> dabToScreenMs;  // from a dab's pixels to the frame that shows them
    // From a mouse move of a stroke painted by hand to the frame that shows its dabs.
    std::vector<double> moveToScreenMs;
    int64_t dabs = 0;
  };
  const Timing& timing() const { return timing_; }
  const GlScene& scene() const { return *scene_; }

 private:
  // A docked dialog. Its picture is drawn again, and sent to the GPU, only when the dialog's
  // picture stamp or the panel's size changed.
  struct Panel {
    Window* window = nullptr;
    int32_t x = 0, y = 0;
    Canvas picture;
    uint64_t stamp = 0;
    GlOverlay::Picture gpu;
  };
  void frame(bool present);
  // The popup menu drawn over the window and answered with the mouse: the id of the entry
  // picked, or host::kMenuDismissed.
  int32_t pickMenu(const std::vector<host::PopupMenu::Entry>& entries, int32_t x, int32_t y);
  // Follows the mouse while its button is held, drawing a frame after every move; `moved` gets
  // each position, the release's last.
  void follow(const std::function<void(int32_t, int32_t)>& moved);
  // The attribute panel on the left: the active tool's settings and the painter, or the
  // preferences page.
  int32_t attributeWidth() const;
  AttributeModel& attributeModel();
  void mouseInAttributes(const InputRecord& press);
  void wheelInAttributes(const InputRecord& e);
  // A key for the field being typed; false when no field is being typed.
  bool editKey(const InputRecord& e);
  // Text typed into the field being typed.
  void editText(const InputRecord& e);
  // Whether a key types a character into the field being typed.
  bool typesIn(const InputRecord& e);
  void commitEdit();
  bool changeAttribute(const AttributeRow& row, const host::Value& value);
  void stepRadius(double factor);
  bool nextEvent(InputRecord& e, bool wait);
  void handle(const InputRecord& e);
  void paintStroke(const InputRecord& press);
  void mouseInPanel(const InputRecord& press, Panel& panel);
  void key(const InputRecord& e);
  bool menuClick(const InputRecord& e);
  void requestClose(const InputRecord& e);
  bool save();
  void layoutPanels();
  void drawBars();
  void placeCamera(const ViewCamera& camera);
  uint64_t documentStamp() const;
  void status(const std::string& text);
  Panel* panelAt(int32_t x, int32_t y);

  EmbeddedHost& host_;
  DocumentImpl& doc_;
  PaintWindowOptions options_;
  SDL_Window* window_ = nullptr;
  void* context_ = nullptr;
  std::unique_ptr<GlScene> scene_;
  std::unique_ptr<GlOverlay> overlay_;
  int32_t width_ = 0, height_ = 0;
  ViewCamera camera_;
  // The script being replayed, and the events of the user being recorded.
  std::deque<InputRecord> script_;
  bool scripted_ = false;
  std::vector<InputRecord> recorded_;
  uint64_t start_ = 0;
  // Events that came during a stroke, handled once it ends.
  std::deque<InputRecord> deferred_;
  // A mouse drag that moves the view: 0 none, else the button.
  int32_t navigating_ = 0;
  int32_t lastX_ = 0, lastY_ = 0;
  bool quit_ = false;
  bool menuOpen_ = false;
  int32_t mouseX_ = 0, mouseY_ = 0;  // where popup menus open
  MenuOverlay popup_;
  AttributePanel attributes_;
  std::unique_ptr<ToolAttributes> toolModel_;
  std::unique_ptr<PreferenceAttributes> prefsModel_;
  bool showAttributes_ = true;
  Canvas attributePicture_;
  GlOverlay::Picture attributeGpu_, menuBarGpu_, statusBarGpu_;
  std::vector<GlOverlay::Picture> popupGpu_;
  std::vector<Panel> panels_;
  int32_t panelWidth_ = 0;
  Canvas menuBar_, statusBar_;
  std::vector<std::pair<int32_t, std::string>> commands_;
  std::string message_;
  uint64_t savedStamp_ = 0;
  Timing timing_;
  double firstDab_ = -1;      // when the first dab not yet on the screen was done (ms)
  int64_t pendingMove_ = -1;  // when the first move of a stroke not yet on the screen came
};

}  // namespace hostapp
