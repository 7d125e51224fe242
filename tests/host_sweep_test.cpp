// The embedded host's own allocations on the command line's paths, refused in turn. A job that
// touches every kind of step the program offers (scene, material, stamp, strokes, fills, bleed,
// saves in several formats, a render, a document saved and opened again) runs once in this
// process to count the allocations the host and the program make outside the plug-in, then again
// with the k-th of them refused. Each run either succeeds with outputs identical to the clean
// run's, or exits non-zero with one sentence that says the memory ran out; it never crashes, and
// every file left in the output folder is complete (no temporary file, no cut-off image, no probe
// file), and in the sanitizer build the leak checker finds nothing unreachable when it ends.
//
// Allocations are refused where the plug-in is not on the stack: the plug-in's own allocations
// are the first sweep's, and the plug-in, built without exceptions, is never unwound through.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <execinfo.h>
#include <fcntl.h>
#include <link.h>
#include <sys/wait.h>
#include <unistd.h>
// GCC names the address sanitizer with a macro, clang through a feature test.
#if defined(__SANITIZE_ADDRESS__)
#define PIGMORA_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PIGMORA_ASAN 1
#endif
#endif
#if defined(PIGMORA_ASAN)
#include <sanitizer/lsan_interface.h>

// Two library frames lose a few bytes when an allocation inside them is refused, whatever the
// caller does: the EXR library copies a header attribute and drops the copy when the header's
// own map cannot take it (16 to 64 bytes, in the EXR save), and the image library's writer
// drops the error text it was appending (32 bytes). Only these frames are excused.
// The excused frames are not listed on standard error, which the sweep reads.
extern "C" const char* __lsan_default_options() {
  return "print_suppressions=0";
}
extern "C" const char* __lsan_default_suppressions() {
  return "leak:Imf_3_1::TypedAttribute*::copy\n"
         "leak:OpenImageIO_v2_4::ImageOutput::append_error\n";
}
#endif

#include <OpenImageIO/imageio.h>

#include <atomic>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <new>
#include <sstream>
#include <string>
#include <thread>

#include "cli/job_runner.h"
#include "cli/out_of_memory.h"
#include "hostapp/core/memory.h"
#include "tests/support/test_folder.h"

namespace fs = std::filesystem;

namespace {

// The refusal state, shared by the replaced operator new below and the host allocator's hook.
struct Refusals {
  std::atomic<bool> armed{false};
  std::thread::id thread;
  int64_t count = 0;   // allocations seen while armed
  int64_t failAt = 0;  // the one to refuse (1 = the first); 0 refuses none
  bool refused = false;
  bool trace = false;                       // the refused allocation's stack goes to standard error
  uintptr_t pluginLow = 0, pluginHigh = 0;  // the plug-in library's code
};
Refusals refusals;
thread_local bool insideCheck = false;

bool pluginOnStack() {
  void* frames[128];
  const int n = ::backtrace(frames, 128);
  for (int i = 0; i < n; ++i) {
    const auto pc = reinterpret_cast<uintptr_t>(frames[i]);
    if (pc >= refusals.pluginLow && pc < refusals.pluginHigh) return true;
  }
  return false;
}

// True when this allocation is the one to refuse.
bool refuseThis() {
  if (!refusals.armed.load(std::memory_order_relaxed) || insideCheck ||
      std::this_thread::get_id() != refusals.thread)
    return false;
  insideCheck = true;
  const bool plugin = pluginOnStack();
  insideCheck = false;
  if (plugin) return false;
  if (++refusals.count != refusals.failAt) return false;
  refusals.refused = true;
  if (refusals.trace) {
    // Where the refused allocation was asked for, for a run that went wrong.
    void* frames[64];
    insideCheck = true;
    ::backtrace_symbols_fd(frames, ::backtrace(frames, 64), 2);
    insideCheck = false;
  }
  return true;
}

void* allocate(size_t bytes) {
  return std::malloc(bytes ? bytes : 1);
}

// GCC sees the library's calls to operator new inlined into these frees and takes them for a
// mismatch; this file's operator new is malloc.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void release(void* p) {
  std::free(p);
}
#pragma GCC diagnostic pop

