// The embedded host's own services: pixels in every colour mode, selections, settings, the
// scene tree, links, neighbourhoods and plain bitmaps.
#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "hostapp/core/block_arena.h"
#include "hostapp/core/embedded_host.h"
#include "hostapp/paint/image_io.h"
#include "hostapp/paint/paint_bitmap.h"
#include "hostapp/paint/plain_bitmap.h"
#include "hostapp/scene/objects.h"
#include "hostapp/scene/scene_builder.h"
#include "hostapp/scene/scene_impl.h"
#include "tests/support/test_folder.h"

namespace {

struct ModeCase {
  int32_t mode;
  int32_t componentBytes;
  int32_t components;
  bool alpha;
  bool grey;
  int32_t bytes() const { return componentBytes * components; }
};
// Every paintable mode with its layout.
const ModeCase kPaintable[] = {
    {1, 1, 1, true, false},  {2, 1, 1, false, true},   {3, 1, 2, true, true},
    {4, 1, 3, false, false}, {5, 1, 4, true, false},   {18, 2, 1, false, true},
    {19, 2, 2, true, true},  {20, 2, 3, false, false}, {21, 2, 4, true, false},
    {34, 4, 1, false, true}, {35, 4, 2, true, true},   {36, 4, 3, false, false},
    {37, 4, 4, true, false}};

class HostTest : public ::testing::Test {
 protected:
  HostTest() : doc_(host_.sceneImpl().newDocument()), build_(host_, doc_) {}
  host::PaintTexture* texture(int32_t w, int32_t h, int32_t mode) {
    host::Material* mat = build_.addMaterial("M" + std::to_string(++counter_));
    return build_.addTexture(mat, 0, w, h, mode);
  }
  hostapp::EmbeddedHost host_;
  hostapp::DocumentImpl* doc_;
  hostapp::SceneBuilder build_;
  int counter_ = 0;
};

TEST_F(HostTest, EveryPaintableModeRoundTripsThroughFloatRGB) {
  // A colour every 8-bit mode holds exactly: 51 / 255 = 0.2 and 204 / 255 = 0.8.
  const float rgb[3] = {0.2f, 0.8f, 0.2f};
  for (const ModeCase& m : kPaintable) {
    SCOPED_TRACE(m.mode);
    host::PaintTexture* tex = texture(4, 2, m.mode);
    ASSERT_NE(tex, nullptr);
    host::PaintBitmap* layer = tex->activeLayer();
    ASSERT_TRUE(layer->setPixelRow(1, 1, 1, rgb, 36));
    float back[3] = {-1, -1, -1};
    ASSERT_TRUE(layer->getPixelRow(1, 1, 1, back, 36));
    if (m.mode == 1) {
      // Alpha only: float RGB has no alpha, so the pixel becomes opaque and reads as 1.
      EXPECT_FLOAT_EQ(back[0], 1.f);
      continue;
    }
    // Grey keeps the Rec. 709 luma of the colour.
    const float luma = 0.2126f * 0.2f + 0.7152f * 0.8f + 0.0722f * 0.2f;
    const float tol = m.componentBytes == 1   ? 0.5f / 255
                      : m.componentBytes == 2 ? 0.5f / 65535
                                              : 1e-6f;
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(back[c], m.grey ? luma : rgb[c], tol);
    // The pixel in the layer's own mode: alpha is full where the mode has it.
    std::vector<uint8_t> raw(static_cast<size_t>(m.bytes()));
    ASSERT_TRUE(layer->getPixelRow(1, 1, 1, raw.data(), m.mode));
    if (!m.alpha) continue;
    if (m.componentBytes == 1) {
      EXPECT_EQ(raw[0], 255);
    } else if (m.componentBytes == 2) {
      EXPECT_EQ(raw[0] | raw[1] << 8, 65535);
    } else {
      float a;
      std::memcpy(&a, raw.data(), 4);
      EXPECT_EQ(a, 1.f);
    }
  }
}

TEST_F(HostTest, SixteenBitAndFloatKeepTheirPrecision) {
  host::PaintBitmap* l16 = texture(1, 1, 20)->activeLayer();
  const uint16_t in[3] = {1, 32768, 65535};
  l16->setPixelRow(0, 0, 1, in, 20);
  uint16_t out[3] = {};
  l16->getPixelRow(0, 0, 1, out, 20);
  EXPECT_EQ(std::vector<uint16_t>(out, out + 3), std::vector<uint16_t>(in, in + 3));
  float f[3] = {};
  l16->getPixelRow(0, 0, 1, f, 36);
  EXPECT_FLOAT_EQ(f[1], 32768.f / 65535.f);

  host::PaintBitmap* lf = texture(1, 1, 37)->activeLayer();
  const float argb[4] = {0.25f, 1.5f, -0.5f, 0.125f};  // float keeps values outside 0..1
  lf->setPixelRow(0, 0, 1, argb, 37);
  float back[4] = {};
  lf->getPixelRow(0, 0, 1, back, 37);
  EXPECT_EQ(std::memcmp(argb, back, sizeof argb), 0);
}

// Float to 8 bits: clamped to 0 .. 1 (NaN and every negative to 0), times 255, rounded half up.
TEST_F(HostTest, FloatComponentsRoundToBytesAtTheEdges) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const std::vector<std::pair<float, uint8_t>> cases = {
      {nan, 0},      {-0.f, 0},       {-1.f, 0},     {-inf, 0},     {0.f, 0},
      {1e-30f, 0},   {0.0078125f, 2}, {0.25f, 64},   {0.5f, 128},   {0.75f, 191},
      {1.f, 255},    {2.f, 255},      {inf, 255},    {0.9f, 230},   {0.1f, 26},
      {0.00196f, 0}, {0.00197f, 1},   {0.998f, 254}, {0.999f, 255}, {0.3f, 77}};
  // With alpha (every component alike) and without (three a pixel, so that a row ends between
  // groups of four).
  for (const int32_t mode : {host::kModeARGBF, host::kModeRGBF}) {
    SCOPED_TRACE(mode);
    const int32_t components = mode == host::kModeARGBF ? 4 : 3;
    const int32_t width = static_cast<int32_t>(cases.size()) / components + 1;
    std::vector<float> row(static_cast<size_t>(width * components), 0.f);
    for (size_t i = 0; i < cases.size(); ++i) row[i] = cases[i].first;
    host::PaintBitmap* layer = texture(width, 1, mode)->activeLayer();
    ASSERT_TRUE(layer->setPixelRow(0, 0, width, row.data(), mode));
    std::vector<uint8_t> bytes(row.size(), 7);
    ASSERT_TRUE(layer->getPixelRow(0, 0, width, bytes.data(), mode == host::kModeARGBF ? 5 : 4));
    for (size_t i = 0; i < cases.size(); ++i)
      EXPECT_EQ(bytes[i], cases[i].second) << "value " << cases[i].first;
  }
}

