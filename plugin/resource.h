// The module's own resources: the string table of res/strings.txt.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace pigmora {

class ModuleResource {
 public:
  // Reads "<resource folder>/strings.txt": one string a line, "<id> <text>"; lines starting with
  // '#' and empty lines are skipped. False when the file is missing or a line is malformed.
  bool load();
  // The string of an id, or the empty string.
  std::string string(int32_t id) const;
  bool loaded() const { return loaded_; }

 private:
  std::map<int32_t, std::string> strings_;
  bool loaded_ = false;
};

// The holder created at binding; null before binding or after the end.
ModuleResource* moduleResource();
bool createModuleResource();
void freeModuleResource();

}  // namespace pigmora
