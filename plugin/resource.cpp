#include "plugin/resource.h"

#include <cstdlib>
#include <sstream>

#include "host/binding.h"

namespace pigmora {

namespace {
ModuleResource* gResource = nullptr;
}

bool ModuleResource::load() {
  host::Host* h = host::bound();
  if (!h) return false;
  std::string text;
  if (!h->files().readFile(h->resources().resourceFolder() + "/strings.txt", text)) return false;
  std::istringstream in(text);
  std::string line;
  std::map<int32_t, std::string> strings;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    char* end = nullptr;
    const long id = std::strtol(line.c_str(), &end, 10);
    if (end == line.c_str() || (*end != ' ' && *end != '\t' && *end != '\0')) return false;
    std::string value = *end ? std::string(end + 1) : std::string();
    strings[static_cast<int32_t>(id)] = value;
  }
  strings_ = std::move(strings);
  loaded_ = true;
  return true;
}

std::string ModuleResource::string(int32_t id) const {
  auto it = strings_.find(id);
  return it == strings_.end() ? std::string() : it->second;
}

ModuleResource* moduleResource() {
  return gResource;
}

bool createModuleResource() {
  if (!gResource) gResource = host::make<ModuleResource>();
  return gResource != nullptr;
}

void freeModuleResource() {
  host::destroy(gResource);
  gResource = nullptr;
}

}  // namespace pigmora
