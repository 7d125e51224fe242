// Values of tool settings, preferences and document parameters given in a job.
#pragma once

#include "cli/job_context.h"

namespace pigmora::cli {

// true/false give a bool, whole numbers an int32, other numbers a real, strings a string, a list
// of three numbers a vector, and a list of [x, y] pairs a spline. Objects say the type:
// {"file": "stamps/star.png"} (resolved against the job's folder), {"real": 20}, {"int": 3},
// {"vector": [1, 0, 0]}, {"spline": [[0, 1], [1, 0]]}.
host::Value settingValue(const JobContext& ctx, const Json& value, const std::string& id);

// The value of a setting of a tool from a job: as settingValue, with angles (as the tool's
// description marks them) given in degrees and stored in radians.
host::Value toolSettingValue(const JobContext& ctx, int32_t toolId, const Json& value,
                             const std::string& id);

// Parses a settings id written as a JSON key.
int32_t settingId(const std::string& key);

}  // namespace pigmora::cli
