// What `save` writes: sample depths kept or chosen, colour spaces converted and tagged per channel
// kind and read back the same way, all channels of a material at once, one file per UDIM tile.
#include <gtest/gtest.h>

#include <OpenImageIO/imageio.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/cli_run.h"
#include "tests/support/test_folder.h"

namespace fs = std::filesystem;

namespace {

struct Image {
  int width = 0, height = 0, channels = 0;
  OIIO::TypeDesc format;
  std::string colorspace, description;
  std::vector<float> pixels;  // normalised
  float at(int x, int y, int c) const {
    return pixels[(static_cast<size_t>(y) * width + x) * channels + c];
  }
  long at16(int x, int y, int c) const { return std::lround(at(x, y, c) * 65535.0); }
};

// Straight alpha when `straight`: colours as the file holds them, not multiplied by alpha.
Image readImage(const fs::path& p, bool straight = false) {
  Image img;
  OIIO::ImageSpec config;
  if (straight) config.attribute("oiio:UnassociatedAlpha", 1);
  auto in = OIIO::ImageInput::open(p.string(), &config);
  if (!in) return img;
  const OIIO::ImageSpec& spec = in->spec();
  img.width = spec.width;
  img.height = spec.height;
  img.channels = spec.nchannels;
  img.format = spec.format;
  img.colorspace = spec.get_string_attribute("oiio:ColorSpace");
  img.description = spec.get_string_attribute("ImageDescription");
  img.pixels.resize(static_cast<size_t>(img.width) * img.height * img.channels);
  in->read_image(0, 0, 0, img.channels, OIIO::TypeDesc::FLOAT, img.pixels.data());
  return img;
}

// A 64 x 64 rgb16 colour texture on a card with a soft stroke across it, so that it holds every
// value between the fill and the paint, most of them not multiples of 257 (8-bit values).
const std::string kGradientScene = R"(
    {"step": "object", "name": "Card", "primitive": "grid", "columns": 1, "rows": 1, "size": 100},
    {"step": "material", "name": "Tex", "channels": {"color": {"size": 64, "mode": "rgb16", "fill": [20, 120, 240]}}},
    {"step": "texture_tag", "object": "Card", "material": "Tex"},
    {"step": "tool", "settings": {"radius": 40, "strength": 1, "falloff": [[0, 1], [1, 0]]}},
    {"step": "painter", "colors": {"color": {"primary": [0.95, 0.6, 0.05]}},
     "texture": {"material": "Tex"}},
    {"step": "stroke", "uv": [[0.1, 0.5], [0.9, 0.5]]})";

class OutputTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = freshTestFolder("pigmora_output"); }
  void TearDown() override { fs::remove_all(dir_); }

  CommandRun runJob(const std::string& steps) {
    const fs::path job = dir_ / "job.json";
    std::ofstream(job) << "{\"steps\": [" << steps << "]}";
    return runPigmora("run " + job.string() + " --out " + (dir_ / "out").string());
  }
  fs::path out(const std::string& name) const { return dir_ / "out" / name; }

  fs::path dir_;
};

