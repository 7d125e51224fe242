#include "cli/job_runner.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <new>
#include <sstream>

#include "cli/job_check.h"
#include "cli/job_overrides.h"
#include "cli/memory_budget.h"
#include "cli/out_of_memory.h"
#include "cli/progress_bar.h"
#include "cli/scene_report.h"
#include "cli/steps.h"
#include "hostapp/core/atomic_file.h"
#include "hostapp/core/embedded_host.h"
#include "hostapp/core/memory.h"
#include "hostapp/scene/document.h"
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

// Makes the folder and proves that a file can be created in it.
bool prepareOutput(const std::filesystem::path& dir, std::string& why) {
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (ec) {
    why = ec.message();
    return false;
  }
  return hostapp::probeWritableFolder(dir, why);
}

std::string stepPrefix(const std::string& label, int index, const std::string& kind) {
  return label + ", step " + std::to_string(index) + " (" + kind + ")";
}

double secondsSince(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

}  // namespace

void StepTable::add(std::string name, std::string help, Rule keys, StepFunction run) {
  StepRule rule{name, std::move(help), std::move(keys), run};
  steps_[std::move(name)] = std::move(rule);
}

const StepRule* StepTable::find(const std::string& name) const {
  auto it = steps_.find(name);
  return it == steps_.end() ? nullptr : &it->second;
}

std::vector<std::string> StepTable::names() const {
  std::vector<std::string> out;
  for (const auto& [name, rule] : steps_) out.push_back(name);
  return out;
}

const StepTable& stepTable() {
  static const StepTable table = [] {
    StepTable t;
    addSceneSteps(t);
    addPaintSteps(t);
    addCommandSteps(t);
    addLibrarySteps(t);
    addOutputSteps(t);
    addUiSteps(t);
    addDocumentSteps(t);
    addInspectSteps(t);
    return t;
  }();
  return table;
}

const Rule& jobKeys() {
  static const Rule keys =
      object({req("steps", listOf(anything()), "The steps, carried out in order."),
              opt("description", text(), "What the job does, for its readers."),
              opt("output", text(),
                  "The output folder when no --out is given, relative to the working folder.")});
  return keys;
}

int runJobFile(const RunOptions& options, const std::string& jobPath, std::ostream& out,
               std::ostream& err) {
  std::stringstream text;
  std::string label = jobPath;
  std::filesystem::path dir;
  if (jobPath == "-") {
    label = "standard input";
    text << std::cin.rdbuf();
    dir = std::filesystem::current_path();
  } else {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(jobPath, ec)) {
      err << "pigmora: The job file " << jobPath << " does not exist.\n";
      return kExitJobError;
    }
    std::ifstream in(jobPath, std::ios::binary);
    text << in.rdbuf();
    if (!in) {
      err << "pigmora: The job file " << jobPath << " could not be read.\n";
      return kExitJobError;
    }
    dir = std::filesystem::absolute(jobPath).parent_path();
  }
  Json job;
  try {
    job = Json::parse(text.str());
  } catch (const Json::exception& e) {
    // Parse errors, and numbers too large for a double (out_of_range) alike.
    std::string what = e.what();
    const size_t at = what.find("] ");
    if (at != std::string::npos) what = what.substr(at + 2);
    err << "pigmora: The job " << (jobPath == "-" ? "on standard input" : "file " + jobPath)
        << " is not valid JSON: " << sentence(what) << "\n";
    return kExitJobError;
  }
  return runJob(options, std::move(job), label, dir, out, err);
}

