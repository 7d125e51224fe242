// The job format as the program enforces it: every kind of mistake refused before anything runs,
// the JSON Schema printed from the same table and checked independently with python3-jsonschema,
// settings by name, `check`, `describe`, the conventions of the command line, and warnings.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/cli_run.h"
#include "tests/support/test_folder.h"

namespace fs = std::filesystem;
using Json = nlohmann::json;

namespace {

const std::string kGrid =
    R"({"step": "object", "name": "G", "primitive": "grid", "columns": 2, "rows": 2, "size": 100})";

class JobFormatTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = freshTestFolder("pigmora_format"); }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path write(const std::string& json, const std::string& name = "job.json") {
    const fs::path job = dir_ / name;
    std::ofstream(job) << json;
    return job;
  }
  CommandRun runJob(const std::string& json, const std::string& flags = "") {
    return runPigmora("run " + write(json).string() + " --out " + (dir_ / "out").string() +
                      (flags.empty() ? "" : " " + flags));
  }
  // Runs the job and reads the reports of its print steps.
  std::vector<Json> prints(const std::string& json) {
    const CommandRun r = runJob(json, "--json");
    EXPECT_EQ(r.status, 0) << r.err;
    std::vector<Json> reports;
    size_t start = 0;
    for (size_t end; (end = r.out.find('\n', start)) != std::string::npos; start = end + 1) {
      const Json line = Json::parse(r.out.substr(start, end - start));
      if (line.contains("details")) reports.push_back(line["details"]);
    }
    return reports;
  }
  Json lastPrint(const std::string& json) {
    const std::vector<Json> reports = prints(json);
    return reports.empty() ? Json() : reports.back();
  }

  fs::path dir_;
};

