#include "hostapp/core/resources.h"

#include <fstream>
#include <nlohmann/json.hpp>

#include "hostapp/settings/angle_units.h"

namespace hostapp {

namespace {
host::ValueType typeFromName(const std::string& t) {
  if (t == "bool") return host::ValueType::kBool;
  if (t == "int") return host::ValueType::kInt32;
  if (t == "real") return host::ValueType::kReal;
  if (t == "string") return host::ValueType::kString;
  if (t == "filename") return host::ValueType::kFilename;
  if (t == "vector") return host::ValueType::kVector;
  if (t == "link") return host::ValueType::kLink;
  if (t == "spline") return host::ValueType::kSpline;
  return host::ValueType::kNone;
}

host::Value defaultFrom(host::ValueType type, const nlohmann::json& j) {
  switch (type) {
    case host::ValueType::kBool:
      return host::Value::ofBool(j.is_boolean() ? j.get<bool>()
                                                : j.is_number() && j.get<double>() != 0);
    case host::ValueType::kInt32:
      return host::Value::ofInt32(j.is_number() ? j.get<int32_t>() : 0);
    case host::ValueType::kReal:
      return host::Value::ofReal(j.is_number() ? j.get<double>() : 0.0);
    case host::ValueType::kString:
      return host::Value::ofString(j.is_string() ? j.get<std::string>() : "");
    case host::ValueType::kFilename:
      return host::Value::ofFilename(j.is_string() ? j.get<std::string>() : "");
    case host::ValueType::kVector:
      if (j.is_array() && j.size() == 3 && j[0].is_number() && j[1].is_number() && j[2].is_number())
        return host::Value::ofVector({j[0].get<double>(), j[1].get<double>(), j[2].get<double>()});
      return host::Value::ofVector({});
    case host::ValueType::kSpline: {
      host::Spline s;
      if (j.is_array())
        for (const auto& k : j)
          if (k.is_array() && k.size() == 2 && k[0].is_number() && k[1].is_number())
            s.knots.push_back({k[0].get<double>(), k[1].get<double>()});
      return host::Value::ofSpline(s);
    }
    default:
      return host::Value();
  }
}
}  // namespace

bool ResourcesImpl::loadDescription(const std::string& name, host::Description& desc) {
  if (folder_.empty() || name.empty() || name.find('/') != std::string::npos) return false;
  std::ifstream in(folder_ + "/description/" + name + ".json");
  if (!in) return false;
  const nlohmann::json j = nlohmann::json::parse(in, nullptr, false);
  if (j.is_discarded() || !j.is_object() || !j.contains("parameters") ||
      !j["parameters"].is_array())
    return false;
  desc.clear();
  desc.setName(name);
  for (const auto& pj : j["parameters"]) {
    if (!pj.is_object() || !pj.contains("id") || !pj["id"].is_number_integer()) return false;
    host::DescriptionParameter p;
    p.id = pj["id"].get<int32_t>();
    const std::string type = pj.value("type", "");
    p.isButton = type == "button";
    p.type = typeFromName(type);
    if (p.type == host::ValueType::kNone && !p.isButton) return false;
    p.name = pj.value("name", "");
    p.label = pj.value("label", "");
    p.help = pj.value("help", "");
    if (pj.contains("min") && pj["min"].is_number()) {
      p.hasMinimum = true;
      p.minimum = pj["min"].get<double>();
    }
    if (pj.contains("max") && pj["max"].is_number()) {
      p.hasMaximum = true;
      p.maximum = pj["max"].get<double>();
    }
    p.angle = p.type == host::ValueType::kReal && pj.value("unit", "") == "degrees";
    // Defaults are written as people read them: angles in degrees.
    p.defaultValue = storedFromTyped(
        &p, defaultFrom(p.type, pj.contains("default") ? pj["default"] : nlohmann::json()));
    if (pj.contains("choices") && pj["choices"].is_array()) {
      p.isChoice = true;
      for (const auto& c : pj["choices"])
        if (c.is_array() && c.size() == 2 && c[0].is_number_integer() && c[1].is_string())
          p.choices.emplace_back(c[0].get<int32_t>(), c[1].get<std::string>());
    }
    desc.parameters().push_back(std::move(p));
  }
  return true;
}

}  // namespace hostapp
