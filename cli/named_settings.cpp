#include "cli/named_settings.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>

#include "cli/suggest.h"
#include "hostapp/core/embedded_host.h"
#include "hostapp/core/host_descriptions.h"
#include "hostapp/sculpt/sculpt_impl.h"
#include "hostapp/settings/angle_units.h"
#include "hostapp/settings/prefs_window.h"

namespace pigmora::cli {

namespace {

constexpr int32_t kPreferences = 1037934;
constexpr int32_t kPreferencesPage = 1037935;
// Keys of the preferences container that a job may set directly (1012 holds the UDIM loader's
// tokens and is on no page).
constexpr int32_t kFirstPreferenceKey = 1000, kLastPreferenceKey = 1012;

std::string quoted(const std::string& s) {
  return "\"" + s + "\"";
}

bool sameWord(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

bool parseId(const std::string& key, int32_t& id) {
  size_t used = 0;
  int64_t v = 0;
  try {
    v = std::stoll(key, &used);
  } catch (const std::exception&) {
    return false;
  }
  if (used != key.size() || v < INT32_MIN || v > INT32_MAX) return false;
  id = static_cast<int32_t>(v);
  return true;
}

std::string expectation(const host::DescriptionParameter& p) {
  std::string range = rangeOf(p);
  if (!p.isChoice && !range.empty()) {
    if (p.hasMinimum && p.hasMaximum)
      range = numberText(p.minimum) + " to " + numberText(p.maximum);
    else
      range =
          p.hasMinimum ? "at least " + numberText(p.minimum) : "at most " + numberText(p.maximum);
  }
  switch (p.type) {
    case host::ValueType::kBool:
      return "true or false";
    case host::ValueType::kInt32:
    case host::ValueType::kInt64:
      if (p.isChoice) return "one of " + range;
      return "a whole number" +
             (range.empty() ? "" : (p.hasMinimum && p.hasMaximum ? " from " : " of ") + range);
    case host::ValueType::kReal:
      return "a number" +
             (range.empty() ? "" : (p.hasMinimum && p.hasMaximum ? " from " : " of ") + range);
    case host::ValueType::kString:
      return "a string";
    case host::ValueType::kFilename:
      return "a file name";
    case host::ValueType::kVector:
      return "[x, y, z]";
    case host::ValueType::kSpline:
      return "a curve of two or more [x, y] knots from 0 to 1";
    case host::ValueType::kLink:
      return "a material name or null";
    default:
      return "a value";
  }
}

std::string label(const SettingRef& ref, const std::string& path) {
  std::string s = quoted(path);
  if (ref.param && !ref.param->name.empty() && path.find(ref.param->name) == std::string::npos)
    s += " (" + ref.param->name + ")";
  return s;
}

[[noreturn]] void wrongValue(const SettingRef& ref, const Json& value, const std::string& path) {
  throw StepError(label(ref, path) + " must be " + expectation(*ref.param) + ", not " +
                  shown(value));
}

host::Spline splineOf(const Json& knots, const std::string& path) {
  host::Spline spline;
  if (!knots.is_array() || knots.size() < 2)
    throw StepError(quoted(path) + " must be a curve of two or more [x, y] knots from 0 to 1");
  for (const Json& k : knots) {
    if (!k.is_array() || k.size() != 2 || !k[0].is_number() || !k[1].is_number())
      throw StepError(quoted(path) + " must be a curve of two or more [x, y] knots from 0 to 1");
    const double x = k[0].get<double>(), y = k[1].get<double>();
    if (!(x >= 0 && x <= 1 && y >= 0 && y <= 1))
      throw StepError(quoted(path) + " must be a curve of knots from 0 to 1, not " + shown(k));
    spline.knots.push_back({x, y});
  }
  return spline;
}

host::Vector vector3(const Json& v, const std::string& path) {
  if (!v.is_array() || v.size() != 3 || !v[0].is_number() || !v[1].is_number() || !v[2].is_number())
    throw StepError(quoted(path) + " must be [x, y, z], not " + shown(v));
  return {v[0].get<double>(), v[1].get<double>(), v[2].get<double>()};
}

std::string fileValue(const JobContext* ctx, const std::string& name, bool mustExist) {
  if (!ctx) return name;
  if (mustExist) return std::filesystem::absolute(ctx->inputFile(name)).string();
  std::filesystem::path p(name);
  if (p.is_relative() && !name.empty()) p = ctx->jobDir / p;
  return name.empty() ? name : std::filesystem::absolute(p).string();
}

// A value of a setting with no description: the form of the JSON decides its type.
host::Value plainValue(const JobContext* ctx, const Json& v, const std::string& path) {
  if (v.is_boolean()) return host::Value::ofBool(v.get<bool>());
  if (v.is_number_integer()) {
    const int64_t i = v.get<int64_t>();
    if (i < INT32_MIN || i > INT32_MAX) return host::Value::ofInt64(i);
    return host::Value::ofInt32(static_cast<int32_t>(i));
  }
  if (v.is_number()) return host::Value::ofReal(v.get<double>());
  if (v.is_string()) return host::Value::ofString(v.get<std::string>());
  if (v.is_array()) {
    if (v.size() == 3 && v[0].is_number()) return host::Value::ofVector(vector3(v, path));
    return host::Value::ofSpline(splineOf(v, path));
  }
  if (v.is_object() && v.size() == 1) {
    const std::string kind = v.begin().key();
    const Json& inner = v.begin().value();
    if (kind == "file" && inner.is_string())
      return host::Value::ofFilename(fileValue(ctx, inner.get<std::string>(), true));
    if (kind == "real" && inner.is_number()) return host::Value::ofReal(inner.get<double>());
    if (kind == "int" && inner.is_number_integer())
      return host::Value::ofInt32(wholeOf(inner, path));
    if (kind == "vector") return host::Value::ofVector(vector3(inner, path));
    if (kind == "spline") return host::Value::ofSpline(splineOf(inner, path));
  }
  throw StepError(quoted(path) + " has a form this program does not know: " + shown(v));
}

bool inRange(const host::DescriptionParameter& p, double v) {
  return (!p.hasMinimum || v >= p.minimum) && (!p.hasMaximum || v <= p.maximum);
}

}  // namespace

const char* typeName(const host::DescriptionParameter& p) {
  if (p.isButton) return "button";
  switch (p.type) {
    case host::ValueType::kBool:
      return "bool";
    case host::ValueType::kInt32:
    case host::ValueType::kInt64:
      return p.isChoice ? "choice" : "int";
    case host::ValueType::kReal:
      return "real";
    case host::ValueType::kString:
      return "string";
    case host::ValueType::kFilename:
      return "file";
    case host::ValueType::kVector:
      return "vector";
    case host::ValueType::kSpline:
      return "curve";
    case host::ValueType::kLink:
      return "link";
    case host::ValueType::kContainer:
      return "container";
    default:
      return "value";
  }
}

std::string rangeOf(const host::DescriptionParameter& p) {
  if (p.isChoice) {
    std::string out;
    for (size_t i = 0; i < p.choices.size(); ++i)
      out +=
          (i ? ", " : "") + std::to_string(p.choices[i].first) + " " + quoted(p.choices[i].second);
    return out;
  }
  if (!p.hasMinimum && !p.hasMaximum) return {};
  return (p.hasMinimum ? numberText(p.minimum) : "") + " .. " +
         (p.hasMaximum ? numberText(p.maximum) : "");
}

Json valueJson(const host::Value& v) {
  switch (v.type()) {
    case host::ValueType::kBool:
      return v.toBool();
    case host::ValueType::kInt32:
    case host::ValueType::kInt64:
      return v.toInt64();
    case host::ValueType::kReal:
      return v.toReal();
    case host::ValueType::kString:
    case host::ValueType::kFilename:
      return v.toString();
    case host::ValueType::kVector:
      return {v.toVector().x, v.toVector().y, v.toVector().z};
    case host::ValueType::kMatrix: {
      const host::Matrix& m = v.toMatrix();
      return {{m.off.x, m.off.y, m.off.z},
              {m.v1.x, m.v1.y, m.v1.z},
              {m.v2.x, m.v2.y, m.v2.z},
              {m.v3.x, m.v3.y, m.v3.z}};
    }
    case host::ValueType::kSpline: {
      Json knots = Json::array();
      for (const auto& k : v.toSpline().knots) knots.push_back({k.x, k.y});
      return knots;
    }
    case host::ValueType::kLink:
      return v.toLink() ? Json(v.toLink()->name()) : Json();
    case host::ValueType::kContainer:
      return Json::object();
    default:
      return Json();
  }
}

Json settingJson(const host::DescriptionParameter* p, const host::Value& v) {
  return valueJson(hostapp::typedFromStored(p, v));
}

SettingsScope toolScope(hostapp::EmbeddedHost& host, int32_t toolId) {
  SettingsScope scope;
  const hostapp::RegisteredPlugin* p = host.registration().find(toolId);
  scope.owner = "the tool " + std::to_string(toolId) + (p ? " " + quoted(p->name) : "");
  scope.topic = std::to_string(toolId);
  if (const host::Description* d = host.sculptImpl().toolDescription(toolId)) {
    scope.description = *d;
    scope.described = true;
  }
  return scope;
}

SettingsScope preferencesScope(hostapp::EmbeddedHost& host) {
  SettingsScope scope;
  scope.owner = "the preferences";
  scope.topic = "prefs";
  host::Description desc;
  const hostapp::RegisteredPlugin* page = host.registration().find(kPreferencesPage);
  if (page && host.resources().loadDescription(page->description, desc)) {
    scope.description = desc;
    scope.described = true;
  }
  for (int32_t k = kFirstPreferenceKey; k <= kLastPreferenceKey; ++k) scope.plainIds.push_back(k);
  return scope;
}

SettingsScope documentScope() {
  return {"the document", "document", hostapp::documentDescription(), true, {}};
}

SettingsScope worldScope() {
  return {"the world settings", "world", hostapp::worldDescription(), true, {}};
}

SettingsScope scopeOf(hostapp::EmbeddedHost& host, SettingsOwner owner, int32_t toolId) {
  switch (owner) {
    case SettingsOwner::kTool:
      return toolScope(host, toolId);
    case SettingsOwner::kPreferences:
      return preferencesScope(host);
    case SettingsOwner::kDocument:
      return documentScope();
    case SettingsOwner::kWorld:
      break;
  }
  return worldScope();
}

SettingRef findSetting(const SettingsScope& scope, const std::string& key,
                       const std::string& path) {
  SettingRef ref;
  int32_t id = 0;
  const bool numeric = parseId(key, id);
  if (!scope.described) {
    if (!numeric)
      throw StepError(quoted(path) + " must be a setting id: " + scope.owner +
                      " describes no settings by name");
    ref.id = id;
    return ref;
  }
  ref.param = numeric ? scope.description.find(id) : scope.description.findByName(key);
  if (ref.param) {
    ref.id = ref.param->id;
    return ref;
  }
  if (numeric &&
      std::find(scope.plainIds.begin(), scope.plainIds.end(), id) != scope.plainIds.end()) {
    ref.id = id;
    return ref;
  }
  std::vector<std::string> names;
  for (const auto& p : scope.description.parameters())
    names.push_back(numeric ? std::to_string(p.id) : p.name);
  throw StepError(quoted(path) + " names no setting of " + scope.owner + didYouMean(key, names) +
                  "; pigmora describe " + scope.topic + " lists them");
}

host::Value settingValue(const JobContext* ctx, const SettingRef& ref, const Json& value,
                         const std::string& path) {
  if (!ref.param) return plainValue(ctx, value, path);
  const host::DescriptionParameter& p = *ref.param;
  if (p.isButton)
    throw StepError(label(ref, path) + " is a button: press it with a \"button\" step and the id " +
                    std::to_string(p.id));
  // Typed objects say what they hold; they must agree with the parameter.
  const Json* v = &value;
  if (value.is_object() && value.size() == 1) {
    const std::string kind = value.begin().key();
    const Json& inner = value.begin().value();
    if (kind == "file" && p.type == host::ValueType::kFilename && inner.is_string())
      return host::Value::ofFilename(fileValue(ctx, inner.get<std::string>(), true));
    const bool fits = (kind == "real" && p.type == host::ValueType::kReal) ||
                      (kind == "int" && p.type == host::ValueType::kInt32) ||
                      (kind == "vector" && p.type == host::ValueType::kVector) ||
                      (kind == "spline" && p.type == host::ValueType::kSpline);
    if (!fits) wrongValue(ref, value, path);
    v = &inner;
  }
  switch (p.type) {
    case host::ValueType::kBool:
      if (!v->is_boolean()) wrongValue(ref, *v, path);
      return host::Value::ofBool(v->get<bool>());
    case host::ValueType::kInt32:
    case host::ValueType::kInt64: {
      if (p.isChoice) {
        for (const auto& [choice, text] : p.choices) {
          if ((v->is_number_integer() && v->get<int64_t>() == choice) ||
              (v->is_string() && sameWord(v->get<std::string>(), text)))
            return host::Value::ofInt32(choice);
        }
        wrongValue(ref, *v, path);
      }
      if (!v->is_number_integer() || (v->is_number_unsigned() && v->get<uint64_t>() > INT32_MAX) ||
          v->get<int64_t>() < INT32_MIN || v->get<int64_t>() > INT32_MAX ||
          !inRange(p, static_cast<double>(v->get<int64_t>())))
        wrongValue(ref, *v, path);
      return host::Value::ofInt32(v->get<int32_t>());
    }
    case host::ValueType::kReal:
      if (!v->is_number() || !std::isfinite(v->get<double>()) || !inRange(p, v->get<double>()))
        wrongValue(ref, *v, path);
      return hostapp::storedFromTyped(&p, host::Value::ofReal(v->get<double>()));
    case host::ValueType::kString:
      if (!v->is_string()) wrongValue(ref, *v, path);
      return host::Value::ofString(v->get<std::string>());
    case host::ValueType::kFilename:
      if (!v->is_string()) wrongValue(ref, *v, path);
      return host::Value::ofFilename(fileValue(ctx, v->get<std::string>(), false));
    case host::ValueType::kVector:
      return host::Value::ofVector(vector3(*v, path));
    case host::ValueType::kSpline:
      return host::Value::ofSpline(splineOf(*v, path));
    case host::ValueType::kLink:
      if (v->is_null()) return host::Value::ofLink(nullptr);
      if (!v->is_string()) wrongValue(ref, *v, path);
      return host::Value::ofLink(ctx ? ctx->material(v->get<std::string>()) : nullptr);
    default:
      throw StepError(label(ref, path) + " cannot be set from a job");
  }
}

std::map<int32_t, int32_t> preferenceKeys(hostapp::EmbeddedHost& host) {
  std::map<int32_t, int32_t> keys;
  host::Settings* world = host.settings().world();
  if (!world) return keys;
  const host::Settings* original = world->getContainer(kPreferences);
  const bool had = original != nullptr;
  const host::Settings saved = had ? *original : host::Settings(kPreferences);
  {
    hostapp::PrefsWindow page(host, kPreferencesPage);
    host::Settings* prefs = world->getContainer(kPreferences);
    for (const auto& p : page.parameters()) {
      if (p.isButton || !prefs) continue;
      const host::Settings before = *prefs;
      const host::Value probe = p.type == host::ValueType::kFilename
                                    ? host::Value::ofFilename("pigmora-probe")
                                    : host::Value::ofInt32(page.get(p.id).toInt32() + 7919);
      page.set(p.id, probe);
      for (const auto& [key, value] : prefs->entries()) {
        const host::Value* old = before.find(key);
        if (!old || !(*old == value)) keys[p.id] = key;
      }
      *prefs = before;
    }
  }
  if (had)
    world->setContainer(kPreferences, saved);
  else
    world->remove(kPreferences);
  return keys;
}

void checkSettings(const SettingsScope& scope, const Json& map, const std::string& path) {
  for (auto it = map.begin(); it != map.end(); ++it) {
    const std::string at = keyPath(path, it.key());
    settingValue(nullptr, findSetting(scope, it.key(), at), it.value(), at);
  }
}

}  // namespace pigmora::cli
