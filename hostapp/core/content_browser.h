// The embedded host's content browser: every library is a folder named like the library
// ("Prime.lib4d") inside the content-libraries folder of the world settings, and
// "preset:/Prime.lib4d/x" is the file or folder x inside it. Image files are entries of the image
// kinds; a picture named like the file with ".preview.png" added, beside it, is its preview and no
// entry of its own.
#pragma once

#include <string>
#include <vector>

#include "host/host.h"

namespace hostapp {

class WorldSettingsImpl;

// World settings key of the content-libraries folder (a file name).
constexpr int32_t kWorldContentLibraries = 1040;
inline constexpr const char* kPreviewSuffix = ".preview.png";

class ContentBrowserImpl : public host::ContentBrowser {
 public:
  explicit ContentBrowserImpl(WorldSettingsImpl& world) : world_(world) {}

  bool children(const std::string& location, std::vector<host::ContentEntry>& out) override;
  bool preview(const host::ContentEntry& entry, host::Bitmap& bitmap) override;

  // The folder on disk behind a location; empty when the location is not of the scheme, names
  // no library folder, or climbs out of the libraries with "..".
  std::string folderOf(const std::string& location) const;
  std::string librariesFolder() const;
  // Entry kind of a file name by its suffix.
  static int32_t kindOf(const std::string& name);

 private:
  WorldSettingsImpl& world_;
};

}  // namespace hostapp
