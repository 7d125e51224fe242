// Hostile input at the level of the embedded host: curves evaluated anywhere, spatial grids over
// meshes of any extent, OBJ files that point elsewhere, image files that declare more than they
// hold, output files planted with links, and the memory budget.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "hostapp/core/atomic_file.h"
#include "hostapp/core/memory.h"
#include "hostapp/docfile/image_memory.h"
#include "hostapp/paint/image_io.h"
#include "hostapp/paint/paint_bitmap.h"
#include "hostapp/scene/obj_loader.h"
#include "hostapp/sculpt/spatial_grid.h"
#include "tests/support/cli_run.h"
#include "tests/support/plugin_host.h"
#include "tests/support/test_folder.h"

namespace fs = std::filesystem;

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::nan("");

class HostileInput : public PluginHostTest {
 protected:
  void SetUp() override {
    PluginHostTest::SetUp();
    dir_ = freshTestFolder("pigmora_hostile_input");
  }
  void TearDown() override {
    fs::remove_all(dir_);
    PluginHostTest::TearDown();
  }
  fs::path path(const std::string& name) const { return dir_ / name; }
  void write(const std::string& name, const std::string& bytes) const {
    std::ofstream(path(name), std::ios::binary) << bytes;
  }
  host::PolygonObject* mesh(const std::vector<host::Vector>& points,
                            const std::vector<host::Polygon>& polygons) {
    hostapp::MeshData m;
    m.points = points;
    m.polygons = polygons;
    return builder().addMesh("M" + std::to_string(++meshes_), m);
  }

  fs::path dir_;
  int meshes_ = 0;
};

TEST(SplineEvaluation, AnyPositionAndAnyKnotListGiveAKnotsRange) {
  const host::Spline ramp{{{0, 1}, {0.5, 0.5}, {1, 0}}};
  const host::Spline single{{{0.3, 0.2}}};
  EXPECT_DOUBLE_EQ(ramp.evaluate(0.25), 0.75);
  EXPECT_DOUBLE_EQ(ramp.evaluate(kNaN), 1.0);  // the start of the curve
  EXPECT_DOUBLE_EQ(ramp.evaluate(-kInf), 1.0);
  EXPECT_DOUBLE_EQ(ramp.evaluate(kInf), 0.0);
  EXPECT_DOUBLE_EQ(single.evaluate(kNaN), 0.2);
  EXPECT_DOUBLE_EQ(host::Spline().evaluate(0.5), 0.0);
  // Knots out of order: whatever comes out lies within the knots' values.
  const host::Spline tangled{{{0.9, 0.1}, {0.1, 0.7}, {0.5, 0.3}, {0.2, 0.9}}};
  for (double x : {0.0, 0.15, 0.3, 0.6, 0.95, 2.0, kNaN}) {
    const double y = tangled.evaluate(x);
    EXPECT_GE(y, 0.1) << x;
    EXPECT_LE(y, 0.9) << x;
  }
}

TEST_F(HostileInput, GridsOverInfiniteExtentsStayInsideTheirCells) {
  // A small quad, a quad 2e308 wide (its extent overflows to infinity) and a polygon with
  // infinite and NaN corners.
  const double big = 1e308;
  host::PolygonObject* far = mesh({{0, 0, 0},
                                   {10, 0, 0},
                                   {10, 10, 0},
                                   {0, 10, 0},
                                   {-big, -big, 5},
                                   {big, -big, 5},
                                   {big, big, 5},
                                   {-big, big, 5},
                                   {kInf, 0, 0},
                                   {kNaN, 0, 0}},
                                  {{0, 1, 2, 3}, {4, 5, 6, 7}, {0, 8, 9, 9}});
  ASSERT_NE(far, nullptr);
  hostapp::SpatialGrid grid;
  grid.build(*far);
  std::vector<int32_t> found;
  grid.polygonsInSphere({5, 5, 0}, 1.0, found);
  EXPECT_EQ(found, std::vector<int32_t>{0});
  grid.polygonsInSphere({5, 5, 0}, big, found);
  EXPECT_FALSE(found.empty());
  EXPECT_EQ(found.front(), 0);
  grid.pointsInSphere({big, big, 5}, 1.0, found);
  EXPECT_EQ(found, std::vector<int32_t>{6});
  grid.pointsInSphere({kNaN, 0, 0}, 1.0, found);
  EXPECT_TRUE(found.empty());
  hostapp::SurfaceHit hit;
  EXPECT_TRUE(grid.raycast({5, 5, -10}, {0, 0, 1}, hit));
  EXPECT_EQ(hit.polygon, 0);
  EXPECT_NEAR(hit.distance, 10.0, 1e-9);
  EXPECT_TRUE(grid.closestSurface({5, 5, -3}, kInf, hit));
  EXPECT_EQ(hit.polygon, 0);
  EXPECT_NEAR(hit.distance, 3.0, 1e-9);
}