TEST_F(HostTest, RowsPastTheBorderAreClippedInBothDirections) {
  host::PaintBitmap* layer = texture(4, 3, 5)->activeLayer();
  std::vector<uint8_t> row(6 * 4, 0);
  for (int i = 0; i < 6; ++i) row[static_cast<size_t>(i) * 4 + 1] = static_cast<uint8_t>(10 + i);
  // Columns -1 .. 4: only 0 .. 3 exist.
  EXPECT_TRUE(layer->setPixelRow(-1, 1, 6, row.data(), 5));
  std::vector<uint8_t> back(6 * 4, 0xEE);
  EXPECT_TRUE(layer->getPixelRow(-1, 1, 6, back.data(), 5));
  EXPECT_EQ(back[1], 0xEE);        // outside: untouched
  EXPECT_EQ(back[4 + 1], 11);      // column 0 got the second pixel of the row
  EXPECT_EQ(back[4 * 4 + 1], 14);  // column 3
  EXPECT_EQ(back[5 * 4 + 1], 0xEE);
  EXPECT_FALSE(layer->setPixelRow(0, 3, 4, row.data(), 5));  // below the last row
  EXPECT_FALSE(layer->setPixelRow(0, -1, 4, row.data(), 5));
  EXPECT_FALSE(layer->getPixelRow(4, 0, 2, back.data(), 5));   // right of the last column
  EXPECT_FALSE(layer->getPixelRow(0, 0, 1, back.data(), 77));  // no such colour mode
}