// The code range of the loaded plug-in library.
bool findPlugin(const std::string& path) {
  struct Search {
    std::string name;
    uintptr_t low = UINTPTR_MAX, high = 0;
  } search{fs::canonical(path).string()};
  ::dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void* data) {
        auto* s = static_cast<Search*>(data);
        std::error_code ec;
        if (!info->dlpi_name || !*info->dlpi_name ||
            fs::canonical(info->dlpi_name, ec).string() != s->name)
          return 0;
        for (int i = 0; i < info->dlpi_phnum; ++i) {
          const ElfW(Phdr)& ph = info->dlpi_phdr[i];
          if (ph.p_type != PT_LOAD || !(ph.p_flags & PF_X)) continue;
          const uintptr_t start = info->dlpi_addr + ph.p_vaddr;
          s->low = std::min(s->low, start);
          s->high = std::max(s->high, start + ph.p_memsz);
        }
        return 1;
      },
      &search);
  refusals.pluginLow = search.low;
  refusals.pluginHigh = search.high;
  return search.high > search.low;
}

// A crash in a child prints where it happened into the report of that run, then ends the child
// as the signal would.
void sayWhereAndEnd(int signal) {
  void* frames[64];
  const int n = ::backtrace(frames, 64);
  ::backtrace_symbols_fd(frames, n, 2);
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

}  // namespace

