// The job format as a JSON Schema, made from the same table of steps and keys that checks jobs.
#pragma once

#include "cli/job_context.h"

namespace pigmora::cli {

Json jobSchema();

}  // namespace pigmora::cli
