// The pigmora program running jobs as a user runs them: every example job in data/jobs, the
// demo at a small size, and bad input.
#include <gtest/gtest.h>

#include <OpenImageIO/imageio.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/cli_run.h"
#include "tests/support/test_folder.h"

namespace fs = std::filesystem;

namespace {

CommandRun run(const std::string& args) {
  return runPigmora(args);
}

class JobsTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = freshTestFolder("pigmora_jobs"); }
  void TearDown() override { fs::remove_all(dir_); }

  CommandRun runExample(const std::string& job) {
    return run("run " + std::string(PIGMORA_DATA_DIR) + "/jobs/" + job + ".json --out " +
               (dir_ / "out").string());
  }
  fs::path out(const std::string& name) const { return dir_ / "out" / name; }
  // Writes a job into the test folder and runs it.
  CommandRun runJob(const std::string& json) {
    const fs::path job = dir_ / "job.json";
    std::ofstream(job) << json;
    return run("run " + job.string() + " --out " + (dir_ / "out").string());
  }

  fs::path dir_;
};

struct Image {
  int width = 0, height = 0, channels = 0;
  OIIO::TypeDesc format;
  std::vector<float> pixels;  // normalised
  float at(int x, int y, int c) const {
    return pixels[(static_cast<size_t>(y) * width + x) * channels + c];
  }
};

Image readImage(const fs::path& p) {
  Image img;
  auto in = OIIO::ImageInput::open(p.string());
  if (!in) return img;
  const OIIO::ImageSpec& spec = in->spec();
  img.width = spec.width;
  img.height = spec.height;
  img.channels = spec.nchannels;
  img.format = spec.format;
  img.pixels.resize(static_cast<size_t>(img.width) * img.height * img.channels);
  in->read_image(0, 0, 0, img.channels, OIIO::TypeDesc::FLOAT, img.pixels.data());
  return img;
}

TEST_F(JobsTest, FlatFillTruncatesThePainterColourToEightBitsForEveryDepth) {
  // "QOR Fill Current Layer" floods through an 8-bit work bitmap, each component truncated, and
  // takes the painter's colour without its brightness: (1, 0.5, 0) is (255, 127, 0);
  // (0.3, 0.5, 0.7) is (76, 127, 178), which 16 bits hold as v * 257 = (19532, 32639, 45746);
  // the specular colour (1, 0.5, 0) at brightness 0.5 is still (255, 127, 0), which float holds
  // as v / 255 = (1, 0.498039, 0).
  const CommandRun r = runExample("flat_fill");
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_TRUE(contains(r.out, "    0 0: 255 255 127 0\n    31 31: 255 255 127 0\n")) << r.out;
  EXPECT_TRUE(contains(r.out, "    15 7: 19532 32639 45746\n")) << r.out;
  EXPECT_TRUE(contains(r.out, "    3 4: 1 0.498039 0\n")) << r.out;

  const Image png = readImage(out("flat_color.png"));
  ASSERT_EQ(png.channels, 4);
  EXPECT_EQ(png.format, OIIO::TypeDesc::UINT8);
  EXPECT_EQ(std::lround(png.at(5, 9, 0) * 255), 255);
  EXPECT_EQ(std::lround(png.at(5, 9, 1) * 255), 127);
  EXPECT_EQ(std::lround(png.at(5, 9, 2) * 255), 0);
  EXPECT_EQ(std::lround(png.at(5, 9, 3) * 255), 255);
  const Image tif = readImage(out("flat_bump.tif"));
  ASSERT_EQ(tif.width, 16);
  ASSERT_EQ(tif.height, 8);
  EXPECT_EQ(tif.format, OIIO::TypeDesc::UINT16);
  EXPECT_EQ(std::lround(tif.at(15, 7, 0) * 65535), 19532);
  EXPECT_EQ(std::lround(tif.at(15, 7, 1) * 65535), 32639);
  EXPECT_EQ(std::lround(tif.at(15, 7, 2) * 65535), 45746);
  const Image exr = readImage(out("flat_specular.exr"));
  ASSERT_EQ(exr.channels, 3);
  EXPECT_EQ(exr.format, OIIO::TypeDesc::FLOAT);
  EXPECT_FLOAT_EQ(exr.at(3, 4, 0), 1.0f);
  EXPECT_FLOAT_EQ(exr.at(3, 4, 1), 127 / 255.f);
  EXPECT_FALSE(fs::exists(out("flat_color.png.partial")));
}

