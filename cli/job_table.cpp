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

std::string rangeText(const Rule& s) {
  if (s.minimum && s.maximum) {
    return " from " + numberText(*s.minimum) + (s.exclusiveMinimum ? " (not included)" : "") +
           " to " + numberText(*s.maximum);
  }
  if (s.minimum) return (s.exclusiveMinimum ? " above " : " of at least ") + numberText(*s.minimum);
  if (s.maximum) return " of at most " + numberText(*s.maximum);
  return {};
}

std::string expectation(const Rule& s) {
  if (!s.expect.empty()) return s.expect;
  switch (s.kind) {
    case Rule::Kind::kAny:
      return "a value";
    case Rule::Kind::kString:
      return s.words.empty() ? "a string" : "one of " + orList(quotedAll(s.words));
    case Rule::Kind::kNumber:
      return "a number" + rangeText(s);
    case Rule::Kind::kInteger: {
      if (!s.wholes.empty()) {
        std::vector<std::string> v;
        for (int64_t w : s.wholes) v.push_back(std::to_string(w));
        return "one of " + orList(v);
      }
      return "a whole number" + rangeText(s);
    }
    case Rule::Kind::kBool:
      return "true or false";
    case Rule::Kind::kNull:
      return "null";
    case Rule::Kind::kList:
      return "a list of " + expectation(s.items[0]);
    case Rule::Kind::kObject:
      return "an object";
    case Rule::Kind::kMap:
      return s.channelKeys ? "an object keyed by channel"
             : s.settings  ? "an object of settings by id or name"
                           : "an object";
    case Rule::Kind::kAnyOf: {
      std::vector<std::string> parts;
      for (const Rule& c : s.items) parts.push_back(expectation(c));
      return orList(parts);
    }
  }
  return "a value";
}

bool inRange(const Rule& s, double v) {
  if (s.minimum && (s.exclusiveMinimum ? !(v > *s.minimum) : !(v >= *s.minimum))) return false;
  if (s.maximum && !(v <= *s.maximum)) return false;
  return true;
}

std::string wrong(const Rule& s, const Json& value, const std::string& path) {
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

bool checkObject(const Rule& s, const Json& value, const std::string& path, std::string& error) {
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
    if (it != value.end() && !checkValue(f.rule, *it, keyPath(path, f.name), error)) return false;
  }
  return true;
}

