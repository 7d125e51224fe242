// The Megascans importer, driven through the embedded host: descriptions read from asset folders
// on disk, and materials made in the host's document.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "lib/json/json.h"
#include "lib/megascan/megascanimporter.h"
#include "support/plugin_host.h"
#include "support/test_folder.h"

namespace {

namespace fs = std::filesystem;
using pigmora::MegascanAsset;

// A description that loads: every required key of every template is there.
std::string wholeAsset() {
  return R"({
    "id": "a1", "name": "Rock", "categories": ["surface", "rock"], "tags": ["grey"],
    "environment": ["forest"],
    "previews": {"images": [{"resolution": "64x64", "uri": "p.png", "tags": ["thumb"]}],
                 "relativeSize": "2x2"},
    "components": [{"type": "albedo", "name": "Albedo", "colorSpace": "sRGB",
                    "averageColor": "#808080",
                    "uris": [{"physicalSize": "2x2", "resolutions": [
                      {"resolution": "2048x2048",
                       "formats": [{"mimeType": "image/jpeg", "uri": "a.jpg"}]}]}]}]
  })";
}

std::string nested(size_t depth) {
  return std::string(depth, '[') + std::string(depth, ']');
}

std::string withBrushes(const std::string& brushes) {
  return R"({"id": "x", "name": "y", "brushes": )" + brushes + "}";
}

std::string strings(const pigmora::StringList& list) {
  std::string out;
  for (const std::string* s : list) out += (out.empty() ? "" : ",") + *s;
  return out;
}