TEST_F(JobsTest, FillAngleIsTypedInDegrees) {
  // A box painted with the brush's polygon fill from its top face (+y). At 100 degrees the
  // faces at right angles to it pass (cos 90 = 0 > cos 100): the fill reaches the back face (-z)
  // around the top face's first corner. Read as 100 radians (cos 100 = 0.86) only the top
  // face would pass. UV cells: top face 3 centred at (10, 48), back face 0 at (10, 16).
  const CommandRun r = runJob(R"({"steps": [
    {"step": "object", "name": "Box", "primitive": "box", "size": [100, 100, 100]},
    {"step": "material", "name": "M", "channels": {"color": {"size": 64, "mode": "argb8"}}},
    {"step": "texture_tag", "object": "Box", "material": "M"},
    {"step": "document", "active_object": "Box"},
    {"step": "painter", "colors": {"color": {"primary": [1, 0, 0]}},
     "texture": {"material": "M", "channel": "color"}},
    {"step": "tool", "id": 1035414, "settings": {"10001": true, "10241": true, "10242": 100}},
    {"step": "stroke", "surface": [[0, 50, 0]], "radius": 5},
    {"step": "pixels", "material": "M", "channel": "color", "points": [[10, 48], [10, 16]]}]})");
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_TRUE(contains(r.out, "    10 48: 255 255 0 0\n    10 16: 255 255 0 0\n")) << r.out;
}

TEST_F(JobsTest, BleedRingGrowsTheFilledSquareByDistancePlusOneRings) {
  // The quad's UVs span 0.25 .. 0.75 of a 64-pixel texture: pixels 16 .. 47 are covered. A bleed
  // of distance 2 adds three rings around them (8-neighbourhood), so Chebyshev distance 3.
  const CommandRun r = runExample("bleed_ring");
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_TRUE(contains(r.out,
                       "    16 32: 255 0 102 255\n    47 32: 255 0 102 255\n"
                       "    15 32: 0 0 0 0\n    48 32: 0 0 0 0\n"))
      << r.out;
  const Image ring = readImage(out("ring.png"));
  ASSERT_EQ(ring.width, 64);
  ASSERT_EQ(ring.channels, 4);
  int wrong = 0;
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      const int dx = x < 16 ? 16 - x : (x > 47 ? x - 47 : 0);
      const int dy = y < 16 ? 16 - y : (y > 47 ? y - 47 : 0);
      const bool painted = std::max(dx, dy) <= 3;
      const long a = std::lround(ring.at(x, y, 3) * 255);
      const long g = std::lround(ring.at(x, y, 1) * 255);
      const long b = std::lround(ring.at(x, y, 2) * 255);
      if (painted ? (a != 255 || g != 102 || b != 255) : a != 0) ++wrong;
    }
  }
  EXPECT_EQ(wrong, 0);
}

