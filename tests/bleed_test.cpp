// Bleeding painted texels outward across UV seams, checked against a plain, slow dilation.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <string>

#include "hostapp/paint/colormode.h"
#include "lib/bleed.h"
#include "lib/uvpixelmap.h"
#include "plugin/fill/floodlayers.h"
#include "plugin/painting_lib.h"
#include "support/plugin_host.h"

namespace {

using Image = std::vector<std::array<float, 3>>;

// A float RGB colour as a layer of `mode` holds it: encoded in the mode and read back.
std::array<float, 3> asStoredIn(int32_t mode, std::array<float, 3> c) {
  uint8_t bytes[64];
  hostapp::convertPixels(host::kModeRGBF, c.data(), mode, bytes, 1);
  hostapp::convertPixels(mode, bytes, host::kModeRGBF, c.data(), 1);
  return c;
}

// The obvious dilation: ring k takes the unfilled pixels next to coverage or an earlier ring,
// each the mean of its 8-neighbours that are covered or filled in an earlier ring. With a mode,
// each ring is stored in that mode before the next one reads it.
Image referenceBleed(const Image& in, const std::vector<uint8_t>& covered, int w, int h,
                     int distance, int32_t mode = host::kModeRGBF) {
  Image out = in;
  std::vector<int> ring(static_cast<size_t>(w) * h, -1);  // -1 unfilled, 0 covered, k + 1 ring k
  for (size_t i = 0; i < covered.size(); ++i)
    if (covered[i]) ring[i] = 0;
  for (int k = 0; k <= distance; ++k) {
    std::vector<std::pair<size_t, std::array<float, 3>>> filled;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const size_t i = static_cast<size_t>(y) * w + x;
        if (ring[i] != -1) continue;
        std::array<float, 3> sum{0, 0, 0};
        int n = 0;
        for (int dy = -1; dy <= 1; ++dy)
          for (int dx = -1; dx <= 1; ++dx) {
            const int nx = x + dx, ny = y + dy;
            if ((dx == 0 && dy == 0) || nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
            const int r = ring[static_cast<size_t>(ny) * w + nx];
            if (r < 0 || r > k) continue;  // only coverage and earlier rings are sources
            for (int c = 0; c < 3; ++c) sum[c] += out[static_cast<size_t>(ny) * w + nx][c];
            ++n;
          }
        if (n) filled.push_back({i, {sum[0] / n, sum[1] / n, sum[2] / n}});
      }
    for (auto& [i, c] : filled) {
      out[i] = asStoredIn(mode, c);
      ring[i] = k + 1;
    }
  }
  return out;
}

class BleedTest : public PluginHostTest {
 protected:
  // A layer of w x h in mode 37 with one quad per UV rectangle (pixel units), each rectangle
  // filled with its own colour; the rest of the layer is black.
  struct Rect {
    int x0, y0, x1, y1;
    std::array<float, 3> color;
  };
  host::PaintTexture* setUp(int w, int h, const std::vector<Rect>& rects, int mode = 37) {
    w_ = w;
    h_ = h;
    hostapp::MeshData mesh;
    for (const Rect& r : rects) {
      const int32_t base = static_cast<int32_t>(mesh.points.size());
      mesh.points.insert(mesh.points.end(), {{double(r.x0), double(r.y0), 0},
                                             {double(r.x0), double(r.y1), 0},
                                             {double(r.x1), double(r.y1), 0},
                                             {double(r.x1), double(r.y0), 0}});
      mesh.polygons.push_back({base, base + 1, base + 2, base + 3});
      auto uv = [&](int x, int y) { return host::Vector(double(x) / w, double(y) / h, 0); };
      mesh.uvs.push_back({uv(r.x0, r.y0), uv(r.x0, r.y1), uv(r.x1, r.y1), uv(r.x1, r.y0)});
    }
    auto b = builder();
    obj_ = b.addMesh("islands", mesh);
    mat_ = b.addMaterial("M");
    tex_ = b.addTexture(mat_, 0, w, h, mode);
    tag_ = b.addTextureTag(obj_, mat_);
    covered_.assign(static_cast<size_t>(w) * h, 0);
    image_.assign(static_cast<size_t>(w) * h, {0, 0, 0});
    for (const Rect& r : rects)
      for (int y = r.y0; y < r.y1; ++y)
        for (int x = r.x0; x < r.x1; ++x) {
          covered_[static_cast<size_t>(y) * w + x] = 1;
          image_[static_cast<size_t>(y) * w + x] = r.color;
          tex_->activeLayer()->setPixelRow(x, y, 1, r.color.data(), 36);
        }
    return tex_;
  }
  Image read(host::PaintBitmap* layer) const {
    Image out(static_cast<size_t>(w_) * h_);
    for (int y = 0; y < h_; ++y)
      layer->getPixelRow(0, y, w_, out[static_cast<size_t>(y) * w_].data(), 36);
    return out;
  }
  void expectMatches(const Image& got, const Image& want, float tol) {
    int bad = 0;
    for (size_t i = 0; i < got.size() && bad < 10; ++i)
      for (int c = 0; c < 3; ++c)
        if (std::abs(got[i][c] - want[i][c]) > tol) {
          ADD_FAILURE() << "pixel " << i % w_ << "," << i / w_ << " channel " << c << ": "
                        << got[i][c] << " != " << want[i][c];
          ++bad;
          break;
        }
  }

