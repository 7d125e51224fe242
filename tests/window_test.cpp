// The paint window driven as a person drives it: recorded input replayed under a virtual display
// (Xvfb with Mesa's software OpenGL), its results compared with the same work done headless.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <OpenImageIO/imageio.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/cli_run.h"
#include "tests/support/test_folder.h"

namespace {

namespace fs = std::filesystem;

constexpr int kWidth = 640, kHeight = 480;
// The menu bar and the status bar take 24 pixels each; the view fills the rest.
constexpr int kBar = 24;

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = freshTestFolder("pigmora_window"); }
  void TearDown() override { fs::remove_all(dir_); }

  // A sphere with a 256 x 256 colour layer, seen through a scene camera, with the paint brush.
  std::string sceneSteps() const {
    return R"({"step": "object", "name": "Ball", "primitive": "sphere", "radius": 100,
                "segments": 32, "rings": 16},
              {"step": "material", "name": "Paint", "channels": {"color": {"size": 256,
                "mode": "argb8", "fill": [230, 230, 230], "layers": ["Paint"]}}},
              {"step": "texture_tag", "object": "Ball", "material": "Paint"},
              {"step": "camera", "name": "Eye", "position": [0, 0, -400], "target": [0, 0, 0]},
              {"step": "view", "camera": "Eye"},
              {"step": "tool", "id": 1035414, "settings": {"radius": 10, "strength": 1}},
              {"step": "painter", "colors": {"color": {"primary": [0.8, 0.1, 0.1]}},
               "texture": {"material": "Paint", "channel": "color"}})";
  }
  fs::path writeJob(const std::string& name, const std::string& extra) const {
    const fs::path p = dir_ / name;
    std::ofstream(p) << "{\"steps\": [" << sceneSteps() << extra << "]}";
    return p;
  }
  fs::path writeScript(const std::string& name, const std::string& events) const {
    const fs::path p = dir_ / name;
    std::ofstream(p) << "[" << events << "]";
    return p;
  }
  // Runs the window; false (and the test skips) when no display can be opened.
  CommandRun paint(const std::string& args, int width = kWidth, int height = kHeight) {
    CommandRun r = runPigmora("paint --width " + std::to_string(width) + " --height " +
                                  std::to_string(height) + " " + args,
                              {}, dir_);
    if (r.status == 3 && contains(r.err, "display")) noDisplay_ = true;
    return r;
  }
  // The stroke of the replays: window pixels, with the press and the release.
  static std::vector<std::pair<int, int>> strokePath() {
    return {{260, 230}, {290, 250}, {320, 262}, {350, 258}, {380, 240}};
  }
  static std::string strokeEvents(int t = 0, int dx = 0) {
    const auto path = strokePath();
    std::string e;
    for (size_t i = 0; i < path.size(); ++i) {
      const char* type = i == 0 ? "down" : i + 1 == path.size() ? "up" : "move";
      e += std::string(i ? "," : "") + "{\"t\": " + std::to_string(t += 16) + ", \"type\": \"" +
           type + "\", \"button\": \"left\", \"x\": " + std::to_string(path[i].first + dx) +
           ", \"y\": " + std::to_string(path[i].second) + "}";
    }
    return e;
  }
  static std::string saveKey(int t) {
    return ",{\"t\": " + std::to_string(t) + ", \"type\": \"key\", \"key\": \"s\", \"ctrl\": true}";
  }

  // Saves the painted layer of a document the window wrote as out/PNG.
  ::testing::AssertionResult saveLayer(const std::string& document, const std::string& png) {
    std::ofstream(dir_ / "layer.json")
        << R"({"steps": [{"step": "load_document", "file": ")" << document
        << R"("}, {"step": "save", "material": "Paint", "layer": "Paint", "file": ")" << png
        << R"("}]})";
    const CommandRun r = runPigmora("run layer.json --out out", {}, dir_);
    if (r.status == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << document << ": " << r.err;
  }

  fs::path dir_;
  bool noDisplay_ = false;
};