// A refusal is a failed malloc: as the library's operator new does, the new handler is asked
// first and bad_alloc is thrown when there is none.
void* operator new(size_t bytes) {
  void* p = refuseThis() ? nullptr : allocate(bytes);
  if (!p) {
    if (std::new_handler handler = std::get_new_handler()) handler();
    throw std::bad_alloc();
  }
  return p;
}
void* operator new[](size_t bytes) {
  return operator new(bytes);
}
void* operator new(size_t bytes, const std::nothrow_t&) noexcept {
  return refuseThis() ? nullptr : allocate(bytes);
}
void* operator new[](size_t bytes, const std::nothrow_t& tag) noexcept {
  return operator new(bytes, tag);
}
void operator delete(void* p) noexcept {
  release(p);
}
void operator delete[](void* p) noexcept {
  release(p);
}
void operator delete(void* p, size_t) noexcept {
  release(p);
}
void operator delete[](void* p, size_t) noexcept {
  release(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
  release(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  release(p);
}

namespace {

using Files = std::map<std::string, std::string>;

std::string decodedPixels(const fs::path& path) {
  auto in = OIIO::ImageInput::open(path.string());
  if (!in) return "(unreadable)";
  const OIIO::ImageSpec& spec = in->spec();
  std::string pixels(spec.image_bytes(), '\0');
  if (!in->read_image(0, 0, 0, spec.nchannels, spec.format, pixels.data())) return "(cut short)";
  return std::to_string(spec.width) + "x" + std::to_string(spec.height) + "x" +
         std::to_string(spec.nchannels) + pixels;
}

Files filesIn(const fs::path& dir) {
  Files files;
  std::error_code ec;
  for (const auto& e : fs::recursive_directory_iterator(dir, ec)) {
    if (!e.is_regular_file()) {
      if (!e.is_directory()) files[fs::relative(e.path(), dir).string()] = "(not a file)";
      continue;
    }
    const std::string name = fs::relative(e.path(), dir).string();
    const std::string ext = e.path().extension().string();
    if (ext == ".tif" || ext == ".exr") {
      // These carry what the library could add around the pixels (a time, optional tags): the
      // pixels are what must be complete.
      files[name] = decodedPixels(e.path());
      continue;
    }
    std::ifstream in(e.path(), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    files[name] = bytes.str();
  }
  return files;
}

// Every step kind whose host code allocates: a mesh, two channels in different modes, a stamp,
// surface and UV strokes, a blurred stroke, the fills and the bleed, undo and redo, saves in five
// formats, a render, a document saved and opened, and a save from the opened document.
const char* const kJob = R"({"steps": [
  {"step": "object", "name": "Card", "primitive": "grid", "size": 100, "columns": 3, "rows": 3},
  {"step": "material", "name": "Paint", "channels": {
     "color": {"size": 40, "mode": "argb8", "fill": [40, 80, 120]},
     "bump": {"size": 40, "mode": "rgbf", "fill": [0, 0, 0]}}},
  {"step": "texture_tag", "object": "Card", "material": "Paint"},
  {"step": "document", "active_object": "Card", "mode": 7},
  {"step": "tool", "id": 1035414, "settings": {"radius": 10.0, "strength": 1.0},
   "stamp": "STAMP"},
  {"step": "painter", "colors": {"color": {"primary": [0.9, 0.2, 0.1]}}, "paint_all": true},
  {"step": "stroke", "object": "Card", "surface": [[-40, -30, 0], [30, 20, 0]]},
  {"step": "tool", "stamp": null},
  {"step": "stroke", "object": "Card", "uv": [[0.2, 0.8], [0.8, 0.3]], "radius": 6},
  {"step": "stroke", "object": "Card", "uv": [[0.5, 0.1], [0.5, 0.9]], "blur": true},
  {"step": "undo"},
  {"step": "redo"},
  {"step": "fill", "object": "Card", "mode": "islands"},
  {"step": "fill", "object": "Card", "mode": "bleed", "distance": 2},
  {"step": "save", "material": "Paint", "file": "color.png"},
  {"step": "save", "material": "Paint", "file": "color.jpg"},
  {"step": "save", "material": "Paint", "file": "color.tga"},
  {"step": "save", "material": "Paint", "channel": "bump", "file": "bump.tif"},
  {"step": "save", "material": "Paint", "channel": "bump", "file": "bump.exr"},
  {"step": "render", "size": [48, 36], "file": "preview.png"},
  {"step": "save_document", "file": "scene.pigmora"},
  {"step": "load_document", "output": "scene.pigmora"},
  {"step": "save", "material": "Paint", "file": "reopened.bmp"}
]})";

struct JobRun {
  int status = 0;
  std::string err;
  Files files;
  int64_t allocations = 0;
  bool refused = false;
};

class HostAllocationSweep : public ::testing::Test {
 protected:
  void SetUp() override {
    // Held open, the plug-in stays at one address for every run.
    ASSERT_NE(::dlopen(PIGMORA_PLUGIN_PATH, RTLD_NOW | RTLD_NODELETE), nullptr);
    ASSERT_TRUE(findPlugin(PIGMORA_PLUGIN_PATH));
    void* frames[4];
    ::backtrace(frames, 4);  // the unwinder loads on its first use, not inside a refusal
    dir_ = freshTestFolder("pigmora_host_sweep");
    std::string text = kJob;
    text.replace(text.find("STAMP"), 5, PIGMORA_DATA_DIR "/stamps/soft_dot.png");
    job_ = pigmora::cli::Json::parse(text);
    hostapp::CountingMemory::setRefusalHook(&refuseThis);
  }
  void TearDown() override {
    hostapp::CountingMemory::setRefusalHook(nullptr);
    fs::remove_all(dir_);
  }

  // Runs the job in a child process, each from the same start (no image library's threads or
  // caches left by an earlier run), so that an ending without unwinding is seen as the program
  // would end.
  JobRun run(int64_t failAt) { return run(failAt, job_); }
  JobRun run(int64_t failAt, const pigmora::cli::Json& given) {
    JobRun r;
    const fs::path out = dir_ / "out", errFile = dir_ / "err.txt", countFile = dir_ / "count.txt";
    fs::remove_all(out);
    const pid_t child = ::fork();
    if (child < 0) {
      ADD_FAILURE() << "no child process";
      return r;
    }
    if (child == 0) {
      ::dup2(::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
      for (int signal : {SIGSEGV, SIGBUS, SIGABRT, SIGFPE}) ::signal(signal, &sayWhereAndEnd);
      pigmora::cli::endOnOutOfMemory();
      // One thread does all the image library's work, so that every allocation of the run is
      // seen and counted in one order.
      OIIO::attribute("threads", 1);
      OIIO::attribute("exr_threads", 1);
      pigmora::cli::RunOptions options;
      options.pluginPath = PIGMORA_PLUGIN_PATH;
      options.outDir = out;
      std::ostringstream lines, problems;
      pigmora::cli::Json job = given;
      refusals.thread = std::this_thread::get_id();
      refusals.failAt = failAt;
      refusals.armed = true;
      int status = 0;
      try {
        status = pigmora::cli::runJob(options, std::move(job), "sweep", dir_, lines, problems);
      } catch (const std::exception& e) {
        status = 99;
        problems << "(escaped the runner: " << e.what() << ")\n";
      }
      refusals.armed = false;
      std::ofstream(countFile) << refusals.count << " " << refusals.refused << "\n";
      const std::string said = problems.str();
      if (::write(2, said.data(), said.size()) < 0) status = 97;
#if defined(PIGMORA_ASAN)
      if (__lsan_do_recoverable_leak_check()) status = 98;
#endif
      ::_exit(status);
    }
    int wstatus = 0;
    // A run that hangs (an encoder left waiting on itself) is ended and reported as killed.
    for (int waited = 0; ::waitpid(child, &wstatus, WNOHANG) == 0; ++waited) {
      if (waited == 6000) {
        ::kill(child, SIGKILL);
        ::waitpid(child, &wstatus, 0);
        break;
      }
      ::usleep(10000);
    }
    r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -WTERMSIG(wstatus);
    std::ifstream counts(countFile);
    counts >> r.allocations >> r.refused;
    std::ifstream err(errFile);
    std::ostringstream text;
    text << err.rdbuf();
    r.err = text.str();
    fs::remove(countFile);
    fs::remove(errFile);
    r.files = filesIn(out);
    return r;
  }

  fs::path dir_;
  pigmora::cli::Json job_;
};

// In a forked child the leak checker cannot stop the threads the parent had (a logging
// library's pool, started when it is loaded) and says so; that aside is not the program's.
bool leakCheckerAside(const std::string& line) {
  return line.rfind("==", 0) == 0 &&
         line.find("was not suspended. False leaks are possible.") != std::string::npos;
}

// The lines of standard error that are the program's own sentences, not the plug-in's echo.
std::vector<std::string> sentences(const std::string& err) {
  std::vector<std::string> out;
  std::istringstream in(err);
  std::string line;
  // The PNG library prints one line of its own when its writer is abandoned halfway; the
  // image library gives it no other way to report.
  while (std::getline(in, line))
    if (line.rfind("     | ", 0) != 0 && line.rfind("libpng error: ", 0) != 0 &&
        !leakCheckerAside(line))
      out.push_back(line);
  return out;
}

// Empty when a run with a refused allocation ended soundly: it succeeded with the clean run's
// outputs and no word, or it said in one sentence that memory ran out, and every file it left is
// one of the clean run's, complete.
std::string problemWith(const JobRun& r, const JobRun& clean) {
  bool sound = r.status >= 0 && r.status < 90;
  std::string damaged;
  for (const auto& [name, bytes] : r.files) {
    const auto c = clean.files.find(name);
    if (c == clean.files.end() || c->second != bytes) damaged += " " + name;
  }
  sound = sound && damaged.empty();
  const std::vector<std::string> said = sentences(r.err);
  if (r.status == 0)
    sound = sound && r.files == clean.files && said.empty();
  else
    sound = sound && said.size() == 1 && said[0].rfind("pigmora: ", 0) == 0 &&
            said[0].find("out of memory") != std::string::npos && said[0].back() == '.';
  if (sound) return "";
  std::ostringstream text;
  text << (r.refused ? "" : " (not reached)") << ": status " << r.status << ", " << r.files.size()
       << " files" << (damaged.empty() ? "" : ", not as clean:") << damaged << ", said:\n"
       << r.err;
  return text.str();
}

TEST_F(HostAllocationSweep, EveryRefusedAllocationEndsInOneSentenceWithCompleteOutputs) {
  const JobRun clean = run(0);
  ASSERT_EQ(clean.status, 0) << clean.err;
  ASSERT_TRUE(sentences(clean.err).empty()) << clean.err;
  // Eight files: five saves and a render before the document, the document, a save after it.
  ASSERT_EQ(clean.files.size(), 8u);
  const int64_t n = clean.allocations;
  ASSERT_GT(n, 1000) << "the job allocates too little to be representative";
  // The whole sweep refuses every allocation; by default every stride-th, so that the test
  // stays within seconds (PIGMORA_HOST_SWEEP_STRIDE=1 runs all of them).
  int64_t stride = std::max<int64_t>(1, n / 120);
  if (const char* s = std::getenv("PIGMORA_HOST_SWEEP_STRIDE"))
    stride = std::max<int64_t>(1, std::atoll(s));
  std::cout << "[ sweep    ] N = " << n << " host allocations, every " << stride
            << (stride == 1 ? "" : "th") << " refused in turn\n";
  int64_t failures = 0, succeeded = 0;
  int64_t first = 1;
  if (const char* s = std::getenv("PIGMORA_HOST_SWEEP_FIRST")) first = std::atoll(s);
  // PIGMORA_HOST_SWEEP_TRACE=1 adds the refused allocation's stack to a failing run's report.
  refusals.trace = std::getenv("PIGMORA_HOST_SWEEP_TRACE") != nullptr;
  for (int64_t k = std::max<int64_t>(1, first); k <= n && failures < 10; k += stride) {
    const JobRun r = run(k);
    if (r.status == 0) ++succeeded;
    const std::string problem = problemWith(r, clean);
    if (!problem.empty()) {
      ++failures;
      ADD_FAILURE() << "allocation " << k << " of " << n << " refused" << problem;
    }
  }
  std::cout << "[ sweep    ] " << succeeded << " runs absorbed the refusal and succeeded\n";
}

// Every allocation of JPEG saves, refused in turn: the JPEG encoder, torn down halfway at any
// point, leaves the old file as it was and the job ends in a sentence. The saves' allocations
// are those a job with them makes beyond the same job without them.
TEST_F(HostAllocationSweep, EveryRefusedAllocationOfAJpegSaveEndsInOneSentence) {
  const char* const start = R"({"steps": [
    {"step": "material", "name": "Paint", "channels": {
       "color": {"size": 24, "mode": "argb8", "fill": [200, 30, 90]},
       "bump": {"size": 16, "mode": "rgbf", "fill": [0.25, 0.5, 2.0]}}})";
  const std::string saves = R"(,
    {"step": "save", "material": "Paint", "file": "color.jpg"},
    {"step": "save", "material": "Paint", "channel": "bump", "file": "bump.jpg"})";
  const JobRun before = run(0, pigmora::cli::Json::parse(std::string(start) + "]}"));
  const JobRun clean = run(0, pigmora::cli::Json::parse(start + saves + "]}"));
  ASSERT_EQ(before.status, 0) << before.err;
  ASSERT_EQ(clean.status, 0) << clean.err;
  ASSERT_EQ(clean.files.size(), 2u);
  ASSERT_GT(clean.allocations, before.allocations);
  std::cout << "[ sweep    ] " << clean.allocations - before.allocations
            << " allocations in the saves, each refused in turn\n";
  const pigmora::cli::Json job = pigmora::cli::Json::parse(start + saves + "]}");
  int64_t failures = 0;
  for (int64_t k = before.allocations + 1; k <= clean.allocations && failures < 5; ++k) {
    const std::string problem = problemWith(run(k, job), clean);
    if (!problem.empty()) {
      ++failures;
      ADD_FAILURE() << "allocation " << k << " of " << clean.allocations << " refused" << problem;
    }
  }
}

}  // namespace