  int w_ = 0, h_ = 0;
  host::PolygonObject* obj_ = nullptr;
  host::Material* mat_ = nullptr;
  host::PaintTexture* tex_ = nullptr;
  host::TextureTag* tag_ = nullptr;
  std::vector<uint8_t> covered_;
  Image image_;
};

TEST_F(BleedTest, DistanceZeroFillsExactlyOneRingDiagonalsIncluded) {
  setUp(32, 32, {{10, 10, 20, 20, {0.2f, 0.4f, 0.6f}}});
  pigmora::BleedLayer(tex_->activeLayer(), nullptr, obj_, 0);
  const Image got = read(tex_->activeLayer());
  expectMatches(got, referenceBleed(image_, covered_, 32, 32, 0), 1e-6f);
  // The corner pixel (9, 9) touches the block only diagonally and is in the first ring.
  EXPECT_FLOAT_EQ(got[9 * 32 + 9][0], 0.2f);
  EXPECT_FLOAT_EQ(got[8 * 32 + 8][0], 0.f);
  EXPECT_FLOAT_EQ(got[15 * 32 + 21][2], 0.f) << "the second ring stays empty";
}

TEST_F(BleedTest, DistanceTenFillsElevenRingsWithMeansOfTheGradient) {
  std::vector<Rect> rects;
  // A 2 x 2 block of differently coloured quads makes the means differ from ring to ring.
  rects.push_back({24, 24, 30, 30, {1, 0, 0}});
  rects.push_back({30, 24, 36, 30, {0, 1, 0}});
  rects.push_back({24, 30, 30, 36, {0, 0, 1}});
  rects.push_back({30, 30, 36, 36, {1, 1, 1}});
  setUp(64, 64, rects);
  pigmora::FloodLayers(obj_, pigmora::kFloodBleed, 1.0, 1, 10.0, 0);
  const Image got = read(tex_->activeLayer());
  expectMatches(got, referenceBleed(image_, covered_, 64, 64, 10), 1e-5f);
  EXPECT_GT(got[30 * 64 + 13][0] + got[30 * 64 + 13][1] + got[30 * 64 + 13][2], 0.f) << "ring 11";
  EXPECT_EQ(got[30 * 64 + 12][0] + got[30 * 64 + 12][1] + got[30 * 64 + 12][2], 0.f)
      << "no ring 12";
}

TEST_F(BleedTest, BorderPixelsAverageOnlyInImageSourcesAndEightBitRoundsOnce) {
  setUp(16, 16, {{0, 0, 6, 6, {0.8f, 0.2f, 0.4f}}, {6, 0, 16, 3, {0.1f, 0.9f, 0.3f}}}, 5);
  const Image before = read(tex_->activeLayer());
  pigmora::BleedLayer(tex_->activeLayer(), nullptr, obj_, 3);
  // Each ring is written in 8 bits and read back: the reference works on the quantised input
  // and differs by at most the rounding of each ring.
  expectMatches(read(tex_->activeLayer()), referenceBleed(before, covered_, 16, 16, 3), 2.5f / 255);
}

TEST_F(BleedTest, PixelBetweenTwoIslandsAveragesBothSides) {
  setUp(24, 24, {{2, 2, 10, 20, {1, 0, 0}}, {11, 2, 19, 20, {0, 0, 1}}});
  pigmora::BleedLayer(tex_->activeLayer(), nullptr, obj_, 2);
  const Image got = read(tex_->activeLayer());
  // Column 10 sits between them: three red and three blue neighbours.
  EXPECT_NEAR(got[10 * 24 + 10][0], 0.5f, 1e-6f);
  EXPECT_NEAR(got[10 * 24 + 10][2], 0.5f, 1e-6f);
  expectMatches(got, referenceBleed(image_, covered_, 24, 24, 2), 1e-6f);
}

TEST_F(BleedTest, FullCoverageAndEmptyCoverageLeaveTheLayerAlone) {
  setUp(8, 8, {{0, 0, 8, 8, {0.5f, 0.5f, 0.5f}}});
  const Image full = read(tex_->activeLayer());
  pigmora::BleedLayer(tex_->activeLayer(), nullptr, obj_, 10);
  expectMatches(read(tex_->activeLayer()), full, 0);

  setUp(8, 8, {{2, 2, 4, 4, {0.5f, 0.5f, 0.5f}}});
  // UVs far outside the texture cover nothing.
  auto* uvw = static_cast<host::UVWTag*>(obj_->tag(host::kTypeUVWTag));
  uvw->set(0, {{5, 5, 0}, {5, 6, 0}, {6, 6, 0}, {6, 5, 0}});
  const Image before = read(tex_->activeLayer());
  pigmora::BleedLayer(tex_->activeLayer(), nullptr, obj_, 10);
  expectMatches(read(tex_->activeLayer()), before, 0);
  // No UVW tag at all.
  host_.scene().freeNode(obj_->removeTag(uvw));
  pigmora::BleedLayer(tex_->activeLayer(), nullptr, obj_, 10);
  expectMatches(read(tex_->activeLayer()), before, 0);
}

TEST_F(BleedTest, UdimSelectionShiftsItsPolygonsIntoTheSquare) {
  setUp(32, 32, {{8, 8, 16, 16, {0.25f, 0.5f, 0.75f}}});
  // Move the quad's UVs to tile 1012 (u 1 .. 2, v 1 .. 2) and restrict the tag to "UDIM_1012".
  auto* uvw = static_cast<host::UVWTag*>(obj_->tag(host::kTypeUVWTag));
  host::UVWPolygon uv = uvw->get(0);
  for (int k = 0; k < 4; ++k) uv.corner(k) = uv.corner(k) + host::Vector(1, 1, 0);
  uvw->set(0, uv);
  auto b = builder();
  b.addSelectionTag(obj_, "UDIM_1012", {0});
  tag_->data().setString(host::kTexRestriction, "UDIM_1012");
  pigmora::bleedObject(obj_, 0, false);
  expectMatches(read(tex_->activeLayer()), referenceBleed(image_, covered_, 32, 32, 0), 1e-6f);
  EXPECT_EQ(host_.events().statusText(), "");
  const auto& shown = host_.events().statusHistory();
  EXPECT_NE(std::find(shown.begin(), shown.end(), "Bleeding Channel: color"), shown.end());
  EXPECT_NE(std::find(shown.begin(), shown.end(), "Bleeding Channel: normal"), shown.end());
}

TEST_F(BleedTest, ActiveLayerOnlyLeavesTheOtherLayersUntouched) {
  setUp(16, 16, {{4, 4, 8, 8, {1, 1, 0}}});
  host::PaintBitmap* bottom = tex_->activeLayer();
  host::PaintBitmap* top = tex_->addLayer("Top", 37);
  const float green[3] = {0, 1, 0};
  for (int y = 4; y < 8; ++y)
    for (int x = 4; x < 8; ++x) top->setPixelRow(x, y, 1, green, 36);
  const Image bottomBefore = read(bottom);
  pigmora::FloodLayers(obj_, pigmora::kFloodBleed, 1.0, 1, 0.0, 1);
  expectMatches(read(bottom), bottomBefore, 0);
  EXPECT_FLOAT_EQ(read(top)[3 * 16 + 3][1], 1.f);
  // All layers: the bottom one bleeds too.
  pigmora::FloodLayers(obj_, pigmora::kFloodBleed, 1.0, 1, 0.0, 0);
  EXPECT_FLOAT_EQ(read(bottom)[3 * 16 + 3][0], 1.f);
}

TEST_F(BleedTest, ZeroSizedAndUnpaintableLayersAreSkipped) {
  setUp(8, 8, {{2, 2, 4, 4, {1, 0, 0}}});
  pigmora::BleedLayer(nullptr, nullptr, obj_, 3);
  pigmora::BleedLayer(tex_->activeLayer(), nullptr, nullptr, 3);
  // Working arrays that cannot be had leave the layer unwritten.
  const Image before = read(tex_->activeLayer());
  host_.memory().failFrom(1);
  pigmora::BleedLayer(tex_->activeLayer(), nullptr, obj_, 3);
  host_.memory().failFrom(0);
  expectMatches(read(tex_->activeLayer()), before, 0);
}

// Each of the bleed's blocks refused in turn, for one band of rings and for several: the layer
// stays as it was, since every block is had before the first pixel is written.
TEST_F(BleedTest, EveryRefusedBlockLeavesTheLayerUnwritten) {
  for (int distance : {4, 40}) {
    setUp(90, 70, {{10, 10, 20, 15, {0.9f, 0.1f, 0.5f}}, {60, 40, 64, 52, {0.2f, 0.7f, 0.3f}}},
          host::kModeARGB8);
    host::PaintBitmap* layer = tex_->activeLayer();
    const Image before = read(layer);
    const int64_t start = host_.memory().count();
    pigmora::BleedLayer(layer, nullptr, obj_, distance);
    const int64_t blocks = host_.memory().count() - start;
    const Image bled = read(layer);
    ASSERT_NE(bled, before);
    ASSERT_GT(blocks, 5);
    for (int64_t k = 1; k <= blocks; ++k) {
      for (int y = 0; y < h_; ++y)
        layer->setPixelRow(0, y, w_, before[static_cast<size_t>(y) * w_].data(), host::kModeRGBF);
      host_.memory().failAt(k);
      pigmora::BleedLayer(layer, nullptr, obj_, distance);
      host_.memory().failAt(0);
      EXPECT_EQ(read(layer), before) << "distance " << distance << ", block " << k << " refused";
    }
  }
}

TEST(UVPixelMapKeys, PairTileCoordinates) {
  EXPECT_EQ(pigmora::UVPixelMap::tileKey(0, 0), 0u);
  EXPECT_EQ(pigmora::UVPixelMap::tileKey(0, 64), 1u);
  EXPECT_EQ(pigmora::UVPixelMap::tileKey(64, 0), 2u);
  EXPECT_EQ(pigmora::UVPixelMap::tileKey(64, 64), 3u);
  EXPECT_EQ(pigmora::UVPixelMap::tileKey(0, 128), 4u);
  EXPECT_EQ(pigmora::UVPixelMap::tileKey(128, 0), 6u);
}

TEST_F(BleedTest, PixelMapHoldsPolygonIdsAndRefusesOutsideCells) {
  setUp(100, 100, {{10, 10, 20, 20, {1, 0, 0}}, {15, 15, 30, 30, {0, 1, 0}}});
  pigmora::UVPixelMap ids(1);
  ids.build(obj_, 100, 100, nullptr, nullptr, nullptr);
  EXPECT_EQ(ids.get(12, 12), 1u);
  EXPECT_EQ(ids.get(17, 17), 2u) << "the last polygon rasterised wins";
  EXPECT_EQ(ids.get(25, 12), 0u);
  EXPECT_EQ(ids.get(-1, 12), 0u);
  EXPECT_EQ(ids.get(12, 100000), 0u);
  pigmora::UVPixelMap coverage(0);
  host::Selection only0;
  only0.select(0);
  coverage.build(obj_, 100, 100, nullptr, nullptr, &only0);
  EXPECT_EQ(coverage.get(12, 12), pigmora::UVPixelMap::kCovered);
  EXPECT_EQ(coverage.get(25, 25), 0u);
  // Rebuilding starts from an empty map.
  coverage.build(obj_, 100, 100, nullptr, nullptr, nullptr);
  EXPECT_EQ(coverage.get(25, 25), pigmora::UVPixelMap::kCovered);
  host::Selection only1;
  only1.select(1);
  coverage.build(obj_, 100, 100, nullptr, nullptr, &only1);
  EXPECT_EQ(coverage.get(12, 12), 0u);
}

// The coverage of a UV triangle (pixel units) by the plain walk: vertices snapped in single
// precision, every row from the top of each short edge with the running sums stepped once a
// row, rows [0, h) and columns [0, w) kept.
std::vector<std::string> coveredRowByRow(const float (&vx)[3], const float (&vy)[3], int w, int h) {
  std::vector<std::string> rows(static_cast<size_t>(h), std::string(static_cast<size_t>(w), '.'));
  struct Edge {
    float x0, y0, x1, y1;
    float height() const { return y1 - y0; }
  };
  float px[3], py[3];
  for (int i = 0; i < 3; ++i) {
    px[i] = std::floor(vx[i] + 0.5f);
    py[i] = std::floor(vy[i] + 0.5f);
  }
  auto edge = [&](int a, int b) {
    return py[a] < py[b] ? Edge{px[a], py[a], px[b], py[b]} : Edge{px[b], py[b], px[a], py[a]};
  };
  const Edge e[3] = {edge(0, 1), edge(1, 2), edge(2, 0)};
  const int k = e[2].height() > std::max(e[0].height(), e[1].height()) ? 2
                : e[1].height() > e[0].height()                        ? 1
                                                                       : 0;
  const Edge& l = e[k];
  for (const Edge& s : {e[(k + 1) % 3], e[(k + 2) % 3]}) {
    if (l.height() == 0 || s.height() == 0) continue;
    float tL = (s.y0 - l.y0) / l.height(), tS = 0.f;
    const float stepL = 1.f / l.height(), stepS = 1.f / s.height();
    for (int y = static_cast<int>(s.y0); y < static_cast<int>(s.y1);
         ++y, tL += stepL, tS += stepS) {
      const float xl = std::trunc(tL * (l.x1 - l.x0)) + l.x0;
      const float xs = std::trunc(tS * (s.x1 - s.x0)) + s.x0;
      if (y < 0 || y >= h) continue;
      const int from = static_cast<int>(std::max(std::min(xl, xs), 0.f));
      const int to = static_cast<int>(std::min(std::max(xl, xs), static_cast<float>(w)));
      for (int x = from; x < to; ++x) rows[static_cast<size_t>(y)][static_cast<size_t>(x)] = '#';
    }
  }
  return rows;
}

TEST_F(BleedTest, CoverageOfTrianglesStartingFarAboveTheLayerWalksEveryRowAsFromTheTop) {
  constexpr int kW = 128, kH = 128;
  hostapp::MeshData mesh;
  mesh.points = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  mesh.polygons.push_back({0, 1, 2, 2});
  mesh.uvs.push_back({});
  host::PolygonObject* obj = builder().addMesh("tri", mesh);
  auto* uvw = static_cast<host::UVWTag*>(obj->tag(host::kTypeUVWTag));
  ASSERT_NE(uvw, nullptr);
  std::mt19937 rng(5);
  auto pick = [&rng](float lo, float hi) {
    return std::uniform_real_distribution<float>(lo, hi)(rng);
  };
  pigmora::UVPixelMap map(0);
  int differing = 0;
  for (int i = 0; i < 300; ++i) {
    // The top lies thousands of rows above the layer, where the walk skips ahead, and far to
    // the side, so that the long edge crosses the layer steeply enough for small differences
    // in its running sum to move its pixels.
    const float vx[3] = {pick(-3000, 3000), pick(-40, kW + 40), pick(-40, kW + 40)};
    const float vy[3] = {pick(-12000, -4200), pick(-3000, kH + 20), pick(10, kH + 20)};
    host::UVWPolygon uv;
    for (int c = 0; c < 3; ++c) uv.corner(c) = host::Vector(vx[c] / kW, vy[c] / kH, 0);
    uv.d = uv.c;
    uvw->set(0, uv);
    map.build(obj, kW, kH, nullptr, uvw, nullptr);
    std::vector<std::string> got(kH, std::string(kW, '.'));
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x)
        if (map.get(x, y)) got[static_cast<size_t>(y)][static_cast<size_t>(x)] = '#';
    // Pixel positions go through double UVs and back: the same floats as vx and vy times 1.
    float fx[3], fy[3];
    for (int c = 0; c < 3; ++c) {
      fx[c] = static_cast<float>(uv.corner(c).x * kW);
      fy[c] = static_cast<float>(uv.corner(c).y * kH);
    }
    if (got != coveredRowByRow(fx, fy, kW, kH)) ++differing;
  }
  EXPECT_EQ(differing, 0) << "of 300 triangles";
}