class MegascansTest : public PluginHostTest {
 protected:
  void SetUp() override {
    PluginHostTest::SetUp();
    root_ = freshTestFolder("pigmora_megascans");
  }
  void TearDown() override {
    fs::remove_all(root_);
    PluginHostTest::TearDown();
  }
  std::string write(const std::string& relative, const std::string& text) {
    const fs::path p = root_ / relative;
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
    return p.string();
  }
  std::string folder(const std::string& name) {
    fs::create_directories(root_ / name);
    return (root_ / name).string();
  }
  // A folder with one description whose albedo lists these files; the ones in `present` exist.
  std::string albedoAsset(const std::vector<std::string>& listed,
                          const std::vector<std::string>& present) {
    std::string formats;
    for (const std::string& f : listed)
      formats += std::string(formats.empty() ? "" : ",") +
                 R"({"mimeType": "image/jpeg", "uri": ")" + f + "\"}";
    write("asset/asset.json", R"({"id": "i", "name": "Albedo Only", "components": [
      {"type": "albedo", "name": "A", "colorSpace": "sRGB", "averageColor": "#000000",
       "uris": [{"physicalSize": "1x1", "resolutions": [{"resolution": "r", "formats": [)" +
                                  formats + "]}]}]}]}");
    for (const std::string& f : present) write("asset/" + f, "not really an image");
    return (root_ / "asset").string();
  }
  size_t materialCount() const {
    size_t n = 0;
    for (host::Material* m = doc_->firstMaterial(); m; m = m->next()) ++n;
    return n;
  }
  fs::path root_;
};

// ---------------------------------------------------------------------------------------------
// The JSON layer.

TEST_F(MegascansTest, JsonReadsStandardTextAndAnswersNullForWhatIsNotThere) {
  pigmora::json::Document doc;
  std::string error;
  ASSERT_TRUE(doc.parse(R"({"a": [1, 2.5, "x", null, true], "o": {"k": "v"}, "a": "last",
                            "u": "\u00e9\ud83d\ude00", "n": -3e2})",
                        error))
      << error;
  const pigmora::json::Value root = doc.root();
  EXPECT_TRUE(root.isObject());
  EXPECT_EQ(root.size(), 5u);
  // Of repeated keys the last counts; both stay listed in text order.
  EXPECT_EQ(root["a"].string(), "last");
  EXPECT_EQ(root.keyAt(0), "a");
  EXPECT_TRUE(root.memberAt(0).isArray());
  const pigmora::json::Value items = root.memberAt(0);
  EXPECT_EQ(items[0].number(), 1.0);
  EXPECT_EQ(items[1].integer(), 2);
  EXPECT_EQ(items[2].string(), "x");
  EXPECT_TRUE(items[3].isNull());
  EXPECT_TRUE(items[4].boolean());
  EXPECT_TRUE(items[5].isNull()) << "past the end";
  EXPECT_TRUE(items[-1].isNull());
  EXPECT_EQ(root["o"]["k"].string(), "v");
  EXPECT_TRUE(root["o"]["k"]["deeper"][3].isNull()) << "lookups chain through anything";
  EXPECT_EQ(root["u"].string(), "\xc3\xa9\xf0\x9f\x98\x80");  // U+00E9, U+1F600 in UTF-8
  EXPECT_EQ(root["n"].number(), -300.0);
  EXPECT_EQ(root["a"].number(), 0.0) << "a string is no number";
  EXPECT_EQ(root["missing"].string(), "");
}

TEST_F(MegascansTest, JsonRefusesWhatIsNotStandardAndSaysWhere) {
  const struct {
    const char* what;
    std::string text;
  } bad[] = {
      {"line comment", "{\"id\": 1 // note\n}"},
      {"block comment", "/* c */ {}"},
      {"trailing comma", "[1, 2,]"},
      {"single quotes", "{'id': 1}"},
      {"truncated", "{\"id\": \"ab"},
      {"text after the value", "{} {}"},
      {"empty", ""},
      {"bare word", "undefined"},
      {"invalid UTF-8 in a string", "[\"\xff\xfe\"]"},
      {"lone surrogate", "[\"\\ud800\"]"},
      {"control character in a string", "[\"a\tb\"]"},
      {"number overflow", "[1e99999]"},
      {"NaN", "[NaN]"},
  };
  for (const auto& c : bad) {
    pigmora::json::Document doc;
    std::string error;
    EXPECT_FALSE(doc.parse(c.text, error)) << c.what;
    EXPECT_FALSE(error.empty()) << c.what;
    EXPECT_EQ(error.find("[json.exception"), std::string::npos) << error;
    EXPECT_TRUE(doc.root().isNull()) << c.what;
  }
  pigmora::json::Document doc;
  std::string error;
  EXPECT_FALSE(doc.parse("{\n  \"a\": tru }", error));
  EXPECT_NE(error.find("line 2"), std::string::npos) << error;
}

TEST_F(MegascansTest, JsonNestsTwoHundredLevelsAndNoMore) {
  // The root array is at depth 0, so 201 nested arrays put the innermost at depth 200.
  pigmora::json::Document doc;
  std::string error;
  EXPECT_TRUE(doc.parse(nested(201), error)) << error;
  EXPECT_FALSE(doc.parse(nested(202), error));
  EXPECT_NE(error.find("depth"), std::string::npos) << error;
  EXPECT_TRUE(doc.parse("[" + nested(200) + ", 1]", error)) << error;
  // A scalar inside 201 arrays is at depth 201.
  EXPECT_FALSE(doc.parse(std::string(201, '[') + "1" + std::string(201, ']'), error));
  // Far deeper than any stack would allow, were it parsed by recursion.
  EXPECT_FALSE(doc.parse(nested(1000000), error));
}

TEST_F(MegascansTest, JsonTreeLivesInHostMemoryAndSurvivesEveryRefusal) {
  const std::string text = wholeAsset();
  const int64_t live = host_.memory().live();
  int64_t failures = 0;
  for (int64_t nth = 1; nth < 200; ++nth) {
    host_.memory().failAt(nth);
    pigmora::json::Document doc;
    std::string error;
    if (!doc.parse(text, error)) {
      ++failures;
      EXPECT_EQ(error, "out of memory") << nth;
      EXPECT_TRUE(doc.root().isNull());
    }
  }
  host_.memory().failAt(0);
  EXPECT_GT(failures, 0) << "the tree is built from host memory";
  EXPECT_EQ(host_.memory().live(), live) << "every refusal gives back what was taken";
}

// ---------------------------------------------------------------------------------------------
// Reading descriptions.

TEST_F(MegascansTest, WholeDescriptionFillsEveryTemplate) {
  MegascanAsset a;
  ASSERT_TRUE(a.parse(wholeAsset().c_str()));
  EXPECT_TRUE(a.loaded);
  EXPECT_EQ(a.id, "a1");
  EXPECT_EQ(a.name, "Rock");
  EXPECT_EQ(strings(a.categories), "surface,rock");
  EXPECT_EQ(strings(a.tags), "grey");
  EXPECT_EQ(strings(a.environment), "forest");
  ASSERT_EQ(a.previews.images.size(), 1u);
  EXPECT_EQ(a.previews.relativeSize, "2x2");
  EXPECT_EQ(a.previews.images[0]->resolution, "64x64");
  EXPECT_EQ(a.previews.images[0]->uri, "p.png");
  EXPECT_EQ(strings(a.previews.images[0]->tags), "thumb");
  ASSERT_EQ(a.components.size(), 1u);
  const pigmora::TemplateComponent& c = *a.components[0];
  EXPECT_EQ(c.type, "albedo");
  EXPECT_EQ(c.name, "Albedo");
  EXPECT_EQ(c.colorSpace, "sRGB");
  EXPECT_EQ(c.averageColor, "#808080");
  ASSERT_EQ(c.uris.size(), 1u);
  EXPECT_EQ(c.uris[0]->physicalSize, "2x2");
  ASSERT_EQ(c.uris[0]->resolutions.size(), 1u);
  EXPECT_EQ(c.uris[0]->resolutions[0]->resolution, "2048x2048");
  ASSERT_EQ(c.uris[0]->resolutions[0]->formats.size(), 1u);
  EXPECT_EQ(c.uris[0]->resolutions[0]->formats[0]->mimeType, "image/jpeg");
  EXPECT_EQ(c.uris[0]->resolutions[0]->formats[0]->uri, "a.jpg");
}

TEST_F(MegascansTest, ReadingRulesOverManySmallDescriptions) {
  using Check = std::function<void(const MegascanAsset&)>;
  const Check none = [](const MegascanAsset&) {};
  const std::string component =
      R"({"type": "albedo", "name": "A", "colorSpace": "sRGB", "averageColor": "#000")";
  const struct {
    const char* what;
    std::string text;
    bool loads;
    Check check;
  } cases[] = {
      {"only the required keys", R"({"id": "i", "name": "n"})", true,
       [](const MegascanAsset& a) {
         EXPECT_EQ(a.categories.size() + a.tags.size() + a.components.size(), 0u);
         EXPECT_EQ(a.previews.images.size(), 0u);
       }},
      {"no id", R"({"name": "n"})", false, none},
      {"no name", R"({"id": "i"})", false, none},
      {"a number where the id must be a string", R"({"id": 7, "name": "n"})", false, none},
      {"null name", R"({"id": "i", "name": null})", false, none},
      {"categories as a string", R"({"id": "i", "name": "n", "categories": "rock"})", true,
       [](const MegascanAsset& a) { EXPECT_EQ(a.categories.size(), 0u); }},
      {"non-strings inside string arrays are skipped",
       R"({"id": "i", "name": "n", "categories": [1, "a", null, ["b"], "c", {}],
           "tags": [true, "t"], "environment": {"e": "f"}})",
       true,
       [](const MegascanAsset& a) {
         EXPECT_EQ(strings(a.categories), "a,c");
         EXPECT_EQ(strings(a.tags), "t");
         EXPECT_EQ(a.environment.size(), 0u);
       }},
      {"previews null", R"({"id": "i", "name": "n", "previews": null})", true, none},
      {"previews without relativeSize", R"({"id": "i", "name": "n", "previews": {"images": []}})",
       false, none},
      {"previews as a string", R"({"id": "i", "name": "n", "previews": "p"})", false, none},
      {"preview images: nulls skipped, tags filtered",
       R"({"id": "i", "name": "n", "previews": {"relativeSize": "1x1", "images": [null,
           {"resolution": "r", "uri": "u", "tags": ["t", 3]}, null]}})",
       true,
       [](const MegascanAsset& a) {
         ASSERT_EQ(a.previews.images.size(), 1u);
         EXPECT_EQ(strings(a.previews.images[0]->tags), "t");
       }},
      {"preview image without uri",
       R"({"id": "i", "name": "n", "previews": {"relativeSize": "1x1",
           "images": [{"resolution": "r"}]}})",
       false, none},
      {"components as a string", R"({"id": "i", "name": "n", "components": "c"})", true,
       [](const MegascanAsset& a) { EXPECT_EQ(a.components.size(), 0u); }},
      {"null components are skipped",
       R"({"id": "i", "name": "n", "components": [null, )" + component + "}, null]}", true,
       [](const MegascanAsset& a) { EXPECT_EQ(a.components.size(), 1u); }},
      {"a number as a component", R"({"id": "i", "name": "n", "components": [5]})", false, none},
      {"a component without averageColor",
       R"({"id": "i", "name": "n", "components": [{"type": "albedo", "name": "A",
           "colorSpace": "sRGB"}]})",
       false, none},
      {"a component whose type is a number",
       R"({"id": "i", "name": "n", "components": [{"type": 1, "name": "A", "colorSpace": "s",
           "averageColor": "#0"}]})",
       false, none},
      {"a URI without physicalSize",
       R"({"id": "i", "name": "n", "components": [)" + component + R"(, "uris": [{}]}]})", false,
       none},
      {"a resolution without its name",
       R"({"id": "i", "name": "n", "components": [)" + component +
           R"(, "uris": [{"physicalSize": "1", "resolutions": [{"formats": []}]}]}]})",
       false, none},
      {"a format whose mimeType is a number",
       R"({"id": "i", "name": "n", "components": [)" + component +
           R"(, "uris": [{"physicalSize": "1", "resolutions": [{"resolution": "r",
           "formats": [{"mimeType": 4, "uri": "u"}]}]}]}]})",
       false, none},
      {"brushes of any kind are ignored", withBrushes(R"([{"anything": [1, {"x": null}]}])"), true,
       none},
      {"the root is an array", R"([{"id": "i", "name": "n"}])", false, none},
      {"the root is a string", R"("id")", false, none},
      {"a repeated key: the last counts", R"({"id": "first", "name": "n", "id": "second"})", true,
       [](const MegascanAsset& a) { EXPECT_EQ(a.id, "second"); }},
      {"a comment", "{\"id\": \"i\", // the id\n \"name\": \"n\"}", false, none},
      {"truncated", R"({"id": "i", "name": "n", "tags": ["a", )", false, none},
      {"invalid UTF-8 in the name", "{\"id\": \"i\", \"name\": \"\xc3\x28\"}", false, none},
      {"200 levels inside brushes", withBrushes(nested(200)), true, none},
      {"201 levels inside brushes", withBrushes(nested(201)), false, none},
      {"a million levels", withBrushes(nested(1000000)), false, none},
      {"non-ASCII text", "{\"id\": \"i\", \"name\": \"Moos \xc3\xbc\"}", true,
       [](const MegascanAsset& a) { EXPECT_EQ(a.name, "Moos \xc3\xbc"); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    MegascanAsset a;
    EXPECT_EQ(a.parse(c.text.c_str()), c.loads);
    EXPECT_EQ(a.loaded, c.loads);
    if (c.loads) c.check(a);
  }
}

