#include "lib/megascan/megascanimporter.h"

#include <cstring>
#include <limits>

#include "host/binding.h"

namespace pigmora {

namespace {

struct MapType {
  const char* name;
  ChannelIndex channel;
};

// Types that feed a channel, then those known to feed none.
constexpr MapType kMapTypes[] = {
    {"albedo", 0},        {"bump", 6},        {"gloss", 8},       {"normal", 13},   {"cavity", -1},
    {"displacement", -1}, {"roughness", -1},  {"normalbump", -1}, {"fuzz", -1},     {"diffuse", -1},
    {"ao", -1},           {"glossblinn", -1}, {"reflection", -1}, {"specular", -1}, {"opacity", -1},
    {"translucency", -1}, {"metalness", -1},
};

const MapType* findMapType(const std::string& type) {
  for (const MapType& m : kMapTypes)
    if (type == m.name) return &m;
  return nullptr;
}

// The suffix is what follows the last dot, compared without regard to case, as file systems of
// artists' machines often do.
bool hasJsonSuffix(const std::string& name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos || name.size() - dot != 5) return false;
  const char* want = "json";
  for (size_t i = 0; i < 4; ++i) {
    const char c = name[dot + 1 + i];
    if ((c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) != want[i]) return false;
  }
  return true;
}

// The whole file as zero-terminated text in host memory, or null when it cannot be opened, the
// memory is refused or fewer bytes arrive than the file holds. The caller releases it.
char* readDescription(host::Files& files, const std::string& path) {
  host::File* file = files.openRead(path, kDescriptionFileType, kDescriptionFileCreator);
  if (!file) return nullptr;
  const int64_t n = file->length();
  char* text = nullptr;
  if (n >= 0 && static_cast<uint64_t>(n) < std::numeric_limits<size_t>::max())
    text = static_cast<char*>(host::allocate(static_cast<size_t>(n) + 1));
  if (text && file->read(text, n) != n) {
    host::release(text);
    text = nullptr;
  }
  if (text) text[n] = 0;
  files.closeFile(file);
  return text;
}

// A relative path without ".." among its parts.
bool staysInside(const std::string& uri) {
  if (uri.empty() || uri[0] == '/') return false;
  for (size_t start = 0; start <= uri.size();) {
    size_t end = uri.find('/', start);
    if (end == std::string::npos) end = uri.size();
    if (uri.compare(start, end - start, "..") == 0) return false;
    start = end + 1;
  }
  return true;
}

}  // namespace

ChannelIndex megascanChannel(const std::string& type) {
  const MapType* m = findMapType(type);
  return m ? m->channel : -1;
}

bool isSkippedMegascanType(const std::string& type) {
  const MapType* m = findMapType(type);
  return m && m->channel < 0;
}

void MegascanAsset::clear() {
  id.clear();
  name.clear();
  categories.clear();
  tags.clear();
  environment.clear();
  components.clear();
  // Previews go too, so that a description without them does not show the last one's.
  previews.clear();
  loaded = false;
}

bool MegascanAsset::load(const std::string& assetFolder) {
  folder = assetFolder;
  loaded = false;
  host::Host* h = host::bound();
  if (!h) return false;
  host::Files& files = h->files();
  std::string description;
  for (const std::string& entry : files.listDirectory(folder)) {
    if (hasJsonSuffix(entry)) {
      description = host::joinPath(folder, entry);
      break;
    }
  }
  if (description.empty()) return false;
  clear();
  char* text = readDescription(files, description);
  if (!text) return false;
  parse(text);
  host::release(text);
  return loaded;
}

bool MegascanAsset::parse(const char* text) {
  clear();
  json::Document doc;
  std::string error;
  if (!text || !doc.parse(std::string_view(text, std::strlen(text)), error)) return false;
  const json::Value root = doc.root();
  using namespace describe;
  loaded = requiredString(root, "id", id) && stringArray(root, "categories", categories) &&
           requiredString(root, "name", name) && stringArray(root, "tags", tags) &&
           stringArray(root, "environment", environment) &&
           (root["previews"].isNull() || previews.parse(root["previews"])) &&
           templateArray(root, "components", components);
  // Brush descriptions may follow; surfaces have no use for them.
  (void)root["brushes"];
  return loaded;
}

std::string MegascanAsset::filePath(const TemplateFormat& format) const {
  return staysInside(format.uri) ? host::joinPath(folder, format.uri) : std::string();
}

host::Material* createMegascanMaterial(const MegascanAsset& asset, host::Document* doc) {
  host::Host* h = host::bound();
  if (!h || !doc) return nullptr;
  doc->startUndo();
  host::Material* mat = h->scene().createMaterial(host::kTypeMaterial);
  if (mat) {
    mat->setName(asset.name);
    doc->insertMaterial(mat, nullptr);
    doc->addUndo(host::kUndoNew, mat);
    for (const TemplateComponent* component : asset.components) {
      const ChannelIndex c = megascanChannel(component->type);
      if (c < 0) continue;
      for (const TemplateURI* uri : component->uris)
        for (const TemplateResolution* res : uri->resolutions)
          for (const TemplateFormat* format : res->formats) {
            const std::string file = asset.filePath(*format);
            // A folder standing where a map file should be is no map.
            if (file.empty() || !h->files().exists(file) || h->files().isDirectory(file)) continue;
            mat->data().setVector(host::kMatColor, {0.75, 0.75, 0.75});
            mat->data().setInt32(host::kMatColorUsed, 1);
            mat->enableChannel(c, true);
            if (host::Channel* ch = mat->channel(c)) {
              ch->data().setString(host::kChannelFile, file);
              ch->data().setFilename(host::kChannelDirectory, file);
              ch->data().setInt32(host::kChannelMode, 0);
            }
          }
    }
  }
  doc->endUndo();
  h->events().post(host::kEventForceRedraw);
  return mat;
}

}  // namespace pigmora
