#include "hostapp/core/content_browser.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "hostapp/core/embedded_host.h"

namespace hostapp {

namespace fs = std::filesystem;

namespace {

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

bool endsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

std::string ContentBrowserImpl::librariesFolder() const {
  host::Settings* world = world_.world();
  return world ? world->getFilename(kWorldContentLibraries) : std::string();
}

int32_t ContentBrowserImpl::kindOf(const std::string& name) {
  const std::string n = lower(name);
  for (const char* s : {".png", ".jpg", ".jpeg", ".tif", ".tiff", ".tga", ".bmp", ".psd"})
    if (endsWith(n, s)) return host::kContentImage;
  for (const char* s : {".exr", ".hdr"})
    if (endsWith(n, s)) return host::kContentImageHdr;
  return host::kContentOther;
}

std::string ContentBrowserImpl::folderOf(const std::string& location) const {
  const std::string scheme = host::kPresetScheme;
  const std::string root = librariesFolder();
  if (root.empty() || location.compare(0, scheme.size(), scheme) != 0) return {};
  const std::string rest = location.substr(scheme.size());
  if (rest.empty()) return {};
  for (size_t start = 0; start <= rest.size();) {
    size_t end = rest.find('/', start);
    if (end == std::string::npos) end = rest.size();
    if (rest.compare(start, end - start, "..") == 0) return {};
    start = end + 1;
  }
  return host::joinPath(root, rest);
}

bool ContentBrowserImpl::children(const std::string& location,
                                  std::vector<host::ContentEntry>& out) {
  const std::string folder = folderOf(location);
  std::error_code ec;
  if (folder.empty() || !fs::is_directory(folder, ec)) return false;
  std::vector<std::string> names;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    names.push_back(it->path().filename().string());
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    if (endsWith(lower(name), kPreviewSuffix)) continue;
    host::ContentEntry e;
    e.location = host::joinPath(location, name);
    const std::string path = host::joinPath(folder, name);
    if (fs::is_directory(path, ec)) {
      e.kind = host::kContentFolder;
    } else {
      e.kind = kindOf(name);
      e.file = path;
    }
    out.push_back(std::move(e));
  }
  return true;
}

bool ContentBrowserImpl::preview(const host::ContentEntry& entry, host::Bitmap& bitmap) {
  if (entry.file.empty()) return false;
  const std::string path = entry.file + kPreviewSuffix;
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return false;
  return bitmap.load(path) == host::kImageOk;
}

}  // namespace hostapp