TEST_F(HostileInput, OverlappingPolygonsDoNotMultiplyTheGridsWork) {
  std::vector<host::Polygon> stack(40000, host::Polygon{0, 1, 2, 2});
  host::PolygonObject* obj = mesh({{0, 0, 0}, {100, 0, 0}, {0, 100, 0}}, stack);
  const auto t0 = std::chrono::steady_clock::now();
  hostapp::SpatialGrid grid;
  grid.build(*obj);
  std::vector<int32_t> found;
  grid.polygonsInSphere({20, 20, 0}, 5, found);
  EXPECT_EQ(found.size(), 40000u);
  // Without a bound, every copy enters every one of about 10^6 cells.
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(5));
}

TEST_F(HostileInput, SurfaceSearchesFromFarOutsideTheMeshEndAtOnce) {
  host::PolygonObject* quad =
      mesh({{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}}, {{0, 1, 2, 3}});
  hostapp::SpatialGrid grid;
  grid.build(*quad);
  hostapp::SurfaceHit hit;
  // The nearest corner of the quad is (10, 10, 0): the point lies 1e6 - 10 from its edge.
  ASSERT_TRUE(grid.closestSurface({1e6, 5, 0}, kInf, hit));
  EXPECT_EQ(hit.polygon, 0);
  EXPECT_NEAR(hit.distance, 1e6 - 10, 1e-6);
  EXPECT_FALSE(grid.closestSurface({1e6, 5, 0}, 1e5, hit));
  EXPECT_TRUE(grid.closestSurface({5, 5, 2}, 3, hit));
  EXPECT_NEAR(hit.distance, 2.0, 1e-12);
  // A brush as wide as the numbers go, far off a finely divided plane: the search used to double
  // its radius out from one cell, a thousand rounds each over the whole grid once it covered it.
  std::vector<host::Vector> points;
  std::vector<host::Polygon> quads;
  constexpr int kSide = 100;
  for (int y = 0; y <= kSide; ++y)
    for (int x = 0; x <= kSide; ++x) points.push_back({1.0 * x, 1.0 * y, 0});
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide; ++x) {
      const int32_t a = y * (kSide + 1) + x;
      quads.push_back({a, a + 1, a + kSide + 2, a + kSide + 1});
    }
  host::PolygonObject* plane = mesh(points, quads);
  grid.build(*plane);
  const auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < 20; ++i) {
    ASSERT_TRUE(grid.closestSurface({50.5, 50.5, 1e150}, kInf, hit));
    EXPECT_NEAR(hit.distance, 1e150, 1e136);  // every polygon is as near at this distance
  }
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(1500));
}

