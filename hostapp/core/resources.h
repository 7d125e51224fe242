// The plug-in's resources as the host sees them: its folder and its description files.
#pragma once

#include <string>

#include "host/host.h"

namespace hostapp {

// Descriptions are JSON files "description/<name>.json" in the resource folder:
// {"parameters": [{"id": 1000, "name": "texture_format", "type": "int", "label": "...",
//                  "help": "...", "default": 1100, "min": 1, "max": 16384,
//                  "choices": [[1100, "TIFF"], ...]}, ...]}
// Types: bool, int, real, string, filename, vector, link, spline, button.
class ResourcesImpl : public host::Resources {
 public:
  std::string resourceFolder() override { return folder_; }
  bool loadDescription(const std::string& name, host::Description& desc) override;
  void setFolder(const std::string& folder) { folder_ = folder; }

 private:
  std::string folder_;
};

}  // namespace hostapp
