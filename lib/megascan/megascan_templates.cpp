#include "lib/megascan/megascan_templates.h"

namespace pigmora {

namespace describe {

bool requiredString(const json::Value& object, const char* key, std::string& out) {
  const json::Value v = object[key];
  if (!v.isString()) return false;
  out.assign(v.string());
  return true;
}

bool stringArray(const json::Value& object, const char* key, StringList& out) {
  const json::Value items = object[key];
  if (!items.isArray()) return true;
  for (size_t i = 0; i < items.size(); ++i) {
    const json::Value item = items[i];
    if (item.isString() && !out.emplace(item.string())) return false;
  }
  return true;
}

bool copyStrings(StringList& to, const StringList& from) {
  if (&to == &from) return true;
  to.clear();
  for (const std::string* s : from) {
    if (!to.emplace(*s)) {
      to.clear();
      return false;
    }
  }
  return true;
}

}  // namespace describe

using namespace describe;

bool TemplateFormat::parse(const json::Value& value) {
  return requiredString(value, "mimeType", mimeType) && requiredString(value, "uri", uri);
}

bool TemplateFormat::assign(const TemplateFormat& o) {
  mimeType = o.mimeType;
  uri = o.uri;
  return true;
}

TemplateFormat& TemplateFormat::operator=(const TemplateFormat& o) {
  assign(o);
  return *this;
}

bool TemplateResolution::parse(const json::Value& value) {
  return requiredString(value, "resolution", resolution) &&
         templateArray(value, "formats", formats);
}

bool TemplateResolution::assign(const TemplateResolution& o) {
  resolution = o.resolution;
  if (copyTemplates(formats, o.formats)) return true;
  resolution.clear();
  return false;
}

TemplateResolution& TemplateResolution::operator=(const TemplateResolution& o) {
  assign(o);
  return *this;
}

bool TemplateURI::parse(const json::Value& value) {
  return requiredString(value, "physicalSize", physicalSize) &&
         templateArray(value, "resolutions", resolutions);
}

bool TemplateURI::assign(const TemplateURI& o) {
  physicalSize = o.physicalSize;
  if (copyTemplates(resolutions, o.resolutions)) return true;
  physicalSize.clear();
  return false;
}

TemplateURI& TemplateURI::operator=(const TemplateURI& o) {
  assign(o);
  return *this;
}

bool TemplateComponent::parse(const json::Value& value) {
  return requiredString(value, "type", type) && requiredString(value, "name", name) &&
         requiredString(value, "colorSpace", colorSpace) && templateArray(value, "uris", uris) &&
         requiredString(value, "averageColor", averageColor);
}

bool TemplateComponent::assign(const TemplateComponent& o) {
  type = o.type;
  name = o.name;
  colorSpace = o.colorSpace;
  averageColor = o.averageColor;
  if (copyTemplates(uris, o.uris)) return true;
  type.clear();
  name.clear();
  colorSpace.clear();
  averageColor.clear();
  return false;
}

TemplateComponent& TemplateComponent::operator=(const TemplateComponent& o) {
  assign(o);
  return *this;
}

bool TemplatePreviewImage::parse(const json::Value& value) {
  return requiredString(value, "resolution", resolution) && requiredString(value, "uri", uri) &&
         stringArray(value, "tags", tags);
}

bool TemplatePreviewImage::assign(const TemplatePreviewImage& o) {
  resolution = o.resolution;
  uri = o.uri;
  if (copyStrings(tags, o.tags)) return true;
  resolution.clear();
  uri.clear();
  return false;
}

TemplatePreviewImage& TemplatePreviewImage::operator=(const TemplatePreviewImage& o) {
  assign(o);
  return *this;
}

bool TemplatePreview::parse(const json::Value& value) {
  return templateArray(value, "images", images) &&
         requiredString(value, "relativeSize", relativeSize);
}

bool TemplatePreview::assign(const TemplatePreview& o) {
  relativeSize = o.relativeSize;
  if (copyTemplates(images, o.images)) return true;
  relativeSize.clear();
  return false;
}

TemplatePreview& TemplatePreview::operator=(const TemplatePreview& o) {
  assign(o);
  return *this;
}

void TemplatePreview::clear() {
  images.clear();
  relativeSize.clear();
}

}  // namespace pigmora
