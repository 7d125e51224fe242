// The shape of job values: a small typed description of what each key of a step takes (strings,
// numbers with their ranges, lists, nested objects, channel maps, settings maps). Jobs are checked
// against it before they run, and the same description prints as a JSON Schema.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/job_context.h"

namespace pigmora::cli {

// Whose settings a settings map names; its keys are checked against that owner's description.
enum class SettingsOwner { kTool, kPreferences, kDocument, kWorld };

struct Field;

struct Rule {
  enum class Kind { kAny, kString, kNumber, kInteger, kBool, kNull, kList, kObject, kMap, kAnyOf };
  Kind kind = Kind::kAny;
  std::string expect;  // how a message describes a valid value; made from the kind when empty
  std::vector<std::string> words;  // kString: the texts allowed (any when empty)
  std::vector<int64_t> wholes;     // kInteger: the values allowed (any when empty)
  std::optional<double> minimum, maximum;
  bool exclusiveMinimum = false;
  std::vector<Rule> items;  // kList: the item; kMap: the value; kAnyOf: the choices
  size_t minItems = 0, maxItems = std::numeric_limits<size_t>::max();
  std::vector<Field> fields;                               // kObject
  std::vector<std::vector<std::string>> exactlyOne;        // kObject: give one key of each group
  std::vector<std::pair<std::string, std::string>> needs;  // kObject: a key needs another
  std::vector<std::pair<std::string, std::string>> conflicts;  // kObject: never both
  bool channelKeys = false;               // kMap: keys are channel names or numbers
  std::optional<SettingsOwner> settings;  // kMap: keys are settings of this owner

  Rule& from(double v) {
    minimum = v;
    return *this;
  }
  Rule& above(double v) {
    minimum = v;
    exclusiveMinimum = true;
    return *this;
  }
  Rule& upTo(double v) {
    maximum = v;
    return *this;
  }
  Rule& between(double lo, double hi) {
    minimum = lo;
    maximum = hi;
    return *this;
  }
  Rule& described(std::string text) {
    expect = std::move(text);
    return *this;
  }
  // Exactly one of these keys must be given.
  Rule& oneOf(std::vector<std::string> group) {
    exactlyOne.push_back(std::move(group));
    return *this;
  }
  Rule& needing(std::string key, std::string other) {
    needs.emplace_back(std::move(key), std::move(other));
    return *this;
  }
  Rule& excluding(std::string key, std::string other) {
    conflicts.emplace_back(std::move(key), std::move(other));
    return *this;
  }
};

struct Field {
  std::string name;
  Rule rule;
  std::string help;
  bool required = false;
};

// Building blocks.
Rule text();
Rule word(std::vector<std::string> allowed);
Rule number();
Rule whole();
Rule wholeOf(std::vector<int64_t> allowed);
Rule flag();
Rule nothing();  // null
Rule anything();
Rule listOf(Rule item, size_t minItems = 0, size_t maxItems = std::numeric_limits<size_t>::max());
Rule anyOf(std::vector<Rule> choices);
Rule object(std::vector<Field> fields);
Rule channelMap(Rule value);
Rule mapOf(Rule value);  // an object with any keys
Rule settingsOf(SettingsOwner owner);
Field opt(std::string name, Rule rule, std::string help);
Field req(std::string name, Rule rule, std::string help);

// Common values of jobs.
Rule vec3();               // [x, y, z]
Rule vec23();              // [x, y] or [x, y, z]
Rule colour01();           // [r, g, b], 0 .. 1
Rule colour255();          // [r, g, b], 0 .. 255
Rule pathOf(size_t dims);  // a list of [x, y] (2) or [x, y, z] (3) points
Rule channelName();        // "color" ... or 0 .. 13
Rule colorModeName();      // "argb8" ... or its number
Rule layerName();          // an index from 0 or a name
Rule indexList();          // whole numbers from 0
Rule nameList();           // strings
Rule pixelSize();          // [width, height], 1 .. 16384

// Checks a value against a rule. On failure `error` holds one sentence (without the final full
// stop) about the key at `path`, with a suggestion where a known word is near.
bool checkValue(const Rule& rule, const Json& value, const std::string& path, std::string& error);

// The job format as a JSON Schema (draft 2020-12) fragment.
Json schemaOf(const Rule& rule, const std::string& help = {});

// "a.b" for a key below a path; "a[2]" for an item.
std::string keyPath(const std::string& path, const std::string& key);
// A value quoted for a message, cut short when long.
std::string shown(const Json& value);
// A number as a message shows it: 0.5, 16384, 1e-06.
std::string numberText(double v);

}  // namespace pigmora::cli
