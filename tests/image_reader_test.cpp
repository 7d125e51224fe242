// PNG files as the host reads them for stamps, stencils and channel textures. The common kinds
// are decoded by the host's own PNG reader, every other file by the image library; either way a
// file must give exactly the samples the image library gives for it, and painting with a PNG
// must not load the library at all.
#include <gtest/gtest.h>

#include <png.h>

#include <OpenImageIO/imageio.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "hostapp/core/memory.h"
#include "hostapp/paint/image_io.h"
#include "hostapp/paint/paint_bitmap.h"
#include "hostapp/paint/plain_bitmap.h"
#include "tests/support/cli_run.h"
#include "tests/support/test_folder.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct PngKind {
  int colourType;
  int bitDepth;
  bool interlaced = false;
  bool colourChunks = false;  // gAMA, sRGB, cHRM and sBIT
  bool transparency = false;  // a tRNS chunk
};

int channelsOf(int colourType) {
  switch (colourType) {
    case PNG_COLOR_TYPE_GRAY:
    case PNG_COLOR_TYPE_PALETTE:
      return 1;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
      return 2;
    case PNG_COLOR_TYPE_RGB:
      return 3;
    default:
      return 4;
  }
}

// Writes a PNG of random samples with the PNG library itself, so that every kind the format
// allows can be made. False when the library fails.
bool writePng(const std::string& path, const PngKind& kind, int width, int height,
              std::mt19937& rng) {
  const int channels = channelsOf(kind.colourType);
  const size_t rowBytes = (static_cast<size_t>(width) * channels * kind.bitDepth + 7) / 8;
  std::vector<Bytes> rows(static_cast<size_t>(height), Bytes(rowBytes));
  for (Bytes& row : rows)
    for (uint8_t& b : row) b = static_cast<uint8_t>(rng());
  if (kind.colourType == PNG_COLOR_TYPE_PALETTE)  // indices within a 16-entry palette
    for (Bytes& row : rows)
      for (uint8_t& b : row) b &= kind.bitDepth == 8 ? 0x0f : 0xff;
  std::vector<png_bytep> pointers;
  for (Bytes& row : rows) pointers.push_back(row.data());
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height),
               kind.bitDepth, kind.colourType,
               kind.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_color palette[16];
  png_byte alphas[16];
  for (int i = 0; i < 16; ++i) {
    palette[i] = {static_cast<png_byte>(i * 16), static_cast<png_byte>(255 - i * 9),
                  static_cast<png_byte>(i * 5)};
    alphas[i] = static_cast<png_byte>(i * 17);
  }
  if (kind.colourType == PNG_COLOR_TYPE_PALETTE) png_set_PLTE(png, info, palette, 16);
  if (kind.transparency) {
    png_color_16 key{};
    key.gray = 3;
    key.red = 7;
    key.green = 9;
    key.blue = 11;
    if (kind.colourType == PNG_COLOR_TYPE_PALETTE)
      png_set_tRNS(png, info, alphas, 16, nullptr);
    else
      png_set_tRNS(png, info, nullptr, 0, &key);
  }
  if (kind.colourChunks) {
    png_set_gAMA(png, info, 1 / 2.2);
    png_set_sRGB(png, info, PNG_sRGB_INTENT_PERCEPTUAL);
    png_set_cHRM(png, info, 0.3127, 0.329, 0.64, 0.33, 0.3, 0.6, 0.15, 0.06);
    png_color_8 bits{5, 5, 5, 5, 5};
    png_set_sBIT(png, info, &bits);
  }
  png_write_info(png, info);
  png_write_image(png, pointers.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return std::fclose(file) == 0;
}

// What the image library reads from a file: its channels (at most four) as `type` samples.
struct LibraryRead {
  int width = 0, height = 0, channels = 0, alpha = -1;
  OIIO::TypeDesc fileType;
  Bytes samples;
};
LibraryRead readWithLibrary(const std::string& path, OIIO::TypeDesc type) {
  LibraryRead r;
  OIIO::ImageSpec config;
  config.attribute("oiio:UnassociatedAlpha", 1);
  auto in = OIIO::ImageInput::open(path, &config);
  if (!in) return r;
  const OIIO::ImageSpec& spec = in->spec();
  r.width = spec.width;
  r.height = spec.height;
  r.channels = std::min(spec.nchannels, 4);
  r.alpha = spec.alpha_channel;
  r.fileType = spec.format;
  if (type == OIIO::TypeDesc::UNKNOWN) type = spec.format;
  r.samples.resize(static_cast<size_t>(r.width) * r.height * r.channels * type.size());
  if (!in->read_image(0, 0, 0, r.channels, type, r.samples.data())) r.samples.clear();
  return r;
}

class PngReadingTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = freshTestFolder("pigmora_png_reading"); }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  // Checks a channel texture and a stamp made from the file against the library's samples.
  void expectLibrarySamples(const std::string& path) {
    std::string error;
    // The layer: the file's samples at its own depth, alpha moved first.
    auto tex = hostapp::loadPaintTexture(memory_, path, error);
    ASSERT_NE(tex, nullptr) << error;
    const LibraryRead own = readWithLibrary(path, OIIO::TypeDesc::UNKNOWN);
    ASSERT_FALSE(own.samples.empty());
    const host::PaintBitmap& layer = *tex->layer(0);
    ASSERT_EQ(layer.width(), own.width);
    ASSERT_EQ(layer.height(), own.height);
    const size_t sample = own.fileType.size();
    const size_t pixel = sample * own.channels;
    Bytes row(static_cast<size_t>(own.width) * pixel);
    for (int y = 0; y < own.height; ++y) {
      ASSERT_TRUE(layer.getPixelRow(0, y, own.width, row.data(), layer.colorMode()));
      for (int x = 0; x < own.width; ++x) {
        const uint8_t* want = &own.samples[(static_cast<size_t>(y) * own.width + x) * pixel];
        const uint8_t* got = &row[x * pixel];
        const bool alpha = own.channels == 2 || own.channels == 4;
        // The layer holds alpha first; the file last.
        const Bytes wantPixel =
            alpha ? [&] {
              Bytes p(want + pixel - sample, want + pixel);
              p.insert(p.end(), want, want + pixel - sample);
              return p;
            }()
                  : Bytes(want, want + pixel);
        ASSERT_EQ(Bytes(got, got + pixel), wantPixel) << "pixel " << x << ", " << y;
      }
    }
    // The stamp: 8-bit samples, grey spread over the colours, opaque without alpha.
    auto plain = hostapp::loadPlainBitmap(memory_, path, error);
    ASSERT_NE(plain, nullptr) << error;
    const LibraryRead bytes = readWithLibrary(path, OIIO::TypeDesc::UINT8);
    for (int y = 0; y < bytes.height; ++y) {
      for (int x = 0; x < bytes.width; ++x) {
        const uint8_t* p =
            &bytes.samples[(static_cast<size_t>(y) * bytes.width + x) * bytes.channels];
        const bool colour = bytes.channels >= 3;
        const int alpha = bytes.alpha >= 0 ? p[bytes.alpha] : bytes.channels == 4 ? p[3] : 255;
        uint8_t r = 0, g = 0, b = 0;
        plain->getPixel(x, y, r, g, b);
        ASSERT_EQ((std::vector<int>{r, g, b, plain->getAlpha(x, y)}),
                  (std::vector<int>{p[0], colour ? p[1] : p[0], colour ? p[2] : p[0], alpha}))
            << "pixel " << x << ", " << y;
      }
    }
  }

  std::filesystem::path dir_;
  hostapp::CountingMemory memory_;
};

TEST_F(PngReadingTest, EveryKindGivesTheLibrarysSamples) {
  std::vector<PngKind> kinds;
  for (int colour : {PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_GRAY_ALPHA, PNG_COLOR_TYPE_RGB,
                     PNG_COLOR_TYPE_RGB_ALPHA})
    for (int depth : {8, 16})
      for (bool interlaced : {false, true}) kinds.push_back({colour, depth, interlaced});
  // Colour-space and significant-bit chunks change no sample.
  kinds.push_back({PNG_COLOR_TYPE_RGB_ALPHA, 8, false, true});
  kinds.push_back({PNG_COLOR_TYPE_GRAY, 16, true, true});
  // Kinds the host leaves to the library: palettes, colour keys and packed grey.
  kinds.push_back({PNG_COLOR_TYPE_PALETTE, 8});
  kinds.push_back({PNG_COLOR_TYPE_PALETTE, 8, false, false, true});
  kinds.push_back({PNG_COLOR_TYPE_PALETTE, 4, true});
  kinds.push_back({PNG_COLOR_TYPE_RGB, 8, false, false, true});
  kinds.push_back({PNG_COLOR_TYPE_GRAY, 16, false, false, true});
  for (int depth : {1, 2, 4}) kinds.push_back({PNG_COLOR_TYPE_GRAY, depth});
  std::mt19937 rng(5);
  int n = 0;
  for (const PngKind& kind : kinds) {
    const std::string name = "kind" + std::to_string(n++) + ".png";
    SCOPED_TRACE(name + ": colour type " + std::to_string(kind.colourType) + ", " +
                 std::to_string(kind.bitDepth) + " bits" + (kind.interlaced ? ", interlaced" : "") +
                 (kind.transparency ? ", tRNS" : ""));
    const std::string path = (dir_ / name).string();
    // Odd sizes: interlacing passes of every width, rows whose bytes are not whole pixels.
    ASSERT_TRUE(writePng(path, kind, 13, 7, rng));
    expectLibrarySamples(path);
  }
  EXPECT_EQ(memory_.reserved(), 0u);
}

