// The preferences page, driven through the host's headless preferences window.
#include <gtest/gtest.h>

#include "hostapp/settings/prefs_window.h"
#include "plugin/preferences.h"
#include "support/plugin_host.h"

namespace {

constexpr int32_t kPage = 1037935;

class PrefsTest : public PluginHostTest {
 protected:
  host::Settings* prefs() { return host_.settings().world()->getContainer(1037934); }
};

TEST_F(PrefsTest, FirstStartFillsEveryKeyWithItsDefault) {
  EXPECT_EQ(prefs(), nullptr) << "nothing is stored before the page is first opened";
  hostapp::PrefsWindow window(host_, kPage);
  ASSERT_TRUE(window.open());
  host::Settings* p = prefs();
  ASSERT_NE(p, nullptr);
  const int32_t ints[][2] = {{1000, 1100}, {1001, 2048}, {1002, 2048}, {1003, 128}, {1004, 128},
                             {1008, 10},   {1009, 1209}, {1010, 1212}, {1011, 1253}};
  for (const auto& [key, value] : ints) {
    EXPECT_EQ(p->typeOf(key), host::ValueType::kInt32) << key;
    EXPECT_EQ(p->getInt32(key), value) << key;
  }
  for (int32_t key : {1005, 1006, 1007}) {
    EXPECT_EQ(p->typeOf(key), host::ValueType::kFilename) << key;
    EXPECT_EQ(p->getFilename(key), "") << key;
  }
  EXPECT_EQ(p->size(), 12u);
}

TEST_F(PrefsTest, PageListsItsParametersWithDefaultsAndChoices) {
  hostapp::PrefsWindow window(host_, kPage);
  ASSERT_TRUE(window.open());
  ASSERT_EQ(window.parameters().size(), 12u);
  const host::DescriptionParameter* format = window.description().find(1000);
  ASSERT_NE(format, nullptr);
  EXPECT_EQ(format->defaultValue.toInt32(), 1100);
  bool hasTiff = false;
  for (const auto& [id, label] : format->choices) hasTiff |= id == 1100;
  EXPECT_TRUE(hasTiff);
  const host::DescriptionParameter* naming = window.description().find(1208);
  ASSERT_NE(naming, nullptr);
  ASSERT_EQ(naming->choices.size(), 2u);
  EXPECT_EQ(naming->choices[0].first, 1209);
  EXPECT_EQ(naming->choices[1].first, 1210);
  EXPECT_EQ(window.description().find(1211)->choices.front().first, 1212);
  bool has1253 = false;
  for (const auto& c : window.description().find(1250)->choices) has1253 |= c.first == 1253;
  EXPECT_TRUE(has1253);
}

TEST_F(PrefsTest, GetAndSetGoThroughTheContainerKeys) {
  hostapp::PrefsWindow window(host_, kPage);
  EXPECT_TRUE(window.set(1200, host::Value::ofInt32(4096)));
  EXPECT_EQ(prefs()->getInt32(1001), 4096);
  EXPECT_EQ(window.get(1200).toInt32(), 4096);
  EXPECT_TRUE(window.set(1205, host::Value::ofFilename("/stamps")));
  EXPECT_EQ(prefs()->getFilename(1006), "/stamps");
  EXPECT_EQ(window.get(1205).type(), host::ValueType::kFilename);
  EXPECT_EQ(window.get(1205).toString(), "/stamps");
  prefs()->setInt32(1008, 3);
  EXPECT_EQ(window.get(1207).toInt32(), 3);
}

TEST_F(PrefsTest, CustomNamingIsEditableOnlyWhileTheFirstChoiceIsCustom) {
  hostapp::PrefsWindow window(host_, kPage);
  EXPECT_FALSE(window.enabled(1211));
  window.set(1208, host::Value::ofInt32(1210));
  EXPECT_TRUE(window.enabled(1211));
  window.set(1208, host::Value::ofInt32(1209));
  EXPECT_FALSE(window.enabled(1211));
  window.set(1208, host::Value::ofInt32(77));
  EXPECT_FALSE(window.enabled(1211));
  EXPECT_TRUE(window.enabled(1200));
}

TEST_F(PrefsTest, StoredValuesSurviveInitialisationButWrongTypesAreReplaced) {
  host::Settings stored(1037934);
  stored.setInt32(1001, 512);
  stored.setFilename(1005, "/megascans");
  stored.setString(1000, "not a format id");
  host_.settings().world()->setContainer(1037934, stored);
  hostapp::PrefsWindow window(host_, kPage);
  EXPECT_EQ(prefs()->getInt32(1001), 512);
  EXPECT_EQ(prefs()->getFilename(1005), "/megascans");
  EXPECT_EQ(prefs()->typeOf(1000), host::ValueType::kInt32);
  EXPECT_EQ(prefs()->getInt32(1000), 1100);
  hostapp::PrefsWindow again(host_, kPage);
  EXPECT_EQ(prefs()->getInt32(1001), 512);
}

TEST_F(PrefsTest, WithoutWorldSettingsTheHostKeepsTheValues) {
  host_.settings().setAvailable(false);
  EXPECT_EQ(pigmora::preferencesContainer(), nullptr);
  hostapp::PrefsWindow window(host_, kPage);
  ASSERT_TRUE(window.open());
  window.set(1200, host::Value::ofInt32(300));
  EXPECT_EQ(window.get(1200).toInt32(), 300);  // held by the host's own page container
  EXPECT_FALSE(window.enabled(1211));
  host_.settings().setAvailable(true);
}

TEST_F(PrefsTest, MissingDescriptionShowsNothing) {
  host_.resources().setFolder("/nonexistent");
  hostapp::PrefsWindow window(host_, kPage);
  EXPECT_FALSE(window.open());
  EXPECT_TRUE(window.parameters().empty());
}

}  // namespace
