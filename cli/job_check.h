// Checking a whole job before any of it runs, so that a mistake anywhere is reported before the
// first file is written.
#pragma once

#include <string>

#include "cli/job_context.h"

namespace hostapp {
class EmbeddedHost;
}

namespace pigmora::cli {

struct JobProblem {
  int step = 0;         // 1-based; 0 for the job file itself
  std::string name;     // the step's name, "?" when it has none
  std::string message;  // one sentence without the final full stop
};

// The form of the job: its own keys, every step's name, keys, types and ranges, and names of
// objects and materials given twice.
bool checkJobForm(const Json& job, JobProblem& problem);

// What needs the plug-in: tool ids and the settings of tools, preferences, documents and the
// world, by id or name, with their types and ranges.
bool checkJobSettings(hostapp::EmbeddedHost& host, const Json& job, JobProblem& problem);

// "pigmora: LABEL, step N (NAME): MESSAGE." or "pigmora: LABEL: MESSAGE."
std::string problemSentence(const std::string& label, const JobProblem& problem);

}  // namespace pigmora::cli
