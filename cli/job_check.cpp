#include "cli/job_check.h"

#include <map>

#include "cli/named_settings.h"
#include "cli/steps.h"
#include "cli/suggest.h"
#include "hostapp/core/embedded_host.h"

namespace pigmora::cli {

namespace {

constexpr int32_t kPaintBrush = 1035414;

std::string quoted(const std::string& s) {
  return "\"" + s + "\"";
}

// Steps that have given way to others, with what to write instead.
const std::map<std::string, std::string>& retiredSteps() {
  static const std::map<std::string, std::string> retired = {
      {"scene",
       "the step \"scene\" is now part of \"print\": {\"step\": \"print\", \"show\": "
       "[\"objects\", \"materials\"]} lists the objects and materials, \"object\" one object "
       "and \"polygons\" the UVs of its polygons"}};
  return retired;
}

bool fail(JobProblem& problem, int step, std::string name, std::string message) {
  problem.step = step;
  problem.name = std::move(name);
  problem.message = std::move(message);
  return false;
}

// Objects and materials are found by name, so each name may be given once per kind.
bool checkNames(const Json& steps, JobProblem& problem) {
  std::map<std::string, int> objects, materials;
  for (size_t i = 0; i < steps.size(); ++i) {
    const Json& step = steps[i];
    const std::string kind = step["step"].get<std::string>();
    const bool isObject = kind == "object" || kind == "camera";
    if (!isObject && kind != "material") continue;
    if (!step.contains("name")) continue;
    const std::string name = step["name"].get<std::string>();
    auto& seen = isObject ? objects : materials;
    const int index = static_cast<int>(i) + 1;
    auto [it, added] = seen.emplace(name, index);
    if (!added)
      return fail(problem, index, kind,
                  std::string("\"name\": the ") + (isObject ? "object" : "material") + " name " +
                      quoted(name) + " is already taken by step " + std::to_string(it->second));
  }
  return true;
}

}  // namespace

bool checkJobForm(const Json& job, JobProblem& problem) {
  if (!job.is_object() || !job.contains("steps") || !job["steps"].is_array())
    return fail(problem, 0, "", "it must be an object with a list of \"steps\"");
  std::string error;
  if (!checkValue(jobKeys(), job, "", error)) return fail(problem, 0, "", error);
  const Json& steps = job["steps"];
  const StepTable& table = stepTable();
  for (size_t i = 0; i < steps.size(); ++i) {
    const Json& step = steps[i];
    const int index = static_cast<int>(i) + 1;
    if (!step.is_object() || !step.contains("step") || !step["step"].is_string())
      return fail(problem, index, "?",
                  "every step must be an object whose \"step\" names what it does");
    const std::string name = step["step"].get<std::string>();
    const StepRule* rule = table.find(name);
    if (const auto retired = retiredSteps().find(name); !rule && retired != retiredSteps().end())
      return fail(problem, index, name, retired->second);
    if (!rule)
      return fail(problem, index, name,
                  "there is no step named " + quoted(name) + didYouMean(name, table.names()));
    Json keys = step;
    keys.erase("step");
    if (!checkValue(rule->keys, keys, "", error)) return fail(problem, index, name, error);
  }
  return checkNames(steps, problem);
}

bool checkJobSettings(hostapp::EmbeddedHost& host, const Json& job, JobProblem& problem) {
  const Json& steps = job["steps"];
  const StepTable& table = stepTable();
  int32_t tool = 0;
  for (size_t i = 0; i < steps.size(); ++i) {
    const Json& step = steps[i];
    const int index = static_cast<int>(i) + 1;
    const std::string name = step["step"].get<std::string>();
    if (name == "tool") {
      tool = step.contains("id") ? wholeOf(step["id"], "\"id\"") : (tool ? tool : kPaintBrush);
      const hostapp::RegisteredPlugin* p = host.registration().find(tool);
      if (!p || p->kind != hostapp::PluginKind::kTool) {
        std::vector<std::string> tools;
        for (const auto& r : host.registration().plugins())
          if (r.kind == hostapp::PluginKind::kTool) tools.push_back(std::to_string(r.id));
        return fail(problem, index, name,
                    "\"id\": the plug-in registers no tool with the id " + std::to_string(tool) +
                        didYouMean(std::to_string(tool), tools));
      }
    }
    if (name == "button" && step.contains("id")) {
      const SettingsScope scope = toolScope(host, tool ? tool : kPaintBrush);
      const host::DescriptionParameter* p =
          scope.described ? scope.description.find(wholeOf(step["id"], "\"id\"")) : nullptr;
      if (scope.described && (!p || !p->isButton)) {
        std::vector<std::string> buttons;
        for (const auto& b : scope.description.parameters())
          if (b.isButton) buttons.push_back(std::to_string(b.id) + " " + b.name);
        std::string list;
        for (const std::string& b : buttons) list += (list.empty() ? "" : ", ") + b;
        return fail(problem, index, name,
                    "\"id\": " + scope.owner + " has no button " +
                        std::to_string(step["id"].get<int64_t>()) + " (its buttons: " + list + ")");
      }
    }
    const StepRule* rule = table.find(name);
    for (const Field& f : rule->keys.fields) {
      if (!f.rule.settings || !step.contains(f.name)) continue;
      try {
        checkSettings(scopeOf(host, *f.rule.settings, tool ? tool : kPaintBrush), step[f.name],
                      f.name);
      } catch (const StepError& e) {
        return fail(problem, index, name, e.what());
      }
    }
  }
  return true;
}

std::string problemSentence(const std::string& label, const JobProblem& problem) {
  std::string s = "pigmora: " + label;
  if (problem.step > 0) s += ", step " + std::to_string(problem.step) + " (" + problem.name + ")";
  std::string message = problem.message;
  while (!message.empty() && (message.back() == '.' || message.back() == '\n')) message.pop_back();
  return s + ": " + message + ".";
}

}  // namespace pigmora::cli
