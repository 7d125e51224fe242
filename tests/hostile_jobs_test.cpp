// The pigmora program fed small hostile jobs, meshes, images and output folders: every one ends
// in a clean result or in one sentence and a non-zero status, never in a crash, a silent success,
// a followed link or a damaged file.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <OpenImageIO/imageio.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/cli_run.h"
#include "tests/support/test_folder.h"

namespace fs = std::filesystem;

extern char** environ;

namespace {

// The start of a job: a grid with UVs, a material with an 8-bit texture, the tag between them,
// the paint brush active on the grid.
const std::string kScene = R"(
    {"step": "object", "name": "Card", "primitive": "grid", "size": 100, "columns": 4, "rows": 4},
    {"step": "material", "name": "Paint", "channels": {"color": {"size": 64, "fill": [40, 80, 120]}}},
    {"step": "texture_tag", "object": "Card", "material": "Paint"},
    {"step": "document", "active_object": "Card", "mode": 7},
    {"step": "tool", "id": 1035414, "settings": {"radius": 10.0, "strength": 1.0}})";

// A CRC-32 for hand-made PNG chunks.
uint32_t crc32(const std::string& bytes) {
  uint32_t c = 0xFFFFFFFFu;
  for (unsigned char b : bytes) {
    c ^= b;
    for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
  }
  return ~c;
}

std::string be32(uint32_t v) {
  return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
          static_cast<char>(v)};
}

std::string pngChunk(const std::string& type, const std::string& data) {
  return be32(static_cast<uint32_t>(data.size())) + type + data + be32(crc32(type + data));
}

// A PNG of a few dozen bytes whose header declares width x height RGBA pixels.
std::string pngDeclaring(uint32_t width, uint32_t height) {
  const std::string ihdr = be32(width) + be32(height) + std::string("\x08\x06\x00\x00\x00", 5);
  // An empty zlib stream: the data ends long before the declared rows.
  const std::string idat("\x78\x9c\x03\x00\x00\x00\x00\x01", 8);
  return std::string("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", ihdr) + pngChunk("IDAT", idat) +
         pngChunk("IEND", "");
}

// Every line of standard error is the program's own: one sentence, or the plug-in's echo.
bool onlyOwnLines(const std::string& err) {
  std::istringstream in(err);
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("pigmora: ", 0) != 0 && line.rfind("     | ", 0) != 0) return false;
  return true;
}

class HostileJobs : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = freshTestFolder("pigmora_hostile");
    fs::create_directories(dir_ / "out");
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path path(const std::string& name) const { return dir_ / name; }
  fs::path out(const std::string& name) const { return dir_ / "out" / name; }
  void write(const std::string& name, const std::string& bytes) const {
    std::ofstream(path(name), std::ios::binary) << bytes;
  }
  // Runs a job whose steps follow `kScene` when `scene` is set; `prefix` goes before the program
  // in the shell (limits, traps).
  CommandRun runSteps(const std::string& steps, bool scene = true, const std::string& extra = "",
                      const std::string& prefix = "") {
    write("job.json",
          "{\"steps\": [" + (scene ? kScene + (steps.empty() ? "" : ",") : "") + steps + "]}");
    return runProgram(prefix + PIGMORA_CLI_PATH, "run " + path("job.json").string() + " --out " +
                                                     (dir_ / "out").string() + " " + extra);
  }
  std::vector<std::string> partials() const {
    std::vector<std::string> names;
    for (const auto& e : fs::recursive_directory_iterator(dir_))
      if (e.path().string().find(".partial") != std::string::npos)
        names.push_back(e.path().string());
    return names;
  }

  fs::path dir_;
};

TEST_F(HostileJobs, JsonThatCannotBeHeldIsRefusedInOneSentence) {
  write("job.json", R"({"steps": [1e400]})");
  const CommandRun r = runPigmora("run " + path("job.json").string());
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_TRUE(contains(r.err, "is not valid JSON")) << r.err;
  EXPECT_TRUE(contains(r.err, "1e400")) << r.err;
  EXPECT_TRUE(onlyOwnLines(r.err)) << r.err;
}

