#include "cli/job_table.h"

#include <cmath>
#include <cstdio>

#include "cli/suggest.h"

namespace pigmora::cli {

namespace {

std::string quoted(const std::string& s) {
  return "\"" + s + "\"";
}

// "a", "a or b", "a, b or c".
std::string orList(const std::vector<std::string>& items) {
  std::string out;
  for (size_t i = 0; i < items.size(); ++i) {
    if (i > 0) out += i + 1 == items.size() ? " or " : ", ";
    out += items[i];
  }
  return out;
}

std::vector<std::string> quotedAll(const std::vector<std::string>& words) {
  std::vector<std::string> out;
  for (const std::string& w : words) out.push_back(quoted(w));
  return out;
}

std::string rangeText(const Spec& s) {
  if (s.minimum && s.maximum) {
    return " from " + numberText(*s.minimum) + (s.exclusiveMinimum ? " (not included)" : "") +
           " to " + numberText(*s.maximum);
  }
  if (s.minimum) return (s.exclusiveMinimum ? " above " : " of at least ") + numberText(*s.minimum);
  if (s.maximum) return " of at most " + numberText(*s.maximum);
  return {};
}

std::string expectation(const Spec& s) {
  if (!s.expect.empty()) return s.expect;
  switch (s.kind) {
    case Spec::Kind::kAny:
      return "a value";
    case Spec::Kind::kString:
      return s.words.empty() ? "a string" : "one of " + orList(quotedAll(s.words));
    case Spec::Kind::kNumber:
      return "a number" + rangeText(s);
    case Spec::Kind::kInteger: {
      if (!s.wholes.empty()) {
        std::vector<std::string> v;
        for (int64_t w : s.wholes) v.push_back(std::to_string(w));
        return "one of " + orList(v);
      }
      return "a whole number" + rangeText(s);
    }
    case Spec::Kind::kBool:
      return "true or false";
    case Spec::Kind::kNull:
      return "null";
    case Spec::Kind::kList:
      return "a list of " + expectation(s.items[0]);
    case Spec::Kind::kObject:
      return "an object";
    case Spec::Kind::kMap:
      return s.channelKeys ? "an object keyed by channel"
             : s.settings  ? "an object of settings by id or name"
                           : "an object";
    case Spec::Kind::kAnyOf: {
      std::vector<std::string> parts;
      for (const Spec& c : s.items) parts.push_back(expectation(c));
      return orList(parts);
    }
  }
  return "a value";
}

bool inRange(const Spec& s, double v) {
  if (s.minimum && (s.exclusiveMinimum ? !(v > *s.minimum) : !(v >= *s.minimum))) return false;
  if (s.maximum && !(v <= *s.maximum)) return false;
  return true;
}

std::string wrong(const Spec& s, const Json& value, const std::string& path) {
  return quoted(path) + " must be " + expectation(s) + ", not " + shown(value);
}

bool channelKeyValid(const std::string& key) {
  for (int32_t c = 0; c < 14; ++c)
    if (key == channelKey(c) || key == std::to_string(c)) return true;
  return false;
}

std::vector<std::string> channelKeys() {
  std::vector<std::string> out;
  for (int32_t c = 0; c < 14; ++c) out.push_back(channelKey(c));
  return out;
}

bool settingKeyForm(const std::string& key) {
  if (key.empty()) return false;
  size_t i = key[0] == '-' ? 1 : 0;
  bool digits = i < key.size();
  for (size_t k = i; k < key.size(); ++k) digits = digits && std::isdigit(key[k]);
  if (digits) return true;
  if (!std::islower(static_cast<unsigned char>(key[0]))) return false;
  for (char c : key)
    if (!(std::islower(static_cast<unsigned char>(c)) || std::isdigit(c) || c == '_')) return false;
  return true;
}

bool checkObject(const Spec& s, const Json& value, const std::string& path, std::string& error) {
  std::vector<std::string> known;
  for (const Field& f : s.fields) known.push_back(f.name);
  for (auto it = value.begin(); it != value.end(); ++it) {
    const Field* field = nullptr;
    for (const Field& f : s.fields)
      if (f.name == it.key()) field = &f;
    if (!field) {
      error = "the key " + quoted(keyPath(path, it.key())) + " is unknown" +
              didYouMean(it.key(), known);
      return false;
    }
  }
  for (const Field& f : s.fields) {
    if (f.required && !value.contains(f.name)) {
      error = "the key " + quoted(keyPath(path, f.name)) + " is missing";
      return false;
    }
  }
  for (const auto& group : s.exactlyOne) {
    std::vector<std::string> given;
    for (const std::string& k : group)
      if (value.contains(k)) given.push_back(quoted(keyPath(path, k)));
    if (given.size() == 1) continue;
    std::vector<std::string> all;
    for (const std::string& k : group) all.push_back(quoted(keyPath(path, k)));
    if (given.empty()) {
      error = "give one of " + orList(all);
    } else {
      std::string together;
      for (size_t i = 0; i < given.size(); ++i)
        together += (i == 0 ? "" : i + 1 == given.size() ? " and " : ", ") + given[i];
      error = together + " cannot be given together: give one of " + orList(all);
    }
    return false;
  }
  for (const auto& [key, other] : s.needs) {
    if (value.contains(key) && !value.contains(other)) {
      error = quoted(keyPath(path, key)) + " needs " + quoted(keyPath(path, other));
      return false;
    }
  }
  for (const auto& [key, other] : s.conflicts) {
    if (value.contains(key) && value.contains(other)) {
      error = quoted(keyPath(path, key)) + " and " + quoted(keyPath(path, other)) +
              " cannot be given together";
      return false;
    }
  }
  for (const Field& f : s.fields) {
    auto it = value.find(f.name);
    if (it != value.end() && !checkValue(f.spec, *it, keyPath(path, f.name), error)) return false;
  }
  return true;
}

Spec ofKind(Spec::Kind kind) {
  Spec s;
  s.kind = kind;
  return s;
}

}  // namespace

std::string keyPath(const std::string& path, const std::string& key) {
  return path.empty() ? key : path + "." + key;
}

std::string shown(const Json& value) {
  std::string s = value.dump();
  if (s.size() > 40) s = s.substr(0, 37) + "...";
  return s;
}

std::string numberText(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.10g", v);
  return buf;
}

Spec text() {
  return ofKind(Spec::Kind::kString);
}

Spec word(std::vector<std::string> allowed) {
  Spec s = text();
  s.words = std::move(allowed);
  return s;
}

Spec number() {
  return ofKind(Spec::Kind::kNumber);
}

Spec whole() {
  return ofKind(Spec::Kind::kInteger);
}

Spec wholeOf(std::vector<int64_t> allowed) {
  Spec s = whole();
  s.wholes = std::move(allowed);
  return s;
}

Spec flag() {
  return ofKind(Spec::Kind::kBool);
}

Spec nothing() {
  return ofKind(Spec::Kind::kNull);
}

Spec anything() {
  return Spec();
}

Spec listOf(Spec item, size_t minItems, size_t maxItems) {
  Spec s = ofKind(Spec::Kind::kList);
  s.items.push_back(std::move(item));
  s.minItems = minItems;
  s.maxItems = maxItems;
  return s;
}

Spec anyOf(std::vector<Spec> choices) {
  Spec s = ofKind(Spec::Kind::kAnyOf);
  s.items = std::move(choices);
  return s;
}

Spec object(std::vector<Field> fields) {
  Spec s = ofKind(Spec::Kind::kObject);
  s.fields = std::move(fields);
  return s;
}

Spec channelMap(Spec value) {
  Spec s = ofKind(Spec::Kind::kMap);
  s.channelKeys = true;
  s.items.push_back(std::move(value));
  return s;
}

Spec mapOf(Spec value) {
  Spec s = ofKind(Spec::Kind::kMap);
  s.items.push_back(std::move(value));
  return s;
}

Spec settingsOf(SettingsOwner owner) {
  Spec s = ofKind(Spec::Kind::kMap);
  s.settings = owner;
  s.items.push_back(anything());
  return s;
}

Field opt(std::string name, Spec spec, std::string help) {
  return Field{std::move(name), std::move(spec), std::move(help), false};
}

Field req(std::string name, Spec spec, std::string help) {
  return Field{std::move(name), std::move(spec), std::move(help), true};
}

Spec vec3() {
  return listOf(number(), 3, 3).described("[x, y, z]");
}

Spec vec23() {
  return listOf(number(), 2, 3).described("[x, y] or [x, y, z]");
}

Spec colour01() {
  return listOf(number().between(0, 1), 3, 3)
      .described("a colour [r, g, b] with components from 0 to 1");
}

Spec colour255() {
  return listOf(number().between(0, 255), 3, 3)
      .described("a colour [r, g, b] with components from 0 to 255");
}

Spec pathOf(size_t dims) {
  return listOf(dims == 2 ? listOf(number(), 2, 2) : listOf(number(), 2, 3), 1)
      .described(dims == 2 ? "a list of [x, y] points" : "a list of [x, y, z] points");
}

Spec channelName() {
  return anyOf({word(channelKeys()), whole().between(0, 13)})
      .described("a channel name (\"color\", \"bump\" ...) or a number from 0 to 13");
}

Spec colorModeName() {
  std::vector<std::string> names;
  std::vector<int64_t> numbers;
  for (const auto& [mode, name] : paintableModes()) {
    names.push_back(name);
    numbers.push_back(mode);
  }
  return anyOf({word(names), wholeOf(numbers)})
      .described(
          "a paintable colour mode (argb8, rgb8, agrey8, grey8, alpha, argb16, rgb16, "
          "agrey16, grey16, argbf, rgbf, agreyf or greyf, or its number)");
}

Spec layerName() {
  return anyOf({whole().from(0), text()}).described("a layer index from 0 or a layer name");
}

Spec indexList() {
  return listOf(whole().from(0)).described("a list of whole numbers from 0");
}

Spec nameList() {
  return listOf(text()).described("a list of names");
}

Spec pixelSize() {
  return listOf(whole().between(1, 16384), 2, 2)
      .described("[width, height] with whole numbers from 1 to 16384");
}

bool checkValue(const Spec& s, const Json& value, const std::string& path, std::string& error) {
  switch (s.kind) {
    case Spec::Kind::kAny:
      return true;
    case Spec::Kind::kString: {
      if (!value.is_string()) break;
      if (s.words.empty()) return true;
      const std::string v = value.get<std::string>();
      for (const std::string& w : s.words)
        if (w == v) return true;
      error = wrong(s, value, path) + didYouMean(v, s.words);
      return false;
    }
    case Spec::Kind::kNumber:
      if (!value.is_number() || !std::isfinite(value.get<double>()) ||
          !inRange(s, value.get<double>()))
        break;
      return true;
    case Spec::Kind::kInteger: {
      if (!value.is_number_integer()) break;
      if (!s.wholes.empty()) {
        for (int64_t w : s.wholes)
          if (value.get<int64_t>() == w) return true;
        break;
      }
      if (!inRange(s, static_cast<double>(value.get<int64_t>()))) break;
      return true;
    }
    case Spec::Kind::kBool:
      if (!value.is_boolean()) break;
      return true;
    case Spec::Kind::kNull:
      if (!value.is_null()) break;
      return true;
    case Spec::Kind::kList: {
      if (!value.is_array() || value.size() < s.minItems || value.size() > s.maxItems) break;
      for (size_t i = 0; i < value.size(); ++i) {
        if (!checkValue(s.items[0], value[i], path + "[" + std::to_string(i) + "]", error)) {
          // A list described as a whole ("a colour [r, g, b] ...") is reported as a whole.
          if (!s.expect.empty()) error = wrong(s, value, path);
          return false;
        }
      }
      return true;
    }
    case Spec::Kind::kObject:
      if (!value.is_object()) break;
      return checkObject(s, value, path, error);
    case Spec::Kind::kMap: {
      if (!value.is_object()) break;
      for (auto it = value.begin(); it != value.end(); ++it) {
        if (s.channelKeys && !channelKeyValid(it.key())) {
          error = quoted(keyPath(path, it.key())) + " names no channel" +
                  didYouMean(it.key(), channelKeys());
          return false;
        }
        if (s.settings && !settingKeyForm(it.key())) {
          error = quoted(keyPath(path, it.key())) +
                  " is neither a setting id nor a setting name (lower case with underscores)";
          return false;
        }
        if (!checkValue(s.items[0], it.value(), keyPath(path, it.key()), error)) return false;
      }
      return true;
    }
    case Spec::Kind::kAnyOf: {
      std::string inner;
      for (const Spec& c : s.items) {
        if (checkValue(c, value, path, inner)) return true;
      }
      // With one choice of the value's own kind, its message is the more precise one.
      const Spec* sameKind = nullptr;
      int kinds = 0;
      for (const Spec& c : s.items) {
        const bool fits = (c.kind == Spec::Kind::kString && value.is_string()) ||
                          (c.kind == Spec::Kind::kObject && value.is_object()) ||
                          (c.kind == Spec::Kind::kList && value.is_array());
        if (fits) {
          sameKind = &c;
          ++kinds;
        }
      }
      if (kinds == 1 && (sameKind->kind != Spec::Kind::kString || !sameKind->words.empty())) {
        checkValue(*sameKind, value, path, error);
        if (sameKind->kind == Spec::Kind::kString) {
          error = wrong(s, value, path) + didYouMean(value.get<std::string>(), sameKind->words);
        }
        return false;
      }
      break;
    }
  }
  error = wrong(s, value, path);
  return false;
}

Json schemaOf(const Spec& s, const std::string& help) {
  Json j = Json::object();
  switch (s.kind) {
    case Spec::Kind::kAny:
      break;
    case Spec::Kind::kString:
      j["type"] = "string";
      if (!s.words.empty()) j["enum"] = s.words;
      break;
    case Spec::Kind::kNumber:
    case Spec::Kind::kInteger:
      j["type"] = s.kind == Spec::Kind::kNumber ? "number" : "integer";
      if (!s.wholes.empty()) j["enum"] = s.wholes;
      if (s.minimum) j[s.exclusiveMinimum ? "exclusiveMinimum" : "minimum"] = *s.minimum;
      if (s.maximum) j["maximum"] = *s.maximum;
      break;
    case Spec::Kind::kBool:
      j["type"] = "boolean";
      break;
    case Spec::Kind::kNull:
      j["type"] = "null";
      break;
    case Spec::Kind::kList:
      j["type"] = "array";
      j["items"] = schemaOf(s.items[0]);
      if (s.minItems > 0) j["minItems"] = s.minItems;
      if (s.maxItems != std::numeric_limits<size_t>::max()) j["maxItems"] = s.maxItems;
      break;
    case Spec::Kind::kObject: {
      j["type"] = "object";
      Json props = Json::object();
      Json required = Json::array();
      for (const Field& f : s.fields) {
        props[f.name] = schemaOf(f.spec, f.help);
        if (f.required) required.push_back(f.name);
      }
      j["properties"] = props;
      if (!required.empty()) j["required"] = required;
      j["additionalProperties"] = false;
      Json all = Json::array();
      for (const auto& group : s.exactlyOne) {
        Json choices = Json::array();
        for (const std::string& k : group) choices.push_back({{"required", {k}}});
        all.push_back({{"oneOf", choices}});
      }
      for (const auto& [key, other] : s.conflicts)
        all.push_back({{"not", {{"required", {key, other}}}}});
      if (all.size() == 1 && all[0].contains("oneOf")) {
        j["oneOf"] = all[0]["oneOf"];
        all.clear();
      }
      if (!all.empty()) j["allOf"] = all;
      if (!s.needs.empty()) {
        Json dep = Json::object();
        for (const auto& [key, other] : s.needs) dep[key].push_back(other);
        j["dependentRequired"] = dep;
      }
      break;
    }
    case Spec::Kind::kMap:
      j["type"] = "object";
      if (s.channelKeys) {
        std::vector<std::string> names = channelKeys();
        for (int c = 0; c < 14; ++c) names.push_back(std::to_string(c));
        j["propertyNames"] = {{"enum", names}};
      } else if (s.settings) {
        j["propertyNames"] = {{"pattern", "^(-?[0-9]+|[a-z][a-z0-9_]*)$"}};
      }
      if (s.items[0].kind != Spec::Kind::kAny) j["additionalProperties"] = schemaOf(s.items[0]);
      break;
    case Spec::Kind::kAnyOf: {
      Json choices = Json::array();
      for (const Spec& c : s.items) choices.push_back(schemaOf(c));
      j["anyOf"] = choices;
      break;
    }
  }
  if (!help.empty()) j["description"] = help;
  return j;
}

}  // namespace pigmora::cli