TEST_F(MegascansTest, TenMegabytesOfArraysLoadOrFailCleanly) {
  // About 10 MB: 2.5 million empty arrays as tags, then 1.7 million numbers as categories.
  std::string many = R"({"id": "i", "name": "n", "tags": [)";
  for (int i = 0; i < 2500000; ++i) many += i ? ",[]" : "[]";
  many += R"(], "categories": [)";
  for (int i = 0; i < 1700000; ++i) many += i ? ",12" : "12";
  many += "]}";
  ASSERT_GT(many.size(), 10u << 20);
  MegascanAsset a;
  EXPECT_TRUE(a.parse(many.c_str()));
  EXPECT_EQ(a.tags.size(), 0u);
  EXPECT_EQ(a.categories.size(), 0u);
  // The same text cut in the middle.
  many.resize(many.size() / 2);
  EXPECT_FALSE(a.parse(many.c_str()));
}

TEST_F(MegascansTest, ParsingStartsFromAnEmptyAsset) {
  MegascanAsset a;
  ASSERT_TRUE(a.parse(wholeAsset().c_str()));
  ASSERT_TRUE(a.parse(R"({"id": "b", "name": "Second"})"));
  EXPECT_EQ(a.id, "b");
  EXPECT_EQ(a.categories.size(), 0u);
  EXPECT_EQ(a.components.size(), 0u);
  EXPECT_EQ(a.previews.images.size(), 0u) << "no previews of the first description remain";
  EXPECT_EQ(a.previews.relativeSize, "");
  EXPECT_FALSE(a.parse(nullptr));
}

