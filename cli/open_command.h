// `pigmora open FILE`: load a saved document and print its scene summary.
#pragma once

#include <ostream>
#include <string>

namespace pigmora::cli {

// Returns the exit status.
int runOpen(const std::string& pluginPath, const std::string& file, std::ostream& out,
            std::ostream& err);

}  // namespace pigmora::cli
