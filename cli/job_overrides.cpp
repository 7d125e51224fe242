#include "cli/job_overrides.h"

#include <cctype>

namespace pigmora::cli {

namespace {

std::vector<std::string> splitDots(const std::string& s) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t dot; (dot = s.find('.', start)) != std::string::npos; start = dot + 1)
    parts.push_back(s.substr(start, dot - start));
  parts.push_back(s.substr(start));
  return parts;
}

bool allDigits(const std::string& s) {
  if (s.empty()) return false;
  for (char c : s)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

void setPath(Json& step, const std::vector<std::string>& keys, const Json& value) {
  Json* at = &step;
  for (size_t i = 1; i + 1 < keys.size(); ++i) {
    if (!at->contains(keys[i]) || !(*at)[keys[i]].is_object()) (*at)[keys[i]] = Json::object();
    at = &(*at)[keys[i]];
  }
  (*at)[keys.back()] = value;
}

}  // namespace

bool applyOverride(Json& job, const std::string& text, std::string& error) {
  const size_t eq = text.find('=');
  const std::vector<std::string> keys =
      splitDots(eq == std::string::npos ? "" : text.substr(0, eq));
  bool emptyKey = false;
  for (const std::string& k : keys) emptyKey = emptyKey || k.empty();
  if (eq == std::string::npos || keys.size() < 2 || emptyKey) {
    error = "--set " + text + " must have the form STEP.KEY=VALUE (for example 3.radius=12)";
    return false;
  }
  const std::string raw = text.substr(eq + 1);
  Json value = Json::parse(raw, nullptr, false);
  if (value.is_discarded()) value = raw;
  if (!job.is_object() || !job.contains("steps") || !job["steps"].is_array()) {
    error = "--set " + text + ": the job has no list of steps";
    return false;
  }
  Json& steps = job["steps"];
  if (allDigits(keys[0])) {
    const size_t n = std::stoul(keys[0]);
    if (n < 1 || n > steps.size() || !steps[n - 1].is_object()) {
      error = "--set " + text + ": the job has no step " + keys[0] + " (it has " +
              std::to_string(steps.size()) + ")";
      return false;
    }
    setPath(steps[n - 1], keys, value);
    return true;
  }
  bool found = false;
  for (Json& step : steps) {
    if (step.is_object() && step.contains("step") && step["step"] == keys[0]) {
      setPath(step, keys, value);
      found = true;
    }
  }
  if (!found) error = "--set " + text + ": the job has no step named \"" + keys[0] + "\"";
  return found;
}

}  // namespace pigmora::cli