TEST_F(OutputTest, SixteenBitLayersKeepEverySixteenBitValueInTiff) {
  std::string points;
  // A column across the stroke, from the fill through the falloff to the paint and back.
  for (int y = 0; y < 64; ++y) points += (y ? ", [32, " : "[32, ") + std::to_string(y) + "]";
  const CommandRun r = runJob(kGradientScene + R"(,
      {"step": "save", "material": "Tex", "file": "tex.tif"},
      {"step": "save", "material": "Tex", "file": "tex16.png"},
      {"step": "pixels", "material": "Tex", "points": [)" +
                              points + "]}");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(contains(r.out, "tex.tif (64x64 rgb16 as uint16 sRGB)")) << r.out;
  const Image tif = readImage(out("tex.tif")), png = readImage(out("tex16.png"));
  ASSERT_EQ(tif.format, OIIO::TypeDesc::UINT16);
  ASSERT_EQ(png.format, OIIO::TypeDesc::UINT16);
  // Every value the pixels step printed is in both files, bit for bit.
  std::istringstream lines(r.out.substr(r.out.find(" in rgb16\n") + 10));
  int checked = 0, finer = 0;
  for (std::string line; std::getline(lines, line) && line.rfind("    ", 0) == 0;) {
    int x, y;
    long c[3];
    ASSERT_EQ(std::sscanf(line.c_str(), " %d %d: %ld %ld %ld", &x, &y, &c[0], &c[1], &c[2]), 5);
    for (int k = 0; k < 3; ++k) {
      EXPECT_EQ(tif.at16(x, y, k), c[k]) << x;
      EXPECT_EQ(png.at16(x, y, k), c[k]) << x;
      finer += c[k] % 257 != 0;
    }
    ++checked;
  }
  EXPECT_EQ(checked, 64);
  EXPECT_GT(finer, 20);  // the gradient really uses the bits below the top eight
}

TEST_F(OutputTest, EightBitLayersKeepEveryByteAndTheirAlpha) {
  // A soft stroke over a transparent fill: alpha and colour take every value from 0 to the paint.
  std::string points;
  for (int y = 0; y < 64; ++y) points += (y ? ", [32, " : "[32, ") + std::to_string(y) + "]";
  const CommandRun r = runJob(R"(
      {"step": "object", "name": "Card", "primitive": "grid", "columns": 1, "rows": 1, "size": 100},
      {"step": "material", "name": "Tex", "channels": {"color": {"size": 64, "mode": "argb8", "fill": null}}},
      {"step": "texture_tag", "object": "Card", "material": "Tex"},
      {"step": "tool", "settings": {"radius": 40, "strength": 0.9, "falloff": [[0, 1], [1, 0]]}},
      {"step": "painter", "colors": {"color": {"primary": [0.95, 0.6, 0.05]}},
       "texture": {"material": "Tex"}},
      {"step": "stroke", "uv": [[0.1, 0.5], [0.9, 0.5]]},
      {"step": "save", "material": "Tex", "file": "tex.png"},
      {"step": "save", "material": "Tex", "file": "tex.tga"},
      {"step": "save", "material": "Tex", "file": "tex.jpg"},
      {"step": "pixels", "material": "Tex", "points": [)" +
                              points + "]}");
  ASSERT_EQ(r.status, 0) << r.err;
  const Image png = readImage(out("tex.png"), true), tga = readImage(out("tex.tga"), true),
              jpg = readImage(out("tex.jpg"), true);
  ASSERT_EQ(png.format, OIIO::TypeDesc::UINT8);
  ASSERT_EQ(png.channels, 4);
  ASSERT_EQ(tga.channels, 4);
  ASSERT_EQ(jpg.channels, 3);  // JPEG keeps the colour only
  auto byte = [](const Image& img, int x, int y, int c) {
    return std::lround(img.at(x, y, c) * 255.0);
  };
  std::istringstream lines(r.out.substr(r.out.find(" in argb8\n") + 10));
  int checked = 0, partial = 0;
  for (std::string line; std::getline(lines, line) && line.rfind("    ", 0) == 0;) {
    int x, y;
    long a, c[3];
    ASSERT_EQ(std::sscanf(line.c_str(), " %d %d: %ld %ld %ld %ld", &x, &y, &a, &c[0], &c[1], &c[2]),
              6);
    // Files hold alpha last.
    EXPECT_EQ(byte(png, x, y, 3), a) << y;
    EXPECT_EQ(byte(tga, x, y, 3), a) << y;
    for (int k = 0; k < 3; ++k) {
      EXPECT_EQ(byte(png, x, y, k), c[k]) << y;
      if (a > 0) {
        EXPECT_EQ(byte(tga, x, y, k), c[k]) << y;
      }
    }
    partial += a > 0 && a < 255;
    ++checked;
  }
  EXPECT_EQ(checked, 64);
  EXPECT_GT(partial, 10);  // the falloff leaves many pixels partly covered
}

TEST_F(OutputTest, PngCompressionLevelsChangeTheSizeNotThePixels) {
  const CommandRun r = runJob(kGradientScene + R"(,
      {"step": "save", "material": "Tex", "file": "fast.png", "compression": 0},
      {"step": "save", "material": "Tex", "file": "small.png", "compression": 9},
      {"step": "save", "material": "Tex", "file": "plain.png"})");
  ASSERT_EQ(r.status, 0) << r.err;
  // Level 0 stores the 64 x 64 x 3 x 2 bytes of samples uncompressed.
  EXPECT_GT(fs::file_size(out("fast.png")), 64u * 64 * 3 * 2);
  EXPECT_LT(fs::file_size(out("small.png")), fs::file_size(out("fast.png")) / 2);
  const Image fast = readImage(out("fast.png")), small = readImage(out("small.png")),
              plain = readImage(out("plain.png"));
  ASSERT_EQ(fast.pixels.size(), 64u * 64 * 3);
  EXPECT_EQ(fast.pixels, small.pixels);
  EXPECT_EQ(fast.pixels, plain.pixels);

  // A level is PNG's alone; the check and the run both say so.
  const CommandRun tif = runJob(kGradientScene + R"(,
      {"step": "save", "material": "Tex", "file": "tex.tif", "compression": 5})");
  EXPECT_NE(tif.status, 0);
  EXPECT_TRUE(contains(tif.err, "only PNG files have one")) << tif.err;
  EXPECT_FALSE(fs::exists(out("tex.tif")));
  const CommandRun high = runJob(kGradientScene + R"(,
      {"step": "save", "material": "Tex", "file": "tex.png", "compression": 12})");
  EXPECT_NE(high.status, 0);
  EXPECT_TRUE(contains(high.err, "compression")) << high.err;
}

// The chunks of a PNG file other than its pixel data, in order, each type with its bytes.
std::vector<std::pair<std::string, std::string>> pngChunks(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::pair<std::string, std::string>> chunks;
  for (size_t at = 8; at + 12 <= bytes.size();) {
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data() + at);
    const size_t length = (size_t{b[0]} << 24) | (size_t{b[1]} << 16) | (size_t{b[2]} << 8) | b[3];
    const std::string type = bytes.substr(at + 4, 4);
    if (type != "IDAT") chunks.emplace_back(type, bytes.substr(at + 8, length));
    at += 12 + length;
  }
  return chunks;
}

TEST_F(OutputTest, LargePngsHoldEveryByteAndTheChunksTheImageLibraryWrites) {
  // 1200 rows of 4800 bytes are deflated in several strips (about 2 MiB each) on more than one
  // thread; the strokes make every strip differ from the next.
  const CommandRun r = runJob(R"(
      {"step": "object", "name": "Card", "primitive": "grid", "columns": 1, "rows": 1, "size": 100},
      {"step": "material", "name": "Tex", "channels": {"color": {"size": 1200, "mode": "argb8", "fill": [30, 90, 200]}}},
      {"step": "texture_tag", "object": "Card", "material": "Tex"},
      {"step": "tool", "settings": {"radius": 12, "strength": 0.8, "falloff": [[0, 1], [1, 0]]}},
      {"step": "painter", "colors": {"color": {"primary": [0.95, 0.6, 0.05]}},
       "texture": {"material": "Tex"}},
      {"step": "stroke", "uv": [[0.05, 0.02], [0.95, 0.3], [0.05, 0.6], [0.95, 0.98]]},
      {"step": "save", "material": "Tex", "file": "tex.png"},
      {"step": "save", "material": "Tex", "file": "tex.tga"},
      {"step": "save", "material": "Tex", "file": "lin.png", "colorspace": "linear"})");
  ASSERT_EQ(r.status, 0) << r.err;
  const Image png = readImage(out("tex.png"), true), tga = readImage(out("tex.tga"), true);
  ASSERT_EQ(png.width, 1200);
  ASSERT_EQ(png.height, 1200);
  ASSERT_EQ(png.channels, 4);
  EXPECT_EQ(png.colorspace, "sRGB");
  // The fill is opaque: the image library's TGA writer holds the same bytes.
  EXPECT_EQ(png.pixels, tga.pixels);
  EXPECT_EQ(readImage(out("lin.png")).colorspace, "Linear");

  // The same pixels and tags written by the image library give the same chunks.
  for (const char* name : {"tex.png", "lin.png"}) {
    const Image img = readImage(out(name), true);
    OIIO::ImageSpec spec(img.width, img.height, 4, OIIO::TypeDesc::UINT8);
    spec.alpha_channel = 3;
    spec.attribute("oiio:UnassociatedAlpha", 1);
    spec.attribute("oiio:ColorSpace", img.colorspace);
    const fs::path reference = dir_ / (std::string("reference_") + name);
    auto writer = OIIO::ImageOutput::create(reference.string());
    ASSERT_TRUE(writer && writer->open(reference.string(), spec));
    ASSERT_TRUE(writer->write_image(OIIO::TypeDesc::FLOAT, img.pixels.data()));
    writer->close();
    EXPECT_EQ(pngChunks(out(name)), pngChunks(reference)) << name;
    EXPECT_EQ(readImage(reference, true).pixels, img.pixels) << name;
  }
}

TEST_F(OutputTest, ExrRoundTripOfAColourLayerIsWithinOneSixteenBitStep) {
  // Written linear as float (a 16-bit layer is never squeezed into half unless asked), opened
  // again as the texture of a second material (a float layer, linear), and written back as
  // 16-bit sRGB.
  const CommandRun r = runJob(kGradientScene + R"(,
      {"step": "save", "material": "Tex", "file": "tex.tif"},
      {"step": "save", "material": "Tex", "file": "tex.exr"},
      {"step": "save", "material": "Tex", "file": "tex_half.exr", "depth": "half"},
      {"step": "material", "name": "Back", "channels": {"color": {"file": "out/tex.exr"}}},
      {"step": "save", "material": "Back", "file": "back.tif", "depth": "uint16"})");
  ASSERT_EQ(r.status, 0) << r.err;
  const Image orig = readImage(out("tex.tif")), exr = readImage(out("tex.exr")),
              half = readImage(out("tex_half.exr")), back = readImage(out("back.tif"));
  EXPECT_EQ(exr.format, OIIO::TypeDesc::FLOAT);
  EXPECT_EQ(half.format, OIIO::TypeDesc::HALF);
  EXPECT_EQ(exr.colorspace, "Linear");
  ASSERT_EQ(back.width, 64);
  ASSERT_EQ(back.format, OIIO::TypeDesc::UINT16);
  EXPECT_EQ(back.colorspace, "sRGB");
  // The fill's blue 240 is 240/255 = 0.941176 in sRGB, ((0.941176 + 0.055) / 1.055)^2.4 =
  // 0.871367 linear, at a corner the stroke does not reach.
  EXPECT_NEAR(exr.at(0, 0, 2), 0.871367f, 1e-5f);
  long worst = 0;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x)
      for (int c = 0; c < 3; ++c)
        worst = std::max(worst, std::abs(back.at16(x, y, c) - orig.at16(x, y, c)));
  EXPECT_LE(worst, 1);
}