TEST_F(BleedTest, ScatteredIslandsAcrossUndoTilesMatchTheDilationExactly) {
  // Islands 1 to 12 texels apart, so that front pixels on a row sit both close together and far
  // apart, on both sides of the 64-texel undo tile edges and on the layer's borders.
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> gap(1, 12), side(1, 9);
  std::uniform_real_distribution<float> colour(0.f, 1.f);
  std::vector<Rect> rects;
  for (int y = 0; y + 10 < 140;) {
    int tallest = 0;
    for (int x = 0; x + 10 < 150;) {
      const int rw = side(rng), rh = side(rng);
      rects.push_back({x, y, x + rw, y + rh, {colour(rng), colour(rng), colour(rng)}});
      x += rw + gap(rng);
      tallest = std::max(tallest, rh);
    }
    y += tallest + gap(rng);
  }
  setUp(150, 140, rects);
  pigmora::FloodLayers(obj_, pigmora::kFloodBleed, 1.0, 1, 6.0, 0);
  // Float layers keep the means as they were computed, in the same order: no tolerance.
  expectMatches(read(tex_->activeLayer()), referenceBleed(image_, covered_, 150, 140, 6), 0.f);
}

// Random coverage on layers whose sizes are no multiple of 64, touching the borders, in 8-bit,
// 16-bit, grey and float modes: every byte is the one the dilation stores ring after ring.
TEST_F(BleedTest, RandomCoverageInEveryDepthMatchesTheDilationByteForByte) {
  const int32_t modes[] = {host::kModeARGB8, host::kModeARGB16, host::kModeGrey16,
                           host::kModeARGBF};
  const std::pair<int, int> sizes[] = {{67, 45}, {131, 97}, {1, 29}, {70, 1}};
  std::mt19937 rng(11);
  std::uniform_real_distribution<float> colour(0.f, 1.f);
  for (int32_t mode : modes)
    for (auto [w, h] : sizes)
      for (int distance : {0, 1, 10}) {
        SCOPED_TRACE(testing::Message()
                     << "mode " << mode << ", " << w << " x " << h << ", distance " << distance);
        // Small rectangles anywhere, some cut by the borders, about one per 150 pixels.
        std::vector<Rect> rects;
        std::uniform_int_distribution<int> px(-3, w), py(-3, h), side(1, 6);
        const int n = std::max(1, w * h / 150);
        for (int i = 0; i < n; ++i) {
          const int x0 = std::max(px(rng), 0), y0 = std::max(py(rng), 0);
          const int x1 = std::min(x0 + side(rng), w), y1 = std::min(y0 + side(rng), h);
          if (x0 < x1 && y0 < y1)
            rects.push_back({x0, y0, x1, y1, {colour(rng), colour(rng), colour(rng)}});
        }
        if (rects.empty()) rects.push_back({0, 0, 1, 1, {1.f, 0.5f, 0.25f}});
        setUp(w, h, rects, mode);
        const Image before = read(tex_->activeLayer());
        pigmora::BleedLayer(tex_->activeLayer(), nullptr, obj_, distance);
        const Image got = read(tex_->activeLayer());
        const Image want = referenceBleed(before, covered_, w, h, distance, mode);
        expectMatches(got, want, 0.f);
        EXPECT_NE(got, before) << "nothing was bled";
      }
}

