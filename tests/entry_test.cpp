// The entry point and plug-in start, driven as the host drives them.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <memory>
#include <string>

#include "host/binding.h"
#include "hostapp/core/embedded_host.h"
#include "plugin/paintmaterials.h"

namespace {

constexpr int32_t kInit = 1, kStart = 2, kEnd = 3, kVersion = 4, kMessage = 6;

void* msg(intptr_t id) {
  return reinterpret_cast<void*>(id);
}

// Drives c4d_main by hand against an embedded host that has not loaded anything.
class EntryTest : public ::testing::Test {
 protected:
  void SetUp() override { host_.resources().setFolder(PIGMORA_RES_DIR); }
  // The registered commands are plug-in objects: the host frees them while the plug-in is
  // still bound, as its own unload does.
  void TearDown() override {
    if (host::bound()) host_.registration().destroyAll(host_.memory());
    while (host::bound()) c4d_main(kEnd, nullptr, nullptr, nullptr);
  }
  int32_t init(int32_t version = host::kApiVersion, bool withData = true) {
    table_ = host::FunctionTable{version, 0, &host_};
    return c4d_main(kInit, &table_, nullptr, withData ? &data_ : nullptr);
  }

  hostapp::EmbeddedHost host_;
  host::FunctionTable table_{};
  int32_t data_ = 1;
};

TEST_F(EntryTest, InterfaceVersionIsFiveBeforeAndAfterInitialisation) {
  EXPECT_EQ(c4d_main(kVersion, nullptr, nullptr, nullptr), 5);
  ASSERT_EQ(init(), 1);
  EXPECT_EQ(c4d_main(kVersion, nullptr, nullptr, nullptr), 5);
  EXPECT_EQ(c4d_main(99, nullptr, nullptr, nullptr), -1);
}

TEST_F(EntryTest, OldHostOrMissingHostDataIsRefusedAndBindsNothing) {
  EXPECT_EQ(init(17049), -3);
  EXPECT_EQ(host::bound(), nullptr);
  EXPECT_EQ(init(host::kApiVersion, false), -3);
  EXPECT_EQ(host::bound(), nullptr);
  EXPECT_EQ(c4d_main(kInit, nullptr, nullptr, &data_), -3);
  // A refused initialisation leaves no user behind: a sound one binds afterwards.
  EXPECT_EQ(init(), 1);
  EXPECT_EQ(host::bound(), &host_);
}

TEST_F(EntryTest, MessagesAnswerAsTheTableSays) {
  ASSERT_EQ(init(), 1);
  int32_t priority = 0;
  EXPECT_EQ(c4d_main(kMessage, msg(0), &priority, nullptr), 1);
  EXPECT_EQ(priority, 10001);
  EXPECT_EQ(c4d_main(kMessage, msg(1001), nullptr, nullptr), 1);
  EXPECT_EQ(c4d_main(kMessage, msg(2), nullptr, nullptr), -1);
  EXPECT_EQ(c4d_main(kMessage, msg(1), nullptr, nullptr), 1);
}

TEST_F(EntryTest, ResourcesThatDoNotLoadStopTheModule) {
  host_.resources().setFolder("/nonexistent/pigmora/res");
  ASSERT_EQ(init(), 1);
  EXPECT_EQ(c4d_main(kMessage, msg(1), nullptr, nullptr), -1);
}

TEST_F(EntryTest, RepeatedInitialisationOnlyCountsAndEndWaitsForTheLastUser) {
  ASSERT_EQ(init(), 1);
  ASSERT_EQ(c4d_main(kMessage, msg(1), nullptr, nullptr), 1);
  ASSERT_EQ(c4d_main(kStart, nullptr, nullptr, nullptr), 1);
  ASSERT_NE(pigmora::PaintMaterialRegistry::existing(), nullptr);
  // The second call does not look at the version again.
  EXPECT_EQ(init(1), 1);
  EXPECT_EQ(c4d_main(kEnd, nullptr, nullptr, nullptr), 1);
  EXPECT_NE(pigmora::PaintMaterialRegistry::existing(), nullptr);
  EXPECT_EQ(host::bound(), &host_);
  host_.registration().destroyAll(host_.memory());
  EXPECT_EQ(c4d_main(kEnd, nullptr, nullptr, nullptr), 1);
  EXPECT_EQ(pigmora::PaintMaterialRegistry::existing(), nullptr);
  EXPECT_EQ(host::bound(), nullptr);
}

TEST_F(EntryTest, StartPrintsThreeLinesAndRegistersThePreferencesPage) {
  ASSERT_EQ(init(), 1);
  ASSERT_EQ(c4d_main(kMessage, msg(1), nullptr, nullptr), 1);
  ASSERT_EQ(c4d_main(kStart, nullptr, nullptr, nullptr), 1);
  const std::vector<std::string> expected{"QOR Pigmora starting...", "Registering plugins..",
                                          "...successful!"};
  EXPECT_EQ(host_.events().console(), expected);
  const auto* page = host_.registration().find(1037935);
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(page->kind, hostapp::PluginKind::kPrefsPage);
  EXPECT_EQ(page->name, "QOR Pigmora");
  EXPECT_EQ(page->description, "paintprefs");
  EXPECT_EQ(page->parentId, 0);
  EXPECT_EQ(page->sortId, 10000070);
}

TEST_F(EntryTest, RefusedRegistrationFailsTheStartWithoutTheLastLine) {
  host_.registration().refuse(1037935);
  ASSERT_EQ(init(), 1);
  ASSERT_EQ(c4d_main(kMessage, msg(1), nullptr, nullptr), 1);
  EXPECT_EQ(c4d_main(kStart, nullptr, nullptr, nullptr), 0);
  const std::vector<std::string> expected{"QOR Pigmora starting...", "Registering plugins.."};
  EXPECT_EQ(host_.events().console(), expected);
}

TEST_F(EntryTest, RegistryThatCannotBeAllocatedIsCreatedOnFirstUse) {
  // A first start counts the host allocations a start makes; the registry's (two links and the
  // registry itself) are the last three.
  int64_t perStart = 0;
  {
    hostapp::EmbeddedHost probe;
    probe.resources().setFolder(PIGMORA_RES_DIR);
    host::FunctionTable table{host::kApiVersion, 0, &probe};
    ASSERT_EQ(c4d_main(kInit, &table, nullptr, &data_), 1);
    ASSERT_EQ(c4d_main(kMessage, msg(1), nullptr, nullptr), 1);
    const int64_t before = probe.memory().count();
    ASSERT_EQ(c4d_main(kStart, nullptr, nullptr, nullptr), 1);
    perStart = probe.memory().count() - before;
    probe.registration().destroyAll(probe.memory());
    c4d_main(kEnd, nullptr, nullptr, nullptr);
  }
  ASSERT_GE(perStart, 3);
  ASSERT_EQ(init(), 1);
  ASSERT_EQ(c4d_main(kMessage, msg(1), nullptr, nullptr), 1);
  host_.memory().failFrom(perStart - 2);
  EXPECT_EQ(c4d_main(kStart, nullptr, nullptr, nullptr), 1) << "the failure is silent";
  host_.memory().failFrom(0);
  EXPECT_EQ(pigmora::PaintMaterialRegistry::existing(), nullptr);
  EXPECT_NE(pigmora::PaintMaterialRegistry::instance(), nullptr);
}

// The embedded host loading real libraries from disk.
TEST(LibraryLoading, LoadsTheSharedLibraryAndListsItsPlugins) {
  hostapp::EmbeddedHost host;
  std::string error;
  ASSERT_TRUE(host.loadLibrary(PIGMORA_PLUGIN_PATH, error)) << error;
  ASSERT_EQ(host.events().console().size(), 3u);
  EXPECT_EQ(host.events().console()[2], "...successful!");
  EXPECT_NE(host.registration().find(1037935), nullptr);
  host.unload();
  EXPECT_FALSE(host.loaded());
}

TEST(LibraryLoading, ReportsEachProblemInOneSentenceNamingTheFile) {
  const std::string dir = PIGMORA_FIXTURE_DIR;
  struct Case {
    std::string path, expected;
  } cases[] = {
      {dir + "/missing.so", "The plug-in library " + dir + "/missing.so does not exist."},
      {dir + "/libfixture_nomain.so",
       "The plug-in library " + dir + "/libfixture_nomain.so has no c4d_main entry point."},
      {dir + "/libfixture_refuses.so",
       "The plug-in library " + dir + "/libfixture_refuses.so refused to start."},
  };
  for (const auto& c : cases) {
    hostapp::EmbeddedHost host;
    std::string error;
    EXPECT_FALSE(host.loadLibrary(c.path, error));
    EXPECT_EQ(error, c.expected);
  }
  hostapp::EmbeddedHost host;
  std::string error;
  EXPECT_FALSE(host.loadLibrary(dir + "/CTestTestfile.cmake", error));
  EXPECT_EQ(
      error.rfind("The plug-in library " + dir + "/CTestTestfile.cmake could not be loaded: ", 0),
      0u)
      << error;
}

TEST(LibraryLoading, SharedLibraryExportsOnlyTheEntryPoint) {
  const std::string cmd = std::string("nm -D --defined-only ") + PIGMORA_PLUGIN_PATH;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(cmd.c_str(), "r"), pclose);
  ASSERT_TRUE(pipe);
  std::array<char, 512> line{};
  std::vector<std::string> symbols;
  while (fgets(line.data(), line.size(), pipe.get())) {
    std::string s(line.data());
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    const auto space = s.find_last_of(' ');
    const std::string name = s.substr(space + 1);
    const char kind = space >= 2 ? s[space - 1] : '?';
    if (kind == 'T' || kind == 'D' || kind == 'B' || kind == 'W' || kind == 'V' || kind == 'R' ||
        kind == 'u' || kind == 'i')
      symbols.push_back(name);
  }
  EXPECT_EQ(symbols, std::vector<std::string>{"c4d_main"});
}

}  // namespace