TEST_F(HostTest, TextureReadsTheVisibleLayersComposited) {
  host::Vector white(255, 255, 255);
  host::Material* mat = build_.addMaterial("Stack");
  host::PaintTexture* tex = build_.addTexture(mat, 0, 2, 1, 5, &white);
  host::PaintBitmap* top = tex->addLayer("Paint", 5);
  ASSERT_EQ(tex->activeLayer(), top);
  ASSERT_EQ(tex->firstLayer()->next(), top);
  const uint8_t halfRed[4] = {128, 255, 0, 0};
  top->setPixelRow(0, 0, 1, halfRed, 5);
  uint8_t out[8] = {};
  tex->getPixelRow(0, 0, 2, out, 5);
  EXPECT_EQ(out[0], 255);
  EXPECT_NEAR(out[1], 255, 1);
  EXPECT_NEAR(out[2], 127, 1);  // half red over white
  EXPECT_EQ(out[5], 255);       // second pixel: only the white background
}

// Straight-alpha over, layer by layer from the bottom, in float and in this order of operations:
// a = sa + da (1 - sa), c = (sc sa + dc da (1 - sa)) / a, and 0 where a is not above 0.
TEST_F(HostTest, TextureCompositeFollowsTheOverFormulaToTheBit) {
  constexpr int32_t kWidth = 67;  // not a multiple of any vector width
  host::Material* mat = build_.addMaterial("Floats");
  host::PaintTexture* tex = build_.addTexture(mat, 0, kWidth, 1, host::kModeARGBF);
  ASSERT_NE(tex, nullptr);
  ASSERT_NE(tex->addLayer("Middle", host::kModeARGBF), nullptr);
  ASSERT_NE(tex->addLayer("Top", host::kModeARGBF), nullptr);
  uint32_t state = 12345;
  auto next = [&state] {
    state = state * 1664525u + 1013904223u;
    return static_cast<float>(state >> 8) / 16777216.f;
  };
  std::vector<std::vector<float>> layers;
  for (host::PaintBitmap* l = tex->firstLayer(); l; l = l->next()) {
    std::vector<float> row(kWidth * 4);
    for (int32_t x = 0; x < kWidth; ++x) {
      // Each layer is clear where x mod 5 is its index, and every layer every seventh pixel.
      const float alpha = x % 7 == 0 || x % 5 == static_cast<int32_t>(layers.size()) ? 0.f : next();
      row[x * 4] = alpha;
      for (int k = 1; k < 4; ++k) row[x * 4 + k] = next();
    }
    ASSERT_TRUE(l->setPixelRow(0, 0, kWidth, row.data(), host::kModeARGBF));
    layers.push_back(row);
  }
  ASSERT_EQ(layers.size(), 3u);
  std::vector<float> expected(kWidth * 4, 0.f);
  for (const auto& src : layers)
    for (int32_t x = 0; x < kWidth; ++x) {
      float* d = &expected[x * 4];
      const float* s = &src[x * 4];
      const float a = s[0] + d[0] * (1.f - s[0]);
      for (int k = 1; k < 4; ++k) {
        const float over = s[k] * s[0] + d[k] * d[0] * (1.f - s[0]);
        d[k] = a > 0.f ? over / a : 0.f;
      }
      d[0] = a;
    }
  std::vector<float> out(kWidth * 4, -1.f);
  ASSERT_TRUE(tex->getPixelRow(0, 0, kWidth, out.data(), host::kModeARGBF));
  for (int32_t i = 0; i < kWidth * 4; ++i)
    ASSERT_EQ(std::bit_cast<uint32_t>(out[i]), std::bit_cast<uint32_t>(expected[i]))
        << "pixel " << i / 4 << ", component " << i % 4;
}

