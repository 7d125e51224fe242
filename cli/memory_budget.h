// The memory budget of a job: sizes given on the command line, and the textures a job's steps
// will make, added up before anything is allocated.
#pragma once

#include <cstdint>
#include <string>

#include "cli/job_context.h"

namespace pigmora::cli {

// "8G", "512M", "1.5GiB", "300000000": bytes. False for anything else or for 0.
bool parseByteSize(const std::string& text, uint64_t& bytes);

// The bytes of the layers a "material" step makes: width × height × pixel size, for every layer
// of every channel with a texture of its own.
uint64_t materialStepBytes(const Json& step);

// Checks that the textures of the job's material steps fit in `budget` together. Otherwise
// false, with `step` the 0-based index of the first one past the budget and `problem` saying
// the size.
bool jobFitsBudget(const Json& steps, uint64_t budget, size_t& step, std::string& problem);

}  // namespace pigmora::cli