TEST_F(MegascansTest, TemplatesCopyDeeplyAndKnowTheirKinds) {
  MegascanAsset a;
  ASSERT_TRUE(a.parse(wholeAsset().c_str()));
  pigmora::TemplateComponent copy(*a.components[0]);
  ASSERT_EQ(copy.uris.size(), 1u);
  copy.uris[0]->resolutions[0]->formats[0]->uri = "changed.jpg";
  EXPECT_EQ(a.components[0]->uris[0]->resolutions[0]->formats[0]->uri, "a.jpg");
  pigmora::TemplatePreview preview;
  preview = a.previews;
  preview.images[0]->tags[0]->assign("other");
  EXPECT_EQ(strings(a.previews.images[0]->tags), "thumb");
  EXPECT_EQ(preview.relativeSize, "2x2");

  const pigmora::BaseTemplate* all[] = {&copy,
                                        copy.uris[0],
                                        copy.uris[0]->resolutions[0],
                                        copy.uris[0]->resolutions[0]->formats[0],
                                        &preview,
                                        preview.images[0]};
  const int32_t kinds[] = {0, 1, 2, 3, 5, 6};
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(all[i]->kind(), kinds[i]);
    EXPECT_EQ(all[i]->reserved0(), 0);
    EXPECT_EQ(all[i]->reserved1(), 0);
  }

  // A copy that runs out of host memory is empty rather than half made.
  const int64_t live = host_.memory().live();
  for (int64_t nth = 1; nth <= 4; ++nth) {
    pigmora::TemplateComponent c;
    host_.memory().failAt(nth);
    EXPECT_FALSE(c.assign(*a.components[0])) << nth;
    host_.memory().failAt(0);
    EXPECT_EQ(c.uris.size(), 0u);
    EXPECT_EQ(c.type, "");
  }
  EXPECT_EQ(host_.memory().live(), live);
}