// Each kind of mistake, in a job whose first step would write a file: the job is refused with
// one sentence naming the file, the step, the key and a near word, and nothing is written.
TEST_F(JobFormatTest, EveryKindOfMistakeIsRefusedBeforeAnythingIsWritten) {
  const std::string save = R"({"step": "render", "size": [8, 8], "file": "first.png"})";
  struct Case {
    std::string steps;     // after the render step
    std::string expected;  // the sentence after "pigmora: <file>"
  };
  const std::vector<Case> cases = {
      {R"({"step": "material", "name": "M", "channels": {"color": {"sise": 64}}})",
       R"(, step 2 (material): the key "channels.color.sise" is unknown (did you mean "size"?).)"},
      {kGrid + R"(, {"step": "stroke", "uv": [[0, 0.5], [1, 0.5]], "raduis": 3})",
       R"(, step 3 (stroke): the key "raduis" is unknown (did you mean "radius"?).)"},
      {R"({"step": "painter", "colours": {}})",
       R"(, step 2 (painter): the key "colours" is unknown (did you mean "colors"?).)"},
      {R"({"step": "tool", "settings": {"10200": "big"}})",
       R"(, step 2 (tool): "settings.10200" (radius) must be a number from 0.01 to 10000, not "big".)"},
      {R"({"step": "tool", "settings": {"strength": 5}})",
       R"(, step 2 (tool): "settings.strength" must be a number from 0 to 1, not 5.)"},
      {R"({"step": "painter", "colors": {"color": {"primary": [255, 0, 0]}}})",
       R"(, step 2 (painter): "colors.color.primary" must be a colour [r, g, b] with components from 0 to 1, not [255,0,0].)"},
      {R"({"step": "tool", "settings": {"10299": 1}})",
       R"(, step 2 (tool): "settings.10299" names no setting of the tool 1035414 "Pigmora Paint Brush"; pigmora describe 1035414 lists them.)"},
      {R"({"step": "tool", "settings": {"stencil_color": false}})",
       R"(names no setting of the tool 1035414 "Pigmora Paint Brush" (did you mean "stencil_colour"?))"},
      {R"({"step": "tool", "settings": {"texture_update": 20020}})",
       R"("settings.texture_update" must be one of 20010 "Never", 20011 "After Stroke", 20012 "At Stroke End", not 20020.)"},
      {R"({"step": "tool", "settings": {"bleed": true}})",
       R"("settings.bleed" is a button: press it with a "button" step and the id 20001.)"},
      {R"({"step": "button", "id": 20002})",
       R"(, step 2 (button): "id": the tool 1035414 "Pigmora Paint Brush" has no button 20002 (its buttons: 20001 bleed, 20003 fill_current_layer_uvs, 20004 fill_uv_islands, 20005 apply_material, 20016 reload_channel_stamps).)"},
      {R"({"step": "tool", "id": 1035999})",
       R"(, step 2 (tool): "id": the plug-in registers no tool with the id 1035999)"},
      {R"({"step": "preferences", "values": {"texture_widht": 512}})",
       R"(names no setting of the preferences (did you mean "texture_width"?))"},
      {R"({"step": "world", "settings": {"undo_dept": 3}})",
       R"(names no setting of the world settings (did you mean "undo_depth"?))"},
      {kGrid + ", " + kGrid,
       R"(, step 3 (object): "name": the object name "G" is already taken by step 2.)"},
      {R"({"step": "camera", "name": "Cam", "position": [0, 0, -100]},
          {"step": "object", "name": "Cam", "primitive": "box"})",
       R"(, step 3 (object): "name": the object name "Cam" is already taken by step 2.)"},
      {R"({"step": "material", "name": "M"}, {"step": "material", "name": "M"})",
       R"(, step 3 (material): "name": the material name "M" is already taken by step 2.)"},
      {R"({"step": "strok"})",
       R"(, step 2 (strok): there is no step named "strok" (did you mean "stroke"?).)"},
      {R"({"step": "object", "name": "B", "primitive": "shpere"})",
       R"("primitive" must be one of "sphere", "box" or "grid", not "shpere" (did you mean "sphere"?).)"},
      {R"({"step": "object", "name": "B"})", R"(give one of "primitive", "obj" or "points".)"},
      {R"({"step": "stroke", "uv": [[0, 0.5]], "surface": [[0, 0, 0]]})",
       R"("surface" and "uv" cannot be given together: give one of "surface", "uv" or "screen".)"},
      {R"({"step": "stroke", "screen": [[0, 0]]})", R"("screen" needs "camera".)"},
      {R"({"step": "material", "name": "M", "channels": {"colour": {"size": 8}}})",
       R"("channels.colour" names no channel (did you mean "color"?).)"},
      {kGrid + R"(, {"step": "selection", "object": "G", "name": "S"})",
       R"(, step 3 (selection): the key "polygons" is missing.)"},
      {R"({"step": "save", "material": "M", "channel": "bump", "channels": "all"})",
       R"(, step 2 (save): "channel" and "channels" cannot be given together.)"},
  };
  for (const Case& c : cases) {
    fs::remove_all(dir_ / "out");
    const fs::path job = write(R"({"steps": [)" + save + ", " + c.steps + "]}");
    const CommandRun r = runPigmora("run " + job.string() + " --out " + (dir_ / "out").string());
    EXPECT_EQ(r.status, 1) << c.steps;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_TRUE(contains(r.err, "pigmora: " + job.string())) << r.err;
    EXPECT_TRUE(contains(r.err, c.expected)) << r.err << "wanted: " << c.expected;
    EXPECT_TRUE(r.out.empty()) << r.out;
    EXPECT_FALSE(fs::exists(dir_ / "out")) << c.steps;
  }
  // The job file's own keys.
  const CommandRun top = runJob(R"({"otput": "x", "steps": []})");
  EXPECT_EQ(top.status, 1);
  EXPECT_TRUE(contains(top.err, R"(: the key "otput" is unknown (did you mean "output"?).)"))
      << top.err;
}

TEST_F(JobFormatTest, CheckValidatesWithoutRunningOrWriting) {
  const fs::path good =
      write(R"({"steps": [)" + kGrid + R"(, {"step": "render", "size": [8, 8]}]})", "good.json");
  const CommandRun ok = runPigmora("check " + good.string(), "", dir_);
  EXPECT_EQ(ok.status, 0) << ok.err;
  EXPECT_EQ(ok.out, good.string() + ": 2 steps, every one valid\n");
  const fs::path bad =
      write(R"({"steps": [{"step": "tool", "settings": {"raduis": 3}}]})", "bad.json");
  const CommandRun refused = runPigmora("check " + bad.string(), "", dir_);
  EXPECT_EQ(refused.status, 1);
  EXPECT_TRUE(contains(refused.err, "(did you mean \"radius\"?)")) << refused.err;
  // Neither wrote anything: the folder holds the two jobs only.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 2);
}