TEST_F(JobsTest, PaintSphereStrokesShowInTheLayersAndTheRender) {
  const CommandRun r = runExample("paint_sphere");
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  for (const char* f :
       {"Ball_Paint_color.png", "Ball_Paint_color_Background.png", "Ball_Paint_color_Strokes.png",
        "strokes.tif", "ball_color.png", "ball.png"})
    EXPECT_TRUE(fs::exists(out(f))) << f;
  // Every stroke found the surface: no dab reported off it, and each stroke made dabs.
  EXPECT_FALSE(contains(r.out, "off the surface")) << r.out;
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 21) << r.out;

  // The strokes layer is transparent where nothing was painted and holds the stroke colours.
  const Image strokes = readImage(out("Ball_Paint_color_Strokes.png"));
  ASSERT_EQ(strokes.width, 512);
  int red = 0, blue = 0, orange = 0, clear = 0;
  for (int y = 0; y < strokes.height; ++y) {
    for (int x = 0; x < strokes.width; ++x) {
      const float a = strokes.at(x, y, 3), rr = strokes.at(x, y, 0), g = strokes.at(x, y, 1),
                  b = strokes.at(x, y, 2);
      if (a < 0.01f) ++clear;
      if (a > 0.9f && rr > 0.7f && g < 0.15f && b < 0.2f) ++red;
      if (a > 0.9f && b > 0.8f && rr < 0.2f) ++blue;
      if (a > 0.9f && rr > 0.9f && g > 0.3f && g < 0.85f && b < 0.3f) ++orange;
    }
  }
  EXPECT_GT(clear, 512 * 512 / 2);
  EXPECT_GT(red, 500);
  EXPECT_GT(blue, 500);
  EXPECT_GT(orange, 200);  // the star stamp's own colours

  // The render: the backdrop at the corners, a lit white ball in the middle, red strokes on it.
  const Image render = readImage(out("ball.png"));
  ASSERT_EQ(render.width, 480);
  ASSERT_EQ(render.height, 360);
  auto near = [](float v, float want, float tol) { return std::abs(v - want) <= tol; };
  EXPECT_TRUE(near(render.at(2, 2, 2), 0.40f, 0.04f)) << render.at(2, 2, 2);
  EXPECT_GT(render.at(2, 2, 2), render.at(2, 357, 2));  // lighter at the top
  int over = 0, lit = 0, redOnBall = 0;
  for (int y = 0; y < render.height; ++y) {
    for (int x = 0; x < render.width; ++x) {
      const float rr = render.at(x, y, 0), g = render.at(x, y, 1), b = render.at(x, y, 2);
      if (rr > 0.75f && g > 0.75f && b > 0.75f) ++lit;
      if (rr > 0.5f && g < 0.2f && b < 0.25f) ++redOnBall;
      if (x < 20 && y < 20 && !near(b, 0.40f, 0.04f)) ++over;
    }
  }
  EXPECT_EQ(over, 0);
  EXPECT_GT(lit, 480 * 360 / 16);  // the ball covers about a quarter, the lit half of it white
  EXPECT_GT(redOnBall, 300);
}

TEST_F(JobsTest, CrateFormatsWriteEveryImageFileAtItsDepth) {
  const CommandRun r = runExample("crate_formats");
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  const Image tif = readImage(out("wood.tif"));
  EXPECT_EQ(tif.width, 256);
  EXPECT_EQ(tif.channels, 3);
  EXPECT_EQ(tif.format, OIIO::TypeDesc::UINT16);
  // The fill colour (150, 100, 60) where no stroke went, within JPEG's loss in the JPEG.
  const Image jpg = readImage(out("wood.jpg"));
  ASSERT_EQ(jpg.channels, 3);
  EXPECT_NEAR(jpg.at(128, 250, 0) * 255, 150, 4);
  EXPECT_NEAR(jpg.at(128, 250, 1) * 255, 100, 4);
  for (const char* f : {"wood.tga", "wood.bmp"}) {
    const Image img = readImage(out(f));
    ASSERT_EQ(img.width, 256) << f;
    EXPECT_NEAR(img.at(128, 250, 2) * 255, 60, 0.5) << f;
  }
  const Image exr = readImage(out("lid.exr"));
  EXPECT_EQ(exr.width, 128);
  EXPECT_EQ(exr.height, 64);
  EXPECT_EQ(exr.channels, 4);
  EXPECT_NEAR(exr.at(10, 10, 2), 90.0 / 255, 1e-6);
  // The stroke painted yellow into the wood texture.
  int yellow = 0;
  for (int y = 0; y < tif.height; ++y)
    for (int x = 0; x < tif.width; ++x)
      if (tif.at(x, y, 0) > 0.85f && tif.at(x, y, 1) > 0.75f && tif.at(x, y, 2) < 0.4f) ++yellow;
  EXPECT_GT(yellow, 100);
  // Both renders show the crate against the backdrop.
  for (const char* f : {"crate.png", "crate_editor.png"}) {
    const Image img = readImage(out(f));
    ASSERT_EQ(img.width, 320) << f;
    const float centreBlue = img.at(160, 120, 2), cornerBlue = img.at(1, 1, 2);
    EXPECT_GT(std::abs(centreBlue - cornerBlue) + std::abs(img.at(160, 120, 0) - img.at(1, 1, 0)),
              0.1f)
        << f;
  }
}

