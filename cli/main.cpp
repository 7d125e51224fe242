// pigmora: loads the painting plug-in into the embedded host and runs painting jobs.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <filesystem>
#include <iostream>
#include <string>

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

  CLI11_PARSE(app, argc, argv);

  if (plugins->parsed()) return pigmora::cli::runPlugins(plugin, std::cout, std::cerr);
  return 1;
}