TEST_F(PngReadingTest, DamagedPixelDataIsRefusedWithTheLibrarysReason) {
  std::mt19937 rng(9);
  const std::string good = (dir_ / "good.png").string();
  ASSERT_TRUE(writePng(good, {PNG_COLOR_TYPE_RGB_ALPHA, 8}, 64, 64, rng));
  std::ifstream in(good, std::ios::binary);
  Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // The compressed pixels start after the IDAT chunk's type; spoil them, keep the structure.
  const auto at = std::search(bytes.begin(), bytes.end(), std::begin("IDAT"), std::end("IDAT") - 1);
  ASSERT_NE(at, bytes.end());
  for (auto p = at + 10; p < at + 60; ++p) *p = static_cast<uint8_t>(~*p);
  const std::string bad = (dir_ / "bad.png").string();
  std::ofstream(bad, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  std::string error;
  EXPECT_EQ(hostapp::loadPlainBitmap(memory_, bad, error), nullptr);
  // One sentence naming the file, with the reason the library gives.
  EXPECT_EQ(error.rfind("The image " + bad + " could not be read: ", 0), 0u) << error;
  EXPECT_EQ(error.back(), '.');
  EXPECT_EQ(error.find('\n'), std::string::npos) << error;
  EXPECT_EQ(hostapp::loadPaintTexture(memory_, bad, error), nullptr);
  EXPECT_EQ(memory_.reserved(), 0u);
}

TEST_F(PngReadingTest, APngStampReadsWithoutTheImageLibraryAndATiffLoadsIt) {
  std::mt19937 rng(3);
  ASSERT_TRUE(writePng((dir_ / "stamp.png").string(), {PNG_COLOR_TYPE_GRAY_ALPHA, 8}, 32, 32, rng));
  const std::string tiff = (dir_ / "stamp.tif").string();
  {
    auto out = OIIO::ImageOutput::create(tiff);
    ASSERT_NE(out, nullptr);
    const Bytes grey(16 * 16, 77);
    ASSERT_TRUE(out->open(tiff, OIIO::ImageSpec(16, 16, 1, OIIO::TypeDesc::UINT8)));
    ASSERT_TRUE(out->write_image(OIIO::TypeDesc::UINT8, grey.data()));
    ASSERT_TRUE(out->close());
  }
  // The dynamic loader names every library it loads when asked to.
  auto loads = [&](const std::string& stamp) {
    std::ofstream(dir_ / "job.json")
        << R"({"steps": [{"step": "tool", "stamp": ")" << stamp << R"("}]})";
    const CommandRun run = runProgram(std::string("LD_DEBUG=files ") + PIGMORA_CLI_PATH,
                                      "run job.json --out out", {}, dir_);
    EXPECT_EQ(run.status, 0) << run.err;
    return contains(run.err, "libpigmora_images.so");
  };
  EXPECT_FALSE(loads("stamp.png"));
  EXPECT_TRUE(loads("stamp.tif"));
  // Painting and saving PNGs, as the demo does, needs it no more.
  const CommandRun demo = runProgram(std::string("LD_DEBUG=files ") + PIGMORA_CLI_PATH,
                                     "demo --size 128 --out demo", {}, dir_);
  EXPECT_EQ(demo.status, 0) << demo.err;
  EXPECT_FALSE(contains(demo.err, "libpigmora_images.so"));
}

}  // namespace
