// Descriptions: the parameter lists of tools and preference pages, loaded by the host from the
// plug-in's resources.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/settings.h"

namespace host {

// Flags passed with description calls.
constexpr int32_t kDescFlagLoaded = 2;           // description loaded / parameter handled
constexpr int32_t kDescFlagNeedDefaults = 0x20;  // host asks for default values

struct DescriptionParameter {
  int32_t id = 0;
  ValueType type = ValueType::kNone;
  std::string name;  // the resource symbol, lower case with underscores ("radius")
  std::string label;
  std::string help;  // one sentence on what the parameter does
  // The range a numeric value may take; open where the flag is false.
  bool hasMinimum = false, hasMaximum = false;
  double minimum = 0.0, maximum = 0.0;
  Value defaultValue;
  std::vector<std::pair<int32_t, std::string>> choices;  // for choice parameters
  bool isChoice = false;
  bool isButton = false;  // a description command: pressing it sends the tool message 18
  bool angle = false;     // a real stored in radians; people read and type it in degrees
};

class Description {
 public:
  void clear() {
    name_.clear();
    params_.clear();
  }
  const std::string& name() const { return name_; }
  void setName(const std::string& name) { name_ = name; }
  const std::vector<DescriptionParameter>& parameters() const { return params_; }
  std::vector<DescriptionParameter>& parameters() { return params_; }
  const DescriptionParameter* find(int32_t id) const;
  const DescriptionParameter* findByName(const std::string& name) const;
  // Sets the default value of a parameter; false when it is not in the description.
  bool setDefault(int32_t id, const Value& v);

 private:
  std::string name_;
  std::vector<DescriptionParameter> params_;
};

}  // namespace host
