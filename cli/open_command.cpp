#include "cli/open_command.h"

#include "cli/document_summary.h"
#include "cli/job_context.h"
#include "cli/job_runner.h"
#include "cli/scene_report.h"
#include "hostapp/core/embedded_host.h"
#include "hostapp/docfile/document_file.h"
#include "hostapp/scene/document.h"

namespace pigmora::cli {

int runOpen(const std::string& pluginPath, const std::string& file, bool json, std::ostream& out,
            std::ostream& err) {
  hostapp::EmbeddedHost host;
  std::string error;
  if (!host.loadLibrary(pluginPath, error)) {
    err << "pigmora: " << error << "\n";
    return kExitSetup;
  }
  hostapp::DocumentImpl* doc = hostapp::loadDocument(host, file, error);
  if (!doc) {
    err << "pigmora: " << error << "\n";
    host.unload();
    return kExitJobError;
  }
  if (json) {
    JobContext ctx{host, doc, {}, {}, {}, {}, {}, {}, {}};
    Json report = sceneReport(ctx, ReportOptions{});
    report["file"] = file;
    out << report.dump(2) << "\n";
    host.unload();
    return kExitDone;
  }
  out << file << ": ";
  for (const std::string& line : describeDocument(*doc)) out << line << "\n";
  host.unload();
  return kExitDone;
}

}  // namespace pigmora::cli
