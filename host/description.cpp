#include "host/description.h"

namespace host {

const DescriptionParameter* Description::find(int32_t id) const {
  for (const auto& p : params_)
    if (p.id == id) return &p;
  return nullptr;
}

const DescriptionParameter* Description::findByName(const std::string& name) const {
  for (const auto& p : params_)
    if (!name.empty() && p.name == name) return &p;
  return nullptr;
}

bool Description::setDefault(int32_t id, const Value& v) {
  for (auto& p : params_) {
    if (p.id == id) {
      p.defaultValue = v;
      return true;
    }
  }
  return false;
}

}  // namespace host