#define SKIP_WITHOUT_DISPLAY(run) \
  if (noDisplay_) GTEST_SKIP() << "no display could be started for the paint window: " << (run).err;

std::vector<uint8_t> pixels(const fs::path& file, int& w, int& h, int& channels) {
  auto in = OIIO::ImageInput::open(file.string());
  if (!in) return {};
  const OIIO::ImageSpec& spec = in->spec();
  w = spec.width;
  h = spec.height;
  channels = spec.nchannels;
  std::vector<uint8_t> out(static_cast<size_t>(w) * h * channels);
  in->read_image(0, 0, 0, channels, OIIO::TypeDesc::UINT8, out.data());
  return out;
}

TEST_F(WindowTest, ReplayedStrokePaintsAsTheHeadlessScreenStrokeAndUndoRestoresIt) {
  const fs::path job = writeJob("scene.json", "");
  // Painted in the window, saved with Ctrl+S.
  const fs::path painted = writeScript("paint.json", strokeEvents() + saveKey(200));
  CommandRun r = paint(job.string() + " --script " + painted.string() + " --save painted.pigmora");
  SKIP_WITHOUT_DISPLAY(r);
  ASSERT_EQ(r.status, 0) << r.err;
  // Painted, undone, saved.
  const fs::path undone = writeScript(
      "undo.json", strokeEvents() +
                       ",{\"t\": 150, \"type\": \"key\", \"key\": \"z\", \"ctrl\": true}" +
                       saveKey(200));
  r = paint(job.string() + " --script " + undone.string() + " --save undone.pigmora");
  ASSERT_EQ(r.status, 0) << r.err;

  // The same stroke headless: the path in the view's pixels, the view below the menu bar.
  std::string path;
  for (const auto& [x, y] : strokePath())
    path += std::string(path.empty() ? "" : ", ") + "[" + std::to_string(x) + ", " +
            std::to_string(y - kBar) + "]";
  const std::string view =
      "[" + std::to_string(kWidth) + ", " + std::to_string(kHeight - 2 * kBar) + "]";
  const fs::path headless =
      writeJob("headless.json",
               ",{\"step\": \"save\", \"material\": \"Paint\", \"layer\": \"Paint\", \"file\": "
               "\"blank.png\"}"
               ",{\"step\": \"stroke\", \"object\": \"Ball\", \"camera\": \"Eye\", \"view\": " +
                   view + ", \"screen\": [" + path +
                   "]}"
                   ",{\"step\": \"save\", \"material\": \"Paint\", \"layer\": \"Paint\", \"file\": "
                   "\"stroke.png\"}");
  r = runPigmora("run " + headless.string() + " --out out", {}, dir_);
  ASSERT_EQ(r.status, 0) << r.err;
  ASSERT_TRUE(saveLayer("painted.pigmora", "window.png"));
  ASSERT_TRUE(saveLayer("undone.pigmora", "undone.png"));

  int w = 0, h = 0, c = 0;
  const auto window = pixels(dir_ / "out/window.png", w, h, c);
  const auto stroke = pixels(dir_ / "out/stroke.png", w, h, c);
  const auto blank = pixels(dir_ / "out/blank.png", w, h, c);
  const auto restored = pixels(dir_ / "out/undone.png", w, h, c);
  ASSERT_EQ(w, 256);
  ASSERT_FALSE(stroke.empty());
  EXPECT_NE(stroke, blank) << "the headless stroke painted nothing";
  EXPECT_EQ(window, stroke) << "the window's stroke differs from the same screen path headless";
  EXPECT_EQ(restored, blank) << "undo in the window did not restore the layer bit for bit";
}

