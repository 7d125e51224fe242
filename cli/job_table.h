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

struct Spec {
  enum class Kind { kAny, kString, kNumber, kInteger, kBool, kNull, kList, kObject, kMap, kAnyOf };
  Kind kind = Kind::kAny;
  std::string expect;  // how a message describes a valid value; made from the kind when empty
  std::vector<std::string> words;  // kString: the texts allowed (any when empty)
  std::vector<int64_t> wholes;     // kInteger: the values allowed (any when empty)
  std::optional<double> minimum, maximum;
  bool exclusiveMinimum = false;
  std::vector<Spec> items;  // kList: the item; kMap: the value; kAnyOf: the choices
  size_t minItems = 0, maxItems = std::numeric_limits<size_t>::max();
  std::vector<Field> fields;                               // kObject
  std::vector<std::vector<std::string>> exactlyOne;        // kObject: give one key of each group
  std::vector<std::pair<std::string, std::string>> needs;  // kObject: a key needs another
  std::vector<std::pair<std::string, std::string>> conflicts;  // kObject: never both
  bool channelKeys = false;               // kMap: keys are channel names or numbers
  std::optional<SettingsOwner> settings;  // kMap: keys are settings of this owner

  Spec& from(double v) {
    minimum = v;
    return *this;
  }
  Spec& above(double v) {
    minimum = v;
    exclusiveMinimum = true;
    return *this;
  }
  Spec& upTo(double v) {
    maximum = v;
    return *this;
  }
  Spec& between(double lo, double hi) {
    minimum = lo;
    maximum = hi;
    return *this;
  }
  Spec& described(std::string text) {
    expect = std::move(text);
    return *this;
  }
  // Exactly one of these keys must be given.
  Spec& oneOf(std::vector<std::string> group) {
    exactlyOne.push_back(std::move(group));
    return *this;
  }
  Spec& needing(std::string key, std::string other) {
    needs.emplace_back(std::move(key), std::move(other));
    return *this;
  }
  Spec& excluding(std::string key, std::string other) {
    conflicts.emplace_back(std::move(key), std::move(other));
    return *this;
  }
};

struct Field {
  std::string name;
  Spec spec;
  std::string help;
  bool required = false;
};

// Building blocks.
Spec text();
Spec word(std::vector<std::string> allowed);
Spec number();
Spec whole();
Spec wholeOf(std::vector<int64_t> allowed);
Spec flag();
Spec nothing();  // null
Spec anything();
Spec listOf(Spec item, size_t minItems = 0, size_t maxItems = std::numeric_limits<size_t>::max());
Spec anyOf(std::vector<Spec> choices);
Spec object(std::vector<Field> fields);
Spec channelMap(Spec value);
Spec mapOf(Spec value);  // an object with any keys
Spec settingsOf(SettingsOwner owner);
Field opt(std::string name, Spec spec, std::string help);
Field req(std::string name, Spec spec, std::string help);

// Common values of jobs.
Spec vec3();               // [x, y, z]
Spec vec23();              // [x, y] or [x, y, z]
Spec colour01();           // [r, g, b], 0 .. 1
Spec colour255();          // [r, g, b], 0 .. 255
Spec pathOf(size_t dims);  // a list of [x, y] (2) or [x, y, z] (3) points
Spec channelName();        // "color" ... or 0 .. 13
Spec colorModeName();      // "argb8" ... or its number
Spec layerName();          // an index from 0 or a name
Spec indexList();          // whole numbers from 0
Spec nameList();           // strings
Spec pixelSize();          // [width, height], 1 .. 16384

// Checks a value against a spec. On failure `error` holds one sentence (without the final full
// stop) about the key at `path`, with a suggestion where a known word is near.
bool checkValue(const Spec& spec, const Json& value, const std::string& path, std::string& error);

// The job format as a JSON Schema (draft 2020-12) fragment.
Json schemaOf(const Spec& spec, const std::string& help = {});

// "a.b" for a key below a path; "a[2]" for an item.
std::string keyPath(const std::string& path, const std::string& key);
// A value quoted for a message, cut short when long.
std::string shown(const Json& value);
// A number as a message shows it: 0.5, 16384, 1e-06.
std::string numberText(double v);

}  // namespace pigmora::cli