TEST_F(JobFormatTest, SchemaFileIsWhatTheProgramPrints) {
  const CommandRun r = runPigmora("schema");
  ASSERT_EQ(r.status, 0);
  EXPECT_TRUE(r.out == slurp(fs::path(PIGMORA_SOURCE_DIR) / "docs/job.schema.json"))
      << "docs/job.schema.json is out of date: write it with `pigmora schema`";
}

// python3-jsonschema is an independent reading of the schema: every example the project ships
// must pass it, and the mistakes of the form must fail it.
TEST_F(JobFormatTest, EveryExampleIsValidAndMistakesAreNotByTheSchema) {
  const fs::path src = PIGMORA_SOURCE_DIR;
  std::string files;
  for (const auto& e : fs::directory_iterator(src / "data/jobs"))
    if (e.path().extension() == ".json") files += " " + e.path().string();
  const std::string validate = std::string(PIGMORA_PYTHON) + " " +
                               (src / "tests/validate_jobs.py").string() + " " +
                               (src / "docs/job.schema.json").string();
  const CommandRun examples = runProgram(validate, files + " " + (src / "docs/jobs.md").string());
  EXPECT_EQ(examples.status, 0) << examples.out << examples.err;

  // The program agrees: every example job, and every step of the docs gathered into jobs, passes
  // `pigmora check`.
  const fs::path gathered = dir_ / "examples";
  fs::create_directories(gathered);
  const CommandRun written =
      runProgram(std::string(PIGMORA_PYTHON) + " " + (src / "tests/validate_jobs.py").string(),
                 "--write " + gathered.string() + " " + (src / "docs/jobs.md").string() + files);
  ASSERT_EQ(written.status, 0) << written.err;
  size_t checked = 0;
  for (size_t start = 0, end; (end = written.out.find('\n', start)) != std::string::npos;
       start = end + 1, ++checked) {
    const std::string job = written.out.substr(start, end - start);
    const CommandRun r = runPigmora("check " + job);
    EXPECT_EQ(r.status, 0) << slurp(job) << "\n" << r.err;
  }
  EXPECT_GE(checked, 10u);

  const std::vector<std::string> mistakes = {
      R"({"steps": [{"step": "material", "name": "M", "channels": {"color": {"sise": 64}}}]})",
      R"({"steps": [{"step": "stroke", "uv": [[0, 0.5]], "raduis": 3}]})",
      R"({"steps": [{"step": "painter", "colors": {"color": {"primary": [255, 0, 0]}}}]})",
      R"({"otput": "x", "steps": []})",
      R"({"steps": [{"step": "strok"}]})",
      R"({"steps": [{"step": "stroke", "uv": [[0, 0.5]], "surface": [[0, 0, 0]]}]})",
      R"({"steps": [{"step": "stroke", "screen": [[0, 0]]}]})",
      R"({"steps": [{"step": "object", "name": "B", "primitive": "shpere"}]})",
      R"({"steps": [{"step": "save", "material": "M", "depth": "int12"}]})",
      R"({"steps": [{"step": "tool", "settings": {"Radius": 3}}]})",
  };
  std::string bad;
  for (size_t i = 0; i < mistakes.size(); ++i)
    bad += " " + write(mistakes[i], "mistake" + std::to_string(i) + ".json").string();
  const CommandRun refused = runProgram(validate, "--invalid" + bad);
  EXPECT_EQ(refused.status, 0) << refused.out << refused.err;
  // The program refuses the same jobs.
  for (size_t i = 0; i < mistakes.size(); ++i) {
    const CommandRun r =
        runPigmora("check " + (dir_ / ("mistake" + std::to_string(i) + ".json")).string());
    EXPECT_EQ(r.status, 1) << mistakes[i];
  }
}