TEST_F(JobsTest, LibraryFillIsOneUndoStep) {
  // Blue (0, 0, 1) into the corner polygon's UV square (pixels 0 .. 15 of 32) of the top layer.
  const CommandRun r = runExample("library_undo");
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_TRUE(contains(r.out, "mode 21: 16 bits, 4 components")) << r.out;
  EXPECT_TRUE(contains(r.out, "    4 4: 255 0 0 255\n    28 28: 0 0 0 0\n[11] undo")) << r.out;
  EXPECT_TRUE(
      contains(r.out, "[12] pixels         0.000 s  Tiles_color_Top in argb8\n    4 4: 0 0 0 0\n"))
      << r.out;
  EXPECT_TRUE(contains(
      r.out, "[14] pixels         0.000 s  Tiles_color_Top in argb8\n    4 4: 255 0 0 255\n"))
      << r.out;
  EXPECT_TRUE(fs::exists(out("top_preview.png")));
  EXPECT_TRUE(fs::exists(out("Tiles_color_Top.png")));
}

TEST_F(JobsTest, DemoPaintsAndWritesItsImagesAtASmallSize) {
  const CommandRun r = run("demo --size 256 --out " + (dir_ / "out").string());
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_TRUE(contains(r.out, "[ 1] object ")) << r.out;
  EXPECT_TRUE(contains(r.out, "done: ")) << r.out;
  EXPECT_FALSE(contains(r.out, "off the surface")) << r.out;
  for (const char* f : {"sphere_paint_layer.png", "sphere_color.png", "box_paint_layer.png",
                        "box_color.png", "preview.png"})
    ASSERT_TRUE(fs::exists(out(f))) << f;
  const Image layer = readImage(out("sphere_paint_layer.png"));
  ASSERT_EQ(layer.width, 256);
  int painted = 0;
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x)
      if (layer.at(x, y, 3) > 0.5f) ++painted;
  EXPECT_GT(painted, 256 * 256 / 20);
  EXPECT_LT(painted, 256 * 256 / 2);
}

