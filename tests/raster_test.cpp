// The triangle rasterisers and the blend, driven through the embedded host: which pixels a
// triangle covers, what the blend makes of them in every colour mode, falloff, stamps, stencils,
// blur, remapping, and input that must be refused without writing anything.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "host/binding.h"
#include "plugin/paintmaterials.h"
#include "plugin/rast/blend.h"
#include "plugin/rast/falloff.h"
#include "plugin/rast/rasterize.h"
#include "support/plugin_host.h"

namespace {

using pigmora::PaintTarget;

// A dab as the stroke engine hands it over, with what the tests vary.
class TestDab : public host::BrushDab {
 public:
  host::PolygonObject* object() const override { return nullptr; }
  host::Document* document() const override { return nullptr; }
  host::SculptBrushToolData* brushTool() const override { return nullptr; }
  host::Settings* settings() const override { return &settings_; }
  double strength() const override { return 1.0; }
  double radius() const override { return 10.0; }
  host::Vector centre() const override { return {}; }
  host::Vector normal() const override { return {0, 0, 1}; }
  int32_t dabFlags() const override { return flags; }
  int32_t pointCount() const override { return 0; }
  int32_t pointIndex(int32_t) const override { return -1; }
  double pointFalloff(int32_t) const override { return 0.0; }
  int32_t polygonCount() const override { return 0; }
  const int32_t* polygons() const override { return nullptr; }
  const host::Neighbour* neighbour() const override { return nullptr; }
  double falloffAt(const host::Vector& p) const override { return falloff ? falloff(p) : 0.0; }
  bool pointTest(const host::Vector& p) const override { return test ? test(p) : true; }
  bool stampCoordinates(const host::Vector&, float&, float&) const override { return false; }
  const host::Bitmap* stamp() const override { return stampImage; }
  const host::Bitmap* stencil() const override { return stencilImage; }
  bool usesSecondOffset() const override { return false; }
  void offsetPoint(int32_t, const host::Vector&) override {}
  void offsetPoint(int32_t, const host::Vector&, int32_t, int32_t) override {}

  host::Settings& settingsRef() { return settings_; }

  int32_t flags = 0;
  std::function<double(const host::Vector&)> falloff;
  std::function<bool(const host::Vector&)> test;
  const host::Bitmap* stampImage = nullptr;
  const host::Bitmap* stencilImage = nullptr;

 private:
  mutable host::Settings settings_;
};

// A bitmap that keeps grey pixels and counts row accesses outside itself.
class RecordingBitmap : public host::PaintBitmap {
 public:
  RecordingBitmap(int32_t w, int32_t h, int32_t mode)
      : w_(w), h_(h), mode_(mode), pixels_(static_cast<size_t>(w > 0 && h > 0 ? w * h : 0)) {}
  int32_t type() const override { return host::kTypeBitmapLayer; }
  int32_t width() const override { return w_; }
  int32_t height() const override { return h_; }
  int32_t colorMode() const override { return mode_; }
  bool getPixelRow(int32_t x, int32_t y, int32_t count, void* buffer, int32_t mode) const override {
    ++reads;
    if (!inside(x, y, count) || mode != host::kModeGrey8) return false;
    std::memcpy(buffer, &pixels_[static_cast<size_t>(y * w_ + x)], static_cast<size_t>(count));
    return true;
  }
  bool setPixelRow(int32_t x, int32_t y, int32_t count, const void* buffer, int32_t mode) override {
    ++writes;
    if (!inside(x, y, count) || mode != host::kModeGrey8) return false;
    std::memcpy(&pixels_[static_cast<size_t>(y * w_ + x)], buffer, static_cast<size_t>(count));
    return true;
  }
  void notifyChanged(int32_t, int32_t, int32_t, int32_t, int32_t) override {}
  void layerChanged(int32_t) override {}
  host::PaintBitmap* next() const override { return nullptr; }
  uint64_t changeCount() const override { return 0; }

  bool inside(int32_t x, int32_t y, int32_t count) const {
    const bool ok = x >= 0 && count > 0 && y >= 0 && y < h_ && int64_t{x} + count <= w_;
    if (!ok) ++outside;
    return ok;
  }
  mutable int reads = 0, writes = 0, outside = 0;

 private:
  int32_t w_, h_, mode_;
  std::vector<uint8_t> pixels_;
};

// Component i of a raw pixel with `bits` per component.
double component(const uint8_t* raw, int32_t bits, int i) {
  if (bits == 8) return raw[i];
  if (bits == 16) {
    uint16_t v;
    std::memcpy(&v, raw + 2 * i, 2);
    return v;
  }
  float f;
  std::memcpy(&f, raw + 4 * i, 4);
  return f;
}

struct V {
  float x, y;
  float sx = 0.f, sy = 0.f;
  double px = 0.0, py = 0.0, pz = 0.0;
};

class RasterTest : public PluginHostTest {
 protected:
  void SetUp() override {
    PluginHostTest::SetUp();
    target_ = std::make_unique<PaintTarget>();
  }
  void TearDown() override {
    target_.reset();
    PluginHostTest::TearDown();
  }

  // The zero-filled first layer of a new texture: black, or transparent with alpha.
  host::PaintBitmap* makeLayer(int32_t w, int32_t h, int32_t mode) {
    host::Material* mat = builder().addMaterial("M" + std::to_string(++materials_));
    host::PaintTexture* tex = builder().addTexture(mat, 0, w, h, mode);
    return tex ? tex->activeLayer() : nullptr;
  }
  // Puts a bitmap into a slot and gives the target its triangle records.
  void useSlot(int32_t slot, host::PaintBitmap* bitmap, host::Vector primary = {1, 0, 0},
               host::Vector secondary = {0, 0, 1}) {
    target_->channels[slot] = bitmap;
    target_->primary[slot] = primary;
    target_->secondary[slot] = secondary;
    target_->activeChannel = slot;
    ASSERT_TRUE(target_->allocateArrays());
  }
  void setTriangle(int32_t tri, const V& a, const V& b, const V& c) {
    const V* in[3] = {&a, &b, &c};
    for (int i = 0; i < 3; ++i) {
      auto& v = target_->triangle(tri).v[i];
      v.x = in[i]->x;
      v.y = in[i]->y;
      v.sx = in[i]->sx;
      v.sy = in[i]->sy;
      v.px = in[i]->px;
      v.py = in[i]->py;
      v.pz = in[i]->pz;
    }
  }
  // A pixel read back in `mode`, one double per component.
  static std::vector<double> pixel(const host::PaintBitmap* bmp, int32_t x, int32_t y,
                                   int32_t mode) {
    int32_t bits = 0, comps = 0;
    EXPECT_TRUE(pigmora::ColorModeInfo(mode, bits, comps));
    uint8_t raw[16] = {};
    EXPECT_TRUE(bmp->getPixelRow(x, y, 1, raw, mode));
    std::vector<double> out;
    for (int i = 0; i < comps; ++i) out.push_back(component(raw, bits, i));
    return out;
  }
  // The grey layer as ASCII rows: '#' painted (non-zero), '.' untouched.
  static std::vector<std::string> mask(const host::PaintBitmap* bmp) {
    std::vector<std::string> rows;
    for (int32_t y = 0; y < bmp->height(); ++y) {
      std::vector<uint8_t> row(static_cast<size_t>(bmp->width()));
      EXPECT_TRUE(bmp->getPixelRow(0, y, bmp->width(), row.data(), host::kModeGrey8));
      std::string s;
      for (uint8_t v : row) s += v ? '#' : '.';
      rows.push_back(s);
    }
    return rows;
  }
  std::unique_ptr<host::Bitmap> makeImage(int32_t w, int32_t h, int32_t bits) {
    auto image = host_.paint().createBitmap();
    EXPECT_TRUE(image && image->init(w, h, bits));
    return image;
  }