TEST_F(JobFormatTest, SettingsByNameAreTheSettingsById) {
  const Json report = lastPrint(R"({"steps": [)" + kGrid + R"(,
      {"step": "tool", "settings": {"radius": 12.5, "10201": 0.75, "stencil_colour": false,
                                    "texture_update": "At Stroke End"}},
      {"step": "preferences", "values": {"texture_width": 512, "1002": 256}},
      {"step": "world", "settings": {"undo_depth": 7}},
      {"step": "document", "parameters": {"mode": 7}},
      {"step": "print", "show": ["tool", "preferences", "world", "document"]}]})");
  std::map<std::string, Json> tool;
  for (const Json& s : report["tool"]["settings"]) tool[s["name"]] = s;
  EXPECT_EQ(tool["radius"]["id"], 10200);
  EXPECT_DOUBLE_EQ(tool["radius"]["value"].get<double>(), 12.5);
  EXPECT_DOUBLE_EQ(tool["strength"]["value"].get<double>(), 0.75);
  EXPECT_EQ(tool["stencil_colour"]["id"], 20014);
  EXPECT_EQ(tool["stencil_colour"]["value"], false);
  EXPECT_EQ(tool["texture_update"]["value"], 20012);
  // Page parameter 1200 (texture width) is stored under container key 1001; key 1002 (height)
  // was written directly.
  std::map<std::string, Json> prefs;
  for (const Json& s : report["preferences"]["settings"]) prefs[s["name"]] = s;
  EXPECT_EQ(prefs["texture_width"]["id"], 1200);
  EXPECT_EQ(prefs["texture_width"]["key"], 1001);
  EXPECT_EQ(prefs["texture_width"]["value"], 512);
  EXPECT_EQ(prefs["texture_height"]["value"], 256);
  EXPECT_EQ(report["preferences"]["keys"]["1001"], 512);
  EXPECT_EQ(report["world"][0]["id"], 1018);
  EXPECT_EQ(report["world"][0]["value"], 7);
  EXPECT_EQ(report["document"]["mode"], 7);
}

TEST_F(JobFormatTest, DescribeListsEverySettingWithIdNameTypeAndDefault) {
  const CommandRun text = runPigmora("describe 1035414");
  ASSERT_EQ(text.status, 0) << text.err;
  EXPECT_TRUE(contains(text.out, "the tool 1035414 \"Pigmora Paint Brush\"")) << text.out;
  // The stencil colour's default is on: a stencil paints its own colours.
  const CommandRun json = runPigmora("describe \"Pigmora Paint Brush\" --json");
  ASSERT_EQ(json.status, 0) << json.err;
  const Json tool = Json::parse(json.out);
  std::map<std::string, Json> byName;
  for (const Json& s : tool["settings"]) byName[s["name"]] = s;
  EXPECT_EQ(byName["stencil_colour"]["id"], 20014);
  EXPECT_EQ(byName["stencil_colour"]["default"], true);
  EXPECT_EQ(byName["radius"]["id"], 10200);
  EXPECT_EQ(byName["radius"]["type"], "real");
  EXPECT_EQ(byName["texture_update"]["default"], 20010);
  EXPECT_EQ(byName["texture_update"]["choices"].size(), 3u);
  EXPECT_FALSE(byName["stencil_colour"]["help"].get<std::string>().empty());
  // Angles are shown as they are typed, in degrees, though the tool keeps radians.
  EXPECT_DOUBLE_EQ(byName["fill_angle"]["default"].get<double>(), 45.0);

  const CommandRun prefs = runPigmora("describe prefs --json");
  ASSERT_EQ(prefs.status, 0) << prefs.err;
  const Json page = Json::parse(prefs.out);
  std::map<int, Json> byId;
  for (const Json& s : page["settings"]) byId[s["id"]] = s;
  ASSERT_EQ(byId.size(), 12u);
  // The page's parameters and the container keys they are stored under.
  const int keyOf[][2] = {{1000, 1000}, {1200, 1001}, {1201, 1002}, {1202, 1003},
                          {1203, 1004}, {1204, 1005}, {1205, 1006}, {1206, 1007},
                          {1207, 1008}, {1208, 1009}, {1211, 1010}, {1250, 1011}};
  for (const auto& [id, key] : keyOf) EXPECT_EQ(byId[id]["key"], key) << id;
  EXPECT_EQ(byId[1207]["default"], 10);
  EXPECT_EQ(byId[1208]["default"], 1209);

  const CommandRun world = runPigmora("describe world");
  EXPECT_TRUE(contains(world.out, "1018")) << world.out;
  EXPECT_TRUE(contains(world.out, "undo_depth")) << world.out;
  const CommandRun unknown = runPigmora("describe prefz");
  EXPECT_EQ(unknown.status, 2);
  EXPECT_TRUE(contains(unknown.err, "(did you mean \"prefs\"?)")) << unknown.err;
}