TEST_F(HostTest, ChangedRectanglesAreRecordedAndEmptyOnesIgnored) {
  host::PaintTexture* tex = texture(8, 8, 5);
  auto* impl = static_cast<hostapp::PaintTextureImpl*>(tex);
  const uint64_t before = tex->changeCount();
  tex->activeLayer()->notifyChanged(1, 2, 3, 4, 286);
  tex->activeLayer()->notifyChanged(INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN, 286);
  EXPECT_EQ(tex->changeCount(), before + 1);
  ASSERT_FALSE(impl->changes().empty());
  EXPECT_EQ(impl->changes().back().xmax, 3);
  EXPECT_EQ(impl->changes().back().flags, 286);
}

// ---------------------------------------------------------------------------------------------
// Image files. Fixtures are written byte by byte here, so that what a file holds does not depend
// on the library under test.

using Bytes = std::vector<uint8_t>;

uint32_t crc32Of(const uint8_t* p, size_t n) {
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = 0; i < n; ++i) {
    c ^= p[i];
    for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
  }
  return ~c;
}

void putBig32(Bytes& out, uint32_t v) {
  const uint8_t bytes[4] = {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16),
                            static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
  out.insert(out.end(), bytes, bytes + 4);
}

// An 8-bit RGBA PNG of straight samples: rows without filtering in one stored deflate block.
Bytes rgbaPng(int32_t w, int32_t h, const Bytes& rgba) {
  Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  auto chunk = [&out](const char* type, const Bytes& data) {
    putBig32(out, static_cast<uint32_t>(data.size()));
    Bytes typed(type, type + 4);
    typed.insert(typed.end(), data.begin(), data.end());
    out.insert(out.end(), typed.begin(), typed.end());
    putBig32(out, crc32Of(typed.data(), typed.size()));
  };
  Bytes header;
  putBig32(header, static_cast<uint32_t>(w));
  putBig32(header, static_cast<uint32_t>(h));
  header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, deflate, no filter, no interlace
  chunk("IHDR", header);
  Bytes raw;
  for (int32_t y = 0; y < h; ++y) {
    raw.push_back(0);  // filter type none
    raw.insert(raw.end(), rgba.begin() + y * w * 4, rgba.begin() + (y + 1) * w * 4);
  }
  uint32_t a = 1, b = 0;
  for (uint8_t v : raw) {
    a = (a + v) % 65521;
    b = (b + a) % 65521;
  }
  const uint16_t len = static_cast<uint16_t>(raw.size());
  Bytes zlib = {0x78,
                0x01,
                0x01,
                static_cast<uint8_t>(len),
                static_cast<uint8_t>(len >> 8),
                static_cast<uint8_t>(~len),
                static_cast<uint8_t>(~len >> 8)};
  zlib.insert(zlib.end(), raw.begin(), raw.end());
  putBig32(zlib, (b << 16) | a);
  chunk("IDAT", zlib);
  chunk("IEND", {});
  return out;
}

// An uncompressed 32-bit TGA, top row first, BGRA samples.
Bytes rgbaTga(int32_t w, int32_t h, const Bytes& rgba) {
  Bytes out = {0,
               0,
               2,
               0,
               0,
               0,
               0,
               0,
               0,
               0,
               0,
               0,
               static_cast<uint8_t>(w),
               static_cast<uint8_t>(w >> 8),
               static_cast<uint8_t>(h),
               static_cast<uint8_t>(h >> 8),
               32,
               0x28};
  for (size_t i = 0; i < rgba.size(); i += 4)
    out.insert(out.end(), {rgba[i + 2], rgba[i + 1], rgba[i], rgba[i + 3]});
  return out;
}

