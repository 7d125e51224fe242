#include "cli/paint_command.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "cli/job_runner.h"
#if PIGMORA_WINDOW
#include "cli/demo_job.h"
#include "cli/job_runner.h"
#include "hostapp/core/embedded_host.h"
#include "hostapp/docfile/document_file.h"
#include "hostapp/scene/document.h"
#include "hostapp/window/gl_scene.h"
#include "hostapp/window/paint_window.h"
#endif

namespace pigmora::cli {

#if PIGMORA_WINDOW
namespace {

// The demo's scene, brush and colours, without its painting and outputs: a fresh canvas.
Json demoScene(int32_t size) {
  Json steps = Json::array();
  bool tool = false, painter = false;
  const Json demo = demoJob(size);
  for (const Json& step : demo["steps"]) {
    const std::string kind = step["step"].get<std::string>();
    if (kind == "object" || kind == "material" || kind == "texture_tag" || kind == "camera") {
      steps.push_back(step);
    } else if (kind == "tool" && !tool) {
      steps.push_back(step);
      tool = true;
    } else if (kind == "painter" && !painter) {
      steps.push_back(step);
      painter = true;
    }
  }
  return {{"steps", steps}};
}

double median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

int openWindow(const PaintOptions& options, hostapp::EmbeddedHost& host, hostapp::DocumentImpl& doc,
               const std::string& savePath, std::ostream& out, std::ostream& err) {
  hostapp::PaintWindowOptions w;
  w.width = options.width;
  w.height = options.height;
  w.script = options.script;
  w.record = options.record;
  w.screenshot = options.screenshot;
  w.documentPath = options.save.empty() ? savePath : options.save;
  w.hidden = options.hidden;
  hostapp::PaintWindow window(host, doc, w);
  std::string error;
  if (!window.open(error)) {
    err << "pigmora: " << error << "\n";
    return kExitSetup;
  }
  const bool ok = window.run(error);
  if (options.timing) {
    const auto& t = window.timing();
    char line[256];
    std::snprintf(line, sizeof line,
                  "%zu frames, median frame %.1f ms; %lld dabs, median dab to screen %.1f ms; "
                  "%lld texels sent in %lld rectangles and %lld whole textures\n",
                  t.frameMs.size(), median(t.frameMs), static_cast<long long>(t.dabs),
                  median(t.dabToScreenMs), static_cast<long long>(window.scene().uploads().texels),
                  static_cast<long long>(window.scene().uploads().rectangles),
                  static_cast<long long>(window.scene().uploads().whole));
    out << line;
    if (!t.moveToScreenMs.empty()) {
      std::snprintf(line, sizeof line,
                    "%zu frames of strokes painted by hand: from a mouse move to the frame "
                    "that shows it, median %.1f ms, longest %.1f ms\n",
                    t.moveToScreenMs.size(), median(t.moveToScreenMs),
                    *std::max_element(t.moveToScreenMs.begin(), t.moveToScreenMs.end()));
      out << line;
    }
  }
  if (!ok) {
    err << "pigmora: " << error << "\n";
    return kExitJobError;
  }
  return kExitDone;
}

bool endsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

int runPaint(const PaintOptions& options, std::ostream& out, std::ostream& err) {
  RunOptions run;
  run.pluginPath = options.pluginPath;
  std::string savePath;
  run.then = [&](JobContext& ctx) {
    return openWindow(options, ctx.host, *ctx.doc, savePath, out, err);
  };
  if (options.input.empty() || endsWith(options.input, ".json") || options.input == "-") {
    if (options.input.empty()) {
      const std::filesystem::path data = dataFolder();
      // The demo writes nothing: its output folder is a temporary one.
      std::string pattern =
          (std::filesystem::temp_directory_path() / "pigmora-paint-XXXXXX").string();
      if (!mkdtemp(pattern.data())) {
        err << "pigmora: A temporary folder could not be made for the demo scene.\n";
        return kExitSetup;
      }
      run.outDir = pattern;
      savePath = "demo.pigmora";
      const int status = runJob(run, demoScene(options.size), "demo scene",
                                data.empty() ? std::filesystem::current_path() : data, out, err);
      std::error_code ec;
      std::filesystem::remove_all(pattern, ec);
      return status;
    }
    savePath = (std::filesystem::path(options.input).stem().string()) + ".pigmora";
    return runJobFile(run, options.input, out, err);
  }
  // A saved document.
  hostapp::EmbeddedHost host;
  std::string error;
  if (!host.loadLibrary(options.pluginPath, error)) {
    err << "pigmora: " << error << "\n";
    return kExitSetup;
  }
  hostapp::DocumentImpl* doc = hostapp::loadDocument(host, options.input, error);
  if (!doc) {
    err << "pigmora: " << error << "\n";
    host.unload();
    return kExitJobError;
  }
  const int status = openWindow(options, host, *doc, options.input, out, err);
  host.unload();
  return status;
}

#else
int runPaint(const PaintOptions&, std::ostream&, std::ostream& err) {
  err << "pigmora: This pigmora was built without the paint window (SDL2 and epoxy were not "
         "found when it was configured).\n";
  return kExitSetup;
}
#endif

}  // namespace pigmora::cli