TEST_F(HostileJobs, MeshesOfInfiniteExtentAreStrokedWithoutCrashing) {
  // Points 2e308 apart: the distance between them overflows to infinity.
  write("far.obj",
        "v -1e308 -1e308 0\nv 1e308 -1e308 0\nv 1e308 1e308 0\nv -1e308 1e308 0\n"
        "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\nf 1/1 2/2 3/3 4/4\n");
  for (const std::string& object :
       {std::string(R"({"step": "object", "name": "Far", "obj": "far.obj"})"),
        std::string(
            R"({"step": "object", "name": "Far", "primitive": "sphere", "radius": 1e308})")}) {
    const CommandRun r = runSteps(object + R"(,
      {"step": "material", "name": "M", "channels": {"color": {"size": 32}}},
      {"step": "texture_tag", "object": "Far", "material": "M"},
      {"step": "document", "active_object": "Far", "mode": 7},
      {"step": "stroke", "surface": [[0, 0, 0], [1e307, 0, 0]], "radius": 1e9},
      {"step": "stroke", "uv": [[0.1, 0.5], [0.9, 0.5]], "radius": 1e9})",
                                  false);
    // Painted or refused, but always finished with a status of the program's own.
    EXPECT_TRUE(r.status == 0 || r.status == 1) << object << "\n" << r.err;
    EXPECT_TRUE(onlyOwnLines(r.err)) << r.err;
  }
}

TEST_F(HostileJobs, StrokeRadiiOutsideSensibleSizesAreRefused) {
  for (const char* radius : {"1e-200", "1e300", "0"}) {
    const CommandRun r =
        runSteps(std::string(R"({"step": "stroke", "uv": [[0.2, 0.5], [0.8, 0.5]], "radius": )") +
                 radius + "}");
    EXPECT_EQ(r.status, 1) << radius << "\n" << r.err;
    EXPECT_TRUE(contains(r.err, "radius")) << r.err;
  }
  // The tool's own radius setting, too small to square, paints nothing and says so.
  const CommandRun r = runSteps(
      R"({"step": "tool", "settings": {"radius": 1e-200}},
      {"step": "stroke", "uv": [[0.2, 0.5], [0.8, 0.5]]})");
  EXPECT_TRUE(r.status == 0 || r.status == 1) << r.err;
  EXPECT_TRUE(onlyOwnLines(r.err)) << r.err;
}

TEST_F(HostileJobs, AFullDiskKeepsTheOldFileAndSaysSo) {
  // A noisy 256 x 256 texture makes files of some size in every format.
  const std::string paint = R"(
      {"step": "material", "name": "Big", "channels": {"color": {"size": 256}}},
      {"step": "texture_tag", "object": "Card", "material": "Big"},
      {"step": "painter", "colors": {"color": {"primary": [0.9, 0.1, 0.3]}},
       "texture": {"material": "Big", "channel": "color"}},
      {"step": "stroke", "uv": [[0.1, 0.1], [0.9, 0.9], [0.1, 0.9], [0.9, 0.1]], "radius": 12},
      {"step": "render", "size": [320, 240], "file": "view.png"})";
  for (const char* file : {"big.png", "big.jpg", "big.tif", "big.exr", "big.bmp"}) {
    const std::string steps =
        paint + R"(, {"step": "save", "material": "Big", "file": ")" + std::string(file) + "\"}";
    CommandRun r = runSteps(steps);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string before = slurp(out(file)), viewBefore = slurp(out("view.png"));
    ASSERT_GT(before.size(), 2048u) << file;
    // Files may grow to 1 KiB: every later write fails as on a full disk.
    r = runSteps(steps, true, "", "trap '' XFSZ; ulimit -f 1; ");
    EXPECT_EQ(r.status, 1) << file << "\n" << r.err;
    EXPECT_TRUE(contains(r.err, "could not be written")) << r.err;
    EXPECT_TRUE(onlyOwnLines(r.err)) << r.err;
    EXPECT_EQ(slurp(out(file)), before) << file;
    EXPECT_EQ(slurp(out("view.png")), viewBefore);
    EXPECT_TRUE(partials().empty()) << partials().front();
  }
}

