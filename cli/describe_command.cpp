#include "cli/describe_command.h"

#include <cctype>
#include <cstdio>

#include "cli/job_runner.h"
#include "cli/named_settings.h"
#include "cli/steps.h"
#include "cli/suggest.h"
#include "hostapp/core/embedded_host.h"
#include "hostapp/sculpt/sculpt_impl.h"

namespace pigmora::cli {

namespace {

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string cell(const std::string& s, size_t width) {
  return s.size() >= width ? s + " " : s + std::string(width - s.size(), ' ');
}

std::string defaultText(const host::DescriptionParameter& p) {
  if (p.isButton) return "";
  const Json v = settingJson(&p, p.defaultValue);
  if (v.is_null()) return "none";
  if (v.is_string()) return v.get<std::string>().empty() ? "\"\"" : v.get<std::string>();
  if (v.is_number_float()) return numberText(v.get<double>());
  return v.dump();
}

void printSettings(const SettingsScope& scope, const std::map<int32_t, int32_t>& keys, bool json,
                   std::ostream& out) {
  const auto& params = scope.description.parameters();
  if (json) {
    Json list = Json::array();
    for (const auto& p : params) {
      Json j = {{"id", p.id},
                {"name", p.name},
                {"label", p.label},
                {"type", typeName(p)},
                {"default", p.isButton ? Json() : settingJson(&p, p.defaultValue)},
                {"help", p.help}};
      if (p.hasMinimum) j["min"] = p.minimum;
      if (p.hasMaximum) j["max"] = p.maximum;
      if (p.isChoice) {
        Json choices = Json::array();
        for (const auto& [id, text] : p.choices) choices.push_back({id, text});
        j["choices"] = choices;
      }
      const auto key = keys.find(p.id);
      if (key != keys.end()) j["key"] = key->second;
      list.push_back(j);
    }
    out << Json{{"owner", scope.owner}, {"settings", list}}.dump(2) << "\n";
    return;
  }
  out << scope.owner << ": " << params.size() << " settings, by id or name\n";
  out << "  " << cell("id", 8) << (keys.empty() ? "" : cell("key", 6)) << cell("name", 24)
      << cell("type", 8) << cell("default", 10) << "range / what it does\n";
  for (const auto& p : params) {
    const auto key = keys.find(p.id);
    out << "  " << cell(std::to_string(p.id), 8)
        << (keys.empty() ? "" : cell(key == keys.end() ? "" : std::to_string(key->second), 6))
        << cell(p.name, 24) << cell(typeName(p), 8) << cell(defaultText(p), 10);
    const std::string range = rangeOf(p);
    if (!range.empty()) out << (p.isChoice ? "one of " : "") << range << ". ";
    out << p.help << "\n";
  }
}

void printStep(const StepRule& step, bool json, std::ostream& out) {
  if (json) {
    out << schemaOf(step.keys, step.help).dump(2) << "\n";
    return;
  }
  out << "step \"" << step.name << "\": " << step.help << "\n";
  for (const Field& f : step.keys.fields) {
    out << "  " << cell(f.name, 16) << (f.required ? "required. " : "") << f.help << "\n";
  }
  for (const auto& group : step.keys.exactlyOne) {
    out << "  Exactly one of";
    for (const std::string& k : group) out << " " << k;
    out << ".\n";
  }
  for (const auto& [key, other] : step.keys.needs)
    out << "  " << key << " needs " << other << ".\n";
  for (const auto& [key, other] : step.keys.conflicts)
    out << "  " << key << " and " << other << " cannot be given together.\n";
}

}  // namespace

int runDescribe(const std::string& pluginPath, const std::string& what, bool json,
                std::ostream& out, std::ostream& err) {
  // "document" and "world" name both settings and steps; the settings are what is asked for.
  const bool owner =
      what == "prefs" || what == "preferences" || what == "document" || what == "world";
  if (const StepRule* step = owner ? nullptr : stepTable().find(what)) {
    printStep(*step, json, out);
    return kExitDone;
  }
  hostapp::EmbeddedHost host;
  std::string error;
  if (!host.loadLibrary(pluginPath, error)) {
    err << "pigmora: " << error << "\n";
    return kExitSetup;
  }
  std::vector<std::string> known = {"prefs", "document", "world"};
  int32_t tool = 0;
  for (const auto& p : host.registration().plugins()) {
    if (p.kind != hostapp::PluginKind::kTool) continue;
    const std::string symbol = p.tool ? p.tool->getResourceSymbol() : "";
    known.push_back(std::to_string(p.id));
    if (what == std::to_string(p.id) || lower(what) == lower(p.name) || what == symbol) tool = p.id;
  }
  int status = kExitDone;
  if (what.empty()) {
    out << "pigmora describe WHAT, where WHAT is one of:\n";
    for (const auto& p : host.registration().plugins())
      if (p.kind == hostapp::PluginKind::kTool)
        out << "  " << cell(std::to_string(p.id), 10) << "the tool \"" << p.name << "\" ("
            << (p.tool ? p.tool->getResourceSymbol() : "") << ")\n";
    out << "  " << cell("prefs", 10) << "the painting preferences (sub-container 1037934)\n"
        << "  " << cell("document", 10) << "the document's parameters\n"
        << "  " << cell("world", 10) << "the world settings\n"
        << "  " << cell("STEP", 10) << "the keys of a step (document and world name settings):";
    for (const std::string& s : stepTable().names()) out << " " << s;
    out << "\n";
  } else if (tool) {
    printSettings(toolScope(host, tool), {}, json, out);
  } else if (what == "prefs" || what == "preferences") {
    printSettings(preferencesScope(host), preferenceKeys(host), json, out);
  } else if (what == "document") {
    printSettings(documentScope(), {}, json, out);
  } else if (what == "world") {
    printSettings(worldScope(), {}, json, out);
  } else {
    for (const std::string& s : stepTable().names()) known.push_back(s);
    err << "pigmora: describe: there is no tool, settings or step named \"" << what << "\""
        << didYouMean(what, known) << "; pigmora describe lists them.\n";
    status = kExitUsage;
  }
  host.unload();
  return status;
}

}  // namespace pigmora::cli
