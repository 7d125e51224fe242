// `pigmora describe [WHAT]`: the settings a job can name, with id, name, type, range, default and
// what each does; or the keys of a step.
#pragma once

#include <ostream>
#include <string>

namespace pigmora::cli {

// WHAT is a tool (its id, name or resource symbol), "prefs", "document", "world" or a step's
// name; empty lists what can be described. Returns the exit status.
int runDescribe(const std::string& pluginPath, const std::string& what, bool json,
                std::ostream& out, std::ostream& err);

}  // namespace pigmora::cli
