// Test support: running the pigmora program as a user runs it, with its standard output and
// standard error kept apart and, optionally, text on its standard input.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

struct CommandRun {
  int status = -1;
  std::string out;  // standard output
  std::string err;  // standard error
};

inline std::string slurp(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Runs `program args` in the shell, from `cwd` when given, feeding `input` to its stdin.
inline CommandRun runProgram(const std::string& program, const std::string& args,
                             const std::string& input = {}, const std::filesystem::path& cwd = {}) {
  static int counter = 0;
  const std::filesystem::path base =
      std::filesystem::temp_directory_path() /
      ("pigmora_run_" + std::to_string(getpid()) + "_" + std::to_string(counter++));
  const std::filesystem::path errFile = base.string() + ".err", inFile = base.string() + ".in";
  std::ofstream(inFile, std::ios::binary) << input;
  std::string cmd = program + " " + args + " <" + inFile.string() + " 2>" + errFile.string();
  if (!cwd.empty()) cmd = "cd '" + cwd.string() + "' && " + cmd;
  CommandRun r;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(cmd.c_str(), "r"), pclose);
  if (pipe) {
    std::array<char, 4096> buf{};
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), pipe.get())) > 0) r.out.append(buf.data(), n);
    const int status = pclose(pipe.release());
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  r.err = slurp(errFile);
  std::filesystem::remove(errFile);
  std::filesystem::remove(inFile);
  return r;
}

inline CommandRun runPigmora(const std::string& args, const std::string& input = {},
                             const std::filesystem::path& cwd = {}) {
  return runProgram(PIGMORA_CLI_PATH, args, input, cwd);
}

inline bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}