TEST_F(JobsTest, BadInputGivesOneSentenceNamingFileAndStep) {
  struct Case {
    std::string job;
    std::string expected;  // part of the one line on stderr
  };
  const std::string data = PIGMORA_DATA_DIR;
  const std::string grid =
      R"({"step": "object", "name": "G", "primitive": "grid", "columns": 1, "rows": 1})";
  const std::vector<Case> cases = {
      {"{\"steps\": [" + grid + ", {\"step\": \"paint_everything\"}]}",
       "step 2 (paint_everything): there is no step named \"paint_everything\"."},
      {R"({"steps": [{"step": "object", "name": "T", "obj": ")" + data +
           R"(/meshes/no_uvs.obj"}]})",
       "step 1 (object): The mesh file " + data +
           "/meshes/no_uvs.obj has faces without texture coordinates"},
      {"{\"steps\": [" + grid +
           R"(, {"step": "selection", "object": "G", "name": "S", "polygons": [0, 7]}]})",
       "step 2 (selection): polygon 7 is out of range: G has 1 polygons."},
      {R"({"steps": [{"step": "material", "name": "M", "channels": {"color": {"size": 0}}}]})",
       "step 1 (material): \"channels.color.size\" must be a whole number from 1 to 16384 or "
       "[width, height], not 0."},
      {R"({"steps": [{"step": "material", "name": "M", "channels": {"color": {"size": [64, 20000]}}}]})",
       "step 1 (material): \"channels.color.size\" must be [width, height] with whole numbers "
       "from 1 to 16384, not [64,20000]."},
      {R"({"steps": [{"step": "command", "id": 1234}]})",
       "step 1 (command): the plug-in registers no command with the id 1234."},
      {R"({"steps": [{"step": "document", "active_object": "Nobody"}]})",
       "step 1 (document): there is no object named \"Nobody\"."},
      {"{\"steps\": [" + grid +
           R"(, {"step": "material", "name": "M", "channels": {"color": {"size": 8}}},
         {"step": "save", "material": "M", "file": "../escaped.png"}]})",
       "step 3 (save): the output file name \"../escaped.png\" must stay inside the output "
       "folder."},
      {"{\"steps\": [" + grid +
           R"(, {"step": "material", "name": "M", "channels": {"color": {"size": 8}}},
         {"step": "save", "material": "M", "file": "picture.xyz"}]})",
       "step 3 (save): The image "},
      {R"({"steps": [{"step": "material", "name": "M", "channels": {"color": {"file": "missing.png"}}}]})",
       "missing.png does not exist."},
      {R"({"steps": [{"step": "material", "name": "M", "channels": {"color": {"size": 8, "mode": "cmyk"}}}]})",
       "step 1 (material): \"channels.color.mode\" must be a paintable colour mode"},
      {R"({"steps": [{"step": "object", "name": 5, "primitive": "box"}]})",
       "step 1 (object): \"name\" must be a string, not 5."},
      {R"({"steps": {"not": "a list"}})", "must be an object with a list of \"steps\"."},
      {R"({"steps": [1, 2]})", "step 1 (?): every step must be an object"},
  };
  const std::string job = (dir_ / "job.json").string();
  for (const Case& c : cases) {
    const CommandRun r = runJob(c.job);
    EXPECT_NE(r.status, 0) << c.job;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_EQ(r.err.rfind("pigmora: ", 0), 0u) << r.err;
    EXPECT_TRUE(contains(r.err, job) || contains(r.err, "The job file")) << r.err;
    EXPECT_TRUE(contains(r.err, c.expected)) << r.err << "\nwanted: " << c.expected;
  }
  // Nothing was written outside the output folder, and no half-written file was left.
  EXPECT_FALSE(fs::exists(dir_ / "escaped.png"));
  EXPECT_FALSE(fs::exists(dir_ / "out" / "picture.xyz"));
  EXPECT_FALSE(fs::exists(dir_ / "out" / "picture.xyz.partial"));
}

TEST_F(JobsTest, UnreadableJobsAndFoldersAreRefusedBeforeAnyStep) {
  const CommandRun missing = run("run " + (dir_ / "nothing.json").string());
  EXPECT_NE(missing.status, 0);
  EXPECT_EQ(missing.err,
            "pigmora: The job file " + (dir_ / "nothing.json").string() + " does not exist.\n");

  const fs::path broken = dir_ / "broken.json";
  std::ofstream(broken) << "{\"steps\": [ {\"step\": \"object\", } ]";
  const CommandRun malformed = run("run " + broken.string() + " --out " + (dir_ / "out").string());
  EXPECT_NE(malformed.status, 0);
  EXPECT_EQ(
      malformed.err.rfind("pigmora: The job file " + broken.string() + " is not valid JSON: ", 0),
      0u)
      << malformed.err;
  EXPECT_EQ(std::count(malformed.err.begin(), malformed.err.end(), '\n'), 1);
  EXPECT_TRUE(malformed.out.empty());

  const fs::path job = dir_ / "ok.json";
  std::ofstream(job) << R"({"steps": []})";
  const CommandRun folder = run("run " + job.string() + " --out /proc/pigmora-cannot-write-here");
  EXPECT_NE(folder.status, 0);
  EXPECT_EQ(folder.err.rfind("pigmora: The output folder /proc/pigmora-cannot-write-here cannot be "
                             "written: ",
                             0),
            0u)
      << folder.err;
  EXPECT_EQ(std::count(folder.err.begin(), folder.err.end(), '\n'), 1);
}

