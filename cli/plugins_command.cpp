#include "cli/plugins_command.h"

#include "cli/job_runner.h"
#include "hostapp/core/embedded_host.h"

namespace pigmora::cli {

int runPlugins(const std::string& pluginPath, std::ostream& out, std::ostream& err) {
  hostapp::EmbeddedHost host;
  std::string error;
  if (!host.loadLibrary(pluginPath, error)) {
    err << "pigmora: " << error << "\n";
    return kExitSetup;
  }
  for (const std::string& line : host.events().console()) out << line << "\n";
  for (const auto& p : host.registration().plugins()) {
    out << p.id << "  " << hostapp::pluginKindName(p.kind);
    if (!p.name.empty()) out << "  \"" << p.name << "\"";
    if (p.kind == hostapp::PluginKind::kLibrary)
      out << "  version " << p.version << ", " << p.size << " bytes";
    out << "\n";
  }
  host.unload();
  return kExitDone;
}

}  // namespace pigmora::cli