TEST_F(OutputTest, ColourChannelsAreConvertedAndTaggedAndDataIsLeftAlone) {
  // 128 of 255 is 0.501961 in sRGB and ((0.501961 + 0.055) / 1.055)^2.4 = 0.215861 linear.
  const CommandRun r = runJob(R"(
      {"step": "object", "name": "G", "primitive": "grid", "columns": 1, "rows": 1, "size": 100},
      {"step": "material", "name": "M", "channels": {
        "color": {"size": 8, "fill": [128, 128, 128]},
        "bump": {"size": 8, "mode": "rgb16", "fill": [128, 128, 128]},
        "normal": {"size": 8, "mode": "rgbf", "fill": [128, 128, 128]}}},
      {"step": "save", "material": "M", "channels": "all"},
      {"step": "save", "material": "M", "channels": "all", "file": "m_<CHANNEL>.exr"},
      {"step": "save", "material": "M", "file": "lin.tif", "depth": "uint16", "colorspace": "linear"},
      {"step": "save", "material": "M", "channel": "normal", "file": "n_srgb.png", "colorspace": "srgb"})");
  ASSERT_EQ(r.status, 0) << r.err;
  const Image color = readImage(out("M_color.png")), bump = readImage(out("M_bump.png")),
              normal = readImage(out("M_normal.png"));
  EXPECT_EQ(color.colorspace, "sRGB");
  EXPECT_EQ(color.format, OIIO::TypeDesc::UINT8);
  EXPECT_NEAR(color.at(1, 1, 0) * 255, 128, 1e-3);
  EXPECT_EQ(bump.format, OIIO::TypeDesc::UINT16);
  EXPECT_EQ(bump.at16(1, 1, 0), 128 * 257);
  EXPECT_EQ(bump.colorspace, "Linear");              // data: no transfer function
  EXPECT_EQ(normal.format, OIIO::TypeDesc::UINT16);  // a float layer into PNG
  EXPECT_NEAR(normal.at(1, 1, 0), 128 / 255.0, 1.0 / 65535);

  const Image colorExr = readImage(out("m_color.exr")), bumpExr = readImage(out("m_bump.exr"));
  EXPECT_EQ(colorExr.format, OIIO::TypeDesc::HALF);  // 8 bits fit a half
  EXPECT_NEAR(colorExr.at(1, 1, 0), 0.215861, 2e-4);
  EXPECT_NEAR(colorExr.at(1, 1, 3), 1.0, 1e-6);  // alpha is never converted
  EXPECT_EQ(bumpExr.format, OIIO::TypeDesc::FLOAT);
  EXPECT_NEAR(bumpExr.at(1, 1, 0), 128 / 255.0, 1e-6);

  const Image lin = readImage(out("lin.tif"));
  EXPECT_EQ(lin.description, "colorspace: linear");
  EXPECT_NEAR(lin.at(1, 1, 0), 0.215861, 2.0 / 65535);
  // Data written as sRGB is encoded from its values as if they were linear.
  const Image ns = readImage(out("n_srgb.png"));
  EXPECT_EQ(ns.colorspace, "sRGB");
  // 0.501961 linear: 1.055 * 0.501961^(1/2.4) - 0.055 = 0.735357.
  EXPECT_NEAR(ns.at(1, 1, 0), 0.735357, 1.0 / 255);
}