TEST_F(JobFormatTest, RunReadsTheJobFromStandardInputWithPathsFromTheWorkingFolder) {
  const std::string job = R"({"steps": [
      {"step": "object", "name": "Crate", "obj": "meshes/crate.obj"},
      {"step": "render", "size": [16, 16], "file": "crate.png"}]})";
  const CommandRun r =
      runPigmora("run - --out " + (dir_ / "out").string(), job, PIGMORA_SOURCE_DIR "/data");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(contains(r.out, "Crate (crate.obj)")) << r.out;
  EXPECT_TRUE(fs::exists(dir_ / "out" / "crate.png"));
  const CommandRun bad = runPigmora("check -", "{\"steps\": [{\"step\": \"strok\"}]}");
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.err.rfind("pigmora: standard input, step 1 (strok): ", 0), 0u) << bad.err;
}

TEST_F(JobFormatTest, SetOverridesAValueOfTheJob) {
  const std::string job =
      R"({"steps": [)" + kGrid + R"(, {"step": "render", "size": [8, 8], "file": "a.png"}]})";
  const fs::path file = write(job);
  const std::string out = " --out " + (dir_ / "out").string();
  const CommandRun byNumber =
      runPigmora("run " + file.string() + out + " --set 2.size=[12,10] --set render.file=b.png");
  EXPECT_EQ(byNumber.status, 0) << byNumber.err;
  EXPECT_TRUE(contains(byNumber.out, "b.png (12x10")) << byNumber.out;
  // An override is checked like the job's own values.
  const CommandRun wrong = runPigmora("run " + file.string() + out + " --set 2.sise=3");
  EXPECT_EQ(wrong.status, 1);
  EXPECT_TRUE(contains(wrong.err, "(did you mean \"size\"?)")) << wrong.err;
  const CommandRun noStep = runPigmora("run " + file.string() + out + " --set 9.size=3");
  EXPECT_EQ(noStep.status, 2);
  EXPECT_TRUE(contains(noStep.err, "the job has no step 9 (it has 2)")) << noStep.err;
}

TEST_F(JobFormatTest, ResultsGoToStdoutAndEverythingElseToStderr) {
  const std::string job = R"({"steps": [)" + kGrid + R"(, {"step": "print", "show": ["status"]}]})";
  const CommandRun text = runJob(job);
  ASSERT_EQ(text.status, 0) << text.err;
  EXPECT_FALSE(contains(text.out, "QOR Pigmora")) << text.out;
  EXPECT_EQ(text.out.rfind("[ 1] object ", 0), 0u) << text.out;
  EXPECT_TRUE(contains(text.out, "\ndone: 2 steps in ")) << text.out;
  const CommandRun json = runJob(job, "--json");
  ASSERT_EQ(json.status, 0) << json.err;
  size_t lines = 0, start = 0;
  for (size_t end; (end = json.out.find('\n', start)) != std::string::npos; start = end + 1) {
    EXPECT_NO_THROW({
      const Json parsed = Json::parse(json.out.substr(start, end - start));
      EXPECT_FALSE(parsed.is_discarded());
    }) << json.out;
    ++lines;
  }
  EXPECT_EQ(lines, 3u);  // two steps and the closing line
}

