// `pigmora plugins`: load the plug-in and list what it registered.
#pragma once

#include <ostream>
#include <string>

namespace pigmora::cli {

// Prints the console lines of the plug-in's start, then one line per registered plug-in.
// Returns the exit status.
int runPlugins(const std::string& pluginPath, std::ostream& out, std::ostream& err);

}  // namespace pigmora::cli
