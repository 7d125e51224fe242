// Settings of tools, preferences, documents and the world as a job names them: by id or by the
// name of their description parameter ("radius", "stencil_colour", "undo_depth"), with values
// checked against the parameter's type and range.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "cli/job_context.h"
#include "cli/job_table.h"
#include "host/description.h"

namespace hostapp {
class EmbeddedHost;
}

namespace pigmora::cli {

// Whose settings a map names and what they are.
struct SettingsScope {
  std::string owner;  // for messages: "the tool 1035414 \"Pigmora Paint Brush\""
  std::string topic;  // what `pigmora describe` takes to list them: "1035414", "prefs"
  host::Description description;
  bool described = false;  // false: any id is taken as it is, unchecked
  // Ids taken without a description entry (the preferences container's own keys).
  std::vector<int32_t> plainIds;
};

struct SettingRef {
  int32_t id = 0;
  const host::DescriptionParameter* param = nullptr;  // null for a plain id; owned by the scope
};

SettingsScope toolScope(hostapp::EmbeddedHost& host, int32_t toolId);
SettingsScope preferencesScope(hostapp::EmbeddedHost& host);
SettingsScope documentScope();
SettingsScope worldScope();
SettingsScope scopeOf(hostapp::EmbeddedHost& host, SettingsOwner owner, int32_t toolId);

// The setting a key names. Throws a StepError naming the key at `path`, with the nearest name.
SettingRef findSetting(const SettingsScope& scope, const std::string& key, const std::string& path);

// The value to store for a setting. Without a context the value is only checked: files are not
// looked up and links not resolved. Throws a StepError naming `path`.
//   bool: true/false; int: a whole number, or the label of one of its choices; real: a number;
//   string; filename: a path relative to the job's folder; vector: [x, y, z]; spline: [x, y]
//   knots; link: a material name or null. Typed objects say the type: {"file": "a.png"} (must
//   exist), {"real": 20}, {"int": 3}, {"vector": [1, 0, 0]}, {"spline": [[0, 1], [1, 0]]}.
host::Value settingValue(const JobContext* ctx, const SettingRef& ref, const Json& value,
                         const std::string& path);

// Checks every entry of a settings map without storing anything.
void checkSettings(const SettingsScope& scope, const Json& map, const std::string& path);

// The container key each parameter of the preferences page is stored under, learnt by setting it
// through the page; the preferences are left as they were.
std::map<int32_t, int32_t> preferenceKeys(hostapp::EmbeddedHost& host);

// Words for a description parameter, as `describe` and `print` show them.
const char* typeName(const host::DescriptionParameter& p);
std::string rangeOf(const host::DescriptionParameter& p);  // "0 .. 1", "20010 Never, ..." or ""
Json valueJson(const host::Value& v);
// A stored setting as a job writes it: angles in degrees.
Json settingJson(const host::DescriptionParameter* p, const host::Value& v);

}  // namespace pigmora::cli