namespace {

constexpr const char* kRanOutDuringStep = "the machine ran out of memory during the step.";

// The job after reading it; `phase` names what is being done, for the sentence when memory runs
// out outside a step.
int runCheckedJob(const RunOptions& options, Json& job, const std::string& label,
                  const std::filesystem::path& jobDir, std::ostream& out, std::ostream& err,
                  std::string& phase) {
  const auto enter = [&](const char* what) {
    phase = what;
    setActivity(label + " (" + phase + ")");
  };
  enter("checking the job");
  for (const std::string& o : options.overrides) {
    std::string error;
    if (!applyOverride(job, o, error)) {
      err << "pigmora: " << sentence(error) << "\n";
      return kExitUsage;
    }
  }
  // The whole job is checked before anything is loaded, made or written.
  JobProblem problem;
  if (!checkJobForm(job, problem)) {
    err << problemSentence(label, problem) << "\n";
    return kExitJobError;
  }
  enter("loading the plug-in");
  hostapp::EmbeddedHost host;
  std::string error;
  if (!host.loadLibrary(options.pluginPath, error)) {
    err << "pigmora: " << sentence(error) << "\n";
    return kExitSetup;
  }
  // As the host application does when it starts, the preference pages fill in their defaults.
  for (const auto& p : host.registration().plugins())
    if (p.kind == hostapp::PluginKind::kPrefsPage) hostapp::PrefsWindow page(host, p.id);
  enter("checking the job's settings");
  if (!checkJobSettings(host, job, problem)) {
    err << problemSentence(label, problem) << "\n";
    host.unload();
    return kExitJobError;
  }
  const Json& steps = job["steps"];
  if (options.checkOnly) {
    if (options.json)
      out << jsonObject({{"valid", true}, {"job", label}, {"steps", steps.size()}}).dump() << "\n";
    else
      out << label << ": " << steps.size() << (steps.size() == 1 ? " step" : " steps")
          << ", every one valid\n";
    host.unload();
    return kExitDone;
  }
  // Textures are added up before any is made: a job too large for the machine is refused here
  // instead of being killed halfway.
  if (options.maxMemory) host.memory().setBudget(options.maxMemory);
  size_t tooLarge = 0;
  std::string problemText;
  if (!jobFitsBudget(steps, host.memory().budget(), tooLarge, problemText)) {
    err << "pigmora: " << stepPrefix(label, static_cast<int>(tooLarge) + 1, "material") << ": "
        << sentence(problemText) << "\n";
    host.unload();
    return kExitJobError;
  }
  enter("preparing the output folder");
  std::filesystem::path outDir = options.outDir;
  if (outDir.empty())
    outDir = job.contains("output") ? job["output"].get<std::string>() : "pigmora-out";
  std::string why;
  if (!prepareOutput(outDir, why)) {
    err << "pigmora: The output folder " << outDir.string()
        << " cannot be written: " << sentence(why) << "\n";
    host.unload();
    return kExitJobError;
  }

  ProgressBar bar;
  host.events().setProgress([&bar](const std::string& text, double percent) {
    bar.update(text.empty() ? "working" : text, percent < 0 ? -1.0 : percent / 100.0);
  });
  // What the plug-in prints goes to stderr as it comes, apart from the results on stdout.
  host.events().setEcho([&err, &bar](const std::string& line) {
    bar.clear();
    err << "     | " << line << "\n";
  });

  JobContext ctx{host, nullptr, {}, {}, {}, {}, {}, {}, {}};
  ctx.doc = host.sceneImpl().activeDocumentImpl();
  if (!ctx.doc) ctx.doc = host.sceneImpl().newDocument();
  ctx.jobDir = jobDir;
  ctx.outDir = std::filesystem::absolute(outDir);
  ctx.doc->data().setFilename(host::kDocPath, ctx.outDir.string());
  ctx.progress = [&bar](const std::string& text, double done, const std::string& count) {
    bar.update(text, done, count);
  };
  // The start lines of the plug-in are not news to the first print.
  ctx.printed.console = host.events().console().size();

  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  int status = kExitDone;
  size_t warnings = 0;
  // With the final scene as the result on stdout, the step lines go to stderr.
  std::ostream& lines = options.inspect ? err : out;
  for (size_t i = 0; i < steps.size() && status == kExitDone; ++i) {
    const Json& step = steps[i];
    const int index = static_cast<int>(i) + 1;
    phase = "starting step " + std::to_string(index);
    const std::string kind = step["step"].get<std::string>();
    setActivity(stepPrefix(label, index, kind));
    ctx.warnings.clear();
    ctx.details = Json();
    bar.start();
    const uint64_t refusedBefore = hostapp::CountingMemory::refusals();
    try {
      const auto t0 = Clock::now();
      const std::string summary = stepTable().find(kind)->run(ctx, step);
      // Between steps the host is idle: open windows hear what the step changed.
      host.uiHost().settle();
      const double seconds = secondsSince(t0);
      bar.finish();
      if (options.json) {
        Json line = jsonObject(
            {{"step", index}, {"name", kind}, {"seconds", seconds}, {"summary", summary}});
        if (!ctx.warnings.empty()) line["warnings"] = ctx.warnings;
        if (!ctx.details.is_null()) line["details"] = ctx.details;
        lines << line.dump() << "\n" << std::flush;
      } else {
        char head[64];
        std::snprintf(head, sizeof head, "[%2d] %-12s %7.3f s  ", index, kind.c_str(), seconds);
        lines << head << summary << "\n" << std::flush;
      }
      for (const std::string& w : ctx.warnings) {
        if (options.strict) {
          err << "pigmora: " << stepPrefix(label, index, kind) << ": "
              << sentence(w + " (--strict makes warnings errors)") << "\n";
          status = kExitJobError;
          break;
        }
        err << "pigmora: warning: " << stepPrefix(label, index, kind) << ": " << sentence(w)
            << "\n";
        ++warnings;
      }
    } catch (const StepError& e) {
      bar.clear();
      // A library may report memory it could not get as some other failure: once an
      // allocation of the step was refused, that is the reason given.
      const std::string what = e.what();
      const bool ranOut = hostapp::CountingMemory::refusals() != refusedBefore &&
                          what.find("ran out of memory") == std::string::npos;
      err << "pigmora: " << stepPrefix(label, index, kind) << ": "
          << (ranOut ? std::string(kRanOutDuringStep) : sentence(what)) << "\n";
      status = kExitJobError;
    } catch (const std::bad_alloc&) {
      bar.clear();
      err << "pigmora: " << stepPrefix(label, index, kind) << ": " << kRanOutDuringStep << "\n";
      status = kExitJobError;
    } catch (const std::exception& e) {
      bar.clear();
      err << "pigmora: " << stepPrefix(label, index, kind) << ": "
          << sentence(std::string("a value has the wrong type: ") + e.what()) << "\n";
      status = kExitJobError;
    }
  }
  enter("finishing the job");
  if (status == kExitDone && options.then) {
    host.events().setEcho(nullptr);
    host.events().setProgress(nullptr);
    bar.clear();
    status = options.then(ctx);
    host.unload();
    return status;
  }
  if (status == kExitDone && options.inspect) {
    const Json report = sceneReport(ctx, ReportOptions());
    out << (options.json ? report.dump(2) + "\n" : reportText(report));
  }
  if (status == kExitDone) {
    char total[64];
    std::snprintf(total, sizeof total, "%.3f", secondsSince(start));
    const std::string warned =
        warnings ? ", " + std::to_string(warnings) + (warnings == 1 ? " warning" : " warnings")
                 : "";
    if (options.json && !options.inspect)
      lines << jsonObject({{"done", true},
                           {"steps", steps.size()},
                           {"seconds", secondsSince(start)},
                           {"warnings", warnings},
                           {"outputs", ctx.outDir.string()}})
                   .dump()
            << "\n";
    else
      lines << "done: " << steps.size() << (steps.size() == 1 ? " step" : " steps") << " in "
            << total << " s" << warned << ", outputs in " << ctx.outDir.string() << "\n";
  }
  host.events().setEcho(nullptr);
  host.events().setProgress(nullptr);
  host.unload();
  return status;
}

}  // namespace

int runJob(const RunOptions& options, Json job, const std::string& label,
           const std::filesystem::path& jobDir, std::ostream& out, std::ostream& err) {
  std::string phase = "reading the job";
  try {
    return runCheckedJob(options, job, label, jobDir, out, err, phase);
  } catch (const std::bad_alloc&) {
    // The host and its plug-in are gone by now, and with them what they held.
    err << "pigmora: " << label << ": the machine ran out of memory while " << phase << ".\n";
    return kExitJobError;
  }
}

}  // namespace pigmora::cli