TEST_F(JobsTest, PaintViewJobUsesTheWindowAsAUserWouldAndRendersIt) {
  const CommandRun r = runExample("paint_view");
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  // Six island materials: six cells; the channel label follows the chosen channel.
  EXPECT_TRUE(contains(r.out, "\"Pigmora Material View\"")) << r.out;
  EXPECT_TRUE(contains(r.out, "6 cells")) << r.out;
  EXPECT_TRUE(contains(r.out, "\"Channel: bump\"")) << r.out;
  EXPECT_TRUE(contains(r.out, "\"Channel: color\"")) << r.out;
  EXPECT_TRUE(contains(r.out, "1 polygon selected (was 0)")) << r.out;
  EXPECT_TRUE(contains(r.out, "hidden layers \"Wireframe\" (was none)")) << r.out;
  const Image window = readImage(out("paint_view.png"));
  EXPECT_GE(window.width, 600);
  EXPECT_GE(window.height, 600);
  EXPECT_TRUE(fs::exists(out("crate_uv0_color.png")));

  // Targets that are not there are named with the step.
  const std::string setup =
      R"({"step": "object", "name": "G", "primitive": "box"}, {"step": "command", "id": 1036152},
         {"step": "ui_open", "id": 1035527})";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {R"({"step": "ui_click", "cell": 9})",
       "step 4 (ui_click): the area has no cell 9 (it shows 6 cells)."},
      {R"({"step": "ui_menu", "cell": 0, "entry": "View Layer/Nothing"})",
       "step 4 (ui_menu): The menu has no entry \"View Layer/Nothing\"."},
      {R"({"step": "ui_panel", "entry": "Paint Everything"})",
       "step 4 (ui_panel): the side menu shows no entry \"Paint Everything\""},
      {R"({"step": "ui_click", "window": "Nowhere", "at": [1, 1]})",
       "step 4 (ui_click): there is no open window \"Nowhere\"."},
      {R"({"step": "ui_drag", "cell": 0, "uv": [[0.5, 0.5]]})",
       "step 4 (ui_drag): \"uv\" must be a list of two or more [u, v] points from 0 to 1"},
      {R"({"step": "ui_click", "cell": 0, "colour": "red"})",
       "step 4 (ui_click): the key \"colour\" is unknown"},
  };
  for (const auto& [step, expected] : cases) {
    const CommandRun bad = runJob("{\"steps\": [" + setup + ", " + step + "]}");
    EXPECT_NE(bad.status, 0) << step;
    EXPECT_EQ(std::count(bad.err.begin(), bad.err.end(), '\n'), 1) << bad.err;
    EXPECT_TRUE(contains(bad.err, expected)) << bad.err << "\nwanted: " << expected;
  }
  const CommandRun none = runJob(R"({"steps": [{"step": "render_window"}]})");
  EXPECT_TRUE(contains(none.err, "step 1 (render_window): no window is open")) << none.err;
}