// ---------------------------------------------------------------------------------------------
// Loading asset folders.

TEST_F(MegascansTest, LoadReadsTheFirstDescriptionInListingOrder) {
  // Listing order is byte order: "B.json" comes before "a.json".
  write("two/a.json", R"({"id": "from a", "name": "A"})");
  write("two/B.json", R"({"id": "from B", "name": "B"})");
  write("two/0.txt", "{}");
  MegascanAsset a;
  ASSERT_TRUE(a.load(folder("two")));
  EXPECT_EQ(a.id, "from B");
  EXPECT_EQ(a.folder, folder("two"));
  EXPECT_EQ(host_.files().lastType(), host::fileCode("C4DC"));
  EXPECT_EQ(host_.files().lastCreator(), host::fileCode("C4D1"));
  EXPECT_EQ(host_.files().openFiles(), 0u);

  // The first description decides even when it is broken.
  write("broken/a.json", R"({"id": "a", "name": )");
  write("broken/b.json", R"({"id": "b", "name": "B"})");
  EXPECT_FALSE(a.load(folder("broken")));
  EXPECT_FALSE(a.loaded);

  write("upper/ASSET.JSON", R"({"id": "u", "name": "U"})");
  EXPECT_TRUE(a.load(folder("upper")));
  write("notjson/asset.json.bak", R"({"id": "u", "name": "U"})");
  write("notjson/asset.jsonx", R"({"id": "u", "name": "U"})");
  EXPECT_FALSE(a.load(folder("notjson")));
}

