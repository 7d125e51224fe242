#include "cli/job_schema.h"

#include "cli/steps.h"

namespace pigmora::cli {

Json jobSchema() {
  const StepTable& table = stepTable();
  Json defs = Json::object();
  Json dispatch = Json::array();
  for (const auto& [name, rule] : table.steps()) {
    Json s = schemaOf(rule.keys, rule.help);
    s["properties"]["step"] = {{"const", name}};
    Json required = s.contains("required") ? s["required"] : Json::array();
    required.insert(required.begin(), "step");
    s["required"] = required;
    defs[name] = s;
    dispatch.push_back({{"if", {{"properties", {{"step", {{"const", name}}}}}}},
                        {"then", {{"$ref", "#/$defs/" + name}}}});
  }
  Json schema = schemaOf(jobKeys(), "A pigmora job: steps carried out in order.");
  schema["properties"]["steps"]["items"] = {
      {"type", "object"},
      {"required", {"step"}},
      {"properties", {{"step", {{"enum", table.names()}, {"description", "What the step does."}}}}},
      {"allOf", dispatch}};
  Json out = {{"$schema", "https://json-schema.org/draft/2020-12/schema"},
              {"title", "pigmora job"}};
  for (auto it = schema.begin(); it != schema.end(); ++it) out[it.key()] = it.value();
  out["$defs"] = defs;
  return out;
}

}  // namespace pigmora::cli
