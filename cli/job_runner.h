// Running a job: load the plug-in, prepare the output folder, run the steps in order, print one
// line per step with its time, and stop at the first problem with one sentence.
#pragma once

#include <filesystem>
#include <ostream>
#include <string>

#include "cli/job_context.h"

namespace pigmora::cli {

struct RunOptions {
  std::string pluginPath;
  std::filesystem::path outDir;
};

// Reads and runs a job file. Returns the exit status.
int runJobFile(const RunOptions& options, const std::string& jobPath, std::ostream& out,
               std::ostream& err);

// Runs a job given as JSON; `label` names it in messages, `jobDir` is where its input files lie.
int runJob(const RunOptions& options, const Json& job, const std::string& label,
           const std::filesystem::path& jobDir, std::ostream& out, std::ostream& err);

}  // namespace pigmora::cli