TEST_F(HostileJobs, LinksPlantedInTheOutputFolderAreNeverFollowed) {
  write("victim.txt", "keep me");
  fs::create_symlink(path("victim.txt"), out(".pigmora-write-check"));
  fs::create_symlink(path("victim.txt"), out("a.png.partial"));
  CommandRun r = runSteps(R"({"step": "save", "material": "Paint", "file": "a.png"})");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(slurp(path("victim.txt")), "keep me");
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(out("a.png"))));
  // A link under the output's own name is refused, not replaced or written through.
  fs::create_symlink(path("victim.txt"), out("b.png"));
  r = runSteps(R"({"step": "save", "material": "Paint", "file": "b.png"})");
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_TRUE(contains(r.err, "symbolic link")) << r.err;
  EXPECT_EQ(slurp(path("victim.txt")), "keep me");
  EXPECT_TRUE(fs::is_symlink(out("b.png")));
}

TEST_F(HostileJobs, MaterialLibrariesOfMeshesAreNeverOpened) {
  // Opening a FIFO blocks until someone writes: a loader that opened it would never finish.
  ASSERT_EQ(mkfifo(path("materials.mtl").c_str(), 0600), 0);
  write("card.obj",
        "mtllib materials.mtl\nmtllib /dev/zero\nmtllib ../../../../etc/passwd\n"
        "v 0 0 0\nv 1 0 0\nv 1 1 0\nvt 0 0\nvt 1 0\nvt 1 1\nusemtl x\nf 1/1 2/2 3/3\n");
  const auto t0 = std::chrono::steady_clock::now();
  const CommandRun r = runSteps(R"({"step": "object", "name": "Card", "obj": "card.obj"})", false,
                                "", "timeout 60 ");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(30));
}

TEST_F(HostileJobs, ImageHeadersAreCheckedBeforeAnyPixelIsDecoded) {
  write("bomb.png", pngDeclaring(65536, 65536));
  ASSERT_LT(fs::file_size(path("bomb.png")), 100u);
  for (
      const std::string& use :
      {std::string(
           R"({"step": "tool", "stamp": "bomb.png"}, {"step": "stroke", "uv": [[0.2, 0.5], [0.8, 0.5]]})"),
       std::string(
           R"({"step": "material", "name": "B", "channels": {"color": {"file": "bomb.png"}}})"),
       std::string(R"({"step": "library", "entry": "useAsStamp", "file": "bomb.png"})")}) {
    const CommandRun r = runSteps(use);
    EXPECT_EQ(r.status, 1) << use << "\n" << r.err;
    EXPECT_TRUE(contains(r.err, "65536 x 65536")) << r.err;
  }
  // Within the largest side, but above a small budget.
  write("large.png", pngDeclaring(16384, 16384));
  const CommandRun r =
      runSteps(R"({"step": "material", "name": "B", "channels": {"color": {"file": "large.png"}}})",
               true, "--max-memory 64M");
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_TRUE(contains(r.err, "memory budget")) << r.err;
}

