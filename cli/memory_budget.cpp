#include "cli/memory_budget.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

#include "hostapp/core/memory.h"
#include "hostapp/paint/colormode.h"

namespace pigmora::cli {

bool parseByteSize(const std::string& text, uint64_t& bytes) {
  if (text.empty() || !(std::isdigit(static_cast<unsigned char>(text[0])) || text[0] == '.'))
    return false;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  std::string unit(end);
  for (char& c : unit) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (unit.size() > 1 && unit.back() == 'B') unit.pop_back();
  if (unit.size() == 2 && unit[1] == 'I') unit.pop_back();
  double scale = 1;
  if (unit == "K")
    scale = 1024.0;
  else if (unit == "M")
    scale = 1024.0 * 1024;
  else if (unit == "G")
    scale = 1024.0 * 1024 * 1024;
  else if (unit == "T")
    scale = 1024.0 * 1024 * 1024 * 1024;
  else if (!unit.empty() && unit != "B")
    return false;
  const double b = value * scale;
  if (!(b >= 1) || b > 1.8e19) return false;
  bytes = static_cast<uint64_t>(b);
  return true;
}

uint64_t materialStepBytes(const Json& step) {
  if (!step.contains("channels") || !step["channels"].is_object()) return 0;
  uint64_t total = 0;
  for (const auto& [key, entry] : step["channels"].items()) {
    if (!entry.is_object() || entry.contains("file")) continue;
    uint64_t width = 1024, height = 1024;
    if (entry.contains("size")) {
      const Json& size = entry["size"];
      if (size.is_number_unsigned()) {
        width = height = size.get<uint64_t>();
      } else if (size.is_array() && size.size() == 2 && size[0].is_number_unsigned() &&
                 size[1].is_number_unsigned()) {
        width = size[0].get<uint64_t>();
        height = size[1].get<uint64_t>();
      }
    }
    // Sizes past the largest texture are refused by the step itself.
    if (width > 65536 || height > 65536) continue;
    int32_t mode = host::kModeARGB8;
    if (entry.contains("mode")) {
      try {
        mode = colorModeOf(entry["mode"]);
      } catch (const StepError&) {
        continue;
      }
    }
    const hostapp::ModeLayout* layout = hostapp::modeLayout(mode);
    if (!layout) continue;
    const uint64_t layers =
        1 + (entry.contains("layers") && entry["layers"].is_array() ? entry["layers"].size() : 0);
    total += width * height * static_cast<uint64_t>(layout->pixelBytes()) * layers;
  }
  return total;
}

bool jobFitsBudget(const Json& steps, uint64_t budget, size_t& step, std::string& problem) {
  uint64_t total = 0;
  for (size_t i = 0; i < steps.size(); ++i) {
    if (!steps[i].is_object() || steps[i].value("step", "") != "material") continue;
    const uint64_t bytes = materialStepBytes(steps[i]);
    total += bytes;
    if (total > budget) {
      step = i;
      problem = "the textures need " + hostapp::byteSize(bytes) +
                (total > bytes ? " (" + hostapp::byteSize(total) + " with the earlier steps')"
                               : std::string()) +
                ", more than the memory budget of " + hostapp::byteSize(budget) +
                " (--max-memory sets it)";
      return false;
    }
  }
  return true;
}

}  // namespace pigmora::cli