TEST_F(HostileInput, ObjFilesNeitherOpenMaterialsNorWrapIndices) {
  ASSERT_EQ(mkfifo(path("m.mtl").c_str(), 0600), 0);
  write("a.obj",
        "mtllib m.mtl\nmtllib /dev/zero\nv 0 0 0\nv 1 0 0\nv 1 1 0\nvt 0 0\nvt 1 0\nvt 1 1\n"
        "usemtl red\nf 1/1 2/2 3/3\n");
  hostapp::MeshData m;
  std::string error;
  ASSERT_TRUE(hostapp::loadObjMesh(path("a.obj").string(), m, error)) << error;
  EXPECT_EQ(m.polygons.size(), 1u);
  write("wrap.obj", "v 0 0 0\nv 1 0 0\nv 1 1 0\nvt 0 0\nvt 1 0\nvt 1 1\nf 1/1 2/2 4294967299/3\n");
  EXPECT_FALSE(hostapp::loadObjMesh(path("wrap.obj").string(), m, error));
  EXPECT_TRUE(contains(error, "4294967299")) << error;
  fs::create_directories(path("dir.obj"));
  EXPECT_FALSE(hostapp::loadObjMesh(path("dir.obj").string(), m, error));
  EXPECT_TRUE(contains(error, "is a folder")) << error;
}

TEST_F(HostileInput, ImageFilesAreRefusedBeforeTheirPixelsAreAllocated) {
  // A real 64 x 64 PNG, read under budgets just above and just below what it needs.
  hostapp::PlainBitmap small(host_.memory());
  ASSERT_TRUE(small.init(64, 64, 32));
  std::string error;
  ASSERT_TRUE(hostapp::savePlainBitmap(small, path("s.png").string(), error)) << error;
  hostapp::CountingMemory memory;
  memory.setBudget(64 * 64 * 8);
  EXPECT_NE(hostapp::loadPlainBitmap(memory, path("s.png").string(), error), nullptr) << error;
  memory.setBudget(64 * 64 * 8 - 1);
  EXPECT_EQ(hostapp::loadPlainBitmap(memory, path("s.png").string(), error), nullptr);
  EXPECT_TRUE(contains(error, "memory budget")) << error;
  EXPECT_EQ(hostapp::loadPaintTexture(memory, path("s.png").string(), error), nullptr);
  EXPECT_TRUE(contains(error, "memory budget")) << error;
  // Past the largest side the size alone refuses it, whatever the budget.
  hostapp::PlainBitmap wide(host_.memory());
  ASSERT_TRUE(wide.init(16385, 1, 24));
  ASSERT_TRUE(hostapp::savePlainBitmap(wide, path("w.png").string(), error)) << error;
  memory.setBudget(uint64_t{1} << 40);
  EXPECT_EQ(hostapp::loadPlainBitmap(memory, path("w.png").string(), error), nullptr);
  EXPECT_TRUE(contains(error, "16385 x 1")) << error;
  // An EXR header whose first attribute says its value takes 1006632979 bytes, in a file of
  // 40: the EXR library would allocate that much before finding the file short.
  std::string exr(
      "\x76\x2f\x31\x01\x02\x00\x00\x00"
      "capDate\0string\0",
      23);
  exr += std::string("\x13\x00\x00\x3c", 4) + std::string(13, '<');
  write("bomb.exr", exr);
  rusage before{};
  ::getrusage(RUSAGE_SELF, &before);
  EXPECT_EQ(hostapp::loadPlainBitmap(memory, path("bomb.exr").string(), error), nullptr);
  EXPECT_TRUE(contains(error, "declares a value of 1006632979 bytes")) << error;
  EXPECT_EQ(hostapp::loadPaintTexture(memory, path("bomb.exr").string(), error), nullptr);
  EXPECT_TRUE(contains(error, "1006632979")) << error;
  // The same bytes as an image held in a document.
  hostapp::PlainBitmap held(host_.memory());
  EXPECT_FALSE(hostapp::docfile::decodeImage(exr, host::kFormatEXR, held));
  rusage after{};
  ::getrusage(RUSAGE_SELF, &after);
  EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 100 * 1024) << "KiB more at the peak";
  // A real EXR, every attribute within the file, still loads.
  ASSERT_TRUE(hostapp::savePlainBitmap(small, path("s.exr").string(), error)) << error;
  EXPECT_NE(hostapp::loadPlainBitmap(memory, path("s.exr").string(), error), nullptr) << error;
  // Its data window widened to 20,000,000 pixels: the EXR library would size its line buffers
  // by that as it opens the file. The header alone refuses it.
  std::string wideExr = slurp(path("s.exr"));
  const std::string window("dataWindow\0box2i\0\x10\0\0\0", 21);
  const size_t at = wideExr.find(window);
  ASSERT_NE(at, std::string::npos);
  const int32_t xMax = 19999999;  // xMin is 0
  std::memcpy(&wideExr[at + window.size() + 8], &xMax, 4);
  write("wide.exr", wideExr);
  ::getrusage(RUSAGE_SELF, &before);
  EXPECT_EQ(hostapp::loadPaintTexture(memory, path("wide.exr").string(), error), nullptr);
  EXPECT_TRUE(contains(error, "declares 20000000 x 64 pixels, more than 16384")) << error;
  EXPECT_FALSE(hostapp::docfile::decodeImage(wideExr, host::kFormatEXR, held));
  ::getrusage(RUSAGE_SELF, &after);
  EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 100 * 1024) << "KiB more at the peak";
}