TEST_F(HostileJobs, WorkFollowsTheOutputNotTheWorstCaseOfTheInput) {
  // 40,000 copies of one large triangle under a single dab.
  std::string obj = "v 0 0 0\nv 100 0 0\nv 0 100 0\nvt 0 0\nvt 1 0\nvt 0 1\n";
  for (int i = 0; i < 40000; ++i) obj += "f 1/1 2/2 3/3\n";
  write("stack.obj", obj);
  // A UV path of 150 segments, each two million UV squares long, and a dense zig-zag.
  std::string longPath, zigzag;
  for (int i = 0; i < 150; ++i)
    longPath += std::string(i ? "," : "") + (i % 2 ? "[1e6, 0.3]" : "[-1e6, 0.3]");
  for (int i = 0; i < 20000; ++i)
    zigzag += std::string(i ? "," : "") + "[" + std::to_string((i % 2) * 0.8 + 0.1) + ", " +
              std::to_string(0.1 + 0.8 * i / 20000.0) + "]";
  const auto t0 = std::chrono::steady_clock::now();
  const CommandRun r = runSteps(R"(
      {"step": "object", "name": "Stack", "obj": "stack.obj"},
      {"step": "texture_tag", "object": "Stack", "material": "Paint"},
      {"step": "stroke", "object": "Stack", "surface": [[20, 20, 0]], "radius": 5},
      {"step": "stroke", "object": "Card", "uv": [)" +
                                longPath + R"(], "radius": 3},
      {"step": "stroke", "uv": [)" +
                                zigzag + R"(], "radius": 3, "spacing": 2})");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(30));
}

TEST_F(HostileJobs, FailuresNeverEndInStatusZero) {
  write("notes.png", "these are notes, not an image");
  const std::string bad[] = {
      R"({"step": "button", "id": 987654})",
      R"({"step": "library", "entry": "useAsStamp", "file": "notes.png"})",
      R"({"step": "library", "entry": "useAsStencil", "file": "notes.png"})",
      R"({"step": "material", "name": "T", "channels": {"color": {"size": 4294967297}}})",
      R"({"step": "material", "name": "T", "channels": {"color": {"size": [4294967297, 8]}}})",
      R"({"step": "save", "material": "Paint", "file": "a\u0000b.png"})",
  };
  for (const std::string& step : bad) {
    const CommandRun r = runSteps(step);
    EXPECT_EQ(r.status, 1) << step << "\n" << r.err << r.out;
    EXPECT_TRUE(onlyOwnLines(r.err)) << r.err;
  }
  EXPECT_FALSE(fs::exists(out("a")));
  // A face index past 32 bits would wrap round to point 1.
  write("wrap.obj", "v 0 0 0\nv 1 0 0\nv 1 1 0\nvt 0 0\nvt 1 0\nvt 1 1\nf 4294967297/1 2/2 3/3\n");
  const CommandRun r = runSteps(R"({"step": "object", "name": "W", "obj": "wrap.obj"})", false);
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_TRUE(contains(r.err, "4294967297")) << r.err;
}

TEST_F(HostileJobs, TwoOutputsOfOneNameAreRefusedBeforeEitherIsWritten) {
  CommandRun r = runSteps(R"(
      {"step": "material", "name": "a b", "channels": {"color": {"size": 16}}},
      {"step": "material", "name": "a/b", "channels": {"color": {"size": 16}}},
      {"step": "save", "material": "a b"},
      {"step": "save", "material": "a b"},
      {"step": "save", "material": "a/b"})");
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_TRUE(contains(r.err, "would both be written")) << r.err;
  r = runSteps(R"(
      {"step": "material", "name": "L", "channels": {"color": {"size": 16, "layers": ["Ink", "Ink"]}}},
      {"step": "save", "material": "L", "each_layer": true})");
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_TRUE(contains(r.err, "would both be written")) << r.err;
  EXPECT_FALSE(fs::exists(out("L_color_Ink.png")));
}

TEST_F(HostileJobs, MessagesNameTheRealProblem) {
  fs::create_directories(path("folder.png"));
  ASSERT_EQ(mkfifo(path("pipe.png").c_str(), 0600), 0);
  const std::pair<std::string, std::string> cases[] = {{"folder.png", "is a folder"},
                                                       {"pipe.png", "pipe or a device"},
                                                       {"/dev/null", "pipe or a device"}};
  for (const auto& [file, why] : cases) {
    const CommandRun r = runSteps(
        R"({"step": "material", "name": "F", "channels": {"color": {"file": ")" + file + "\"}}}");
    EXPECT_EQ(r.status, 1) << file;
    EXPECT_TRUE(contains(r.err, why)) << r.err;
    EXPECT_FALSE(contains(r.err, "does not exist")) << r.err;
  }
  // A damaged PNG: one sentence with the library's reason, no raw library lines.
  std::string damaged = pngDeclaring(8, 8);
  damaged[20] ^= 0x55;  // breaks the header's checksum
  write("damaged.png", damaged);
  // A PNG cut short: refused before the image library reads it (its reader leaks on such files).
  const std::string dot = slurp(PIGMORA_DATA_DIR "/stamps/soft_dot.png");
  write("cut.png", dot.substr(0, dot.size() / 2));
  for (const char* file : {"damaged.png", "cut.png"}) {
    const CommandRun r = runSteps(std::string(R"({"step": "tool", "stamp": ")") + file +
                                  R"("}, {"step": "stroke", "uv": [[0.2, 0.5], [0.8, 0.5]]})");
    EXPECT_EQ(r.status, 1) << file << "\n" << r.err;
    EXPECT_TRUE(contains(r.err, file)) << r.err;
    EXPECT_TRUE(onlyOwnLines(r.err)) << r.err;
  }
}