TEST_F(WindowTest, ScreenshotShowsTheViewThePaintedModelAndTheDockedPaintView) {
  const fs::path job = writeJob("scene.json", "");
  // Open the Plug-ins menu, take its first entry (the paint view), paint, and look.
  const fs::path script =
      writeScript("dock.json",
                  R"({"t": 0, "type": "down", "button": "left", "x": 20, "y": 10},
         {"t": 10, "type": "up", "button": "left", "x": 20, "y": 10},
         {"t": 20, "type": "down", "button": "left", "x": 40, "y": 35},
         {"t": 30, "type": "up", "button": "left", "x": 40, "y": 35},)" +
                      strokeEvents(40, -150));  // the view is narrower beside the panel
  CommandRun r = paint(job.string() + " --script " + script.string() + " --screenshot shot.png");
  SKIP_WITHOUT_DISPLAY(r);
  ASSERT_EQ(r.status, 0) << r.err;
  int w = 0, h = 0, c = 0;
  const auto shot = pixels(dir_ / "shot.png", w, h, c);
  ASSERT_EQ(w, kWidth);
  ASSERT_EQ(h, kHeight);
  auto at = [&](int x, int y, int k) { return shot[(static_cast<size_t>(y) * w + x) * c + k]; };
  // The backdrop's top corner is a blue-grey, lighter than its bottom corner.
  EXPECT_GT(at(5, kBar + 5, 2), at(5, kBar + 5, 0));
  EXPECT_GT(at(5, kBar + 5, 2), at(5, kHeight - kBar - 5, 2));
  // The panel fills the right half at most and starts with its title bar.
  int panelLeft = -1;
  for (int x = kWidth - 1; x > kWidth / 2 - 2; --x)
    if (at(x, kHeight / 2, 0) == at(kWidth - 1, kHeight / 2, 0)) panelLeft = x;
  EXPECT_GE(panelLeft, kWidth / 2 - 1) << "no docked panel on the right";
  // Some red of the stroke shows where the view's sphere is, at most a few pixels off.
  int red = 0;
  for (int y = kBar; y < kHeight - kBar; ++y)
    for (int x = 0; x < kWidth / 2; ++x)
      if (at(x, y, 0) > 120 && at(x, y, 1) < 80 && at(x, y, 2) < 80) ++red;
  EXPECT_GT(red, 50) << "the painted stroke does not show in the view";
}

TEST_F(WindowTest, RadiusTypedInTheToolPanelPaintsAsTheSameRadiusSetByAJob) {
  // In a window 960 wide the tool panel takes the left 280 pixels. Its rows start 28 pixels
  // below the menu bar, 22 pixels each: the tool, then the radius, whose number box is right.
  constexpr int kW = 960, kH = 600, kPanel = 280;
  const fs::path job = writeJob("scene.json", "");
  std::string keys;
  int t = 10;
  for (const char* k : {"backspace", "backspace", "backspace", "3", "0", "return"})
    keys += ",{\"t\": " + std::to_string(t += 5) + ", \"type\": \"key\", \"key\": \"" + k + "\"}";
  const fs::path script =
      writeScript("panel.json", R"({"t": 0, "type": "down", "button": "left", "x": 240, "y": 85},
                       {"t": 5, "type": "up", "button": "left", "x": 240, "y": 85})" +
                                    keys + "," + strokeEvents(100, 300) + saveKey(300));
  CommandRun r =
      paint(job.string() + " --script " + script.string() + " --save panel.pigmora", kW, kH);
  SKIP_WITHOUT_DISPLAY(r);
  ASSERT_EQ(r.status, 0) << r.err;

  // The same stroke headless with the radius set by the job, in the view right of the panel.
  std::string path;
  for (const auto& [x, y] : strokePath())
    path += std::string(path.empty() ? "" : ", ") + "[" + std::to_string(x + 300 - kPanel) + ", " +
            std::to_string(y - kBar) + "]";
  const std::string view =
      "[" + std::to_string(kW - kPanel) + ", " + std::to_string(kH - 2 * kBar) + "]";
  const fs::path headless = writeJob(
      "headless.json",
      ",{\"step\": \"tool\", \"settings\": {\"radius\": 30}}"
      ",{\"step\": \"save\", \"material\": \"Paint\", \"layer\": \"Paint\", \"file\": "
      "\"blank.png\"}"
      ",{\"step\": \"stroke\", \"object\": \"Ball\", \"camera\": \"Eye\", \"view\": " +
          view + ", \"screen\": [" + path +
          "]},{\"step\": \"save\", \"material\": \"Paint\", \"layer\": \"Paint\", \"file\": "
          "\"stroke30.png\"}");
  r = runPigmora("run " + headless.string() + " --out out", {}, dir_);
  ASSERT_EQ(r.status, 0) << r.err;
  ASSERT_TRUE(saveLayer("panel.pigmora", "panel.png"));
  int w = 0, h = 0, c = 0;
  const auto window = pixels(dir_ / "out/panel.png", w, h, c);
  const auto stroke = pixels(dir_ / "out/stroke30.png", w, h, c);
  const auto blank = pixels(dir_ / "out/blank.png", w, h, c);
  ASSERT_FALSE(stroke.empty());
  EXPECT_NE(stroke, blank);
  EXPECT_EQ(window, stroke) << "the radius typed in the panel did not reach the brush as 30";
}