TEST_F(JobsTest, BookmarkedDocumentIsSavedReloadedAndPaintedFurther) {
  const CommandRun first = runExample("bookmarks_paint");
  ASSERT_EQ(first.status, 0) << first.out << first.err;
  EXPECT_TRUE(contains(first.out, "3 cameras bookmarked (ids 1, 2, 3)")) << first.out;
  ASSERT_TRUE(fs::exists(out("painted.pigmora")));
  const CommandRun second = runExample("bookmarks_continue");
  ASSERT_EQ(second.status, 0) << second.out << second.err;
  EXPECT_TRUE(contains(second.out, "3 camera bookmarks")) << second.out;
  for (int i = 0; i < 3; ++i) {
    const Image preview = readImage(out("bookmark_" + std::to_string(i) + ".png"));
    EXPECT_EQ(preview.width, 512) << i;
    EXPECT_EQ(preview.height, 512) << i;
  }
  // The second job's strokes went onto what the first one painted.
  const Image before = readImage(out("ball_before.png")), after = readImage(out("ball_after.png"));
  ASSERT_EQ(before.width, after.width);
  int changed = 0;
  for (size_t i = 0; i < before.pixels.size(); ++i)
    changed += std::abs(before.pixels[i] - after.pixels[i]) > 0.2f ? 1 : 0;
  EXPECT_GT(changed, 1000);

  const CommandRun open = run("open " + out("continued.pigmora").string());
  ASSERT_EQ(open.status, 0) << open.err;
  EXPECT_TRUE(
      contains(open.out, "5 objects, 2 materials, 2 textures with 3 layers, 3 camera bookmarks"))
      << open.out;
  EXPECT_TRUE(contains(open.out, "bookmark 2 (id 3): offset (60, 60, -420)")) << open.out;

  // The same document as JSON: the whole scene report, with the bookmarks in their order.
  const CommandRun asJson = run("open --json " + out("continued.pigmora").string());
  ASSERT_EQ(asJson.status, 0) << asJson.err;
  const nlohmann::json report = nlohmann::json::parse(asJson.out);
  EXPECT_EQ(report["objects"].size(), 5u);
  EXPECT_EQ(report["materials"].size(), 2u);
  const nlohmann::json& marks = report["document"]["bookmarks"];
  ASSERT_EQ(marks.size(), 3u);
  EXPECT_EQ(marks[2]["id"], 3);
  EXPECT_EQ(marks[2]["offset"], nlohmann::json::array({60.0, 60.0, -420.0}));

  // A document cut short is refused in one sentence that names it.
  const std::string whole = slurp(out("continued.pigmora"));
  std::ofstream(out("cut.pigmora"), std::ios::binary) << whole.substr(0, whole.size() / 2);
  const CommandRun cut = run("open " + out("cut.pigmora").string());
  EXPECT_EQ(cut.status, 1);
  EXPECT_EQ(
      cut.err.rfind("pigmora: The document " + out("cut.pigmora").string() + " is truncated", 0),
      0u)
      << cut.err;
  EXPECT_EQ(std::count(cut.err.begin(), cut.err.end(), '\n'), 1) << cut.err;
}

// Counts the pixels of a saved texture that the red stroke of udim_islands.json covers.
int redPixels(const Image& img) {
  int n = 0;
  for (int y = 0; y < img.height; ++y)
    for (int x = 0; x < img.width; ++x)
      if (img.at(x, y, 0) > 0.6f && img.at(x, y, 1) < 0.4f && img.at(x, y, 2) < 0.4f) ++n;
  return n;
}

TEST_F(JobsTest, UdimIslandsPaintsOneStrokeAcrossTwoTiles) {
  const CommandRun r = runExample("udim_islands");
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_TRUE(contains(r.out, "\"QOR Create UDIM Per UV Island\": ran, +2 materials")) << r.out;
  // The textures were created in the document's folder, inside the output folder.
  EXPECT_TRUE(fs::exists(out("textures/Sign_UDIM_1001_color.png")));
  EXPECT_TRUE(fs::exists(out("textures/Sign_UDIM_1002_color.png")));
  const Image left = readImage(out("sign_1001.png"));
  const Image right = readImage(out("sign_1002.png"));
  ASSERT_EQ(left.width, 256);
  // A stroke of radius 10 over about 80 units of each 100-unit half: thousands of texels each.
  EXPECT_GT(redPixels(left), 2000);
  EXPECT_GT(redPixels(right), 2000);
  const nlohmann::json scene = nlohmann::json::parse(slurp(out("sign_scene.json")));
  ASSERT_EQ(scene["objects"].size(), 1u);
  // Island 0 holds polygon 0 and lies in tile 1001: its u stays below 1.
  EXPECT_LT(scene["objects"][0]["uvs"]["0"][0][0].get<double>(), 1.0);
  EXPECT_GT(scene["objects"][0]["uvs"]["31"][0][0].get<double>(), 1.0);
}