TEST_F(JobFormatTest, StrokesThatPaintNothingWarnAndFailUnderStrict) {
  const std::string scene = kGrid + R"(,
      {"step": "material", "name": "M", "channels": {"color": {"size": 32}, "bump": {"size": 16}}},
      {"step": "texture_tag", "object": "G", "material": "M"},
      {"step": "tool", "settings": {"radius": 10}})";
  struct Case {
    std::string steps;
    std::string reason;
  };
  const std::vector<Case> cases = {
      // The grid lies in the plane z = 0 between 0 and 100: a path far away finds no surface.
      {R"({"step": "painter", "texture": {"material": "M"}},
          {"step": "stroke", "surface": [[5000, 5000, 5000], [5100, 5000, 5000]]})",
       "the stroke painted nothing: every dab was off the surface of \"G\""},
      {R"({"step": "painter", "paint_all": true},
          {"step": "stroke", "uv": [[0.2, 0.5], [0.8, 0.5]]})",
       "the channel textures of the material \"M\" differ in size (color 32 x 32, bump 16 x 16); "
       "painting several channels needs one size"},
      {R"({"step": "painter", "texture": {"material": "M"}},
          {"step": "stroke", "uv": [[0.2, 0.5], [0.8, 0.5]], "strength": 0})",
       "the stroke painted nothing: the strength is 0"},
      {R"({"step": "painter", "texture": {"material": "M"}},
          {"step": "document", "mode": 14},
          {"step": "tool", "settings": {"restrict_to_selection": true}},
          {"step": "stroke", "uv": [[0.2, 0.5], [0.8, 0.5]]})",
       "painting is restricted to the selection, and no polygon of \"G\" is selected"},
  };
  for (const Case& c : cases) {
    const std::string job = R"({"steps": [)" + scene + ", " + c.steps + "]}";
    const CommandRun warned = runJob(job);
    EXPECT_EQ(warned.status, 0) << warned.err;
    EXPECT_TRUE(contains(warned.err, "pigmora: warning: ")) << warned.err;
    EXPECT_TRUE(contains(warned.err, c.reason)) << warned.err << "wanted: " << c.reason;
    EXPECT_TRUE(contains(warned.out, "; painted nothing: ")) << warned.out;
    EXPECT_TRUE(contains(warned.out, ", 1 warning, outputs in ")) << warned.out;
    const CommandRun strict = runJob(job, "--strict");
    EXPECT_EQ(strict.status, 1);
    EXPECT_TRUE(contains(strict.err, c.reason)) << strict.err;
    EXPECT_TRUE(contains(strict.err, " (--strict makes warnings errors).\n")) << strict.err;
    EXPECT_FALSE(contains(strict.out, "done:")) << strict.out;
  }
  // A stroke that paints gives no warning.
  const CommandRun fine = runJob(R"({"steps": [)" + scene + R"(,
      {"step": "painter", "texture": {"material": "M"}},
      {"step": "stroke", "uv": [[0.2, 0.5], [0.8, 0.5]]}]})",
                                 "--strict");
  EXPECT_EQ(fine.status, 0) << fine.err;
  EXPECT_TRUE(fine.err.empty()) << fine.err;
}

