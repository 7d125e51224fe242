// Steps that run the plug-in's commands and drive the windows they open; each line says what the
// command added to or removed from the scene.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

#include "cli/steps.h"
#include "hostapp/core/embedded_host.h"
#include "hostapp/paint/paint_impl.h"
#include "hostapp/scene/document.h"
#include "hostapp/ui/ui_host.h"
#include "hostapp/ui/window.h"

namespace pigmora::cli {

namespace {

std::string quoted(const std::string& s) {
  return "\"" + s + "\"";
}

std::string number(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.6g", v);
  return buf;
}

// A command by its id or its registration name.
const hostapp::RegisteredPlugin& commandOf(JobContext& ctx, const Json& value) {
  for (const auto& p : ctx.host.registration().plugins()) {
    if (p.kind != hostapp::PluginKind::kCommand) continue;
    if ((value.is_number_integer() && value.get<int64_t>() == p.id) ||
        (value.is_string() && value.get<std::string>() == p.name))
      return p;
  }
  if (value.is_number_integer())
    throw StepError("the plug-in registers no command with the id " + value.dump());
  if (value.is_string()) throw StepError("the plug-in registers no command named " + value.dump());
  throw StepError("a command is given by its id or its name");
}

void activateObject(JobContext& ctx, const Json& step) {
  if (step.contains("object")) ctx.doc->setActiveObject(ctx.object(stringOf(step, "object")));
}

// Message-box answers for the questions the next actions ask, in order: "yes", "no", "ok".
void queueAnswers(JobContext& ctx, const Json& step) {
  if (!step.contains("answers")) return;
  const Json& answers = step["answers"];
  if (!answers.is_array())
    throw StepError("\"answers\" must be a list of \"yes\", \"no\" or \"ok\"");
  for (const Json& a : answers) {
    const std::string text = a.is_string() ? a.get<std::string>() : "";
    const int32_t answer = text == "yes"  ? host::kAnswerYes
                           : text == "no" ? host::kAnswerNo
                           : text == "ok" ? host::kAnswerOk
                                          : 0;
    if (!answer) throw StepError("\"answers\" must be a list of \"yes\", \"no\" or \"ok\"");
    ctx.host.uiHost().queueAnswer(answer);
  }
}

const char* answerName(int32_t answer) {
  return answer == host::kAnswerYes ? "Yes" : answer == host::kAnswerNo ? "No" : "OK";
}

// The message boxes shown since `from`, as they read and were answered; unused answers go.
std::string messagesSince(JobContext& ctx, size_t from) {
  const auto& shown = ctx.host.uiHost().messages();
  std::string out;
  for (size_t i = from; i < shown.size(); ++i)
    out += ", asked " + quoted(shown[i].text) + ": " + answerName(shown[i].answer);
  ctx.host.uiHost().clearAnswers();
  return out;
}

// What the scene holds, to tell what a command made.
struct SceneCount {
  std::vector<host::Link> materials;
  std::map<int32_t, int64_t> tags;  // by type
  int64_t objects = 0;
};

SceneCount countScene(JobContext& ctx) {
  SceneCount c;
  for (host::Material* m = ctx.doc->firstMaterial(); m; m = m->next()) c.materials.emplace_back(m);
  for (host::Object* o : ctx.doc->allObjects()) {
    ++c.objects;
    for (int32_t i = 0; i < o->tagCount(); ++i) ++c.tags[o->tagAt(i)->type()];
  }
  return c;
}

const char* tagKind(int32_t type) {
  switch (type) {
    case host::kTypeUVWTag:
      return "UVW";
    case host::kTypeTextureTag:
      return "texture";
    case host::kTypePolygonSelectionTag:
      return "selection";
    case host::kTypePointTag:
      return "point";
    case host::kTypePolygonTag:
      return "polygon";
    default:
      return "other";
  }
}

std::string sceneChanges(JobContext& ctx, const SceneCount& before) {
  const SceneCount after = countScene(ctx);
  std::string out;
  std::vector<std::string> made;
  for (host::Material* m = ctx.doc->firstMaterial(); m; m = m->next()) {
    bool old = false;
    for (const host::Link& l : before.materials) old = old || l.get() == m;
    if (!old) made.push_back(m->name());
  }
  const int64_t gone = static_cast<int64_t>(before.materials.size()) -
                       static_cast<int64_t>(after.materials.size() - made.size());
  if (!made.empty()) {
    out += ", +" + std::to_string(made.size()) + " materials (" + made.front();
    if (made.size() > 2) out += " ... " + made.back();
    if (made.size() == 2) out += ", " + made.back();
    out += ")";
  }
  if (gone > 0) out += ", -" + std::to_string(gone) + " materials";
  std::map<int32_t, int64_t> types = before.tags;
  for (const auto& [type, n] : after.tags) types[type] += 0;
  for (const auto& [type, n] : types) {
    const int64_t now = after.tags.count(type) ? after.tags.at(type) : 0;
    const int64_t was = before.tags.count(type) ? before.tags.at(type) : 0;
    if (now != was)
      out += std::string(", ") + (now > was ? "+" : "") + std::to_string(now - was) + " " +
             tagKind(type) + " tags";
  }
  if (after.objects != before.objects)
    out += ", " + std::to_string(after.objects - before.objects) + " objects";
  return out;
}

// Runs a command as the host does: its state first, then execute when it is enabled.
std::string runCommand(JobContext& ctx, const hostapp::RegisteredPlugin& p, int32_t subId,
                       bool& enabled) {
  enabled = (p.command->getState(ctx.doc) & host::CommandData::kStateEnabled) != 0;
  std::string summary = std::to_string(p.id) + " " + quoted(p.name);
  if (!enabled) return summary + ": disabled, not run";
  const bool ok = ctx.host.registration().callCommand(p.id, subId);
  return summary + (ok ? ": ran" : ": ran and reported failure");
}

std::string commandStep(JobContext& ctx, const Json& step) {
  const hostapp::RegisteredPlugin& p =
      commandOf(ctx, step.contains("id") ? require(step, "id") : require(step, "name"));
  activateObject(ctx, step);
  queueAnswers(ctx, step);
  const size_t shown = ctx.host.uiHost().messages().size();
  const SceneCount before = countScene(ctx);
  bool enabled = false;
  std::string summary = runCommand(ctx, p, intOr(step, "sub_id", 0), enabled);
  summary += messagesSince(ctx, shown);
  if (enabled) summary += sceneChanges(ctx, before);
  return summary;
}

// Sets one gadget as the user would: file names (relative to the job's folder), texts, check
// boxes and numbers.
std::string setGadget(JobContext& ctx, hostapp::Window& window, int32_t id, const Json& value) {
  hostapp::Widget* w = window.find(id);
  if (!w)
    throw StepError("the window " + quoted(window.title()) + " has no gadget " +
                    std::to_string(id));
  bool ok = false;
  std::string shown;
  if (w->is(host::GadgetKind::kFilename)) {
    if (!value.is_string()) throw StepError("gadget " + std::to_string(id) + " takes a file name");
    std::filesystem::path p(value.get<std::string>());
    if (p.is_relative()) p = ctx.jobDir / p;
    std::error_code ec;
    if (!value.get<std::string>().empty() && !std::filesystem::exists(p, ec))
      throw StepError("the file " + p.string() + " does not exist");
    const std::string path = value.get<std::string>().empty()
                                 ? ""
                                 : std::filesystem::absolute(p).lexically_normal().string();
    ok = window.setFilename(id, path);
    shown = value.get<std::string>().empty() ? "empty" : p.filename().string();
  } else if (w->is(host::GadgetKind::kEditText)) {
    if (!value.is_string()) throw StepError("gadget " + std::to_string(id) + " takes a text");
    ok = window.setText(id, value.get<std::string>());
    shown = quoted(value.get<std::string>());
  } else if (w->is(host::GadgetKind::kCheckBox)) {
    if (!value.is_boolean())
      throw StepError("gadget " + std::to_string(id) + " takes true or false");
    ok = window.setChecked(id, value.get<bool>());
    shown = value.get<bool>() ? "on" : "off";
  } else if (w->is(host::GadgetKind::kEditNumber) || w->is(host::GadgetKind::kSlider)) {
    if (!value.is_number()) throw StepError("gadget " + std::to_string(id) + " takes a number");
    ok = window.setNumber(id, value.get<double>());
    shown = number(value.get<double>());
  } else {
    throw StepError("gadget " + std::to_string(id) + " of " + quoted(window.title()) +
                    " takes no value");
  }
  if (!ok)
    throw StepError("gadget " + std::to_string(id) + " of " + quoted(window.title()) +
                    " cannot be changed now");
  return std::to_string(id) + " = " + shown;
}

std::string dialogStep(JobContext& ctx, const Json& step) {
  const hostapp::RegisteredPlugin& p = commandOf(ctx, require(step, "command"));
  activateObject(ctx, step);
  bool enabled = false;
  runCommand(ctx, p, 0, enabled);
  if (!enabled) throw StepError("the command " + quoted(p.name) + " is disabled now");
  hostapp::Window* window = ctx.host.uiHost().window(p.id);
  if (!window || !window->isOpen())
    throw StepError("the command " + quoted(p.name) + " opened no window");
  std::string summary = quoted(window->title());
  queueAnswers(ctx, step);
  const size_t shown = ctx.host.uiHost().messages().size();
  const SceneCount before = countScene(ctx);
  if (step.contains("set")) {
    const Json& set = step["set"];
    if (!set.is_object()) throw StepError("\"set\" must map gadget ids to values");
    for (auto it = set.begin(); it != set.end(); ++it) {
      int32_t id = 0;
      try {
        id = std::stoi(it.key());
      } catch (const std::exception&) {
        throw StepError("the gadget id \"" + it.key() + "\" is not a number");
      }
      summary += ", " + setGadget(ctx, *window, id, it.value());
    }
  }
  if (step.contains("press")) {
    Json press = step["press"];
    if (!press.is_array()) press = Json::array({press});
    for (const Json& b : press) {
      const bool pressed = b.is_number_integer() ? window->click(wholeOf(b, "a button id"))
                           : b.is_string()       ? window->click(b.get<std::string>())
                                                 : false;
      if (!pressed)
        throw StepError("the window " + quoted(window->title()) + " has no button " + b.dump() +
                        " that can be pressed");
      summary += ", pressed " + b.dump();
      if (!ctx.host.uiHost().contains(window) || !window->isOpen()) break;
    }
  }
  summary += messagesSince(ctx, shown) + sceneChanges(ctx, before);
  const bool open = ctx.host.uiHost().contains(window) && window->isOpen();
  if (step.contains("picture")) {
    if (!open) throw StepError("the window is closed; its picture cannot be taken");
    const std::filesystem::path file = ctx.outputFile(stringOf(step, "picture"));
    std::string error;
    if (!window->savePicture(file.string(), error)) throw StepError(error);
    summary += ", picture " + file.filename().string();
  }
  if (boolOr(step, "close", false) && open) {
    if (!window->closeByUser()) throw StepError("the window " + summary + " refused to close");
    summary += ", closed";
  }
  return summary;
}

}  // namespace

void addCommandSteps(StepTable& t) {
  const Rule answers =
      listOf(word({"yes", "no", "ok"})).described("a list of \"yes\", \"no\" or \"ok\"");
  const Rule command = anyOf({whole(), text()}).described("a command's id or its name");
  t.add("command", "Runs a command the plug-in registered, by id or by name, when it is enabled.",
        object({opt("id", whole(), "The command's plug-in id."),
                opt("name", text(), "The command's name."),
                opt("object", text(), "The object to make active first."),
                opt("sub_id", whole(), "A sub-id for the command (0)."),
                opt("answers", answers, "Answers to the message boxes it shows, in order.")})
            .oneOf({"id", "name"}),
        commandStep);
  t.add("dialog", "Runs a command that opens a window and works in the window as the user does.",
        object({req("command", command, "The command."),
                opt("object", text(), "The object to make active first."),
                opt("answers", answers, "Answers to the message boxes, in order."),
                opt("set", mapOf(anything()), "Gadget values by gadget id."),
                opt("press",
                    anyOf({whole(), text(), listOf(anyOf({whole(), text()}))})
                        .described("a button's id or label, or a list of them"),
                    "Buttons to press, in order."),
                opt("picture", text(), "A PNG of the window, in the output folder."),
                opt("close", flag(), "Close the window afterwards.")}),
        dialogStep);
}

}  // namespace pigmora::cli
