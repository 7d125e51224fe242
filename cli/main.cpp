// pigmora: loads the painting plug-in into the embedded host and runs painting jobs.
#include <CLI/CLI.hpp>
#include <filesystem>
#include <iostream>
#include <string>

#include "cli/demo_job.h"
#include "cli/job_runner.h"
#include "cli/open_command.h"
#include "cli/plugins_command.h"

namespace {
std::string defaultPluginPath() {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return "libpigmora.so";
  return (exe.parent_path() / "libpigmora.so").string();
}
}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"pigmora - paints onto the surfaces of polygon meshes through their UVs"};
  app.set_version_flag("--version", std::string("pigmora ") + PIGMORA_VERSION);
  app.require_subcommand(1);
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

  CLI::App* run = app.add_subcommand("run", "Run a job file (see docs/jobs.md)");
  std::string jobFile;
  std::string runOut = "pigmora-out";
  run->add_option("job", jobFile, "The job file (JSON)")->required();
  run->add_option("--out", runOut, "Folder for the job's outputs")->capture_default_str();

  CLI::App* open = app.add_subcommand("open", "Load a saved document and print its scene summary");
  std::string openFile;
  open->add_option("file", openFile, "The document file")->required();

  CLI11_PARSE(app, argc, argv);

  if (plugins->parsed()) return pigmora::cli::runPlugins(plugin, std::cout, std::cerr);
  if (demo->parsed()) {
    const std::filesystem::path data = pigmora::cli::dataFolder();
    if (data.empty()) {
      std::cerr << "pigmora: The program's data folder (with brushes/star_stamp.png) was not "
                   "found beside the program or in ./data.\n";
      return 1;
    }
    return pigmora::cli::runJob({plugin, demoOut}, pigmora::cli::demoJob(demoSize), "demo", data,
                                std::cout, std::cerr);
  }
  if (open->parsed()) return pigmora::cli::runOpen(plugin, openFile, std::cout, std::cerr);
  if (run->parsed())
    return pigmora::cli::runJobFile({plugin, runOut}, jobFile, std::cout, std::cerr);
  return 1;
}