TEST_F(JobFormatTest, PrintShowsTheSceneAndWhatChangedSinceTheLastPrint) {
  const std::string job = R"({"steps": [)" + kGrid + R"(,
      {"step": "selection", "object": "G", "name": "Corner", "polygons": [0]},
      {"step": "material", "name": "Base", "channels": {"color": {"size": 32, "layers": ["Top"]}}},
      {"step": "material", "name": "Lid", "channels": {"color": {"size": 16, "mode": "rgb16"}}},
      {"step": "texture_tag", "object": "G", "material": "Base"},
      {"step": "texture_tag", "object": "G", "material": "Lid", "restriction": "Corner"},
      {"step": "select", "object": "G", "polygons": [1, 2], "points": [0]},
      {"step": "print", "show": ["events"]},
      {"step": "tool"},
      {"step": "painter", "paint_all": true},
      {"step": "fill", "object": "G", "mode": "layer"},
      {"step": "stroke", "uv": [[0.6, 0.6], [0.9, 0.9]]},
      {"step": "library", "entry": "useAsStamp", "file": ")" +
                          std::string(PIGMORA_SOURCE_DIR) + R"(/data/brushes/star_stamp.png"},
      {"step": "print", "object": "G", "polygons": [1, 3]},
      {"step": "print", "show": ["events"]}]})";
  const std::vector<Json> reports = prints(job);
  ASSERT_EQ(reports.size(), 3u);
  // Setting a stamp through the library posts the special event -826267; each print shows the
  // events since the one before.
  auto stampEvents = [](const Json& report) {
    int n = 0;
    for (const Json& e : report["events"]["special"]) n += e["id"] == -826267 ? 1 : 0;
    return n;
  };
  EXPECT_EQ(stampEvents(reports[0]), 0);
  EXPECT_EQ(stampEvents(reports[1]), 1) << reports[1]["events"].dump();
  EXPECT_EQ(stampEvents(reports[2]), 0);
  const Json& r = reports[1];
  ASSERT_TRUE(r.is_object());
  const Json& g = r["objects"][0];
  EXPECT_EQ(g["name"], "G");
  EXPECT_EQ(g["points"], 9);
  EXPECT_EQ(g["polygons"], 4);
  EXPECT_EQ(g["selection"]["polygons"], Json::array({1, 2}));
  EXPECT_EQ(g["selection"]["points"], Json::array({0}));
  // Polygon column + 2 x row of a 2 x 2 grid covers u column / 2 .. (column + 1) / 2 and
  // v row / 2 .. (row + 1) / 2: polygon 1 is column 1, row 0; polygon 3 is column 1, row 1.
  EXPECT_EQ(g["uvs"]["1"], Json::parse("[[0.5, 0], [0.5, 0.5], [1, 0.5], [1, 0]]"));
  EXPECT_EQ(g["uvs"]["3"], Json::parse("[[0.5, 0.5], [0.5, 1], [1, 1], [1, 0.5]]"));
  ASSERT_EQ(g["tags"].size(), 4u);
  EXPECT_EQ(g["tags"][0]["type"], 5671);
  EXPECT_EQ(g["tags"][1]["type"], 5673);
  EXPECT_EQ(g["tags"][1]["name"], "Corner");
  EXPECT_EQ(g["tags"][1]["polygons"], Json::array({0}));
  EXPECT_EQ(g["tags"][3]["type"], 5616);
  EXPECT_EQ(g["tags"][3]["material"], "Lid");
  EXPECT_EQ(g["tags"][3]["restriction"], "Corner");
  EXPECT_EQ(g["tags"][3]["projection"], 6);

  const Json& base = r["materials"][0];
  EXPECT_EQ(base["name"], "Base");
  ASSERT_EQ(base["channels"].size(), 1u);
  EXPECT_EQ(base["channels"][0]["channel"], "color");
  EXPECT_FALSE(base["channels"][0]["file"].get<std::string>().empty());
  const Json& layers = base["channels"][0]["texture"]["layers"];
  ASSERT_EQ(layers.size(), 2u);
  EXPECT_EQ(layers[0]["name"], "Background");
  EXPECT_EQ(layers[0]["active"], false);
  EXPECT_EQ(layers[1]["name"], "Top");
  EXPECT_EQ(layers[1]["active"], true);
  EXPECT_EQ(layers[1]["visible"], true);
  EXPECT_EQ(layers[1]["width"], 32);
  EXPECT_EQ(r["materials"][1]["channels"][0]["texture"]["mode"], "rgb16");

  // The fill and the stroke are one undo group each; the stroke's entry is the paint undo
  // system's "SculptPaintUndo".
  EXPECT_EQ(r["undo"]["undo_count"].get<int>(), static_cast<int>(r["undo"]["groups"].size()));
  bool strokeEntry = false;
  for (const Json& group : r["undo"]["groups"])
    for (const Json& e : group)
      strokeEntry = strokeEntry || (e["kind"] == 9996 && e["text"] == "SculptPaintUndo");
  EXPECT_TRUE(strokeEntry) << r["undo"].dump();
  EXPECT_EQ(r["undo"]["redo_count"], 0);

  // Preference 1211 is editable only while 1208 is 1210; by default it is 1209.
  for (const Json& p : r["preferences"]["settings"]) {
    if (p["id"] == 1211) {
      EXPECT_EQ(p["enabled"], false);
    }
    if (p["id"] == 1200) {
      EXPECT_EQ(p["enabled"], true);
    }
  }
  EXPECT_EQ(r["world"][0]["name"], "undo_depth");
  EXPECT_TRUE(r["commands"].is_array());  // one entry per registered command
  EXPECT_TRUE(r["status"].contains("text"));
  EXPECT_EQ(r["tool"]["id"], 1035414);
}

TEST_F(JobFormatTest, InspectPrintsTheFinalSceneAndLeavesNoFiles) {
  const fs::path job = write(R"({"steps": [)" + kGrid +
                             R"(, {"step": "render", "size": [8, 8], "file": "r.png"}]})");
  const CommandRun r = runPigmora("inspect " + job.string() + " --json", "", dir_);
  ASSERT_EQ(r.status, 0) << r.err;
  const Json report = Json::parse(r.out);
  EXPECT_EQ(report["objects"][0]["name"], "G");
  EXPECT_TRUE(contains(r.err, R"("name":"render")")) << r.err;
  EXPECT_FALSE(fs::exists(dir_ / "pigmora-out"));
  EXPECT_FALSE(fs::exists(dir_ / "r.png"));
  const CommandRun text = runPigmora("inspect " + job.string(), "", dir_);
  EXPECT_TRUE(contains(text.out, "objects:\n  - name: G\n")) << text.out;
}

}  // namespace
