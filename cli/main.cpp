// pigmora: loads the painting plug-in into the embedded host and runs painting jobs.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include "cli/demo_job.h"
#include "cli/describe_command.h"
#include "cli/job_runner.h"
#include "cli/job_schema.h"
#include "cli/memory_budget.h"
#include "cli/open_command.h"
#include "cli/out_of_memory.h"
#include "cli/paint_command.h"
#include "cli/plugins_command.h"
#include "cli/suggest.h"
#include "hostapp/core/atomic_file.h"

namespace {

std::string defaultPluginPath() {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return "libpigmora.so";
  return (exe.parent_path() / "libpigmora.so").string();
}

constexpr const char* kExitStatuses =
    "Exit status: 0 done; 1 the job was refused, a step failed, or a warning with --strict;\n"
    "2 a usage error (unknown command or option, missing argument); 3 the plug-in library or\n"
    "the program's data could not be loaded.";

// One sentence for a command line the program cannot take, and the usage status.
int usageError(const CLI::ParseError& e) {
  std::string what = e.what();
  if (dynamic_cast<const CLI::ExtrasError*>(&e)) {
    // "The following arguments were not expected: --frob x"
    const size_t colon = what.find(": ");
    const std::string extras = colon == std::string::npos ? what : what.substr(colon + 2);
    const bool flag = !extras.empty() && extras[0] == '-';
    what = std::string(flag ? "the option " : "the argument ") + extras + " is unknown";
  } else if (e.get_name() == "RequiredError" && what.find("subcommand") != std::string::npos) {
    what =
        "a command is needed (demo, run, check, inspect, open, paint, describe, schema or plugins)";
  }
  while (!what.empty() && (what.back() == '.' || what.back() == '\n')) what.pop_back();
  std::cerr << "pigmora: " << what << "; run pigmora --help for the usage.\n";
  return pigmora::cli::kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace pigmora::cli;
  // An interrupted save leaves no temporary file behind.
  hostapp::removeTemporaryFilesOnInterrupt();
  // Memory that runs out where no step can catch it still ends in a sentence.
  endOnOutOfMemory();
  CLI::App app{"pigmora - paints onto the surfaces of polygon meshes through their UVs"};
  app.set_version_flag("--version", std::string("pigmora ") + PIGMORA_VERSION);
  app.require_subcommand(1);
  app.footer(kExitStatuses);
  std::string plugin = defaultPluginPath();
  app.add_option("--plugin", plugin, "The plug-in library to load")->capture_default_str();

  CLI::App* plugins = app.add_subcommand("plugins", "List the plug-ins the library registers");

  CLI::App* demo = app.add_subcommand(
      "demo", "Paint the built-in scene (a sphere and a box) and write its textures and a preview");
  std::string demoOut = "pigmora-demo";
  int demoSize = 2048;
  demo->add_option("--out", demoOut, "Folder for the textures and the preview")
      ->capture_default_str();
  demo->add_option("--size", demoSize, "Width and height of the textures in pixels")
      ->check(CLI::Range(16, 16384))
      ->capture_default_str();

  RunOptions options;
  options.pluginPath = plugin;
  std::string jobFile, outDir;
  std::string maxMemory;
  auto jobArguments = [&](CLI::App* sub, bool writes) {
    sub->add_option("job", jobFile, "The job file (JSON), or - for standard input")->required();
    sub->add_option("--set", options.overrides,
                    "Override a value of the job: STEP.KEY=VALUE, STEP a number or a step name");
    sub->add_flag("--json", options.json, "Machine-readable output: JSON");
    if (!writes) return;
    sub->add_option("--out", outDir, "Folder for the job's outputs (pigmora-out)");
    sub->add_flag("--strict", options.strict, "Treat warnings as errors");
    sub->add_option("--max-memory", maxMemory,
                    "Memory for textures and images, such as 8G or 512M (3/4 of the machine's)");
  };
  CLI::App* run = app.add_subcommand("run", "Run a job file (see docs/jobs.md)");
  jobArguments(run, true);
  CLI::App* check =
      app.add_subcommand("check", "Check a job file against the job format without running it");
  jobArguments(check, false);
  CLI::App* inspect = app.add_subcommand(
      "inspect", "Run a job and print its final scene (outputs go to a temporary folder)");
  jobArguments(inspect, true);

  CLI::App* open = app.add_subcommand("open", "Load a saved document and print its scene summary");
  std::string openFile;
  open->add_option("file", openFile, "The document file")->required();
  bool openJson = false;
  open->add_flag("--json", openJson, "Machine-readable output: the whole scene report as JSON");

  CLI::App* paint = app.add_subcommand(
      "paint", "Open the paint window on a job's scene, a saved document or the demo scene");
  PaintOptions paintOptions;
  paint->add_option("input", paintOptions.input,
                    "A job file (.json) or a document; none opens the demo scene");
  paint->add_option("--script", paintOptions.script, "Replay the input events of a file");
  paint->add_option("--record", paintOptions.record, "Write the input events to a file");
  paint->add_option("--screenshot", paintOptions.screenshot,
                    "Write the window as a PNG when it closes");
  paint->add_option("--save", paintOptions.save, "Where Ctrl+S saves the document");
  paint->add_option("--width", paintOptions.width, "Width of the window")
      ->check(CLI::Range(64, 16384))
      ->capture_default_str();
  paint->add_option("--height", paintOptions.height, "Height of the window")
      ->check(CLI::Range(64, 16384))
      ->capture_default_str();
  paint->add_option("--size", paintOptions.size, "Texture size of the demo scene")
      ->check(CLI::Range(16, 16384))
      ->capture_default_str();
  paint->add_flag("--timing", paintOptions.timing, "Print frame and dab-to-screen times");
  paint->add_flag("--hidden", paintOptions.hidden, "Keep the window off the screen");

  CLI::App* schema =
      app.add_subcommand("schema", "Print the job format as a JSON Schema (docs/job.schema.json)");

  CLI::App* describe = app.add_subcommand(
      "describe", "List the settings of a tool, of prefs, document or world, or a step's keys");
  std::string describeWhat;
  bool describeJson = false;
  describe->add_option("what", describeWhat, "A tool id or name, prefs, document, world or a step");
  describe->add_flag("--json", describeJson, "Machine-readable output: JSON");

  // A first word that names no command is the likeliest slip: name it.
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--plugin") {
      ++i;
      continue;
    }
    if (a.empty() || a[0] == '-') continue;
    std::vector<std::string> names;
    for (const CLI::App* sub : app.get_subcommands([](CLI::App*) { return true; }))
      names.push_back(sub->get_name());
    if (std::find(names.begin(), names.end(), a) == names.end()) {
      std::cerr << "pigmora: there is no command \"" << a << "\"" << didYouMean(a, names)
                << "; run pigmora --help for the usage.\n";
      return kExitUsage;
    }
    break;
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    return usageError(e);
  }
  options.pluginPath = plugin;

  if (plugins->parsed()) return runPlugins(plugin, std::cout, std::cerr);
  if (schema->parsed()) {
    std::cout << jobSchema().dump(2) << "\n";
    return kExitDone;
  }
  if (describe->parsed())
    return runDescribe(plugin, describeWhat, describeJson, std::cout, std::cerr);
  if (demo->parsed()) {
    const std::filesystem::path data = dataFolder();
    if (data.empty()) {
      std::cerr << "pigmora: The program's data folder (with brushes/star_stamp.png) was not "
                   "found beside the program or in ./data.\n";
      return kExitSetup;
    }
    options.outDir = demoOut;
    return runJob(options, demoJob(demoSize), "demo", data, std::cout, std::cerr);
  }
  if (open->parsed()) return runOpen(plugin, openFile, openJson, std::cout, std::cerr);
  if (paint->parsed()) {
    paintOptions.pluginPath = plugin;
    return runPaint(paintOptions, std::cout, std::cerr);
  }
  options.outDir = outDir;
  options.checkOnly = check->parsed();
  if (!maxMemory.empty() && !parseByteSize(maxMemory, options.maxMemory)) {
    std::cerr << "pigmora: --max-memory takes a size such as 8G, 512M or a number of bytes, not \""
              << maxMemory << "\"; run pigmora --help for the usage.\n";
    return kExitUsage;
  }
  if (inspect->parsed() && outDir.empty()) {
    // Inspection is about the scene; the files a job writes go where they leave no trace.
    std::string pattern =
        (std::filesystem::temp_directory_path() / "pigmora-inspect-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
      std::cerr << "pigmora: A temporary folder could not be made for the job's outputs.\n";
      return kExitSetup;
    }
    options.outDir = pattern;
    options.inspect = true;
    const int status = runJobFile(options, jobFile, std::cout, std::cerr);
    std::error_code ec;
    std::filesystem::remove_all(pattern, ec);
    return status;
  }
  options.inspect = inspect->parsed();
  return runJobFile(options, jobFile, std::cout, std::cerr);
}
