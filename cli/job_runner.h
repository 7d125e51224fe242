// Running a job: read it, check all of it against the steps' keys, load the plug-in, prepare the
// output folder, run the steps in order with one line each, and stop at the first problem with
// one sentence.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/job_context.h"

namespace pigmora::cli {

// Exit statuses of the program.
constexpr int kExitDone = 0;
constexpr int kExitJobError = 1;  // the job was refused, a step failed, or a warning with --strict
constexpr int kExitUsage = 2;     // unknown command or flag, missing or malformed argument
constexpr int kExitSetup = 3;     // the plug-in library or the program's data could not be loaded

struct RunOptions {
  std::string pluginPath;
  std::filesystem::path outDir;        // empty: the job's "output", else "pigmora-out"
  bool strict = false;                 // warnings are errors
  bool json = false;                   // one JSON object per line instead of text lines
  bool checkOnly = false;              // check the job, run nothing
  bool inspect = false;                // print the final scene after the last step
  std::vector<std::string> overrides;  // "STEP.KEY=VALUE"
  uint64_t maxMemory = 0;              // bytes of textures and images; 0: 3/4 of the machine's
  // Given the finished scene when every step succeeded, before the plug-in ends (the paint
  // window opens on it); its answer is the exit status.
  std::function<int(JobContext&)> then;
};

// Reads and runs a job file ("-" reads standard input, whose relative paths resolve from the
// working folder). Step lines go to `out`, problems and warnings to `err`. Returns the exit
// status.
int runJobFile(const RunOptions& options, const std::string& jobPath, std::ostream& out,
               std::ostream& err);

// Runs a job given as JSON; `label` names it in messages, `jobDir` is where its input files lie.
int runJob(const RunOptions& options, Json job, const std::string& label,
           const std::filesystem::path& jobDir, std::ostream& out, std::ostream& err);

}  // namespace pigmora::cli