TEST_F(JobsTest, UdimTextureSetLinksEachFileToItsTileAndChannel) {
  const CommandRun r = runExample("udim_texture_set");
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  const nlohmann::json scene = nlohmann::json::parse(slurp(out("sign_scene.json")));
  std::map<std::string, std::string> links;  // "material channel" -> file
  for (const auto& m : scene["materials"])
    for (const auto& c : m["channels"])
      links[m["name"].get<std::string>() + " " + c["channel"].get<std::string>()] =
          c["file"].get<std::string>();
  const std::map<std::string, std::string> expected = {
      {"Sign_UDIM_1001 color", "wall_1001_color.png"},
      {"Sign_UDIM_1001 specularcolor", "wall_1001_specularcolor.png"},
      {"Sign_UDIM_1001 bump", "wall_1001_bump.png"},
      {"Sign_UDIM_1002 color", "wall_1002_color.png"},
      {"Sign_UDIM_1002 bump", "wall_1002_bump.png"}};
  EXPECT_EQ(links, expected);
  EXPECT_TRUE(fs::exists(out("udim_loader.png")));
  // The saved colour map is the file's bricks (mortar is 200 grey, bricks reddish).
  const Image color = readImage(out("sign_1001_color.png"));
  ASSERT_EQ(color.width, 128);
  EXPECT_GT(color.at(8, 8, 0), color.at(8, 8, 2) + 0.2f);
}

TEST_F(JobsTest, CommandStepsReportStateQuestionsAndBadInput) {
  const std::string grid =
      R"({"step": "object", "name": "G", "primitive": "grid", "columns": 11, "rows": 1})";
  const CommandRun asked = runJob("{\"steps\": [" + grid +
                                  R"(, {"step": "command", "name": "QOR Create Poly Materials"},
      {"step": "command", "id": 1035526, "answers": ["yes"]},
      {"step": "document", "mode": 11},
      {"step": "command", "name": "QOR Select Edges"}]})");
  ASSERT_EQ(asked.status, 0) << asked.err;
  EXPECT_TRUE(contains(asked.out,
                       "asked \"Warning: Are you sure you want to do this? This will "
                       "create 11 materials and textures on this object.\": No"))
      << asked.out;
  EXPECT_TRUE(contains(asked.out, ": Yes, +11 materials")) << asked.out;
  EXPECT_TRUE(contains(asked.out, "\"QOR Select Edges\": disabled, not run")) << asked.out;

  struct Case {
    std::string steps, expected;
  };
  const std::vector<Case> cases = {
      {R"({"step": "command", "name": "QOR Paint Everything"})",
       "step 2 (command): the plug-in registers no command named \"QOR Paint Everything\"."},
      {R"({"step": "command", "name": "QOR Select Edges", "objekt": "G"})",
       "step 2 (command): the key \"objekt\" is unknown (did you mean \"object\"?)."},
      {R"({"step": "dialog", "command": "QOR Setup UDIMs", "object": "G", "set": {"1001": "no/such/file.png"}})",
       "no/such/file.png does not exist."},
      {R"({"step": "dialog", "command": "QOR Setup UDIMs", "object": "G", "press": [4711]})",
       "step 2 (dialog): the window \"UDIM Loader\" has no button 4711 that can be pressed."},
      {R"({"step": "dialog", "command": "QOR Delete Texture Tags"})",
       "step 2 (dialog): the command \"QOR Delete Texture Tags\" opened no window."},
      {R"({"step": "print", "object": "G", "polygons": [11]})",
       "step 2 (print): polygon 11 is out of range: G has 11 polygons."},
      {R"({"step": "scene", "object": "G"})",
       "step 2 (scene): the step \"scene\" is now part of \"print\": {\"step\": \"print\", "
       "\"show\": [\"objects\", \"materials\"]} lists the objects and materials"},
      {R"({"step": "select", "object": "G", "selection": "UDIM_1001"})",
       "step 2 (select): G has no selection tag named \"UDIM_1001\"."},
      {R"({"step": "document", "folder": "../outside"})",
       "step 2 (document): the output file name \"../outside\" must stay inside the output "
       "folder."},
      {R"({"step": "document", "parameters": {"1012": "/tmp"}})",
       "step 2 (document): the document's folder (1012) is set with \"folder\""},
  };
  for (const Case& c : cases) {
    const CommandRun r = runJob("{\"steps\": [" + grid + ", " + c.steps + "]}");
    EXPECT_NE(r.status, 0) << c.steps;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_TRUE(contains(r.err, c.expected)) << r.err << "\nwanted: " << c.expected;
  }
  EXPECT_FALSE(fs::exists(dir_ / "outside"));
}

}  // namespace