TEST_F(WindowTest, Utf8TypedIntoTheToolPanelAndABrightnessReachTheBrushWhole) {
  // The radius box of the 960-wide window's tool panel, as above; scrolled to its end, the
  // panel's last four rows sit above its bottom edge (28 pixels over the window's), 22 pixels
  // each: primary, its brightness, secondary, its brightness.
  constexpr int kW = 960, kH = 600, kPanel = 280;
  constexpr int kPrimaryBrightness = kH - 28 - 2 * 22 - 11;
  auto ev = [](int t, const std::string& body) {
    return ",{\"t\": " + std::to_string(t) + ", " + body + "}";
  };
  auto key = [&](int t, const char* k) {
    return ev(t, "\"type\": \"key\", \"key\": \"" + std::string(k) + "\"");
  };
  auto text = [&](int t, const char* x) {
    return ev(t, "\"type\": \"text\", \"text\": \"" + std::string(x) + "\"");
  };
  auto click = [&](int t, int x, int y) {
    const std::string at = ", \"x\": " + std::to_string(x) + ", \"y\": " + std::to_string(y);
    return ev(t, "\"type\": \"down\", \"button\": \"left\"" + at) +
           ev(t + 1, "\"type\": \"up\", \"button\": \"left\"" + at);
  };
  // "10" cleared, "0" typed, "3é" put in front of it, the é taken out again: "30". A backspace
  // that left half of the é behind would make the text no number, and the radius would stay 10.
  std::string events = click(0, 240, 85).substr(1) + key(10, "backspace") + key(11, "backspace") +
                       text(12, "0") + key(13, "home") + text(14, "3\u00e9") +
                       key(15, "backspace") + key(16, "return");
  // The primary brightness: "1" cleared, "0.5ñ" typed, the ñ taken out.
  events += ev(20, "\"type\": \"wheel\", \"x\": 40, \"y\": 300, \"wheel\": -40") +
            click(30, 240, kPrimaryBrightness) + key(40, "backspace") + text(41, "0.5") +
            text(42, "\u00f1") + key(43, "backspace") + key(44, "return");
  const fs::path job = writeJob("scene.json", "");
  const fs::path script =
      writeScript("typed.json", events + "," + strokeEvents(100, 300) + saveKey(300));
  CommandRun r =
      paint(job.string() + " --script " + script.string() + " --save typed.pigmora", kW, kH);
  SKIP_WITHOUT_DISPLAY(r);
  ASSERT_EQ(r.status, 0) << r.err;

  std::string path;
  for (const auto& [x, y] : strokePath())
    path += std::string(path.empty() ? "" : ", ") + "[" + std::to_string(x + 300 - kPanel) + ", " +
            std::to_string(y - kBar) + "]";
  const std::string view =
      "[" + std::to_string(kW - kPanel) + ", " + std::to_string(kH - 2 * kBar) + "]";
  const fs::path headless = writeJob(
      "headless.json",
      ",{\"step\": \"tool\", \"settings\": {\"radius\": 30}}"
      ",{\"step\": \"painter\", \"colors\": {\"color\": {\"primary\": [0.8, 0.1, 0.1], "
      "\"brightness\": 0.5}}}"
      ",{\"step\": \"stroke\", \"object\": \"Ball\", \"camera\": \"Eye\", \"view\": " +
          view + ", \"screen\": [" + path +
          "]},{\"step\": \"save\", \"material\": \"Paint\", \"layer\": \"Paint\", \"file\": "
          "\"half.png\"}");
  r = runPigmora("run " + headless.string() + " --out out", {}, dir_);
  ASSERT_EQ(r.status, 0) << r.err;
  ASSERT_TRUE(saveLayer("typed.pigmora", "typed.png"));
  int w = 0, h = 0, c = 0;
  const auto window = pixels(dir_ / "out/typed.png", w, h, c);
  const auto stroke = pixels(dir_ / "out/half.png", w, h, c);
  ASSERT_FALSE(stroke.empty());
  // Half the brightness of (0.8, 0.1, 0.1) paints a red of about 0.4 * 255 at full strength.
  int darkRed = 0;
  for (size_t i = 0; i + 2 < stroke.size(); i += static_cast<size_t>(c))
    if (stroke[i] > 90 && stroke[i] < 115 && stroke[i + 1] < 20) ++darkRed;
  EXPECT_GT(darkRed, 20) << "the headless stroke at brightness 0.5 painted no dark red";
  EXPECT_EQ(window, stroke) << "the typed radius or brightness did not reach the brush";
}

