// The pigmora program, run as a user runs it.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/support/cli_run.h"

namespace {

// Both streams together, as a user sees them.
CommandRun run(const std::string& args) {
  CommandRun r = runPigmora(args);
  r.out += r.err;
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
  EXPECT_EQ(missing.status, 3);
  EXPECT_EQ(missing.out,
            "pigmora: The plug-in library /nonexistent/libpigmora.so does not exist.\n");
  const CommandRun notLib =
      run(std::string("--plugin ") + PIGMORA_FIXTURE_DIR + "/CTestTestfile.cmake plugins");
  EXPECT_NE(notLib.status, 0);
  EXPECT_NE(notLib.out.find("could not be loaded"), std::string::npos) << notLib.out;
  EXPECT_EQ(std::count(notLib.out.begin(), notLib.out.end(), '\n'), 1);
}

TEST(PluginsCommand, VersionAndHelpFollowTheUsualConventions) {
  const CommandRun v = runPigmora("--version");
  EXPECT_EQ(v.status, 0);
  EXPECT_EQ(v.out.rfind("pigmora ", 0), 0u);
  ASSERT_FALSE(v.out.empty());
  EXPECT_EQ(v.out.back(), '\n');
  EXPECT_EQ(std::count(v.out.begin(), v.out.end(), '\n'), 1);
  const CommandRun h = run("--help");
  EXPECT_EQ(h.status, 0);
  for (const char* command : {"plugins", "demo", "run", "check", "inspect", "schema", "describe"})
    EXPECT_TRUE(contains(h.out, command)) << command;
  // The exit statuses are part of the help.
  EXPECT_TRUE(contains(h.out, "Exit status: 0 done; 1 ")) << h.out;
  EXPECT_TRUE(contains(h.out, "2 a usage error")) << h.out;
  const CommandRun runHelp = run("run --help");
  EXPECT_EQ(runHelp.status, 0);
  for (const char* flag : {"--out", "--strict", "--json", "--set"})
    EXPECT_TRUE(contains(runHelp.out, flag)) << flag;
}

TEST(PluginsCommand, UsageErrorsNameTheirCauseAndExitWithTwo) {
  struct Case {
    const char* args;
    const char* expected;
  };
  const Case cases[] = {
      {"run", "job is required"},
      {"demo --size 0", "--size"},
      {"no-such-command", "no-such-command"},
      {"run job.json --frobnicate", "the option --frobnicate is unknown"},
      {"", "a command is needed"},
  };
  for (const Case& c : cases) {
    const CommandRun r = runPigmora(c.args);
    EXPECT_EQ(r.status, 2) << c.args;
    EXPECT_TRUE(r.out.empty()) << c.args;
    EXPECT_EQ(r.err.rfind("pigmora: ", 0), 0u) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_TRUE(contains(r.err, c.expected)) << c.args << ": " << r.err;
  }
}

}  // namespace