class ImageFileTest : public HostTest {
 protected:
  void SetUp() override { dir_ = freshTestFolder("pigmora_images"); }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string write(const std::string& name, const Bytes& bytes) {
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
  }
  std::unique_ptr<hostapp::PaintTextureImpl> load(const std::string& path) {
    std::string error;
    auto tex = hostapp::loadPaintTexture(host_.memory(), path, error);
    EXPECT_NE(tex, nullptr) << error;
    return tex;
  }
  // Every pixel of a bitmap in its own mode.
  static Bytes pixels(const host::PaintBitmap& bmp) {
    const size_t row = static_cast<size_t>(bmp.width()) * modeBytes(bmp.colorMode());
    Bytes out(row * static_cast<size_t>(bmp.height()));
    for (int32_t y = 0; y < bmp.height(); ++y)
      EXPECT_TRUE(bmp.getPixelRow(0, y, bmp.width(), out.data() + row * y, bmp.colorMode()));
    return out;
  }
  static int32_t modeBytes(int32_t mode) {
    for (const ModeCase& m : kPaintable)
      if (m.mode == mode) return m.bytes();
    return 0;
  }

  std::filesystem::path dir_;
};

TEST_F(ImageFileTest, StraightAlphaFilesReadAsTheyAre) {
  // (R, G, B, A) = (100, 150, 200, 128) and a fully transparent (10, 20, 30, 0): the colour stays
  // as stored, neither multiplied by alpha nor dropped where alpha is 0.
  const Bytes rgba = {100, 150, 200, 128, 10, 20, 30, 0};
  for (const std::string& name : {std::string("straight.png"), std::string("straight.tga")}) {
    SCOPED_TRACE(name);
    const std::string path =
        write(name, name.ends_with(".png") ? rgbaPng(2, 1, rgba) : rgbaTga(2, 1, rgba));
    auto tex = load(path);
    ASSERT_NE(tex, nullptr);
    ASSERT_EQ(tex->colorMode(), host::kModeARGB8);
    EXPECT_EQ(pixels(*tex->layer(0)), (Bytes{128, 100, 150, 200, 0, 10, 20, 30}));
    // Stamps and stencils read the same samples.
    std::string error;
    auto plain = hostapp::loadPlainBitmap(host_.memory(), path, error);
    ASSERT_NE(plain, nullptr) << error;
    uint8_t r = 0, g = 0, b = 0;
    plain->getPixel(0, 0, r, g, b);
    EXPECT_EQ((std::vector<int>{r, g, b, plain->getAlpha(0, 0)}),
              (std::vector<int>{100, 150, 200, 128}));
  }
}

TEST_F(ImageFileTest, EveryFormatRoundTripsBitExactlyAtItsDepth) {
  struct Case {
    const char* suffix;
    int32_t mode;
  };
  const Case cases[] = {{".png", 5},  {".png", 21}, {".png", 3},  {".png", 19}, {".tif", 5},
                        {".tif", 21}, {".tif", 37}, {".tif", 3},  {".tif", 19}, {".tif", 35},
                        {".tif", 20}, {".tga", 5},  {".exr", 37}, {".exr", 36}};
  std::mt19937 rng(11);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.suffix) + " mode " + std::to_string(c.mode));
    host::PaintBitmap* layer = texture(37, 23, c.mode)->activeLayer();
    // Random samples; float ones in [0, 1]. Low alphas are where premultiplying loses most.
    Bytes random(static_cast<size_t>(37 * 23 * modeBytes(c.mode)));
    if (c.mode >= 34) {
      std::uniform_real_distribution<float> unit(0.f, 1.f);
      for (size_t i = 0; i < random.size(); i += 4) {
        const float f = unit(rng);
        std::memcpy(&random[i], &f, 4);
      }
    } else {
      for (auto& v : random) v = static_cast<uint8_t>(rng());
    }
    const size_t row = random.size() / 23;
    for (int32_t y = 0; y < 23; ++y)
      ASSERT_TRUE(layer->setPixelRow(0, y, 37, random.data() + row * y, c.mode));
    const std::string path = (dir_ / (std::to_string(c.mode) + c.suffix)).string();
    std::string error;
    ASSERT_TRUE(hostapp::saveImageFile(*layer, path, error)) << error;
    auto back = load(path);
    ASSERT_NE(back, nullptr);
    ASSERT_EQ(back->colorMode(), c.mode);
    EXPECT_TRUE(pixels(*back->layer(0)) == random);
  }
}