TEST_F(OutputTest, LinearFilesAreReadBackIntoSrgbLayers) {
  // A 16-bit PNG tagged linear (gAMA 1.0) holding 0.215861 opens as a 16-bit colour layer,
  // which holds sRGB: 0.501961, 32896 of 65535.
  {
    auto file = OIIO::ImageOutput::create((dir_ / "linear.png").string());
    OIIO::ImageSpec spec(4, 4, 3, OIIO::TypeDesc::UINT16);
    spec.attribute("oiio:ColorSpace", "Linear");
    ASSERT_TRUE(file->open((dir_ / "linear.png").string(), spec));
    std::vector<float> px(4 * 4 * 3, 0.215861f);
    file->write_image(OIIO::TypeDesc::FLOAT, px.data());
    file->close();
  }
  // A file opened twice is one texture; the bump channel gets a copy.
  fs::copy_file(dir_ / "linear.png", dir_ / "linear_bump.png");
  const CommandRun r = runJob(R"(
      {"step": "material", "name": "M", "channels": {"color": {"file": "linear.png"},
                                                    "bump": {"file": "linear_bump.png"}}},
      {"step": "pixels", "material": "M", "points": [[1, 1]]},
      {"step": "pixels", "material": "M", "channel": "bump", "points": [[1, 1]]})");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string colourLine = "M_color_Background in rgb16\n    1 1: ";
  const std::string bumpLine = "M_bump_Background in rgb16\n    1 1: ";
  const size_t c = r.out.find(colourLine), b = r.out.find(bumpLine);
  ASSERT_NE(c, std::string::npos) << r.out;
  ASSERT_NE(b, std::string::npos) << r.out;
  const long colour = std::stol(r.out.substr(c + colourLine.size()));
  const long bump = std::stol(r.out.substr(b + bumpLine.size()));
  EXPECT_NEAR(colour, 32896, 3);
  // The bump channel is data: its value stays as the file has it, 0.215861 of 65535.
  EXPECT_NEAR(bump, 14146, 1);
}

