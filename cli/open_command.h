// `pigmora open FILE [--json]`: load a saved document and print its scene summary, or with
// --json the whole scene report a job's print step gives.
#pragma once

#include <ostream>
#include <string>

namespace pigmora::cli {

// Returns the exit status.
int runOpen(const std::string& pluginPath, const std::string& file, bool json, std::ostream& out,
            std::ostream& err);

}  // namespace pigmora::cli