TEST_F(MegascansTest, FoldersWithoutAReadableDescriptionDoNotLoad) {
  MegascanAsset a;
  EXPECT_FALSE(a.load((root_ / "missing").string()));
  EXPECT_FALSE(a.load(folder("empty")));
  // A folder named like a description comes first and cannot be read.
  fs::create_directories(root_ / "dir" / "a.json");
  write("dir/b.json", R"({"id": "b", "name": "B"})");
  EXPECT_FALSE(a.load(folder("dir")));
  write("zero/a.json", "");
  EXPECT_FALSE(a.load(folder("zero")));
  write("nul/a.json", std::string(R"({"id": "i", "name": "n"})") + '\0' + "garbage");
  EXPECT_TRUE(a.load(folder("nul"))) << "the text ends at its first zero byte";
  EXPECT_EQ(host_.files().openFiles(), 0u);
}

TEST_F(MegascansTest, AShortReadOrARefusedBufferFailsTheLoad) {
  const std::string text = wholeAsset();
  write("asset/a.json", text);
  MegascanAsset a;
  host_.files().limitReads(static_cast<int64_t>(text.size()) - 1);
  EXPECT_FALSE(a.load(folder("asset")));
  host_.files().limitReads(static_cast<int64_t>(text.size()));
  EXPECT_TRUE(a.load(folder("asset")));
  host_.files().limitReads(-1);
  EXPECT_EQ(host_.files().openFiles(), 0u);

  // Every allocation of a load refused in turn: never a crash, never a leak.
  const int64_t live = host_.memory().live();
  bool sawSuccess = false;
  for (int64_t nth = 1; nth < 400 && !sawSuccess; ++nth) {
    MegascanAsset b;
    host_.memory().failAt(nth);
    sawSuccess = b.load(folder("asset"));
    host_.memory().failAt(0);
    EXPECT_EQ(b.loaded, sawSuccess);
  }
  EXPECT_TRUE(sawSuccess);
  EXPECT_EQ(host_.memory().live(), live);
  EXPECT_EQ(host_.files().openFiles(), 0u);
}

TEST_F(MegascansTest, ShippedAssetsLoad) {
  MegascanAsset rock, metal;
  ASSERT_TRUE(rock.load(PIGMORA_DATA_DIR "/megascans/mossy_rock_pm01"));
  EXPECT_EQ(rock.name, "Mossy Rock");
  ASSERT_GE(rock.components.size(), 1u);
  EXPECT_EQ(rock.components[0]->type, "albedo");
  EXPECT_EQ(rock.components[0]->uris[0]->resolutions.size(), 3u);
  for (const pigmora::TemplateResolution* r : rock.components[0]->uris[0]->resolutions)
    EXPECT_TRUE(fs::is_regular_file(rock.filePath(*r->formats[0]))) << r->resolution;
  ASSERT_TRUE(metal.load(PIGMORA_DATA_DIR "/megascans/rusty_metal_pm02"));
  EXPECT_EQ(metal.previews.images.size(), 0u);
}

// ---------------------------------------------------------------------------------------------
// Materials.

