#include "cli/setting_value.h"

#include <filesystem>

#include "hostapp/core/embedded_host.h"
#include "hostapp/sculpt/sculpt_impl.h"
#include "hostapp/settings/angle_units.h"

namespace pigmora::cli {

namespace {
host::Spline splineOf(const Json& knots, const std::string& id) {
  host::Spline spline;
  for (const Json& k : knots) {
    if (!k.is_array() || k.size() != 2 || !k[0].is_number() || !k[1].is_number())
      throw StepError("the curve of setting " + id + " must be a list of [x, y] knots");
    spline.knots.push_back({k[0].get<double>(), k[1].get<double>()});
  }
  if (spline.knots.size() < 2)
    throw StepError("the curve of setting " + id + " needs two knots or more");
  return spline;
}
}  // namespace

int32_t settingId(const std::string& key) {
  size_t used = 0;
  int64_t id = 0;
  try {
    id = std::stoll(key, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used != key.size() || key.empty() || id < INT32_MIN || id > INT32_MAX)
    throw StepError("the setting id \"" + key + "\" is not a whole number");
  return static_cast<int32_t>(id);
}

host::Value settingValue(const JobContext& ctx, const Json& v, const std::string& id) {
  if (v.is_boolean()) return host::Value::ofBool(v.get<bool>());
  if (v.is_number_integer()) {
    const int64_t i = v.get<int64_t>();
    if (i < INT32_MIN || i > INT32_MAX) return host::Value::ofInt64(i);
    return host::Value::ofInt32(static_cast<int32_t>(i));
  }
  if (v.is_number()) return host::Value::ofReal(v.get<double>());
  if (v.is_string()) return host::Value::ofString(v.get<std::string>());
  if (v.is_array()) {
    if (v.size() == 3 && v[0].is_number()) return host::Value::ofVector(vectorOf(v, "a vector"));
    return host::Value::ofSpline(splineOf(v, id));
  }
  if (v.is_object() && v.size() == 1) {
    const std::string kind = v.begin().key();
    const Json& inner = v.begin().value();
    if (kind == "file" && inner.is_string())
      return host::Value::ofFilename(
          std::filesystem::absolute(ctx.inputFile(inner.get<std::string>())).string());
    if (kind == "real" && inner.is_number()) return host::Value::ofReal(inner.get<double>());
    if (kind == "int" && inner.is_number_integer())
      return host::Value::ofInt32(inner.get<int32_t>());
    if (kind == "vector") return host::Value::ofVector(vectorOf(inner, "a vector"));
    if (kind == "spline" && inner.is_array()) return host::Value::ofSpline(splineOf(inner, id));
  }
  throw StepError("the value of setting " + id + " has a form this program does not know");
}

host::Value toolSettingValue(const JobContext& ctx, int32_t toolId, const Json& value,
                             const std::string& id) {
  const host::Description* description = ctx.host.sculptImpl().toolDescription(toolId);
  const host::DescriptionParameter* param =
      description ? description->find(settingId(id)) : nullptr;
  return hostapp::storedFromTyped(param, settingValue(ctx, value, id));
}

}  // namespace pigmora::cli