TEST_F(WindowTest, ViewShowsAfterAStrokeWhatAFreshWindowOnTheSavedDocumentShows) {
  // The stroke reaches the screen through the texels written each frame; a window opened on
  // the saved document sends its textures whole. Their views must agree pixel for pixel.
  const fs::path job = writeJob("scene.json", "");
  const fs::path painted = writeScript("paint.json", strokeEvents() + saveKey(200));
  CommandRun r = paint(job.string() + " --script " + painted.string() +
                       " --save seen.pigmora --screenshot painted.png");
  SKIP_WITHOUT_DISPLAY(r);
  ASSERT_EQ(r.status, 0) << r.err;
  const fs::path idle = writeScript("idle.json", R"({"t": 0, "type": "move", "x": 5, "y": 300})");
  r = paint((dir_ / "seen.pigmora").string() + " --script " + idle.string() +
            " --screenshot fresh.png");
  ASSERT_EQ(r.status, 0) << r.err;
  int w = 0, h = 0, c = 0;
  const auto a = pixels(dir_ / "painted.png", w, h, c);
  const auto b = pixels(dir_ / "fresh.png", w, h, c);
  ASSERT_EQ(a.size(), b.size());
  ASSERT_EQ(w, kWidth);
  // The view lies between the menu bar and the status bar, whose texts differ.
  const size_t row = static_cast<size_t>(w) * c;
  const std::vector<uint8_t> viewA(a.begin() + kBar * row, a.end() - kBar * row);
  const std::vector<uint8_t> viewB(b.begin() + kBar * row, b.end() - kBar * row);
  int differ = 0;
  for (size_t i = 0; i < viewA.size(); ++i) differ += viewA[i] != viewB[i];
  EXPECT_EQ(differ, 0) << "the painted view is not what the saved document shows";
}