TEST_F(HostileJobs, NumberedChannelKeysAndGreyWithAlphaInBmpWork) {
  const CommandRun r = runSteps(R"(
      {"step": "material", "name": "N", "channels": {"0": {"size": 16, "mode": "agrey8", "fill": [200, 200, 200]},
                                                     "6": {"size": 8, "mode": "grey16"}}},
      {"step": "painter", "colors": {"0": {"primary": [1, 1, 1]}}},
      {"step": "save", "material": "N", "channel": 0, "file": "n.bmp"},
      {"step": "save", "material": "N", "channel": "bump", "file": "bump.bmp"})");
  ASSERT_EQ(r.status, 0) << r.err;
  auto in = OIIO::ImageInput::open(out("n.bmp").string());
  ASSERT_TRUE(in);
  EXPECT_EQ(in->spec().width, 16);
  std::vector<uint8_t> px(static_cast<size_t>(16 * 16 * in->spec().nchannels));
  ASSERT_TRUE(in->read_image(0, 0, 0, in->spec().nchannels, OIIO::TypeDesc::UINT8, px.data()));
  // The grey fill reads back as grey in every colour channel.
  EXPECT_EQ(px[0], 200);
  EXPECT_GE(in->spec().nchannels, 3);
  EXPECT_EQ(px[1], 200);
}

TEST_F(HostileJobs, TheMemoryBudgetRefusesTexturesBeforeAllocatingThem) {
  // Eight float layers of 16384 x 16384 need 32 GiB.
  const CommandRun r = runSteps(
      R"({"step": "material", "name": "Huge", "channels": {"color": {"size": 16384, "mode": "argbf",
          "layers": ["1", "2", "3", "4", "5", "6", "7"]}}})",
      false, "--max-memory 16G");
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_TRUE(contains(r.err, "step 1 (material)")) << r.err;
  EXPECT_TRUE(contains(r.err, "32.0 GiB")) << r.err;
  EXPECT_TRUE(contains(r.err, "16.0 GiB")) << r.err;
  EXPECT_TRUE(onlyOwnLines(r.err)) << r.err;
  EXPECT_EQ(runSteps("", false, "--max-memory lots").status, 2);
}

TEST_F(HostileJobs, AnInterruptedSaveLeavesNoTemporaryFile) {
  // A large float texture takes a while to write as EXR; the job is stopped while it does.
  write("job.json", R"({"steps": [
      {"step": "material", "name": "Slow", "channels": {"color": {"size": 4096, "mode": "argbf"}}},
      {"step": "save", "material": "Slow", "file": "first.tif", "depth": "uint8"},
      {"step": "save", "material": "Slow", "file": "slow.exr"}]})");
  const std::string job = path("job.json").string(), outDir = (dir_ / "out").string();
  const char* argv[] = {PIGMORA_CLI_PATH, "run", job.c_str(), "--out", outDir.c_str(), nullptr};
  pid_t pid = 0;
  ASSERT_EQ(
      posix_spawn(&pid, PIGMORA_CLI_PATH, nullptr, nullptr, const_cast<char**>(argv), environ), 0);
  bool writing = false;
  for (int i = 0; i < 6000 && !writing; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    // The folder appears only once the program has started.
    std::error_code ec;
    for (fs::directory_iterator it(dir_ / "out", ec), end; !ec && it != end; it.increment(ec))
      writing |= it->path().filename().string().rfind("slow.exr", 0) == 0;
  }
  kill(pid, SIGTERM);
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(writing) << "the save never started";
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
  EXPECT_TRUE(partials().empty()) << partials().front();
  EXPECT_FALSE(fs::exists(out("slow.exr")));
  // The earlier output is complete.
  auto in = OIIO::ImageInput::open(out("first.tif").string());
  ASSERT_TRUE(in) << OIIO::geterror();
  EXPECT_EQ(in->spec().width, 4096);
}

}  // namespace