TEST_F(MegascansTest, MapTypesAndTheTypesKnownToFeedNoChannel) {
  EXPECT_EQ(pigmora::megascanChannel("albedo"), 0);
  EXPECT_EQ(pigmora::megascanChannel("bump"), 6);
  EXPECT_EQ(pigmora::megascanChannel("gloss"), 8);
  EXPECT_EQ(pigmora::megascanChannel("normal"), 13);
  for (const char* t :
       {"cavity", "displacement", "roughness", "normalbump", "fuzz", "diffuse", "ao", "glossblinn",
        "reflection", "specular", "opacity", "translucency", "metalness"}) {
    EXPECT_EQ(pigmora::megascanChannel(t), -1) << t;
    EXPECT_TRUE(pigmora::isSkippedMegascanType(t)) << t;
  }
  // Whole strings, case and all.
  for (const char* t : {"Albedo", "albedo ", "alb", "", "sheen"}) {
    EXPECT_EQ(pigmora::megascanChannel(t), -1) << t;
    EXPECT_FALSE(pigmora::isSkippedMegascanType(t)) << t;
  }
  EXPECT_FALSE(pigmora::isSkippedMegascanType("albedo"));
}

TEST_F(MegascansTest, TheLastExistingFileOfAComponentEndsUpInItsChannel) {
  const std::vector<std::string> listed = {"r_2K.jpg", "r_2K.exr", "r_4K.jpg", "r_4K.exr"};
  MegascanAsset a;
  ASSERT_TRUE(a.load(albedoAsset(listed, listed)));
  const size_t before = doc_->undoList().undoCount();
  host::Material* m = pigmora::createMegascanMaterial(a, doc_);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->name(), "Albedo Only");
  EXPECT_EQ(doc_->firstMaterial(), m);
  host::Channel* color = m->channel(0);
  ASSERT_NE(color, nullptr);
  const std::string last = (root_ / "asset" / "r_4K.exr").string();
  EXPECT_EQ(color->data().typeOf(host::kChannelFile), host::ValueType::kString);
  EXPECT_EQ(color->data().getString(host::kChannelFile), last);
  EXPECT_EQ(color->data().typeOf(host::kChannelDirectory), host::ValueType::kFilename);
  EXPECT_EQ(color->data().getFilename(host::kChannelDirectory), last);
  EXPECT_EQ(color->data().getInt32(host::kChannelMode, -1), 0);
  EXPECT_EQ(m->data().getVector(host::kMatColor), host::Vector(0.75, 0.75, 0.75));
  EXPECT_EQ(m->data().getInt32(host::kMatColorUsed), 1);
  EXPECT_TRUE(color->hasTextureSource());

  // One undo group holding the new material; the redraw is asked for.
  ASSERT_EQ(doc_->undoList().undoCount(), before + 1);
  const auto& group = doc_->undoList().undoGroup(before);
  ASSERT_EQ(group.size(), 1u);
  EXPECT_EQ(group[0]->kind(), host::kUndoNew);
  ASSERT_FALSE(host_.events().posted().empty());
  EXPECT_EQ(host_.events().posted().back(), host::kEventForceRedraw);
  EXPECT_TRUE(doc_->undo());
  EXPECT_EQ(materialCount(), 0u);
  EXPECT_TRUE(doc_->redo());
  EXPECT_EQ(materialCount(), 1u);
}

TEST_F(MegascansTest, MissingFilesAreSkipped) {
  MegascanAsset a;
  ASSERT_TRUE(a.load(albedoAsset({"r_2K.jpg", "r_2K.exr", "r_4K.jpg", "r_4K.exr"}, {"r_2K.exr"})));
  host::Material* m = pigmora::createMegascanMaterial(a, doc_);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->channel(0)->data().getString(host::kChannelFile),
            (root_ / "asset" / "r_2K.exr").string());
}

TEST_F(MegascansTest, FilesOutsideTheAssetFolderAreNeverLinked) {
  write("outside.jpg", "x");
  write("asset/sub/inner.jpg", "x");
  const std::string outside = (root_ / "outside.jpg").string();
  MegascanAsset a;
  ASSERT_TRUE(a.load(
      albedoAsset({"sub/inner.jpg", "../outside.jpg", outside, "sub/../../outside.jpg"}, {})));
  host::Material* m = pigmora::createMegascanMaterial(a, doc_);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->channel(0)->data().getString(host::kChannelFile),
            (root_ / "asset" / "sub" / "inner.jpg").string());
  pigmora::TemplateFormat f;
  f.uri = "..";
  EXPECT_EQ(a.filePath(f), "");
  f.uri = "a..b.jpg";
  EXPECT_EQ(a.filePath(f), (root_ / "asset" / "a..b.jpg").string());
}