TEST_F(ImageFileTest, AFlattenedTextureIsCompositedAndWrittenInStraightAlpha) {
  // Half-transparent (100, 50, 20) over a transparent layer: the composite keeps the colour and
  // the alpha, and the file holds exactly that.
  host::PaintTexture* tex = texture(4, 2, host::kModeARGB8);
  tex->addLayer("Paint", host::kModeARGB8);
  const uint8_t half[4] = {128, 100, 50, 20};
  ASSERT_TRUE(tex->activeLayer()->setPixelRow(1, 1, 1, half, host::kModeARGB8));
  uint8_t flat[4] = {};
  ASSERT_TRUE(tex->getPixelRow(1, 1, 1, flat, host::kModeARGB8));
  EXPECT_EQ((Bytes(flat, flat + 4)), (Bytes{128, 100, 50, 20}));
  const std::string path = (dir_ / "flat.png").string();
  std::string error;
  ASSERT_TRUE(hostapp::saveImageFile(*tex, path, error)) << error;
  auto back = load(path);
  ASSERT_NE(back, nullptr);
  uint8_t read[4] = {};
  ASSERT_TRUE(back->layer(0)->getPixelRow(1, 1, 1, read, host::kModeARGB8));
  EXPECT_EQ((Bytes(read, read + 4)), (Bytes{128, 100, 50, 20}));
}

TEST(Selection, WalksSortedSegments) {
  host::Selection s;
  for (int i : {5, 3, 4, 10, 64, 63, 65, 200}) s.select(i);
  s.deselect(200);
  EXPECT_EQ(s.count(), 7);
  const std::vector<host::Selection::Segment> expected{{3, 5}, {10, 10}, {63, 65}};
  EXPECT_EQ(s.segments(), expected);
  s.selectAll(70);
  EXPECT_EQ(s.count(), 70);
  EXPECT_EQ(s.segments(), (std::vector<host::Selection::Segment>{{0, 69}}));
  EXPECT_FALSE(s.isSelected(70));
  EXPECT_FALSE(s.select(-1));
}

TEST(SettingsContainer, TypesConvertAsUsersExpect) {
  host::Settings s;
  s.setBool(1, true);
  s.setReal(2, 2.75);
  s.setFilename(3, "/tmp/a.png");
  host::Settings inner(9);
  inner.setInt32(7, 42);
  s.setContainer(4, inner);
  EXPECT_EQ(s.getInt32(1), 1);
  EXPECT_EQ(s.getInt32(2), 2);
  EXPECT_DOUBLE_EQ(s.getReal(1), 1.0);
  EXPECT_EQ(s.getString(3), "/tmp/a.png");
  EXPECT_EQ(s.typeOf(3), host::ValueType::kFilename);
  EXPECT_EQ(s.getInt32(3, -5), -5);  // a file name is not a number
  ASSERT_NE(s.getContainer(4), nullptr);
  s.getContainer(4)->setInt32(8, 1);
  host::Settings copy = s;
  EXPECT_EQ(copy.getContainer(4)->getInt32(7), 42);
  EXPECT_EQ(copy, s);
  copy.getContainer(4)->setInt32(7, 0);
  EXPECT_EQ(s.getContainer(4)->getInt32(7), 42);  // nested containers are copied, not shared
}