Rule ofKind(Rule::Kind kind) {
  Rule s;
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

Rule text() {
  return ofKind(Rule::Kind::kString);
}

Rule word(std::vector<std::string> allowed) {
  Rule s = text();
  s.words = std::move(allowed);
  return s;
}

Rule number() {
  return ofKind(Rule::Kind::kNumber);
}

Rule whole() {
  return ofKind(Rule::Kind::kInteger);
}

Rule wholeOf(std::vector<int64_t> allowed) {
  Rule s = whole();
  s.wholes = std::move(allowed);
  return s;
}

Rule flag() {
  return ofKind(Rule::Kind::kBool);
}

Rule nothing() {
  return ofKind(Rule::Kind::kNull);
}

Rule anything() {
  return Rule();
}

Rule listOf(Rule item, size_t minItems, size_t maxItems) {
  Rule s = ofKind(Rule::Kind::kList);
  s.items.push_back(std::move(item));
  s.minItems = minItems;
  s.maxItems = maxItems;
  return s;
}

Rule anyOf(std::vector<Rule> choices) {
  Rule s = ofKind(Rule::Kind::kAnyOf);
  s.items = std::move(choices);
  return s;
}

Rule object(std::vector<Field> fields) {
  Rule s = ofKind(Rule::Kind::kObject);
  s.fields = std::move(fields);
  return s;
}

Rule channelMap(Rule value) {
  Rule s = ofKind(Rule::Kind::kMap);
  s.channelKeys = true;
  s.items.push_back(std::move(value));
  return s;
}

Rule mapOf(Rule value) {
  Rule s = ofKind(Rule::Kind::kMap);
  s.items.push_back(std::move(value));
  return s;
}

Rule settingsOf(SettingsOwner owner) {
  Rule s = ofKind(Rule::Kind::kMap);
  s.settings = owner;
  s.items.push_back(anything());
  return s;
}

Field opt(std::string name, Rule rule, std::string help) {
  return Field{std::move(name), std::move(rule), std::move(help), false};
}

Field req(std::string name, Rule rule, std::string help) {
  return Field{std::move(name), std::move(rule), std::move(help), true};
}

Rule vec3() {
  return listOf(number(), 3, 3).described("[x, y, z]");
}

Rule vec23() {
  return listOf(number(), 2, 3).described("[x, y] or [x, y, z]");
}

Rule colour01() {
  return listOf(number().between(0, 1), 3, 3)
      .described("a colour [r, g, b] with components from 0 to 1");
}

Rule colour255() {
  return listOf(number().between(0, 255), 3, 3)
      .described("a colour [r, g, b] with components from 0 to 255");
}

Rule pathOf(size_t dims) {
  return listOf(dims == 2 ? listOf(number(), 2, 2) : listOf(number(), 2, 3), 1)
      .described(dims == 2 ? "a list of [x, y] points" : "a list of [x, y, z] points");
}

Rule channelName() {
  return anyOf({word(channelKeys()), whole().between(0, 13)})
      .described("a channel name (\"color\", \"bump\" ...) or a number from 0 to 13");
}

Rule colorModeName() {
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

Rule layerName() {
  return anyOf({whole().from(0), text()}).described("a layer index from 0 or a layer name");
}

Rule indexList() {
  return listOf(whole().from(0)).described("a list of whole numbers from 0");
}

Rule nameList() {
  return listOf(text()).described("a list of names");
}

Rule pixelSize() {
  return listOf(whole().between(1, 16384), 2, 2)
      .described("[width, height] with whole numbers from 1 to 16384");
}

bool checkValue(const Rule& s, const Json& value, const std::string& path, std::string& error) {
  switch (s.kind) {
    case Rule::Kind::kAny:
      return true;
    case Rule::Kind::kString: {
      if (!value.is_string()) break;
      if (s.words.empty()) return true;
      const std::string v = value.get<std::string>();
      for (const std::string& w : s.words)
        if (w == v) return true;
      error = wrong(s, value, path) + didYouMean(v, s.words);
      return false;
    }
    case Rule::Kind::kNumber:
      if (!value.is_number() || !std::isfinite(value.get<double>()) ||
          !inRange(s, value.get<double>()))
        break;
      return true;
    case Rule::Kind::kInteger: {
      if (!value.is_number_integer()) break;
      if (!s.wholes.empty()) {
        for (int64_t w : s.wholes)
          if (value.get<int64_t>() == w) return true;
        break;
      }
      if (!inRange(s, static_cast<double>(value.get<int64_t>()))) break;
      return true;
    }
    case Rule::Kind::kBool:
      if (!value.is_boolean()) break;
      return true;
    case Rule::Kind::kNull:
      if (!value.is_null()) break;
      return true;
    case Rule::Kind::kList: {
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
    case Rule::Kind::kObject:
      if (!value.is_object()) break;
      return checkObject(s, value, path, error);
    case Rule::Kind::kMap: {
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
    case Rule::Kind::kAnyOf: {
      std::string inner;
      for (const Rule& c : s.items) {
        if (checkValue(c, value, path, inner)) return true;
      }
      // With one choice of the value's own kind, its message is the more precise one.
      const Rule* sameKind = nullptr;
      int kinds = 0;
      for (const Rule& c : s.items) {
        const bool fits = (c.kind == Rule::Kind::kString && value.is_string()) ||
                          (c.kind == Rule::Kind::kObject && value.is_object()) ||
                          (c.kind == Rule::Kind::kList && value.is_array());
        if (fits) {
          sameKind = &c;
          ++kinds;
        }
      }
      if (kinds == 1 && (sameKind->kind != Rule::Kind::kString || !sameKind->words.empty())) {
        checkValue(*sameKind, value, path, error);
        if (sameKind->kind == Rule::Kind::kString) {
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

Json schemaOf(const Rule& s, const std::string& help) {
  Json j = Json::object();
  switch (s.kind) {
    case Rule::Kind::kAny:
      break;
    case Rule::Kind::kString:
      j["type"] = "string";
      if (!s.words.empty()) j["enum"] = s.words;
      break;
    case Rule::Kind::kNumber:
    case Rule::Kind::kInteger:
      j["type"] = s.kind == Rule::Kind::kNumber ? "number" : "integer";
      if (!s.wholes.empty()) j["enum"] = s.wholes;
      if (s.minimum) j[s.exclusiveMinimum ? "exclusiveMinimum" : "minimum"] = *s.minimum;
      if (s.maximum) j["maximum"] = *s.maximum;
      break;
    case Rule::Kind::kBool:
      j["type"] = "boolean";
      break;
    case Rule::Kind::kNull:
      j["type"] = "null";
      break;
    case Rule::Kind::kList:
      j["type"] = "array";
      j["items"] = schemaOf(s.items[0]);
      if (s.minItems > 0) j["minItems"] = s.minItems;
      if (s.maxItems != std::numeric_limits<size_t>::max()) j["maxItems"] = s.maxItems;
      break;
    case Rule::Kind::kObject: {
      j["type"] = "object";
      Json props = Json::object();
      Json required = Json::array();
      for (const Field& f : s.fields) {
        props[f.name] = schemaOf(f.rule, f.help);
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
    case Rule::Kind::kMap:
      j["type"] = "object";
      if (s.channelKeys) {
        std::vector<std::string> names = channelKeys();
        for (int c = 0; c < 14; ++c) names.push_back(std::to_string(c));
        j["propertyNames"] = {{"enum", names}};
      } else if (s.settings) {
        j["propertyNames"] = {{"pattern", "^(-?[0-9]+|[a-z][a-z0-9_]*)$"}};
      }
      if (s.items[0].kind != Rule::Kind::kAny) j["additionalProperties"] = schemaOf(s.items[0]);
      break;
    case Rule::Kind::kAnyOf: {
      Json choices = Json::array();
      for (const Rule& c : s.items) choices.push_back(schemaOf(c));
      j["anyOf"] = choices;
      break;
    }
  }
  if (!help.empty()) j["description"] = help;
  return j;
}

}  // namespace pigmora::cli
