// Content browser family: the host's libraries of presets and images, reached by locations of
// the form "preset:/Library.lib4d/Folder". The plug-in lists entries and asks for their previews.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/paint.h"

namespace host {

// Location scheme of the content libraries.
inline constexpr const char* kPresetScheme = "preset:/";

// Entry kinds of the content browser.
constexpr int32_t kContentFolder = 1018000;    // a folder of entries
constexpr int32_t kContentImage = 1018021;     // an 8 or 16-bit image (PNG, JPEG, TIFF, ...)
constexpr int32_t kContentImageHdr = 1018031;  // a high dynamic range image (EXR, HDR)
constexpr int32_t kContentOther = 1018099;     // anything else the library holds

struct ContentEntry {
  int32_t kind = kContentOther;
  std::string location;  // "preset:/..." of the entry itself
  std::string file;      // the file on disk behind the entry; empty for folders
};

class ContentBrowser {
 public:
  virtual ~ContentBrowser() = default;
  // The entries directly inside a location, in the browser's order (folders and files sorted
  // together by name). False when the location is not a folder of an installed library.
  virtual bool children(const std::string& location, std::vector<ContentEntry>& out) = 0;
  // Loads the entry's preview picture into `bitmap`; false (bitmap unchanged) when it has none.
  virtual bool preview(const ContentEntry& entry, Bitmap& bitmap) = 0;
};

}  // namespace host