TEST_F(HostileInput, TheBudgetBoundsLayerPixelsAndIsGivenBack) {
  hostapp::CountingMemory memory;
  memory.setBudget(100 * 100 * 4);  // one 100 x 100 argb8 layer
  {
    hostapp::PixelStore first;
    ASSERT_TRUE(first.allocate(memory, 100, 100, host::kModeARGB8));
    EXPECT_EQ(memory.reserved(), 40000u);
    hostapp::PixelStore second;
    EXPECT_FALSE(second.allocate(memory, 1, 1, host::kModeARGB8));
  }
  EXPECT_EQ(memory.reserved(), 0u);
  hostapp::PixelStore again;
  EXPECT_TRUE(again.allocate(memory, 100, 100, host::kModeARGB8));
}

TEST_F(HostileInput, OutputFilesAreCreatedExclusivelyAndNeverThroughLinks) {
  write("victim", "keep");
  // Planted under the name the temporary would once have had, and under the target's name.
  fs::create_symlink(path("victim"), path("out.txt.partial"));
  std::string why;
  ASSERT_TRUE(hostapp::writeFileAtomically(path("out.txt").string(), "new", why)) << why;
  EXPECT_EQ(slurp(path("out.txt")), "new");
  EXPECT_EQ(slurp(path("victim")), "keep");
  fs::create_symlink(path("victim"), path("link.txt"));
  EXPECT_FALSE(hostapp::writeFileAtomically(path("link.txt").string(), "new", why));
  EXPECT_TRUE(contains(why, "symbolic link")) << why;
  EXPECT_EQ(slurp(path("victim")), "keep");
  EXPECT_FALSE(hostapp::writeFileAtomically(std::string("a\0b", 3), "x", why));
  EXPECT_FALSE(fs::exists(path("a")));
  // An uncommitted file leaves nothing behind; the old file stays.
  {
    hostapp::AtomicFile file;
    ASSERT_TRUE(file.open(path("out.txt").string(), why)) << why;
    file.write("partial", 7);
    EXPECT_TRUE(fs::exists(file.temporaryPath()));
  }
  EXPECT_EQ(slurp(path("out.txt")), "new");
  size_t entries = 0;
  for (const auto& e : fs::directory_iterator(dir_)) entries += e.path().empty() ? 0 : 1;
  EXPECT_EQ(entries, 4u);  // victim, out.txt.partial, out.txt, link.txt
  // The folder probe goes under a unique name too.
  fs::create_symlink(path("victim"), path(".pigmora-write-check"));
  EXPECT_TRUE(hostapp::probeWritableFolder(dir_, why)) << why;
  EXPECT_EQ(slurp(path("victim")), "keep");
}

}  // namespace