TEST_F(HostTest, LinksResolveToNothingOnceTheTargetIsGone) {
  host::Material* mat = build_.addMaterial("Gone");
  host::Link link(mat);
  host::Settings s;
  s.setLink(1, mat);
  EXPECT_EQ(link.get(), mat);
  host_.scene().freeNode(doc_->removeMaterial(mat));
  EXPECT_EQ(link.get(), nullptr);
  EXPECT_EQ(s.getLink(1), nullptr);
}

TEST_F(HostTest, ObjectsAreWalkedDepthFirstAndMatricesNest) {
  auto mesh = hostapp::gridMesh(1, 1, 1.0);
  host::PolygonObject* a = build_.addMesh("a", mesh);
  host::PolygonObject* b = build_.addMesh("b", mesh, a);
  host::PolygonObject* c = build_.addMesh("c", mesh, b);
  host::PolygonObject* d = build_.addMesh("d", mesh);  // top level, inserted first
  std::vector<std::string> names;
  for (host::Object* o : doc_->allObjects()) names.push_back(o->name());
  EXPECT_EQ(names, (std::vector<std::string>{"d", "a", "b", "c"}));
  EXPECT_EQ(c->up(), b);
  EXPECT_EQ(c->document(), doc_);
  host::Matrix m;
  m.off = {1, 2, 3};
  a->setGlobalMatrix(m);
  host::Matrix mc;
  mc.off = {10, 0, 0};
  c->setGlobalMatrix(mc);
  EXPECT_EQ(c->globalMatrix().off, host::Vector(10, 0, 0));
  EXPECT_EQ(static_cast<hostapp::PolygonObjectImpl*>(c)->localMatrix().off,
            host::Vector(9, -2, -3));
  (void)d;
}

TEST_F(HostTest, NeighbourhoodFindsThePolygonAcrossAnEdge) {
  auto mesh = hostapp::gridMesh(2, 2, 2.0);
  host::PolygonObject* obj = build_.addMesh("grid", mesh);
  auto n = host_.scene().buildNeighbour(obj, nullptr);
  ASSERT_TRUE(n);
  const host::Polygon p0 = obj->polygons()[0];  // a(0,0) b(0,1) c(1,1) d(1,0)
  EXPECT_EQ(n->neighbour(p0.c, p0.d, 0), 1);    // the edge x = 1 borders polygon 1
  EXPECT_EQ(n->neighbour(p0.b, p0.c, 0), 2);    // y = 1 borders polygon 2
  EXPECT_EQ(n->neighbour(p0.a, p0.b, 0), -1);   // a mesh border
  const auto around = n->pointPolygons(4);      // the centre point
  EXPECT_EQ(std::vector<int32_t>(around.begin(), around.end()), (std::vector<int32_t>{0, 1, 2, 3}));
  EXPECT_EQ(n->sideNeighbour(0, 2), 1);
  EXPECT_EQ(n->sideNeighbour(0, 3), -1);
  host::Selection only0;
  only0.select(0);
  auto restricted = host_.scene().buildNeighbour(obj, &only0);
  EXPECT_EQ(restricted->neighbour(p0.c, p0.d, 0), -1);
}

TEST_F(HostTest, NeighbourhoodSkipsPolygonsWithBadPointIndices) {
  hostapp::MeshData mesh = hostapp::gridMesh(1, 1, 1.0);
  mesh.polygons.push_back({0, 1, 99, -4});
  mesh.uvs.push_back({});
  host::PolygonObject* obj = build_.addMesh("bad", mesh);
  auto n = host_.scene().buildNeighbour(obj, nullptr);
  ASSERT_TRUE(n);
  EXPECT_EQ(n->neighbour(0, 1, 0), -1);
  EXPECT_TRUE(n->pointPolygons(99).empty());
}