// Past 32 rings the bleed carries its last ring over to a second wavefront, which reads it back
// from the layer; a distance beyond the layer fills every pixel; the undo step gives back every
// tile it touched. The island in the middle grows up, down and sideways through the carry.
TEST_F(BleedTest, DeepBleedsMatchTheDilationAndUndoExactly) {
  for (int32_t mode : {host::kModeARGB8, host::kModeARGBF})
    for (int distance : {31, 32, 40, 70, 1000000}) {
      SCOPED_TRACE(testing::Message() << "mode " << mode << ", distance " << distance);
      setUp(101, 150, {{0, 0, 2, 2, {1, 0, 0}}, {48, 70, 52, 73, {0, 0.5f, 1}}}, mode);
      host::PaintBitmap* layer = tex_->activeLayer();
      const Image before = read(layer);
      pigmora::bleedObjectStep(obj_, distance);
      const Image got = read(layer);
      // No pixel lies more than 80 from the islands.
      expectMatches(got, referenceBleed(before, covered_, 101, 150, std::min(distance, 90), mode),
                    0.f);
      if (distance > 80) {
        EXPECT_EQ(std::count(got.begin(), got.end(), std::array<float, 3>{0, 0, 0}), 0)
            << "pixels left black";
      }
      ASSERT_TRUE(doc_->undo());
      expectMatches(read(layer), before, 0.f);
    }
}

TEST_F(BleedTest, NegativeAndHugeDistancesAreOneRingAndEveryRing) {
  setUp(40, 23, {{5, 5, 9, 8, {0.3f, 0.6f, 0.9f}}});
  const Image before = read(tex_->activeLayer());
  pigmora::BleedLayer(tex_->activeLayer(), nullptr, obj_, -7);
  expectMatches(read(tex_->activeLayer()), referenceBleed(before, covered_, 40, 23, 0), 0.f);
  pigmora::BleedLayer(tex_->activeLayer(), nullptr, obj_, INT64_MAX);
  expectMatches(read(tex_->activeLayer()), referenceBleed(before, covered_, 40, 23, 40), 0.f);
}

}  // namespace
