#include "cli/job_runner.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "cli/progress_bar.h"
#include "cli/steps.h"
#include "hostapp/core/embedded_host.h"
#include "hostapp/scene/scene_impl.h"
#include "hostapp/settings/prefs_window.h"
#include "hostapp/ui/ui_host.h"

namespace pigmora::cli {

namespace {

// A sentence ends in one full stop.
std::string sentence(std::string s) {
  while (!s.empty() && (s.back() == '.' || s.back() == '\n')) s.pop_back();
  return s + ".";
}

// Makes the folder and proves that a file can be written in it.
bool prepareOutput(const std::filesystem::path& dir, std::string& why) {
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (ec) {
    why = ec.message();
    return false;
  }
  const std::filesystem::path probe = dir / ".pigmora-write-check";
  std::FILE* f = std::fopen(probe.c_str(), "wb");
  if (!f) {
    why = "nothing can be written there";
    return false;
  }
  std::fclose(f);
  std::filesystem::remove(probe, ec);
  return true;
}

}  // namespace

const std::map<std::string, StepFunction>& stepTable() {
  static const std::map<std::string, StepFunction> table = [] {
    std::map<std::string, StepFunction> t;
    addSceneSteps(t);
    addPaintSteps(t);
    addCommandSteps(t);
    addLibrarySteps(t);
    addOutputSteps(t);
    addUiSteps(t);
    addDocumentSteps(t);
    return t;
  }();
  return table;
}

int runJobFile(const RunOptions& options, const std::string& jobPath, std::ostream& out,
               std::ostream& err) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(jobPath, ec)) {
    err << "pigmora: The job file " << jobPath << " does not exist.\n";
    return 1;
  }
  std::ifstream in(jobPath, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  if (!in) {
    err << "pigmora: The job file " << jobPath << " could not be read.\n";
    return 1;
  }
  Json job;
  try {
    job = Json::parse(text.str());
  } catch (const Json::parse_error& e) {
    std::string what = e.what();
    const size_t at = what.find("] ");
    if (at != std::string::npos) what = what.substr(at + 2);
    err << "pigmora: The job file " << jobPath << " is not valid JSON: " << sentence(what) << "\n";
    return 1;
  }
  const std::filesystem::path dir = std::filesystem::absolute(jobPath).parent_path();
  return runJob(options, job, jobPath, dir, out, err);
}

int runJob(const RunOptions& options, const Json& job, const std::string& label,
           const std::filesystem::path& jobDir, std::ostream& out, std::ostream& err) {
  if (!job.is_object() || !job.contains("steps") || !job["steps"].is_array()) {
    err << "pigmora: The job file " << label << " must be an object with a list of \"steps\".\n";
    return 1;
  }
  std::string why;
  if (!prepareOutput(options.outDir, why)) {
    err << "pigmora: The output folder " << options.outDir.string()
        << " cannot be written: " << sentence(why) << "\n";
    return 1;
  }
  hostapp::EmbeddedHost host;
  std::string error;
  if (!host.loadLibrary(options.pluginPath, error)) {
    err << "pigmora: " << sentence(error) << "\n";
    return 1;
  }
  // As the host application does when it starts, the preference pages fill in their defaults.
  for (const auto& p : host.registration().plugins())
    if (p.kind == hostapp::PluginKind::kPrefsPage) hostapp::PrefsWindow page(host, p.id);
  ProgressBar bar;
  host.events().setProgress([&bar](const std::string& text, double percent) {
    bar.update(text.empty() ? "working" : text, percent < 0 ? -1.0 : percent / 100.0);
  });
  // Lines the plug-in or the host prints while the job runs are shown as they come.
  host.events().setEcho([&out, &bar](const std::string& line) {
    bar.clear();
    out << "     | " << line << "\n";
  });

  JobContext ctx{host, nullptr, {}, {}, {}};
  ctx.doc = host.sceneImpl().activeDocumentImpl();
  if (!ctx.doc) ctx.doc = host.sceneImpl().newDocument();
  ctx.jobDir = jobDir;
  ctx.outDir = std::filesystem::absolute(options.outDir);
  ctx.doc->data().setFilename(host::kDocPath, ctx.outDir.string());
  ctx.progress = [&bar](const std::string& text, double done) { bar.update(text, done); };

  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  const Json& steps = job["steps"];
  int status = 0;
  for (size_t i = 0; i < steps.size(); ++i) {
    const Json& step = steps[i];
    const int index = static_cast<int>(i) + 1;
    std::string kind = "?";
    try {
      if (!step.is_object() || !step.contains("step") || !step["step"].is_string())
        throw StepError("every step must be an object whose \"step\" names what it does");
      kind = step["step"].get<std::string>();
      auto it = stepTable().find(kind);
      if (it == stepTable().end()) throw StepError("there is no step named \"" + kind + "\"");
      const auto t0 = Clock::now();
      const std::string summary = it->second(ctx, step);
      // Between steps the host is idle: open windows hear what the step changed.
      host.uiHost().settle();
      const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
      bar.clear();
      char head[64];
      std::snprintf(head, sizeof head, "[%2d] %-12s %7.3f s  ", index, kind.c_str(), seconds);
      out << head << summary << "\n" << std::flush;
    } catch (const StepError& e) {
      bar.clear();
      err << "pigmora: " << label << ", step " << index << " (" << kind
          << "): " << sentence(e.what()) << "\n";
      status = 1;
      break;
    } catch (const std::exception& e) {
      bar.clear();
      err << "pigmora: " << label << ", step " << index << " (" << kind
          << "): " << sentence(std::string("a value has the wrong type: ") + e.what()) << "\n";
      status = 1;
      break;
    }
  }
  if (status == 0) {
    char tail[64];
    std::snprintf(tail, sizeof tail, "%.3f",
                  std::chrono::duration<double>(Clock::now() - start).count());
    out << "done: " << steps.size() << " steps in " << tail << " s, outputs in "
        << ctx.outDir.string() << "\n";
  }
  host.events().setEcho(nullptr);
  host.events().setProgress(nullptr);
  host.unload();
  return status;
}

}  // namespace pigmora::cli