TEST_F(HostTest, PlainBitmapsScaleByAveragingOrSampling) {
  auto src = host_.paint().createBitmap();
  ASSERT_TRUE(src->init(4, 2, 24));
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) src->setPixel(x, y, x < 2 ? 0 : 200, 0, 0);
  auto dst = host_.paint().createBitmap();
  ASSERT_TRUE(dst->init(2, 1, 24));
  src->scaleInto(*dst, 256, false, false);
  uint8_t r, g, b;
  dst->getPixel(0, 0, r, g, b);
  EXPECT_EQ(r, 0);
  dst->getPixel(1, 0, r, g, b);
  EXPECT_EQ(r, 200);
  src->scaleInto(*dst, 128, true, false);  // half intensity
  dst->getPixel(1, 0, r, g, b);
  EXPECT_EQ(r, 100);
  EXPECT_FALSE(dst->init(0, 5, 24));
  EXPECT_FALSE(dst->init(5, 5, 16));
}

TEST_F(HostTest, PageSizedBlocksAreDistinctReusedAndCounted) {
  hostapp::CountingMemory& memory = host_.memory();
  const int64_t bytesBefore = memory.liveBytes(), liveBefore = memory.live();
  // Undo tile sizes of every pixel size (4 KiB to 64 KiB), the arena's largest block, sizes that
  // are not whole pages and sizes past it, enough of each to need several 2 MiB chunks.
  const size_t sizes[] = {4096,  8192,   12288, 16384, 24576,  32768,  49152,
                          65536, 262144, 5000,  100,   262145, 3 << 20};
  std::vector<std::pair<uint8_t*, size_t>> blocks;
  uint8_t mark = 0;
  for (size_t size : sizes) {
    const int count = size <= 65536 ? 300 : 12;
    for (int i = 0; i < count; ++i) {
      auto* p = static_cast<uint8_t*>(memory.alloc(size));
      ASSERT_NE(p, nullptr) << size;
      EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 16, 0u);
      std::memset(p, ++mark, size);
      blocks.push_back({p, size});
    }
  }
  // Every block still holds its own mark: none overlaps another.
  mark = 0;
  for (const auto& [p, size] : blocks) {
    ++mark;
    ASSERT_EQ(p[0], mark);
    ASSERT_EQ(p[size - 1], mark);
    ASSERT_EQ(p[size / 2], mark);
  }
  EXPECT_EQ(memory.live() - liveBefore, static_cast<int64_t>(blocks.size()));
  EXPECT_GE(memory.liveBytes() - bytesBefore, int64_t{300} * (4096 + 8192 + 65536));
  for (const auto& [p, size] : blocks) memory.free(p);
  EXPECT_EQ(memory.liveBytes(), bytesBefore);
  EXPECT_EQ(memory.live(), liveBefore);
  // A freed block serves the next request of its size (the sanitizer build keeps blocks on the
  // heap, where freed memory waits in quarantine).
  void* a = memory.alloc(65536);
  memory.free(a);
  void* b = memory.alloc(65536);
  if (hostapp::arenaBlockSize(65536) != 0) {
    EXPECT_EQ(a, b);
  }
  memory.free(b);
  EXPECT_EQ(memory.liveBytes(), bytesBefore);
}

TEST_F(HostTest, AllocatorRefusesTheNthRequest) {
  host_.memory().failAt(2);
  void* first = host_.memory().alloc(16);
  EXPECT_NE(first, nullptr);
  EXPECT_EQ(host_.memory().alloc(16), nullptr);
  void* third = host_.memory().alloc(16);
  EXPECT_NE(third, nullptr);
  host_.memory().free(first);
  host_.memory().free(third);
  host_.memory().failAt(1);
  EXPECT_EQ(host_.scene().createMaterial(host::kTypeMaterial), nullptr);
  host::Material* mat = build_.addMaterial("NoMemory");
  host_.memory().failAt(1);
  EXPECT_EQ(build_.addTexture(mat, 0, 4, 4, 5), nullptr);  // the layer's pixels could not be had
  EXPECT_EQ(build_.addTexture(nullptr, 0, 4, 4, 5), nullptr);
}

}  // namespace