TEST_F(MegascansTest, AMaterialIsMadeEvenWithNothingToLink) {
  write("maps/asset.json", R"({"id": "i", "name": "Only Its Name", "components": [
    {"type": "roughness", "name": "R", "colorSpace": "Linear", "averageColor": "#000",
     "uris": [{"physicalSize": "1", "resolutions": [{"resolution": "r",
       "formats": [{"mimeType": "image/jpeg", "uri": "r.jpg"}]}]}]},
    {"type": "albedo", "name": "A", "colorSpace": "sRGB", "averageColor": "#000",
     "uris": [{"physicalSize": "1", "resolutions": [{"resolution": "r",
       "formats": [{"mimeType": "image/jpeg", "uri": "missing.jpg"}]}]}]}]})");
  write("maps/r.jpg", "x");
  MegascanAsset a;
  ASSERT_TRUE(a.load(folder("maps")));
  host::Material* m = pigmora::createMegascanMaterial(a, doc_);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->name(), "Only Its Name");
  for (int32_t c = 0; c < 14; ++c) {
    host::Channel* ch = m->channel(c);
    EXPECT_TRUE(!ch || !ch->hasTextureSource()) << c;
  }
  EXPECT_NE(m->data().getInt32(host::kMatColorUsed), 1) << "the colour is left as the host made it";

  MegascanAsset empty;
  ASSERT_TRUE(empty.parse(R"({"id": "e", "name": "Empty"})"));
  EXPECT_NE(pigmora::createMegascanMaterial(empty, doc_), nullptr);
  EXPECT_EQ(materialCount(), 2u);
  EXPECT_EQ(pigmora::createMegascanMaterial(empty, nullptr), nullptr);
}

TEST_F(MegascansTest, ShippedRockFeedsFourChannelsAndItsAlbedoLoadsAsATexture) {
  MegascanAsset rock;
  ASSERT_TRUE(rock.load(PIGMORA_DATA_DIR "/megascans/mossy_rock_pm01"));
  host::Material* m = pigmora::createMegascanMaterial(rock, doc_);
  ASSERT_NE(m, nullptr);
  const std::string base = std::string(PIGMORA_DATA_DIR) + "/megascans/mossy_rock_pm01/";
  const struct {
    int32_t channel;
    const char* file;
  } linked[] = {{0, "mossy_rock_pm01_256_Albedo.jpg"},
                {6, "mossy_rock_pm01_128_Bump.jpg"},
                {8, "mossy_rock_pm01_128_Gloss.jpg"},
                {13, "mossy_rock_pm01_128_Normal.jpg"}};
  for (const auto& l : linked) {
    ASSERT_NE(m->channel(l.channel), nullptr) << l.channel;
    EXPECT_EQ(m->channel(l.channel)->data().getString(host::kChannelFile), base + l.file);
  }
  EXPECT_EQ(m->channel(11), nullptr) << "displacement feeds no channel";
  host::PaintTexture* tex = host_.paint().textureOf(m, 0, doc_);
  ASSERT_NE(tex, nullptr);
  EXPECT_EQ(tex->width(), 256);
  EXPECT_EQ(tex->height(), 256);

  MegascanAsset metal;
  ASSERT_TRUE(metal.load(PIGMORA_DATA_DIR "/megascans/rusty_metal_pm02"));
  host::Material* mm = pigmora::createMegascanMaterial(metal, doc_);
  ASSERT_NE(mm, nullptr);
  EXPECT_NE(mm->channel(0), nullptr);
  EXPECT_EQ(mm->channel(13), nullptr) << "its normal map is listed but missing";
}

}  // namespace
