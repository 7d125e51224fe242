// The pigmora program, run as a user runs it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <string>

namespace {

struct CommandRun {
  int status;
  std::string out;
};

CommandRun run(const std::string& args) {
  const std::string cmd = std::string(PIGMORA_CLI_PATH) + " " + args + " 2>&1";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(cmd.c_str(), "r"), pclose);
  CommandRun r{-1, ""};
  if (!pipe) return r;
  std::array<char, 4096> buf{};
  size_t n;
  while ((n = fread(buf.data(), 1, buf.size(), pipe.get())) > 0) r.out.append(buf.data(), n);
  const int status = pclose(pipe.release());
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

TEST(PluginsCommand, PrintsTheStartLinesAndEveryRegisteredPlugin) {
  const CommandRun r = run("plugins");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out.rfind("QOR Pigmora starting...\nRegistering plugins..\n...successful!\n", 0), 0u)
      << r.out;
  EXPECT_NE(r.out.find("1037935  preferences page  \"QOR Pigmora\"\n"), std::string::npos) << r.out;
}

TEST(PluginsCommand, BrokenLibraryGivesOneSentenceAndFailure) {
  const CommandRun missing = run("--plugin /nonexistent/libpigmora.so plugins");
  EXPECT_NE(missing.status, 0);
  EXPECT_EQ(missing.out,
            "pigmora: The plug-in library /nonexistent/libpigmora.so does not exist.\n");
  const CommandRun notLib =
      run(std::string("--plugin ") + PIGMORA_FIXTURE_DIR + "/CTestTestfile.cmake plugins");
  EXPECT_NE(notLib.status, 0);
  EXPECT_NE(notLib.out.find("could not be loaded"), std::string::npos) << notLib.out;
  EXPECT_EQ(std::count(notLib.out.begin(), notLib.out.end(), '\n'), 1);
}

TEST(PluginsCommand, VersionAndHelpFollowTheUsualConventions) {
  const CommandRun v = run("--version");
  EXPECT_EQ(v.status, 0);
  EXPECT_EQ(v.out.rfind("pigmora ", 0), 0u);
  const CommandRun h = run("--help");
  EXPECT_EQ(h.status, 0);
  EXPECT_NE(h.out.find("plugins"), std::string::npos);
  EXPECT_NE(h.out.find("demo"), std::string::npos);
  EXPECT_NE(h.out.find("run"), std::string::npos);
  const CommandRun runHelp = run("run --help");
  EXPECT_EQ(runHelp.status, 0);
  EXPECT_NE(runHelp.out.find("--out"), std::string::npos);
  const CommandRun noJob = run("run");
  EXPECT_NE(noJob.status, 0);
  const CommandRun badSize = run("demo --size 0");
  EXPECT_NE(badSize.status, 0);
  const CommandRun bad = run("no-such-command");
  EXPECT_NE(bad.status, 0);
}

}  // namespace