TEST_F(OutputTest, UdimSavesWriteOneFilePerTileNamedByTile) {
  // Two materials on the two polygons of a card, restricted to selections named by tile: red on
  // 1001, blue on 1002.
  const std::string scene = R"(
      {"step": "object", "name": "Body", "primitive": "grid", "columns": 2, "rows": 1, "size": 100},
      {"step": "selection", "object": "Body", "name": "UDIM_1001", "polygons": [0]},
      {"step": "selection", "object": "Body", "name": "UDIM_1002", "polygons": [1]},
      {"step": "material", "name": "Skin A", "channels": {"color": {"size": 16, "fill": [255, 0, 0]}}},
      {"step": "material", "name": "Skin B", "channels": {"color": {"size": 16, "fill": [0, 0, 255]}}},
      {"step": "texture_tag", "object": "Body", "material": "Skin A", "restriction": "UDIM_1001"},
      {"step": "texture_tag", "object": "Body", "material": "Skin B", "restriction": "UDIM_1002"})";
  const CommandRun r =
      runJob(scene + R"(, {"step": "save", "object": "Body", "file": "body_color.<UDIM>.png"})");
  ASSERT_EQ(r.status, 0) << r.err;
  const Image a = readImage(out("body_color.1001.png")), b = readImage(out("body_color.1002.png"));
  ASSERT_EQ(a.width, 16);
  ASSERT_EQ(b.width, 16);
  EXPECT_FLOAT_EQ(a.at(3, 3, 0), 1.0f);
  EXPECT_FLOAT_EQ(a.at(3, 3, 2), 0.0f);
  EXPECT_FLOAT_EQ(b.at(3, 3, 0), 0.0f);
  EXPECT_FLOAT_EQ(b.at(3, 3, 2), 1.0f);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "out"), fs::directory_iterator()), 2);

  // A material on no tile cannot be named by tile; two materials without <UDIM> cannot share one
  // file.
  const CommandRun stray = runJob(scene + R"(,
      {"step": "material", "name": "Stray", "channels": {"color": {"size": 16}}},
      {"step": "texture_tag", "object": "Body", "material": "Stray"},
      {"step": "save", "object": "Body", "file": "body.<UDIM>.png"})");
  EXPECT_EQ(stray.status, 1);
  EXPECT_TRUE(contains(stray.err, "the material \"Stray\" of Body is on no UDIM tile"))
      << stray.err;
  const CommandRun oneFile =
      runJob(scene + R"(, {"step": "save", "object": "Body", "file": "body.png"})");
  EXPECT_EQ(oneFile.status, 1);
  EXPECT_TRUE(contains(oneFile.err, "give \"file\" a <UDIM>")) << oneFile.err;
}

TEST_F(OutputTest, DepthsAFormatCannotHoldAreRefused) {
  const std::string scene = R"(
      {"step": "material", "name": "M", "channels": {"color": {"size": 4}}})";
  struct Case {
    const char* save;
    const char* expected;
  };
  const Case cases[] = {
      {R"({"step": "save", "material": "M", "file": "a.jpg", "depth": "uint16"})",
       "cannot hold uint16 samples"},
      {R"({"step": "save", "material": "M", "file": "a.exr", "depth": "uint8"})",
       "cannot hold uint8 samples"},
      {R"({"step": "save", "material": "M", "file": "a.png", "depth": "half"})",
       "cannot hold half samples"},
      {R"({"step": "save", "material": "M", "file": "a.jpg", "colorspace": "linear"})",
       "cannot be linear: JPEG files are sRGB"},
  };
  for (const Case& c : cases) {
    const CommandRun r = runJob(scene + ", " + c.save);
    EXPECT_EQ(r.status, 1) << c.save;
    EXPECT_TRUE(contains(r.err, c.expected)) << r.err;
  }
  EXPECT_FALSE(fs::exists(out("a.jpg.partial")));
}

}  // namespace
