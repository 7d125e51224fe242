// `--set STEP.KEY=VALUE`: changing a value of a job from the command line.
#pragma once

#include <string>

#include "cli/job_context.h"

namespace pigmora::cli {

// STEP is a step number from 1, or a step name (every step of that name); KEY is a key of the
// step, or a path of keys into its nested objects ("settings.radius"); VALUE is JSON (12,
// [1, 0, 0], true, "text"), and anything that is not JSON is taken as a string. False with
// `error` set to a sentence (without the final full stop) when the text is malformed or names
// no step.
bool applyOverride(Json& job, const std::string& text, std::string& error);

}  // namespace pigmora::cli