  std::unique_ptr<PaintTarget> target_;
  int materials_ = 0;
};

// ---------------------------------------------------------------------------------------------
// Coverage: which pixels a triangle owns.

TEST_F(RasterTest, CoverageExcludesBottomRowAndRightmostPixel) {
  // Worked by hand: spans start on the short edges at x = 1, 2, 4, 5 and end before x = 7.
  host::PaintBitmap* bmp = makeLayer(8, 6, host::kModeGrey8);
  useSlot(0, bmp, {1, 1, 1});
  setTriangle(0, {1, 1}, {7, 1}, {7, 5});
  pigmora::rasterize_flat(nullptr, *target_, 0, 0);
  EXPECT_EQ(mask(bmp), (std::vector<std::string>{"........", ".######.", "..#####.", "....###.",
                                                 ".....##.", "........"}));

  // Pointing right: the apex row and the top vertex draw nothing, the bottom row is left out.
  host::PaintBitmap* right = makeLayer(8, 5, host::kModeGrey8);
  useSlot(0, right, {1, 1, 1});
  setTriangle(0, {1, 0}, {7, 2}, {1, 4});
  pigmora::rasterize_flat(nullptr, *target_, 0, 0);
  EXPECT_EQ(mask(right),
            (std::vector<std::string>{"........", ".###....", ".######.", ".###....", "........"}));
}

TEST_F(RasterTest, TriangleOverRowsTenToTwentyDrawsTenToNineteen) {
  host::PaintBitmap* bmp = makeLayer(48, 32, host::kModeGrey8);
  useSlot(0, bmp, {1, 1, 1});
  // Vertical right edge at x = 30, the left edge runs from (10, 10) to (30, 20). Rounding
  // (9.6 -> 10, 20.4 -> 20) happens before the walk.
  setTriangle(0, {9.6f, 10.f}, {30.f, 9.7f}, {30.2f, 20.4f});
  pigmora::rasterize_flat(nullptr, *target_, 0, 0);
  const std::vector<std::string> m = mask(bmp);
  for (int y = 0; y < 32; ++y) {
    if (y < 10 || y >= 20) {
      EXPECT_EQ(m[y].find('#'), std::string::npos) << "row " << y;
      continue;
    }
    EXPECT_EQ(m[y][29], '#') << "row " << y;
    EXPECT_EQ(m[y][30], '.') << "the right-most pixel x1 is not drawn, row " << y;
    const int left = static_cast<int>(m[y].find('#'));
    EXPECT_NEAR(left, 10 + 2 * (y - 10), 1) << "row " << y;
    EXPECT_EQ(m[y].find('.', left), 30u) << "row " << y << " is one solid span";
  }
}

TEST_F(RasterTest, DegenerateTrianglesDrawNothing) {
  host::PaintBitmap* bmp = makeLayer(48, 24, host::kModeGrey8);
  useSlot(0, bmp, {1, 1, 1});
  const std::vector<std::string> blank = mask(bmp);
  // All three vertices round onto row 10.
  setTriangle(0, {5.f, 10.2f}, {40.f, 9.8f}, {20.f, 10.4f});
  pigmora::rasterize_flat(nullptr, *target_, 0, 0);
  // Zero area along a row, and along a column.
  setTriangle(0, {2.f, 4.f}, {12.f, 4.f}, {30.f, 4.f});
  pigmora::rasterize_flat(nullptr, *target_, 0, 0);
  setTriangle(0, {10.f, 0.f}, {10.f, 5.f}, {10.f, 20.f});
  pigmora::rasterize_flat(nullptr, *target_, 0, 0);
  target_->wholePolygon = 1;
  target_->strength = 1.0;
  pigmora::rasterize_bary(nullptr, *target_, 0, 0);
  EXPECT_EQ(mask(bmp), blank);
}

TEST_F(RasterTest, CoordinatesAreClampedTo16384) {
  // UV 1.0 on a bitmap 20000 pixels wide gives x = 20000; painting stops at 16384.
  host::PaintBitmap* bmp = makeLayer(20000, 4, host::kModeGrey8);
  useSlot(0, bmp, {1, 1, 1});
  setTriangle(0, {16000.f, 0.f}, {20000.f, 0.f}, {20000.f, 4.f});
  pigmora::rasterize_flat(nullptr, *target_, 0, 0);
  std::vector<uint8_t> row(20000);
  for (int32_t y = 0; y < 4; ++y) {
    ASSERT_TRUE(bmp->getPixelRow(0, y, 20000, row.data(), host::kModeGrey8));
    EXPECT_EQ(row[16383], 255) << "row " << y;
    int beyond = 0;
    for (int32_t x = 16384; x < 20000; ++x) beyond += row[static_cast<size_t>(x)] != 0;
    EXPECT_EQ(beyond, 0) << "row " << y;
  }
}

// ---------------------------------------------------------------------------------------------
// The blend.

// One pixel blended by the rule written out in doubles: the plain mix for modes without alpha,
// the over operator for modes with alpha (alpha first). Integer results are truncated.
std::vector<double> referenceBlend(int32_t mode, const std::vector<double>& p,
                                   const std::vector<double>& c, double o) {
  int32_t bits = 0, comps = 0;
  pigmora::ColorModeInfo(mode, bits, comps);
  if (mode == 1 || o <= 0) return p;
  if (o > 1) o = 1;
  const bool integer = bits != 32;
  auto cut = [&](double v) { return integer ? std::floor(v) : v; };
  std::vector<double> out = p;
  if (comps == 1 || comps == 3) {
    for (int i = 0; i < comps; ++i) out[i] = cut(p[i] * (1 - o) + c[i] * o);
    return out;
  }
  const double unit = bits == 8 ? 255.0 : bits == 16 ? 65536.0 : 1.0;
  const double a = p[0] / unit;
  const double covered = 1 - (1 - a) * (1 - o);
  if (covered <= 0.000001) {
    out[0] = 0;
    return out;
  }
  out[0] = integer ? std::min(std::floor(covered * unit), bits == 8 ? 255.0 : 65535.0) : covered;
  for (int i = 1; i < comps; ++i)
    out[i] = cut((o / covered) * c[i] + ((1 - o) * a / covered) * p[i]);
  return out;
}

// Writes doubles into the raw components of a mode.
void encode(int32_t bits, const std::vector<double>& v, uint8_t* raw) {
  for (size_t i = 0; i < v.size(); ++i) {
    if (bits == 8) {
      raw[i] = static_cast<uint8_t>(v[i]);
    } else if (bits == 16) {
      const uint16_t q = static_cast<uint16_t>(v[i]);
      std::memcpy(raw + 2 * i, &q, 2);
    } else {
      const float f = static_cast<float>(v[i]);
      std::memcpy(raw + 4 * i, &f, 4);
    }
  }
}

TEST(Blend, EveryPaintableModeFollowsTheMixAndOverRules) {
  uint32_t seed = 12345;
  auto next = [&] {
    seed = seed * 1664525u + 1013904223u;
    return (seed >> 8) / 16777216.0;
  };
  const double opacities[] = {-0.5, 0.0, 1e-7, 0.25, 0.5, 0.731, 1.0, 1.5};
  for (int32_t mode : {1, 2, 3, 4, 5, 18, 19, 20, 21, 34, 35, 36, 37}) {
    int32_t bits = 0, comps = 0;
    ASSERT_TRUE(pigmora::ColorModeInfo(mode, bits, comps));
    pigmora::PixelLayout layout;
    ASSERT_TRUE(pigmora::pixelLayout(mode, layout));
    const int32_t size = bits / 8 * comps;
    const double top = bits == 8 ? 255 : bits == 16 ? 65535 : 1;
    constexpr int kPixels = 400;
    std::vector<uint8_t> byPixel(static_cast<size_t>(kPixels * size));
    std::vector<uint8_t> colors(byPixel.size());
    std::vector<float> spanOpacity(kPixels);
    std::vector<std::vector<double>> expected;
    for (int k = 0; k < kPixels; ++k) {
      std::vector<double> p(static_cast<size_t>(comps)), c(static_cast<size_t>(comps));
      for (int i = 0; i < comps; ++i) {
        p[i] = bits == 32 ? next() : std::floor(next() * (top + 1));
        c[i] = bits == 32 ? next() : std::floor(next() * (top + 1));
      }
      // Every alpha level matters: fully transparent, opaque and in between.
      if (comps == 2 || comps == 4) p[0] = k % 5 == 0 ? 0 : k % 5 == 1 ? top : p[0];
      const double o = k % 3 == 0 ? opacities[k / 3 % 8] : next();
      encode(bits, p, &byPixel[static_cast<size_t>(k * size)]);
      encode(bits, c, &colors[static_cast<size_t>(k * size)]);
      spanOpacity[static_cast<size_t>(k)] = static_cast<float>(o);
      expected.push_back(referenceBlend(mode, p, c, static_cast<float>(o)));
    }
    std::vector<uint8_t> bySpan = byPixel;
    size_t offset = 0;
    for (int k = 0; k < kPixels; ++k)
      pigmora::BlendPixel(mode, offset, byPixel.data(), spanOpacity[static_cast<size_t>(k)],
                          &colors[static_cast<size_t>(k * size)], false, false, nullptr, nullptr,
                          nullptr, 0, 0);
    EXPECT_EQ(offset, static_cast<size_t>(kPixels * size)) << "mode " << mode;
    pigmora::blendSpan(layout, bySpan.data(), kPixels, spanOpacity.data(), 1, colors.data(),
                       static_cast<size_t>(size));
    EXPECT_EQ(bySpan, byPixel) << "span and single-pixel blends agree in mode " << mode;
    // One colour for the whole span, as the brush paints: the span's fast path must agree too.
    std::vector<uint8_t> uniformSpan = byPixel, uniformPixel = byPixel;
    pigmora::blendSpan(layout, uniformSpan.data(), kPixels, spanOpacity.data(), 1, colors.data(),
                       0);
    offset = 0;
    for (int k = 0; k < kPixels; ++k)
      pigmora::BlendPixel(mode, offset, uniformPixel.data(), spanOpacity[static_cast<size_t>(k)],
                          colors.data(), false, false, nullptr, nullptr, nullptr, 0, 0);
    EXPECT_EQ(uniformSpan, uniformPixel) << "uniform colour, mode " << mode;
    // Stamp pixels taken from a kept stamp (the colours, in scrambled order, some pixels left
    // alone), with and without the stamp's alpha, as a mask or in their own colours, with and
    // without a replacement colour: the span form gives the bytes of one pixel at a time.
    std::vector<int32_t> at(kPixels);
    std::vector<uint8_t> alphaBytes(kPixels);
    for (int k = 0; k < kPixels; ++k) {
      at[static_cast<size_t>(k)] = k % 11 == 3 ? -1 : (k * 7 + 5) % kPixels;
      alphaBytes[static_cast<size_t>(k)] = static_cast<uint8_t>(k % 4 == 0 ? 255 : next() * 256);
    }
    std::vector<float> scratchOpacity(kPixels);
    std::vector<uint8_t> scratchColours(static_cast<size_t>(kPixels * pigmora::kMaxPixelBytes));
    for (int variant = 0; variant < 8; ++variant) {
      const bool withAlpha = variant & 1, ownColour = variant & 2;
      const uint8_t* replacement = variant & 4 ? &colors[static_cast<size_t>(3 * size)] : nullptr;
      std::vector<uint8_t> stampSpan = byPixel, stampPixel = byPixel;
      pigmora::blendStampSpan(layout, stampSpan.data(), kPixels, spanOpacity.data(), at.data(),
                              colors.data(), withAlpha ? alphaBytes.data() : nullptr, ownColour,
                              replacement, scratchOpacity.data(), scratchColours.data());
      for (int k = 0; k < kPixels; ++k) {
        const int32_t i = at[static_cast<size_t>(k)];
        if (i < 0) continue;
        pigmora::blendStampPixel(
            layout, &stampPixel[static_cast<size_t>(k * size)], spanOpacity[static_cast<size_t>(k)],
            &colors[static_cast<size_t>(i * size)],
            withAlpha ? &alphaBytes[static_cast<size_t>(i)] : nullptr, ownColour, replacement);
      }
      EXPECT_EQ(stampSpan, stampPixel) << "stamp span, mode " << mode << ", variant " << variant;
    }
    int misses = 0;
    for (int k = 0; k < kPixels; ++k) {
      for (int i = 0; i < comps; ++i) {
        const double got = component(&byPixel[static_cast<size_t>(k * size)], bits, i);
        const double want = expected[static_cast<size_t>(k)][static_cast<size_t>(i)];
        const double tolerance = bits == 32 ? 1e-5 : 1.0;
        if (std::fabs(got - want) > tolerance && ++misses < 5)
          ADD_FAILURE() << "mode " << mode << " pixel " << k << " component " << i << ": got "
                        << got << ", want " << want;
      }
    }
  }
}

// Spans of every length from 1 to 9, starting at every offset of a block of four, over runs of
// opaque, transparent and mixed pixels, with one colour and with a colour per pixel: the span
// form (blocks of four lanes, the last block part-filled, opaque blocks on their own path) gives
// the bytes of one pixel at a time, and leaves the pixels around the span untouched.
TEST(Blend, SpansOfEveryLengthAndOffsetAgreeWithOnePixelAtATime) {
  uint32_t seed = 777;
  auto next = [&] {
    seed = seed * 1664525u + 1013904223u;
    return (seed >> 8) / 16777216.0;
  };
  for (int32_t mode : {5, 21, 37, 3, 19}) {
    int32_t bits = 0, comps = 0;
    ASSERT_TRUE(pigmora::ColorModeInfo(mode, bits, comps));
    pigmora::PixelLayout layout;
    ASSERT_TRUE(pigmora::pixelLayout(mode, layout));
    const size_t size = static_cast<size_t>(bits / 8 * comps);
    const double top = bits == 8 ? 255 : bits == 16 ? 65535 : 1;
    constexpr int kRow = 16;
    for (int ground = 0; ground < 3; ++ground) {  // opaque, transparent, mixed alpha
      std::vector<uint8_t> base(kRow * size), colours(kRow * size);
      for (int k = 0; k < kRow; ++k) {
        std::vector<double> p(static_cast<size_t>(comps)), c(static_cast<size_t>(comps));
        for (int i = 0; i < comps; ++i) {
          p[static_cast<size_t>(i)] = bits == 32 ? next() : std::floor(next() * (top + 1));
          c[static_cast<size_t>(i)] = bits == 32 ? next() : std::floor(next() * (top + 1));
        }
        p[0] = ground == 0 ? top : ground == 1 ? 0 : p[0];
        encode(bits, p, &base[k * size]);
        encode(bits, c, &colours[k * size]);
      }
      for (int first = 0; first < 4; ++first) {
        for (int count = 1; count <= 9; ++count) {
          std::vector<float> opacity(kRow);
          for (int k = 0; k < kRow; ++k)
            opacity[static_cast<size_t>(k)] =
                k % 4 == 3 ? 0.f : static_cast<float>(k % 5 == 0 ? 1.0 : next());
          for (size_t colourStep : {size_t{0}, size}) {
            std::vector<uint8_t> bySpan = base, byPixel = base;
            pigmora::blendSpan(layout, &bySpan[first * size], count, &opacity[first], 1,
                               &colours[first * size], colourStep);
            for (int k = first; k < first + count; ++k) {
              size_t offset = 0;
              const uint8_t* c = colourStep ? &colours[k * size] : &colours[first * size];
              pigmora::BlendPixel(mode, offset, &byPixel[k * size], opacity[static_cast<size_t>(k)],
                                  c, false, false, nullptr, nullptr, nullptr, 0, 0);
            }
            EXPECT_EQ(bySpan, byPixel)
                << "mode " << mode << ", ground " << ground << ", from " << first << ", " << count
                << " pixels, colour step " << colourStep;
          }
        }
      }
    }
  }
}

TEST(Blend, UnpaintableModesStepOverThePixel) {
  uint8_t row[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  const uint8_t color[8] = {255, 255, 255, 255, 255, 255, 255, 255};
  size_t offset = 0;
  pigmora::BlendPixel(host::kModeCMYK8, offset, row, 1.0, color, false, false, nullptr, nullptr,
                      nullptr, 0, 0);
  EXPECT_EQ(offset, 4u);
  EXPECT_EQ(row[0], 1);
  EXPECT_EQ(row[3], 4);
}

TEST_F(RasterTest, PaintingTransparentAlphaPixels) {
  // 8-bit alpha + RGB (0, 0, 0, 0) painted red.
  host::PaintBitmap* full = makeLayer(8, 8, host::kModeARGB8);
  useSlot(0, full, {1, 0, 0});
  setTriangle(0, {0, 0}, {8, 0}, {0, 8});
  pigmora::rasterize_flat(nullptr, *target_, 0, 0);
  EXPECT_EQ(pixel(full, 1, 1, host::kModeARGB8), (std::vector<double>{255, 255, 0, 0}));

  host::PaintBitmap* half = makeLayer(8, 8, host::kModeARGB8);
  useSlot(0, half, {1, 0, 0});
  setTriangle(0, {0, 0}, {8, 0}, {0, 8});
  target_->wholePolygon = 1;
  target_->strength = 0.5;
  pigmora::rasterize_bary(nullptr, *target_, 0, 0);
  EXPECT_EQ(pixel(half, 1, 1, host::kModeARGB8), (std::vector<double>{127, 255, 0, 0}));

  // 16-bit: an alpha of 1.0 lands on 65535, not on 65536 wrapped to 0.
  host::PaintBitmap* deep = makeLayer(8, 8, host::kModeARGB16);
  useSlot(0, deep, {1, 0, 0});
  setTriangle(0, {0, 0}, {8, 0}, {0, 8});
  pigmora::rasterize_flat(nullptr, *target_, 0, 0);
  EXPECT_EQ(pixel(deep, 1, 1, host::kModeARGB16), (std::vector<double>{65535, 65535, 0, 0}));
}

TEST_F(RasterTest, StampPixelsMaskAndColour) {
  auto stamp = makeImage(2, 1, 32);
  stamp->setPixel(0, 0, 255, 255, 255);
  stamp->setAlpha(0, 0, 128);
  stamp->setPixel(1, 0, 51, 102, 153);  // brightness 306 / 765 = 0.4
  stamp->setAlpha(1, 0, 255);
  const uint8_t red[3] = {255, 0, 0};
  const uint8_t replacement[3] = {200, 100, 0};

  // As a mask: the stamp's alpha and brightness scale the opacity; the replacement is painted.
  uint8_t row[6] = {};
  size_t offset = 0;
  pigmora::BlendPixel(host::kModeRGB8, offset, row, 1.0, red, true, false, replacement, stamp.get(),
                      nullptr, 0, 0);
  pigmora::BlendPixel(host::kModeRGB8, offset, row, 1.0, red, true, false, replacement, stamp.get(),
                      nullptr, 1, 0);
  // 128 / 255 of 200 and 100; 0.4 of 200 and 100.
  EXPECT_EQ(row[0], 100);
  EXPECT_EQ(row[1], 50);
  EXPECT_EQ(row[2], 0);
  EXPECT_NEAR(row[3], 80, 1);
  EXPECT_NEAR(row[4], 40, 1);
  EXPECT_EQ(row[5], 0);

  // Its own colours, with stamp alpha off.
  uint8_t own[6] = {};
  offset = 0;
  pigmora::BlendPixel(host::kModeRGB8, offset, own, 1.0, red, false, true, nullptr, stamp.get(),
                      nullptr, 1, 0);
  EXPECT_EQ(std::vector<int>(own, own + 3), (std::vector<int>{51, 102, 153}));

  // Grey modes are never masked: the stamp's grey is painted as it is.
  uint8_t grey[1] = {0};
  const uint8_t white[1] = {255};
  offset = 0;
  pigmora::BlendPixel(host::kModeGrey8, offset, grey, 1.0, white, false, false, white, stamp.get(),
                      nullptr, 0, 0);
  EXPECT_EQ(grey[0], 255);

  // A stamp pixel that cannot be read leaves the pixel alone.
  uint8_t untouched[3] = {7, 7, 7};
  offset = 0;
  pigmora::BlendPixel(host::kModeRGB8, offset, untouched, 1.0, red, false, true, nullptr,
                      stamp.get(), nullptr, 5, 5);
  EXPECT_EQ(untouched[0], 7);
  EXPECT_EQ(offset, 3u);
}

// ---------------------------------------------------------------------------------------------
// Brush opacity: falloff table, host falloff, point test.

class BrushTest : public RasterTest {
 protected:
  void SetUp() override {
    RasterTest::SetUp();
    bmp_ = makeLayer(64, 64, host::kModeRGBF);
    useSlot(0, bmp_, {1, 0, 0});
    // A flat-topped triangle whose first row (y = 10) runs from x = 0 to 39 with surface
    // positions equal to the pixel positions: pixel x of that row lies at (x, 10, 0).
    setTriangle(0, {0, 10, 0, 0, 0, 10, 0}, {40, 10, 0, 0, 40, 10, 0}, {0, 50, 0, 0, 0, 50, 0});
    target_->strength = 1.0;
    settings_.setSpline(pigmora::kSettingFalloffCurve, host::Spline{{{0, 1}, {1, 0}}});
    pigmora::buildFalloffTable(target_->falloff, target_->falloffSignature, &settings_, 10.0);
    target_->falloff.centre[0] = 20.f;
    target_->falloff.centre[1] = 10.f;
  }
  double red(int32_t x, int32_t y = 10) { return pixel(bmp_, x, y, host::kModeRGBF)[0]; }

  host::PaintBitmap* bmp_ = nullptr;
  host::Settings settings_;
};

TEST_F(BrushTest, FalloffCurveIsReadAtTheSquaredNormalisedDistance) {
  ASSERT_TRUE(target_->falloff.enabled);
  TestDab dab;
  pigmora::rasterize_bary(&dab, *target_, 0, 0);
  // Curve 1 - u at u = (d / r)^2; half the radius reads 0.75, not 0.5.
  for (int32_t x : {12, 15, 18, 20, 22, 25, 28, 29})
    EXPECT_NEAR(red(x), 1.0 - (x - 20.0) * (x - 20.0) / 100.0, 1e-3) << "x " << x;
  EXPECT_NEAR(red(30), 0.0, 1e-4) << "the rim of the brush";
  EXPECT_EQ(red(31), 0.0) << "beyond the radius nothing is painted";
  EXPECT_EQ(red(5), 0.0);
}

TEST_F(BrushTest, HostFalloffWhenTheTableIsOff) {
  target_->falloff.enabled = 0;
  TestDab dab;
  dab.falloff = [](const host::Vector& p) {
    const double d = std::hypot(p.x - 20.0, p.y - 10.0);
    return d < 10.0 ? 1.0 - d / 10.0 : 0.0;
  };
  target_->strength = 0.8;
  pigmora::rasterize_bary(&dab, *target_, 0, 0);
  EXPECT_NEAR(red(25), 0.8 * 0.5, 1e-3);
  EXPECT_NEAR(red(20), 0.8, 1e-3);
  EXPECT_NEAR(red(12), 0.8 * 0.2, 1e-3);

  // Without a dab there is no falloff to ask: nothing is painted.
  host::PaintBitmap* other = makeLayer(64, 64, host::kModeRGBF);
  target_->channels[0] = other;
  pigmora::rasterize_bary(nullptr, *target_, 0, 0);
  EXPECT_EQ(pixel(other, 20, 10, host::kModeRGBF)[0], 0.0);
}

TEST_F(BrushTest, PointTestPaintsAtStrengthWherePointsPass) {
  target_->pointTest = 1;
  target_->strength = 0.6;
  TestDab dab;
  dab.test = [](const host::Vector& p) { return p.x < 8.0; };
  pigmora::rasterize_bary(&dab, *target_, 0, 0);
  for (int32_t x = 0; x <= 7; ++x) EXPECT_NEAR(red(x), 0.6, 1e-6) << "x " << x;
  for (int32_t x = 9; x < 40; ++x) EXPECT_EQ(red(x), 0.0) << "x " << x;
}

TEST_F(RasterTest, BlurAveragesTheNeighbourhoodAsTheBitmapHoldsIt) {
  host::PaintBitmap* bmp = makeLayer(24, 16, host::kModeRGB8);
  useSlot(0, bmp);
  const int white[][2] = {{0, 9}, {6, 12}, {10, 10}, {11, 8}, {23, 10}};
  const uint8_t w3[3] = {255, 255, 255};
  for (const auto& p : white) ASSERT_TRUE(bmp->setPixelRow(p[0], p[1], 1, w3, host::kModeRGB8));
  auto isWhite = [&](int x, int y) {
    for (const auto& p : white)
      if (p[0] == x && p[1] == y) return true;
    return false;
  };
  // One row, y = 10, x = 0 .. 19, blurred at full opacity.
  setTriangle(0, {0, 10}, {20, 10}, {0, 11});
  target_->paintMode = pigmora::kPaintModeBlur;
  target_->wholePolygon = 1;
  target_->strength = 1.0;
  pigmora::rasterize_bary(nullptr, *target_, 0, 0);
  for (int x = 0; x < 24; ++x) {
    // Every neighbour comes from the bitmap as it was: the row is written after the span.
    int whites = 0, seen = 0;
    for (int dy = -2; dy <= 2; ++dy)
      for (int dx = -2; dx <= 2; ++dx) {
        if (x + dx < 0 || x + dx >= 24) continue;
        ++seen;
        whites += isWhite(x + dx, 10 + dy);
      }
    const double want = x < 20 ? 255.0 * whites / seen : (isWhite(x, 10) ? 255 : 0);
    EXPECT_NEAR(pixel(bmp, x, 10, host::kModeRGB8)[1], want, 1.0) << "x " << x;
  }
  EXPECT_EQ(pixel(bmp, 6, 12, host::kModeRGB8)[0], 255) << "other rows stay as they were";
}

TEST_F(RasterTest, BlurOnAnEmptyLayerChangesNothing) {
  // Transparent black everywhere: there is no colour to move toward, in any mode with alpha.
  for (int32_t mode : {3, 5, 19, 21, 35, 37}) {
    SCOPED_TRACE(mode);
    host::PaintBitmap* bmp = makeLayer(16, 12, mode);
    useSlot(0, bmp);
    setTriangle(0, {0, 0}, {16, 0}, {0, 12});
    target_->paintMode = pigmora::kPaintModeBlur;
    target_->wholePolygon = 1;
    target_->strength = 1.0;
    pigmora::rasterize_bary(nullptr, *target_, 0, 0);
    for (int32_t y = 0; y < 12; ++y)
      for (int32_t x = 0; x < 16; ++x)
        for (double c : pixel(bmp, x, y, mode)) ASSERT_EQ(c, 0.0) << x << "," << y;
  }
}

TEST_F(RasterTest, BlurAcrossAnOpaqueEdgeSoftensAlphaAndKeepsTheColour) {
  // Columns 0 .. 9 opaque orange, 10 .. 19 transparent black. Row 5 is blurred; pixel x sees the
  // k opaque columns of its 5 x 5 neighbourhood out of m columns inside the bitmap, so its
  // alpha moves toward k / m and its colour stays orange wherever alpha is left.
  struct Case {
    int32_t mode;
    double opaque;  // alpha of an opaque pixel; also the unit colour components are held in
    double unit;    // the stored value of a normalised 1
  };
  for (const Case c : {Case{5, 255, 255}, Case{21, 65535, 65535}, Case{37, 1, 1}}) {
    SCOPED_TRACE(c.mode);
    host::PaintBitmap* bmp = makeLayer(20, 11, c.mode);
    useSlot(0, bmp);
    const float orange[4] = {1.f, 1.f, 0.5f, 0.f};
    for (int32_t y = 0; y < 11; ++y)
      for (int32_t x = 0; x < 10; ++x) ASSERT_TRUE(bmp->setPixelRow(x, y, 1, orange, 37));
    const std::vector<double> before = pixel(bmp, 0, 5, c.mode);
    setTriangle(0, {0, 5}, {20, 5}, {0, 6});
    target_->paintMode = pigmora::kPaintModeBlur;
    target_->wholePolygon = 1;
    target_->strength = 0.5;
    pigmora::rasterize_bary(nullptr, *target_, 0, 0);
    for (int32_t x = 0; x < 20; ++x) {
      int k = 0, m = 0;
      for (int32_t dx = -2; dx <= 2; ++dx) {
        if (x + dx < 0 || x + dx >= 20) continue;
        ++m;
        k += x + dx < 10;
      }
      const double a = x < 10 ? 1.0 : 0.0;
      // Halfway (opacity 0.5) from the pixel's alpha to the mean alpha.
      const double want = a + (double(k) / m - a) * 0.5;
      const std::vector<double> p = pixel(bmp, x, 5, c.mode);
      EXPECT_NEAR(p[0], want * c.opaque, c.mode == 37 ? 1e-6 : 1.0) << "alpha at x " << x;
      if (want == 0.0) {
        EXPECT_EQ(p, std::vector<double>(4, 0.0)) << "x " << x;
        continue;
      }
      for (int i = 1; i < 4; ++i)
        EXPECT_NEAR(p[i], before[i], c.mode == 37 ? 1e-6 : 0.0) << "colour " << i << " at x " << x;
    }
    EXPECT_EQ(pixel(bmp, 12, 4, c.mode)[0], 0.0) << "other rows stay as they were";
  }
}

// ---------------------------------------------------------------------------------------------
// Stamps and stencils.

class StampTest : public RasterTest {
 protected:
  void SetUp() override {
    RasterTest::SetUp();
    // An 8 x 8 stamp whose pixel (x, y) is (30x, 30y, 7).
    stamp_ = makeImage(8, 8, 24);
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x)
        stamp_->setPixel(x, y, static_cast<uint8_t>(30 * x), static_cast<uint8_t>(30 * y), 7);
    bmp_ = makeLayer(40, 40, host::kModeRGB8);
    useSlot(0, bmp_, {1, 0, 0});
    stampTriangle();
    target_->strength = 1.0;
    target_->wholePolygon = 1;
    dab_.stampImage = stamp_.get();
  }
  // Stamp point (S, T) = (x / 2, y / 2): the stamp covers pixels 0 .. 15 in x and y.
  void stampTriangle() { setTriangle(0, {0, 0, 0, 0}, {32, 0, 16, 0}, {0, 32, 0, 16}); }
  std::vector<double> at(int x, int y) { return pixel(bmp_, x, y, host::kModeRGB8); }

  std::unique_ptr<host::Bitmap> stamp_;
  host::PaintBitmap* bmp_ = nullptr;
  TestDab dab_;
};

TEST_F(StampTest, StampPaintsItsOwnColoursInsideItsRectangle) {
  target_->stampOn = 1;
  pigmora::rasterize_bary(&dab_, *target_, 0, 0);
  // Odd coordinates keep S and T off whole numbers: pixel (5, 9) reads stamp (2, 4).
  EXPECT_EQ(at(5, 9), (std::vector<double>{60, 120, 7}));
  EXPECT_EQ(at(21, 3), (std::vector<double>{0, 0, 0})) << "no tiling: outside stays unpainted";
}

TEST_F(StampTest, OnlyXTilingLeavesPixelsOutsideTheStampUnpainted) {
  target_->stampOn = 1;
  dab_.settingsRef().setBool(pigmora::kSettingStampTileX, true);
  pigmora::rasterize_bary(&dab_, *target_, 0, 0);
  EXPECT_EQ(at(21, 3), (std::vector<double>{0, 0, 0}));
  EXPECT_EQ(at(3, 21), (std::vector<double>{0, 0, 0}));
  EXPECT_EQ(at(5, 9), (std::vector<double>{60, 120, 7}));
}

TEST_F(StampTest, TilingBothWaysRepeatsTheStamp) {
  target_->stampOn = 1;
  dab_.settingsRef().setBool(pigmora::kSettingStampTileX, true);
  dab_.settingsRef().setBool(pigmora::kSettingStampTileY, true);
  pigmora::rasterize_bary(&dab_, *target_, 0, 0);
  // (21, 3): S = 10.5 wraps to 2.5, T = 1.5.  (3, 21): S = 1.5, T = 10.5 wraps to 2.5.
  EXPECT_EQ(at(21, 3), (std::vector<double>{60, 30, 7}));
  EXPECT_EQ(at(3, 21), (std::vector<double>{30, 60, 7}));
}

TEST_F(StampTest, StencilMasksTheSlotColourAndNeverTiles) {
  auto stencil = makeImage(8, 8, 24);
  stencil->clear(51, 102, 153);  // brightness 0.4
  dab_.stampImage = nullptr;
  dab_.stencilImage = stencil.get();
  dab_.settingsRef().setBool(pigmora::kSettingStampTileX, true);
  dab_.settingsRef().setBool(pigmora::kSettingStampTileY, true);
  target_->stencilOn = 1;
  pigmora::rasterize_bary(&dab_, *target_, 0, 0);
  EXPECT_EQ(at(5, 9), (std::vector<double>{102, 0, 0}));
  EXPECT_EQ(at(21, 3), (std::vector<double>{0, 0, 0}));

  // With stencil colour on, the stencil paints its own colours.
  host::PaintBitmap* own = makeLayer(40, 40, host::kModeRGB8);
  target_->channels[0] = own;
  target_->stampColor = 1;
  pigmora::rasterize_bary(&dab_, *target_, 0, 0);
  EXPECT_EQ(pixel(own, 5, 9, host::kModeRGB8), (std::vector<double>{51, 102, 153}));
}

TEST_F(StampTest, BlurIgnoresTheStamp) {
  target_->stampOn = 1;
  target_->paintMode = pigmora::kPaintModeBlur;
  const uint8_t white[3] = {255, 255, 255};
  ASSERT_TRUE(bmp_->setPixelRow(5, 9, 1, white, host::kModeRGB8));
  pigmora::rasterize_bary(&dab_, *target_, 0, 0);
  // The lone white pixel is spread out; no stamp colour (blue 7) appears.
  EXPECT_LT(at(5, 9)[0], 255);
  EXPECT_GT(at(6, 9)[0], 0);
  EXPECT_EQ(at(6, 9)[0], at(6, 9)[2]);
}

// ---------------------------------------------------------------------------------------------
// Channel slots.

TEST_F(RasterTest, AllChannelsAndSecondaryColours) {
  host::PaintBitmap* color = makeLayer(8, 8, host::kModeRGB8);
  host::PaintBitmap* bump = makeLayer(8, 8, host::kModeGrey8);
  useSlot(0, color, {1, 0, 0}, {0, 1, 0});
  useSlot(6, bump, {1, 1, 1}, {0.2, 0.2, 0.2});
  setTriangle(0, {0, 0}, {8, 0}, {0, 8});

  // One slot only: the other stays untouched.
  pigmora::rasterize_flat(nullptr, *target_, 6, 0);
  EXPECT_EQ(pixel(color, 1, 1, host::kModeRGB8), (std::vector<double>{0, 0, 0}));
  EXPECT_EQ(pixel(bump, 1, 1, host::kModeGrey8)[0], 255);

  // All slots with the secondary colours.
  target_->paintAllChannels = 1;
  TestDab dab;
  dab.flags = host::kDabFlagSecondary;
  pigmora::rasterize_flat(&dab, *target_, 0, 0);
  EXPECT_EQ(pixel(color, 1, 1, host::kModeRGB8), (std::vector<double>{0, 255, 0}));
  EXPECT_NEAR(pixel(bump, 1, 1, host::kModeGrey8)[0], 51, 1);

  // A negative slot or one marked as skipped paints nothing on its own.
  target_->paintAllChannels = 0;
  host::PaintBitmap* fresh = makeLayer(8, 8, host::kModeGrey8);
  target_->channels[6] = fresh;
  for (int32_t slot : {-1, 14, 6 | pigmora::kChannelSkipBit}) {
    pigmora::rasterize_flat(nullptr, *target_, slot, 0);
    target_->wholePolygon = 1;
    target_->strength = 1;
    pigmora::rasterize_bary(nullptr, *target_, slot, 0);
  }
  EXPECT_EQ(pixel(fresh, 1, 1, host::kModeGrey8)[0], 0);
}

TEST_F(StampTest, PerChannelStampsComeFromTheSampledChannels) {
  host::PaintBitmap* specular = makeLayer(40, 40, host::kModeRGB8);
  useSlot(8, specular, {1, 1, 1});
  stampTriangle();
  auto* registry = pigmora::PaintMaterialRegistry::instance();
  ASSERT_NE(registry, nullptr);
  auto sampled = makeImage(8, 8, 24);
  sampled->clear(9, 99, 199);
  registry->setSampledChannel(8, std::move(sampled));
  target_->paintAllChannels = 1;
  target_->perChannelStamps = 1;
  target_->stampOn = 1;
  pigmora::rasterize_bary(&dab_, *target_, 0, 0);
  EXPECT_EQ(pixel(specular, 5, 9, host::kModeRGB8), (std::vector<double>{9, 99, 199}));
  EXPECT_EQ(at(5, 9), (std::vector<double>{0, 0, 0})) << "a slot without its own stamp is skipped";
  registry->freeSampledChannels();
}

// ---------------------------------------------------------------------------------------------
// Remapping one polygon's texels.

// Quadrants of a square source, each in its own colour.
const uint8_t kQuadrant[4][3] = {{200, 10, 20}, {30, 220, 40}, {50, 60, 230}, {250, 250, 5}};

TEST_F(RasterTest, RemapCopiesOpaqueSourceColours) {
  for (int32_t srcSize : {32, 16}) {
    host::PaintBitmap* src = makeLayer(srcSize, srcSize, host::kModeARGB8);
    for (int y = 0; y < srcSize; ++y)
      for (int x = 0; x < srcSize; ++x) {
        const uint8_t* q = kQuadrant[(y >= srcSize / 2) * 2 + (x >= srcSize / 2)];
        const uint8_t argb[4] = {100, q[0], q[1], q[2]};
        ASSERT_TRUE(src->setPixelRow(x, y, 1, argb, host::kModeARGB8));
      }
    host::PaintBitmap* dst = makeLayer(32, 32, host::kModeARGB8);
    const host::UVWPolygon uv{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    pigmora::rasterize_remap(uv, uv, src, dst, true);
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x) {
        // Stay two pixels clear of the quadrant borders, where rounding may pick a neighbour.
        if (x % 16 < 2 || x % 16 > 13 || y % 16 < 2 || y % 16 > 13) continue;
        const uint8_t* q = kQuadrant[(y >= 16) * 2 + (x >= 16)];
        EXPECT_EQ(pixel(dst, x, y, host::kModeARGB8),
                  (std::vector<double>{255, double(q[0]), double(q[1]), double(q[2])}))
            << "source " << srcSize << " pixel " << x << "," << y;
      }
  }
}

// The pixels of a triangle by the plain walk: every row from the top of each short edge, the
// running sums stepped once a row in single precision, rows [0, h) and columns [0, w) kept.
std::vector<std::string> walkedRowByRow(const int32_t (&vx)[3], const int32_t (&vy)[3], int32_t w,
                                        int32_t h) {
  std::vector<std::string> rows(static_cast<size_t>(h), std::string(static_cast<size_t>(w), '.'));
  struct Edge {
    int32_t x0, y0, x1, y1;
  };
  auto edge = [&](int a, int b) {
    const int top = vy[a] < vy[b] ? a : b, bottom = top == a ? b : a;  // equal rows: b on top
    return Edge{vx[top], vy[top], vx[bottom], vy[bottom]};
  };
  const Edge e[3] = {edge(0, 1), edge(1, 2), edge(2, 0)};
  int32_t height[3];
  for (int i = 0; i < 3; ++i) height[i] = e[i].y1 - e[i].y0;
  const int k = std::max(height[0], height[1]) < height[2] ? 2 : (height[0] < height[1] ? 1 : 0);
  const Edge& l = e[k];
  for (const Edge& s : {e[(k + 1) % 3], e[(k + 2) % 3]}) {
    if (l.y1 == l.y0 || s.y1 == s.y0) continue;
    float tL = float(s.y0 - l.y0) / float(l.y1 - l.y0), tS = 0.f;
    const float stepL = 1.f / float(l.y1 - l.y0), stepS = 1.f / float(s.y1 - s.y0);
    for (int32_t y = s.y0; y < s.y1; ++y, tL += stepL, tS += stepS) {
      const int32_t xl = static_cast<int32_t>(tL * float(l.x1 - l.x0)) + l.x0;
      const int32_t xs = static_cast<int32_t>(tS * float(s.x1 - s.x0)) + s.x0;
      if (y < 0 || y >= h) continue;
      for (int32_t x = std::max(std::min(xl, xs), 0); x < std::min(std::max(xl, xs), w); ++x)
        rows[static_cast<size_t>(y)][static_cast<size_t>(x)] = '#';
    }
  }
  return rows;
}

TEST_F(RasterTest, RemapOfTrianglesStartingAboveTheLayerWalksEveryRowAsFromTheTop) {
  // Destination triangles reach far above row 0 (and a little past the sides); each copies one
  // grey source pixel, so the covered pixels are exactly those the walk visits.
  constexpr int32_t kW = 128, kH = 128;
  host::PaintBitmap* src = makeLayer(8, 8, host::kModeGrey8);
  const std::vector<uint8_t> white(64, 255);
  for (int32_t y = 0; y < 8; ++y) ASSERT_TRUE(src->setPixelRow(0, y, 8, white.data(), 2));
  const host::UVWPolygon from{{0.5, 0.5, 0}, {0.5, 0.5, 0}, {0.5, 0.5, 0}, {0.5, 0.5, 0}};
  std::mt19937 rng(3);
  auto pick = [&rng](int32_t lo, int32_t hi) {
    return std::uniform_int_distribution<int32_t>(lo, hi)(rng);
  };
  int32_t differing = 0;
  for (int i = 0; i < 200; ++i) {
    host::PaintBitmap* dst = makeLayer(kW, kH, host::kModeGrey8);
    // Whole pixels over 128 are exact in UV, so the rounded vertices are these.
    const int32_t vx[3] = {pick(-40, kW + 40), pick(-40, kW + 40), pick(-40, kW + 40)};
    const int32_t vy[3] = {pick(-9000, -10), pick(-3000, kH + 20), pick(10, kH + 20)};
    host::UVWPolygon to;
    for (int c = 0; c < 3; ++c) to.corner(c) = host::Vector(vx[c] / 128.0, vy[c] / 128.0, 0);
    to.d = to.c;
    pigmora::rasterize_remap(from, to, src, dst, false);
    if (mask(dst) != walkedRowByRow(vx, vy, kW, kH)) ++differing;
  }
  EXPECT_EQ(differing, 0) << "of 200 triangles";
}

TEST_F(RasterTest, RemapOfOneTriangleLeavesTheOtherHalf) {
  host::PaintBitmap* src = makeLayer(16, 16, host::kModeRGB8);
  const uint8_t grey[3] = {90, 90, 90};
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) ASSERT_TRUE(src->setPixelRow(x, y, 1, grey, host::kModeRGB8));
  host::PaintBitmap* dst = makeLayer(16, 16, host::kModeGrey8);
  const host::UVWPolygon uv{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
  pigmora::rasterize_remap(uv, uv, src, dst, false);
  EXPECT_EQ(pixel(dst, 12, 2, host::kModeGrey8)[0], 90);
  EXPECT_EQ(pixel(dst, 2, 12, host::kModeGrey8)[0], 0);
}

// ---------------------------------------------------------------------------------------------
// Input that must be refused.

TEST_F(RasterTest, BadInputWritesNothingOutsideTheBitmap) {
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  RecordingBitmap small(16, 16, host::kModeGrey8);
  useSlot(0, &small, {1, 1, 1});
  target_->strength = 1.0;
  target_->wholePolygon = 1;
  const V wild[][3] = {
      {{1e30f, 1e30f}, {-1e30f, 5}, {nan, 1e30f}},
      {{inf, -inf}, {5, inf}, {-inf, 3}},
      {{0, 0}, {16384, 2}, {0, 16384}},
  };
  for (const auto& tri : wild) {
    setTriangle(0, tri[0], tri[1], tri[2]);
    pigmora::rasterize_flat(nullptr, *target_, 0, 0);
    pigmora::rasterize_bary(nullptr, *target_, 0, 0);
  }
  EXPECT_EQ(small.outside, 0);
  EXPECT_GT(small.writes, 0) << "clamped triangles still paint inside the bitmap";

  // Triangle records that do not exist.
  const int before = small.writes;
  for (int32_t tri : {-1, 28, 1000}) {
    pigmora::rasterize_flat(nullptr, *target_, 0, tri);
    pigmora::rasterize_bary(nullptr, *target_, 0, tri);
  }
  EXPECT_EQ(small.writes, before);

  // Empty bitmaps and modes that cannot be painted are never read or written.
  RecordingBitmap empty(0, 0, host::kModeGrey8);
  RecordingBitmap cmyk(16, 16, host::kModeCMYK8);
  for (host::PaintBitmap* bmp :
       {static_cast<host::PaintBitmap*>(&empty), static_cast<host::PaintBitmap*>(&cmyk)}) {
    target_->channels[0] = bmp;
    setTriangle(0, {0, 0}, {16, 0}, {0, 16});
    pigmora::rasterize_flat(nullptr, *target_, 0, 0);
    pigmora::rasterize_bary(nullptr, *target_, 0, 0);
    const host::UVWPolygon uv{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    pigmora::rasterize_remap(uv, uv, &small, bmp, true);
    pigmora::rasterize_remap(uv, uv, bmp, &small, true);
  }
  EXPECT_EQ(empty.reads + empty.writes, 0);
  EXPECT_EQ(cmyk.writes, 0);

  // Remapping with coordinates far out or not numbers at all.
  RecordingBitmap dst(16, 16, host::kModeGrey8);
  const double far = 1e30;
  const host::UVWPolygon good{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
  const host::UVWPolygon huge{{-far, 0, 0}, {far, 0, 0}, {far, far, 0}, {0, far, 0}};
  const host::UVWPolygon notNumbers{{std::nan(""), 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
  pigmora::rasterize_remap(good, huge, &small, &dst, true);
  pigmora::rasterize_remap(good, notNumbers, &small, &dst, true);
  pigmora::rasterize_remap(notNumbers, good, &small, &dst, true);
  EXPECT_EQ(dst.writes, 0);
  pigmora::rasterize_remap(huge, good, &small, &dst, true);
  EXPECT_EQ(dst.outside + small.outside, 0);
  pigmora::rasterize_remap(good, good, nullptr, &dst, true);
  pigmora::rasterize_remap(good, good, &small, nullptr, true);
}

TEST_F(RasterTest, RefusedMemoryPaintsNothing) {
  host::PaintBitmap* bmp = makeLayer(16, 16, host::kModeGrey8);
  useSlot(0, bmp, {1, 1, 1});
  setTriangle(0, {0, 0}, {16, 0}, {0, 16});
  target_->strength = 1.0;
  target_->wholePolygon = 1;
  host_.memory().failFrom(1);
  pigmora::rasterize_flat(nullptr, *target_, 0, 0);
  pigmora::rasterize_bary(nullptr, *target_, 0, 0);
  const host::UVWPolygon uv{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
  pigmora::rasterize_remap(uv, uv, bmp, bmp, true);
  host_.memory().failFrom(0);
  EXPECT_EQ(pixel(bmp, 1, 1, host::kModeGrey8)[0], 0);
}

}  // namespace
