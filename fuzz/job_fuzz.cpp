// Runs arbitrary bytes as a job, as `pigmora run` does: parsed, checked against the steps' keys,
// and run step by step in a fresh host, with a memory budget of 32 MiB so that every input
// finishes in milliseconds. Each input ends in a status of the program's own, never a crash.
#include <dlfcn.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

#include "cli/job_runner.h"

// Each run loads and frees the plug-in; held open once here, it stays mapped between runs, so
// that the fuzzer's coverage counters inside it stay valid.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (!dlopen(PIGMORA_PLUGIN_PATH, RTLD_NOW | RTLD_NODELETE)) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace pigmora::cli;
  static const std::filesystem::path out =
      std::filesystem::temp_directory_path() / ("pigmora_job_fuzz_" + std::to_string(getpid()));
  const Json job = Json::parse(data, data + size, nullptr, false);
  if (job.is_discarded()) return 0;
  RunOptions options;
  options.pluginPath = PIGMORA_PLUGIN_PATH;
  options.outDir = out;
  options.maxMemory = uint64_t{32} << 20;
  std::ostringstream lines, problems;
  const int status = runJob(options, job, "fuzz", PIGMORA_DATA_DIR "/jobs", lines, problems);
  if (status != kExitDone && status != kExitJobError && status != kExitUsage) std::abort();
  // A failure says why in a sentence of its own.
  if (status != kExitDone && problems.str().find("pigmora: ") == std::string::npos) std::abort();
  std::error_code ec;
  std::filesystem::remove_all(out, ec);
  return 0;
}
