// The objects of a Megascans asset description: a component and its files by physical size,
// resolution and format, and the asset's preview images. Each reads itself from one JSON value.
#pragma once

#include <cstdint>
#include <string>

#include "lib/json/json.h"
#include "lib/owned_array.h"

namespace pigmora {

using StringList = OwnedArray<std::string>;

// Kind numbers of the description objects.
enum TemplateKind : int32_t {
  kTemplateComponent = 0,
  kTemplateURI = 1,
  kTemplateResolution = 2,
  kTemplateFormat = 3,
  kTemplatePreview = 5,
  kTemplatePreviewImage = 6,
};

class BaseTemplate {
 public:
  BaseTemplate() = default;
  BaseTemplate(const BaseTemplate&) = default;
  BaseTemplate& operator=(const BaseTemplate&) = default;
  virtual ~BaseTemplate() = default;
  virtual int32_t kind() const = 0;
  // Reads the template's keys from the value; false when a required key is missing or of the
  // wrong type, or host memory ran out.
  virtual bool parse(const json::Value& value) = 0;
  // Two slots kept for later readers of the tree; both answer 0.
  virtual int32_t reserved0() const { return 0; }
  virtual int32_t reserved1() const { return 0; }
};

// Every template copies deeply. Copying can run out of host memory: `assign` then answers false
// and leaves the copy empty; the copy constructor and assignment do the same silently.
class TemplateFormat : public BaseTemplate {
 public:
  TemplateFormat() = default;
  TemplateFormat(const TemplateFormat& o) : BaseTemplate() { assign(o); }
  TemplateFormat& operator=(const TemplateFormat& o);
  bool assign(const TemplateFormat& o);
  int32_t kind() const override { return kTemplateFormat; }
  bool parse(const json::Value& value) override;

  std::string mimeType;
  std::string uri;  // relative to the asset folder
};

class TemplateResolution : public BaseTemplate {
 public:
  TemplateResolution() = default;
  TemplateResolution(const TemplateResolution& o) : BaseTemplate() { assign(o); }
  TemplateResolution& operator=(const TemplateResolution& o);
  bool assign(const TemplateResolution& o);
  int32_t kind() const override { return kTemplateResolution; }
  bool parse(const json::Value& value) override;

  std::string resolution;
  OwnedArray<TemplateFormat> formats;
};

class TemplateURI : public BaseTemplate {
 public:
  TemplateURI() = default;
  TemplateURI(const TemplateURI& o) : BaseTemplate() { assign(o); }
  TemplateURI& operator=(const TemplateURI& o);
  bool assign(const TemplateURI& o);
  int32_t kind() const override { return kTemplateURI; }
  bool parse(const json::Value& value) override;

  std::string physicalSize;
  OwnedArray<TemplateResolution> resolutions;
};

class TemplateComponent : public BaseTemplate {
 public:
  TemplateComponent() = default;
  TemplateComponent(const TemplateComponent& o) : BaseTemplate() { assign(o); }
  TemplateComponent& operator=(const TemplateComponent& o);
  bool assign(const TemplateComponent& o);
  int32_t kind() const override { return kTemplateComponent; }
  bool parse(const json::Value& value) override;

  std::string type;
  std::string name;
  std::string colorSpace;
  OwnedArray<TemplateURI> uris;
  std::string averageColor;
};

class TemplatePreviewImage : public BaseTemplate {
 public:
  TemplatePreviewImage() = default;
  TemplatePreviewImage(const TemplatePreviewImage& o) : BaseTemplate() { assign(o); }
  TemplatePreviewImage& operator=(const TemplatePreviewImage& o);
  bool assign(const TemplatePreviewImage& o);
  int32_t kind() const override { return kTemplatePreviewImage; }
  bool parse(const json::Value& value) override;

  std::string resolution;
  std::string uri;
  StringList tags;
};

class TemplatePreview : public BaseTemplate {
 public:
  TemplatePreview() = default;
  TemplatePreview(const TemplatePreview& o) : BaseTemplate() { assign(o); }
  TemplatePreview& operator=(const TemplatePreview& o);
  bool assign(const TemplatePreview& o);
  int32_t kind() const override { return kTemplatePreview; }
  bool parse(const json::Value& value) override;
  void clear();

  OwnedArray<TemplatePreviewImage> images;
  std::string relativeSize;
};

// The reading rules every description object follows.
namespace describe {

// The key must hold a string.
bool requiredString(const json::Value& object, const char* key, std::string& out);
// A missing key, null or any other non-array reads as no items; items that are not strings are
// skipped. False only when host memory runs out.
bool stringArray(const json::Value& object, const char* key, StringList& out);

// A missing key, null or any other non-array reads as no items; null items are skipped; every
// other item becomes a new T that parses it, and one that fails fails the whole array.
template <class T>
bool templateArray(const json::Value& object, const char* key, OwnedArray<T>& out) {
  const json::Value items = object[key];
  if (!items.isArray()) return true;
  for (size_t i = 0; i < items.size(); ++i) {
    const json::Value item = items[i];
    if (item.isNull()) continue;
    T* t = out.emplace();
    if (!t || !t->parse(item)) return false;
  }
  return true;
}

bool copyStrings(StringList& to, const StringList& from);

// Deep copy of an array of templates; on failure `to` is left empty.
template <class T>
bool copyTemplates(OwnedArray<T>& to, const OwnedArray<T>& from) {
  if (&to == &from) return true;
  to.clear();
  for (const T* item : from) {
    T* copy = to.emplace();
    if (!copy || !copy->assign(*item)) {
      to.clear();
      return false;
    }
  }
  return true;
}

}  // namespace describe

}  // namespace pigmora