TEST_F(WindowTest, RightClickMenuOfTheDockedPaintViewRunsTheEntryPicked) {
  const fs::path job = writeJob("scene.json", "");
  // The paint view docked from the Plug-ins menu; a right click on its material cell opens the
  // cell's menu, kept inside the window at its right edge: Paint All, a separator, New Material.
  const fs::path script = writeScript("menu.json", R"(
      {"t": 0, "type": "down", "button": "left", "x": 20, "y": 10},
      {"t": 10, "type": "up", "button": "left", "x": 20, "y": 10},
      {"t": 20, "type": "down", "button": "left", "x": 40, "y": 35},
      {"t": 30, "type": "up", "button": "left", "x": 40, "y": 35},
      {"t": 40, "type": "down", "button": "right", "x": 580, "y": 160},
      {"t": 50, "type": "up", "button": "right", "x": 580, "y": 160},
      {"t": 60, "type": "down", "button": "left", "x": 630, "y": 203},
      {"t": 70, "type": "up", "button": "left", "x": 630, "y": 203})" +
                                                       saveKey(80));
  CommandRun r =
      paint(job.string() + " --script " + script.string() + " --save menu.pigmora", kWidth, 600);
  SKIP_WITHOUT_DISPLAY(r);
  ASSERT_EQ(r.status, 0) << r.err;
  r = runPigmora("open menu.pigmora", {}, dir_);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(contains(r.out, "2 materials")) << r.out;
}

TEST_F(WindowTest, ClickInTheDockedPaintViewSelectsTheCellsMaterial) {
  const fs::path job = writeJob("scene.json", "");
  // The paint view docked from the Plug-ins menu, then, in one run, a left click on its only
  // material cell; the other run docks it and clicks nothing. The job itself selects no material.
  const std::string dock = R"(
      {"t": 0, "type": "down", "button": "left", "x": 20, "y": 10},
      {"t": 10, "type": "up", "button": "left", "x": 20, "y": 10},
      {"t": 20, "type": "down", "button": "left", "x": 40, "y": 35},
      {"t": 30, "type": "up", "button": "left", "x": 40, "y": 35})";
  const std::string click = R"(,
      {"t": 40, "type": "down", "button": "left", "x": 580, "y": 160},
      {"t": 50, "type": "up", "button": "left", "x": 580, "y": 160})";
  for (const bool clicked : {false, true}) {
    const std::string name = clicked ? "clicked" : "docked";
    const fs::path script =
        writeScript(name + ".json", dock + (clicked ? click : std::string()) + saveKey(80));
    CommandRun r =
        paint(job.string() + " --script " + script.string() + " --save " + name + ".pigmora",
              kWidth, 600);
    SKIP_WITHOUT_DISPLAY(r);
    ASSERT_EQ(r.status, 0) << r.err;
    r = runPigmora("open --json " + name + ".pigmora", {}, dir_);
    ASSERT_EQ(r.status, 0) << r.err;
    const nlohmann::json report = nlohmann::json::parse(r.out);
    ASSERT_EQ(report["materials"].size(), 1u);
    EXPECT_EQ(report["materials"][0]["selected"], clicked) << name;
    EXPECT_EQ(report["document"]["active_material"],
              clicked ? nlohmann::json("Paint") : nlohmann::json())
        << name;
  }
}

TEST_F(WindowTest, BadScriptsAreRefusedWithOneSentence) {
  const fs::path job = writeJob("scene.json", "");
  const fs::path bad = writeScript("bad.json", R"({"t": 0, "type": "jump"})");
  CommandRun r = paint(job.string() + " --script " + bad.string());
  EXPECT_NE(r.status, 0);
  EXPECT_TRUE(contains(r.err, "bad.json")) << r.err;
  EXPECT_TRUE(contains(r.err, "unknown type \"jump\"")) << r.err;
  const fs::path backwards =
      writeScript("backwards.json", R"({"t": 50, "type": "move"}, {"t": 10, "type": "move"})");
  r = paint(job.string() + " --script " + backwards.string());
  EXPECT_NE(r.status, 0);
  EXPECT_TRUE(contains(r.err, "Event 2")) << r.err;
  const fs::path textless = writeScript("textless.json", R"({"t": 0, "type": "text"})");
  r = paint(job.string() + " --script " + textless.string());
  EXPECT_NE(r.status, 0);
  EXPECT_TRUE(contains(r.err, "textless.json") && contains(r.err, "text without")) << r.err;
  r = paint("missing.pigmora");
  EXPECT_NE(r.status, 0);
  EXPECT_TRUE(contains(r.err, "missing.pigmora")) << r.err;
}

}  // namespace
